#include <varn/versioninfo/cmp_TVersion.h>

#include <varn/framework/CustomApplication.h>
#include <varn/framework/Exceptions.h>
#include <varn/framework/platform/Platform.h>
#include <varn/versioninfo/LoadVersionBlock.h>

namespace varn {

namespace {

struct LanguageEntry {
  const char* Name;
  uint16_t Identifier;
};

constexpr std::array<LanguageEntry, 45> Languages = {{
    {"lnArabic", 0x0401},
    {"lnBulgarian", 0x0402},
    {"lnCatalan", 0x0403},
    {"lnTraditionalChinese", 0x0404},
    {"lnCzech", 0x0405},
    {"lnDanish", 0x0406},
    {"lnGerman", 0x0407},
    {"lnGreek", 0x0408},
    {"lnUSEnglish", 0x0409},
    {"lnCastilianSpanish", 0x040A},
    {"lnFinnish", 0x040B},
    {"lnFrench", 0x040C},
    {"lnHebrew", 0x040D},
    {"lnHungarian", 0x040E},
    {"lnIcelandic", 0x040F},
    {"lnItalian", 0x0410},
    {"lnJapanese", 0x0411},
    {"lnKorean", 0x0412},
    {"lnDutch", 0x0413},
    {"lnNorwegianBokmal", 0x0414},
    {"lnPolish", 0x0415},
    {"lnBrazilianPortuguese", 0x0416},
    {"lnRhaetoRomanic", 0x0417},
    {"lnRomanian", 0x0418},
    {"lnRussian", 0x0419},
    {"lnCroatoSerbian", 0x041A},
    {"lnSlovak", 0x041B},
    {"lnAlbanian", 0x041C},
    {"lnSwedish", 0x041D},
    {"lnThai", 0x041E},
    {"lnTurkish", 0x041F},
    {"lnUrdu", 0x0420},
    {"lnBahasa", 0x0421},
    {"lnSimplifiedChinese", 0x0804},
    {"lnSwissGerman", 0x0807},
    {"lnUKEnglish", 0x0809},
    {"lnMexicanSpanish", 0x080A},
    {"lnBelgianFrench", 0x080C},
    {"lnSwissItalian", 0x0810},
    {"lnBelgianDutch", 0x0813},
    {"lnNorwegianNynorsk", 0x0814},
    {"lnPortuguese", 0x0816},
    {"lnSerboCroatian", 0x081A},
    {"lnCanadianFrench", 0x0C0C},
    {"lnSwissFrench", 0x100C},
}};
static_assert(Languages.size() == lnSwissFrench + 1);

struct CharacterSetEntry {
  const char* Name;
  uint16_t CodePage;
};

constexpr std::array<CharacterSetEntry, 12> CharacterSets = {{
    {"csASCII", 0},
    {"csJapan", 932},
    {"csKorea", 949},
    {"csTaiwan", 950},
    {"csUnicode", 1200},
    {"csLatin2", 1250},
    {"csCyrillic", 1251},
    {"csMultilingual", 1252},
    {"csGreek", 1253},
    {"csTurkish", 1254},
    {"csHebrew", 1255},
    {"csArabic", 1256},
}};
static_assert(CharacterSets.size() == csArabic + 1);

struct Description {
  uint32_t Value;
  const char* Text;
};

constexpr Description FileOSTexts[] = {
    {0x1, "Windows 3.0 or later"},
    {0x2, "16 bit OS/2 Presentation Manager"},
    {0x3, "32 bit OS/2 Presentation Manager"},
    {0x4, "32 bit Windows"},
    {0x10000, "MS-Dos"},
    {0x10001, "Windows 3.0 or later with MS-Dos"},
    {0x10004, "32 bit Windows with MS-Dos"},
    {0x20000, "16 bit OS/2"},
    {0x20002, "16 bit OS/2 with Presentation Manager"},
    {0x30000, "32 bit OS/2"},
    {0x30003, "32 bit OS/2 with Presentation Manager"},
    {0x40000, "Windows NT"},
    {0x40004, "Windows NT with 32 bit Windows"},
};

constexpr uint32_t DriverFileType = 3;
constexpr uint32_t FontFileType = 4;

constexpr Description FileTypeTexts[] = {
    {1, "Application"},     {2, "Dynamic-Link Library"},  {DriverFileType, "Device Driver"},
    {FontFileType, "Font"}, {5, "Virtual Device Driver"}, {7, "Static-Link Library"},
};

constexpr Description DriverSubTypeTexts[] = {
    {1, "Printer"}, {2, "Keyboard"}, {3, "Language"},    {4, "Display"}, {5, "Mouse"},
    {6, "Network"}, {7, "System"},   {8, "Installable"}, {9, "Sound"},   {10, "Communications"},
};

constexpr Description FontSubTypeTexts[] = {{1, "Raster"}, {2, "Vector"}, {3, "TrueType"}};

template <size_t N>
std::string Describe(const Description (&Table)[N], uint32_t Value) {
  for (const Description& Entry : Table)
    if (Entry.Value == Value) return Entry.Text;
  return "Unknown";
}

std::string DottedVersion(uint32_t MostSignificant, uint32_t LeastSignificant) {
  return std::to_string(MostSignificant >> 16) + "." + std::to_string(MostSignificant & 0xFFFF) +
         "." + std::to_string(LeastSignificant >> 16) + "." +
         std::to_string(LeastSignificant & 0xFFFF);
}

std::string KeyDigits(uint16_t Value) {
  static constexpr char Hex[] = "0123456789ABCDEF";
  return {Hex[(Value >> 12) & 0xF], Hex[(Value >> 8) & 0xF], Hex[(Value >> 4) & 0xF],
          Hex[Value & 0xF]};
}

}  // namespace

uint16_t GetLanguageID(TLanguage Language) {
  if (Language >= Languages.size()) throw Exception("");
  return Languages[Language].Identifier;
}

uint16_t GetCodePage(TCharacterSet CharacterSet) {
  if (CharacterSet >= CharacterSets.size()) throw Exception("");
  return CharacterSets[CharacterSet].CodePage;
}

TVersionResource::TVersionResource(TComponent* AOwner)
    : TComponent(AOwner),
      FFileNameStored(false),
      FFileName(platform::ModuleFileName()),
      FLanguage(lnUSEnglish),
      FCharacterSet(csMultilingual),
      FVersionInfo(std::make_unique<TVersionInfo>()) {
  Refresh();
}

TVersionResource::~TVersionResource() {
  if (VersionResource == this) VersionResource = nullptr;
}

void TVersionResource::SetFileName(const std::string& Value) {
  FFileName = Value;
  FFileNameStored = Value != platform::ModuleFileName();
  Refresh();
}

void TVersionResource::SetLanguage(TLanguage Value) {
  FLanguage = Value;
  Refresh();
}

void TVersionResource::SetCharacterSet(TCharacterSet Value) {
  FCharacterSet = Value;
  Refresh();
}

void TVersionResource::Refresh() {
  ClearVersionInfo();
  const std::unique_ptr<versioninfo::VersionBlock> Block = versioninfo::LoadVersionBlock(FFileName);
  if (Block) ParseVersionBlock(*Block);
}

void TVersionResource::ClearVersionInfo() {
  for (const auto& Property : versioninfo::VersionInfoProperties())
    (*FVersionInfo).*(Property.Field) = std::string();
}

void TVersionResource::ParseVersionBlock(const versioninfo::VersionBlock& Block) {
  const std::optional<versioninfo::FixedFileInfoRecord> Fixed = Block.FixedFileInfo();
  if (!Fixed) return;
  TVersionInfo& Info = *FVersionInfo;
  Info.FileVersion = DottedVersion(Fixed->FileVersionMS, Fixed->FileVersionLS);
  Info.ProductVersion = DottedVersion(Fixed->ProductVersionMS, Fixed->ProductVersionLS);
  Info.FileOS = Describe(FileOSTexts, Fixed->FileOS);
  Info.FileType = Describe(FileTypeTexts, Fixed->FileType);
  if (Fixed->FileType == DriverFileType)
    Info.FileSubType = Describe(DriverSubTypeTexts, Fixed->FileSubtype);
  else if (Fixed->FileType == FontFileType)
    Info.FileSubType = Describe(FontSubTypeTexts, Fixed->FileSubtype);

  const std::string Prefix = versioninfo::StringTablePrefix(FLanguage, FCharacterSet);
  // The singular "Comment" is the key this component has always asked for.
  const std::pair<const char*, std::string TVersionInfo::*> Keys[] = {
      {"Comment", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
  };
  for (const auto& [Key, Field] : Keys)
    if (std::optional<std::string> Text = Block.QueryString(Prefix + Key))
      Info.*Field = std::move(*Text);
}

TVersionResource* VersionResource = nullptr;

void CreateVersionResource() {
  if (VersionResource) return;
  TCustomApplication& Owner = ProcessApplication();
  auto Resource = std::make_unique<TVersionResource>(&Owner);
  TVersionResource* Created = Resource.get();
  Owner.InsertOwned(std::move(Resource));
  VersionResource = Created;
}

namespace versioninfo {

const std::array<VersionInfoProperty, 15>& VersionInfoProperties() {
  static const std::array<VersionInfoProperty, 15> Properties = {{
      {"Comment", &TVersionInfo::Comment},
      {"CompanyName", &TVersionInfo::CompanyName},
      {"FileDescription", &TVersionInfo::FileDescription},
      {"FileVersion", &TVersionInfo::FileVersion},
      {"InternalName", &TVersionInfo::InternalName},
      {"LegalCopyright", &TVersionInfo::LegalCopyright},
      {"LegalTradeMarks", &TVersionInfo::LegalTradeMarks},
      {"OriginalFileName", &TVersionInfo::OriginalFileName},
      {"PrivateBuild", &TVersionInfo::PrivateBuild},
      {"ProductName", &TVersionInfo::ProductName},
      {"ProductVersion", &TVersionInfo::ProductVersion},
      {"SpecialBuild", &TVersionInfo::SpecialBuild},
      {"FileOS", &TVersionInfo::FileOS},
      {"FileType", &TVersionInfo::FileType},
      {"FileSubType", &TVersionInfo::FileSubType},
  }};
  return Properties;
}

const char* LanguageName(TLanguage Language) {
  return Language < Languages.size() ? Languages[Language].Name : "";
}

const char* CharacterSetName(TCharacterSet CharacterSet) {
  return CharacterSet < CharacterSets.size() ? CharacterSets[CharacterSet].Name : "";
}

std::optional<TLanguage> LanguageFromName(const std::string& Name) {
  for (size_t I = 0; I < Languages.size(); ++I)
    if (Name == Languages[I].Name) return static_cast<TLanguage>(I);
  return std::nullopt;
}

std::optional<TCharacterSet> CharacterSetFromName(const std::string& Name) {
  for (size_t I = 0; I < CharacterSets.size(); ++I)
    if (Name == CharacterSets[I].Name) return static_cast<TCharacterSet>(I);
  return std::nullopt;
}

std::string StringTablePrefix(TLanguage Language, TCharacterSet CharacterSet) {
  return "\\StringFileInfo\\" + KeyDigits(GetLanguageID(Language)) +
         KeyDigits(GetCodePage(CharacterSet)) + "\\";
}

}  // namespace versioninfo

}  // namespace varn
