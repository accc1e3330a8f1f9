#pragma once
// The version resource reader: TVersionResource reads the version information of an executable
// file into the fifteen strings of a TVersionInfo. Writing FileName, Language or CharacterSet
// reads the file again before the write returns; a file without version information, or one
// that cannot be read, leaves all fifteen strings empty and raises nothing.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <varn/framework/Component.h>
#include <varn/versioninfo/VersionBlock.h>

namespace varn {

enum TLanguage : uint8_t {
  lnArabic,
  lnBulgarian,
  lnCatalan,
  lnTraditionalChinese,
  lnCzech,
  lnDanish,
  lnGerman,
  lnGreek,
  lnUSEnglish,
  lnCastilianSpanish,
  lnFinnish,
  lnFrench,
  lnHebrew,
  lnHungarian,
  lnIcelandic,
  lnItalian,
  lnJapanese,
  lnKorean,
  lnDutch,
  lnNorwegianBokmal,
  lnPolish,
  lnBrazilianPortuguese,
  lnRhaetoRomanic,
  lnRomanian,
  lnRussian,
  lnCroatoSerbian,
  lnSlovak,
  lnAlbanian,
  lnSwedish,
  lnThai,
  lnTurkish,
  lnUrdu,
  lnBahasa,
  lnSimplifiedChinese,
  lnSwissGerman,
  lnUKEnglish,
  lnMexicanSpanish,
  lnBelgianFrench,
  lnSwissItalian,
  lnBelgianDutch,
  lnNorwegianNynorsk,
  lnPortuguese,
  lnSerboCroatian,
  lnCanadianFrench,
  lnSwissFrench,
};

enum TCharacterSet : uint8_t {
  csASCII,
  csJapan,
  csKorea,
  csTaiwan,
  csUnicode,
  csLatin2,
  csCyrillic,
  csMultilingual,
  csGreek,
  csTurkish,
  csHebrew,
  csArabic,
};

// The language identifier and the code page that name a string table. A value outside the
// enumeration raises Exception with an empty message.
uint16_t GetLanguageID(TLanguage Language);
uint16_t GetCodePage(TCharacterSet CharacterSet);

class TVersionInfo : public TPersistent {
 public:
  std::string Comment;
  std::string CompanyName;
  std::string FileDescription;
  std::string FileVersion;
  std::string InternalName;
  std::string LegalCopyright;
  std::string LegalTradeMarks;
  std::string OriginalFileName;
  std::string PrivateBuild;
  std::string ProductName;
  std::string ProductVersion;
  std::string SpecialBuild;
  std::string FileOS;
  std::string FileType;
  std::string FileSubType;
};

class TVersionResource : public TComponent {
 public:
  // Starts on the running program's own file with lnUSEnglish and csMultilingual, and reads it.
  explicit TVersionResource(TComponent* AOwner);
  ~TVersionResource() override;

  const std::string& FileName() const { return FFileName; }
  void SetFileName(const std::string& Value);
  TLanguage Language() const { return FLanguage; }
  void SetLanguage(TLanguage Value);
  TCharacterSet CharacterSet() const { return FCharacterSet; }
  void SetCharacterSet(TCharacterSet Value);
  TVersionInfo& VersionInfo() { return *FVersionInfo; }
  const TVersionInfo& VersionInfo() const { return *FVersionInfo; }
  // True when FileName differs, byte for byte, from the running program's own path; FileName
  // is stored with the component only then.
  bool FileNameStored() const { return FFileNameStored; }

  // Empties VersionInfo and reads FileName again.
  void Refresh();
  void ClearVersionInfo();
  // Fills VersionInfo from a loaded block; sets nothing when the block has no fixed file
  // information. Raises what GetLanguageID and GetCodePage raise, after the versions and
  // descriptions are set.
  void ParseVersionBlock(const versioninfo::VersionBlock& Block);

 private:
  bool FFileNameStored;
  std::string FFileName;
  TLanguage FLanguage;
  TCharacterSet FCharacterSet;
  std::unique_ptr<TVersionInfo> FVersionInfo;
};

// The process-wide instance, owned by the application object; null until
// CreateVersionResource has run.
extern TVersionResource* VersionResource;

// Creates VersionResource, owned by the process's application object (ProcessApplication(),
// which is Application() in a program with the window framework), and reads the running
// program's own file.
// Called once at start-up, before the main window exists; a second call keeps the first instance.
void CreateVersionResource();

namespace versioninfo {

// The fifteen strings by property name, in declared order, for callers that list them.
struct VersionInfoProperty {
  const char* Name;
  std::string TVersionInfo::*Field;
};
const std::array<VersionInfoProperty, 15>& VersionInfoProperties();

// Enumerator names ("lnUSEnglish", "csMultilingual") and back; nothing for an unknown name.
const char* LanguageName(TLanguage Language);
const char* CharacterSetName(TCharacterSet CharacterSet);
std::optional<TLanguage> LanguageFromName(const std::string& Name);
std::optional<TCharacterSet> CharacterSetFromName(const std::string& Name);

// The string-table key path prefix, "\StringFileInfo\040904E4\" for the defaults; raises as
// GetLanguageID and GetCodePage do.
std::string StringTablePrefix(TLanguage Language, TCharacterSet CharacterSet);

}  // namespace versioninfo

}  // namespace varn
