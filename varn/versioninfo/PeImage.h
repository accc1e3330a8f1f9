#pragma once
// The headers of a PE file (PE32 or PE32+) and what the project reads through them: the
// resource directory and the names of the imported DLLs. Pure: the file's bytes come through a
// reader callback, so the same code serves the library (over a stream) and the build's own
// checks of the Windows programs (over a file of the host).
//
// Bounds: every read is checked against the file's size and, for data an address points at,
// against the raw data of the section that holds it, whatever the headers say. The resource
// directory is walked exactly three levels deep and the import list stops at its end, the
// section's end or 4096 entries, so no header can make a walk loop.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace varn::versioninfo {

class PeImage {
 public:
  // Fills Bytes with the Count bytes at Offset of the file; false when they are not all there.
  using ReadBytes = std::function<bool(uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes)>;

  static constexpr uint16_t MachineI386 = 0x014C;
  static constexpr uint16_t MachineAmd64 = 0x8664;
  static constexpr uint16_t SubsystemWindowsGui = 2;
  static constexpr uint16_t SubsystemWindowsConsole = 3;
  static constexpr uint32_t ResourceVersion = 16;
  static constexpr uint32_t ResourceManifest = 24;
  static constexpr uint32_t DirectorySecurity = 4;  // Authenticode's certificate table

  // Nothing when the file is no PE file or its headers do not fit in it.
  static std::optional<PeImage> Open(uint64_t FileSize, ReadBytes Read);

  uint16_t Machine() const { return FMachine; }
  bool IsPe32Plus() const { return FPe32Plus; }
  uint16_t Subsystem() const { return FSubsystem; }
  // Whether the optional header names data directory Index (address or size not zero).
  bool HasDirectory(uint32_t Index) const;
  // The file offset of the optional header's CheckSum field.
  uint64_t CheckSumOffset() const { return FOptionalOffset + 64; }
  // The file header's TimeDateStamp: when the program was linked, or 0 for none.
  uint32_t TimeDateStamp() const { return FTimeDateStamp; }

  // The CheckSum of a PE file whose own CheckSum field lies at CheckSumOffset: its 16-bit words
  // added up with the carries folded back in, that field taken as zero, plus the file's length.
  static uint32_t CheckSum(const std::vector<uint8_t>& File, uint64_t CheckSumOffset);

  // The choice of the Windows resource loader among versions of one resource in several
  // languages: language neutral, then UserLanguage unless 0, then US English, else the first.
  // The index of the chosen one of Count items, LanguageOf(I) giving the language of item I;
  // nothing when Count is 0.
  template <typename LanguageOfItem>
  static std::optional<size_t> PreferredLanguage(size_t Count, LanguageOfItem LanguageOf,
                                                 uint16_t UserLanguage) {
    if (Count == 0) return std::nullopt;
    for (const uint32_t Wanted : {LanguageNeutral, uint32_t{UserLanguage}, LanguageUsEnglish})
      for (size_t I = 0; I < Count; ++I)
        if (LanguageOf(I) == Wanted) return I;
    return 0;
  }
  static constexpr uint32_t LanguageNeutral = 0x0000;
  static constexpr uint32_t LanguageUsEnglish = 0x0409;

  // The data of the first name under the numbered resource Type, in the language that the
  // Windows resource loader picks (PreferredLanguage), cut to MaximumSize bytes; nothing when
  // there is none or it lies outside the file.
  std::optional<std::vector<uint8_t>> ReadResource(uint32_t Type, uint32_t MaximumSize,
                                                   uint16_t UserLanguage = 0) const;

  // The DLL names of the import directory, in its order; nothing when the directory lies
  // outside the file or a name is not terminated within its section.
  std::optional<std::vector<std::string>> ImportedModules() const;

 private:
  struct Section {
    uint32_t VirtualAddress = 0;
    uint32_t VirtualSize = 0;
    uint32_t RawPointer = 0;
    uint32_t RawSize = 0;
  };
  // Where an address of the loaded image lies in the file: the file offset and how many bytes
  // of the section's raw data (and of the file) follow it.
  struct FileRange {
    uint64_t Offset = 0;
    uint64_t Length = 0;
  };
  struct DataDirectory {
    uint32_t Address = 0;
    uint32_t Size = 0;
  };

  std::optional<FileRange> MapAddress(uint32_t Address) const;
  bool Read(uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) const;

  uint64_t FFileSize = 0;
  ReadBytes FRead;
  uint16_t FMachine = 0;
  bool FPe32Plus = false;
  uint16_t FSubsystem = 0;
  uint64_t FOptionalOffset = 0;
  uint32_t FTimeDateStamp = 0;
  std::vector<DataDirectory> FDirectories;
  std::vector<Section> FSections;
};

}  // namespace varn::versioninfo
