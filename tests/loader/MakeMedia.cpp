// Writes installation media for the end-to-end tests, laid out by hand (every byte a literal),
// or with --sealed as varn pack writes them, sealed:
//   loader_make_media [--sealed] BASE VOLUME_SIZE [NAME=]FILE...
// BASE.1, BASE.2, ... in volumes of VOLUME_SIZE bytes (0: one volume). Each FILE is stored
// under NAME, or its own name, dated 18 June 2020, 12:00 local time; the first is the program.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <varn/framework/platform/Platform.h>
#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"
#include "tests/component/SealedMedia.h"

int main(int argc, char** argv) {
  // Native text: so a path on Windows may hold what the ANSI code page cannot write.
  std::vector<std::string> Arguments = varn::platform::CommandLineArguments(argc, argv);
  const bool Sealed = !Arguments.empty() && Arguments[0] == "--sealed";
  if (Sealed) Arguments.erase(Arguments.begin());
  if (Arguments.size() < 2) {
    std::fprintf(stderr, "usage: loader_make_media [--sealed] BASE VOLUME_SIZE [NAME=]FILE...\n");
    return 2;
  }
  try {
    std::vector<hand_laid::Entry> Entries;
    std::vector<sealed_media::Member> Members;
    for (size_t I = 2; I < Arguments.size(); ++I) {
      std::string Argument = Arguments[I];
      std::string Name;
      if (const size_t Equals = Argument.find('='); Equals != std::string::npos) {
        Name = Argument.substr(0, Equals);
        Argument = Argument.substr(Equals + 1);
      } else {
        Name = varn::platform::NativeFileName(Argument);
      }
      const std::string Content = testing_support::ReadFile(varn::platform::InternalPath(Argument));
      Entries.push_back(hand_laid::LiteralEntry(Name, hand_laid::Bytes(Content)));
      Members.push_back({Name, hand_laid::Bytes(Content)});
    }
    const std::string Base = varn::platform::InternalPath(Arguments[0]);
    const int64_t VolumeSize = std::atoll(Arguments[1].c_str());
    if (Sealed) {
      sealed_media::Write(Base, Members, VolumeSize);
    } else {
      hand_laid::Write(Base, Entries, VolumeSize);
    }
  } catch (const std::exception& E) {
    std::fprintf(stderr, "loader_make_media: %s\n", E.what());
    return 1;
  }
  return 0;
}
