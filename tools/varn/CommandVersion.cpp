// varn version: the fifteen version strings of a Windows executable.
#include <cstdio>
#include <string>
#include <vector>

#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include <varn/support/PathHelpers.h>
#include <varn/versioninfo/cmp_TVersion.h>
#include "tools/varn/Commands.h"

namespace varn::cli {
namespace {

int RunVersion(const std::vector<std::string>& Arguments) {
  const ParsedArguments Parsed = ParseArguments(Arguments, {"--language", "--charset"}, {"--json"});
  TLanguage Language = lnUSEnglish;
  TCharacterSet CharacterSet = csMultilingual;
  bool AsJson = false;
  for (const auto& [Option, Value] : Parsed.Options) {
    if (Option == "--json") AsJson = true;
    if (Option == "--language") {
      const auto Found = versioninfo::LanguageFromName(Value);
      if (!Found)
        throw UsageError("unknown language \"" + Value + "\" (lnUSEnglish, lnGerman, ...)");
      Language = *Found;
    }
    if (Option == "--charset") {
      const auto Found = versioninfo::CharacterSetFromName(Value);
      if (!Found)
        throw UsageError("unknown character set \"" + Value +
                         "\" (csMultilingual, csUnicode, ...)");
      CharacterSet = *Found;
    }
  }
  if (Parsed.Operands.size() != 1) throw UsageError("give exactly one FILE");
  const std::string File = platform::InternalPath(Parsed.Operands[0]);
  // The reader treats a missing file as one without version information; here it is a mistake.
  if (!platform::FindEntry(File) || IsExistingDirectory(File))
    throw Exception("Cannot open file " + Parsed.Operands[0]);

  TVersionResource Resource(nullptr);
  Resource.SetLanguage(Language);
  Resource.SetCharacterSet(CharacterSet);
  Resource.SetFileName(File);
  std::string Out;
  for (const auto& Property : versioninfo::VersionInfoProperties()) {
    const std::string& Value = Resource.VersionInfo().*Property.Field;
    if (AsJson)
      Out += (Out.empty() ? "{" : ",") + JsonString(Property.Name) + ":" + JsonString(Value);
    else
      Out += std::string(Property.Name) + ": " + Value + "\n";
  }
  if (AsJson) Out += "}\n";
  Print(Out);
  return 0;
}

}  // namespace

const Command VersionCommand = {
    "version", "version [--language LANG] [--charset SET] [--json] FILE",
    "Prints the version information of the Windows executable FILE: fifteen lines \"Name: value\"\n"
    "(empty values when FILE carries none), or one JSON object keyed by the names.\n"
    "  --language LANG   the string table's language (default lnUSEnglish)\n"
    "  --charset SET     the string table's character set (default csMultilingual)\n"
    "  --json            one JSON object instead of the lines\n"
    "Exit status: 0 when the strings were printed; 1 when FILE cannot be read; 2 on a usage\n"
    "error.\n",
    RunVersion};

}  // namespace varn::cli
