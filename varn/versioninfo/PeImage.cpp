#include <varn/versioninfo/PeImage.h>

#include <algorithm>

#include <varn/support/ByteReader.h>

namespace varn::versioninfo {
namespace {

// Offsets and sizes of the PE layout.
constexpr uint16_t DosSignature = 0x5A4D;  // "MZ"
constexpr size_t DosHeaderSize = 64;
constexpr size_t DosNewHeaderOffset = 0x3C;
constexpr uint32_t PeSignature = 0x00004550;  // "PE\0\0"
constexpr size_t FileHeaderSize = 20;
constexpr size_t FileHeaderMachine = 0;
constexpr size_t FileHeaderSectionCount = 2;
constexpr size_t FileHeaderTimeDateStamp = 4;
constexpr size_t FileHeaderOptionalSize = 16;
constexpr uint16_t Pe32Magic = 0x10B;
constexpr uint16_t Pe32PlusMagic = 0x20B;
constexpr size_t OptionalSubsystem = 68;
constexpr size_t Pe32DirectoryCountOffset = 92;
constexpr size_t Pe32PlusDirectoryCountOffset = 108;
constexpr size_t ImportDirectoryIndex = 1;
constexpr size_t ResourceDirectoryIndex = 2;
constexpr size_t MaximumDirectoryCount = 16;
constexpr size_t SectionHeaderSize = 40;
constexpr size_t SectionVirtualSize = 8;
constexpr size_t SectionVirtualAddress = 12;
constexpr size_t SectionRawSize = 16;
constexpr size_t SectionRawPointer = 20;
constexpr size_t ResourceDirectorySize = 16;
constexpr size_t ResourceDirectoryNamedCount = 12;
constexpr size_t ResourceEntrySize = 8;
constexpr size_t ResourceDataEntrySize = 16;
constexpr uint32_t ResourceSubdirectoryFlag = 0x80000000u;
constexpr size_t ImportDescriptorSize = 20;
constexpr size_t ImportDescriptorName = 12;
constexpr size_t MaximumImports = 4096;
constexpr size_t MaximumModuleName = 260;

struct ResourceEntry {
  uint32_t Name = 0;
  uint32_t Offset = 0;
};

bool IsSubdirectory(const ResourceEntry& Entry) {
  return (Entry.Offset & ResourceSubdirectoryFlag) != 0;
}
uint32_t SubdirectoryOffset(const ResourceEntry& Entry) {
  return Entry.Offset & ~ResourceSubdirectoryFlag;
}

}  // namespace

std::optional<PeImage> PeImage::Open(uint64_t FileSize, ReadBytes Read) {
  PeImage Image;
  Image.FFileSize = FileSize;
  Image.FRead = std::move(Read);
  std::vector<uint8_t> Bytes;
  if (!Image.Read(0, DosHeaderSize, Bytes) || bytes::LoadU16(Bytes.data()) != DosSignature)
    return std::nullopt;
  const uint64_t PeOffset = bytes::LoadU32(Bytes.data() + DosNewHeaderOffset);
  if (!Image.Read(PeOffset, 4 + FileHeaderSize, Bytes) ||
      bytes::LoadU32(Bytes.data()) != PeSignature)
    return std::nullopt;
  Image.FMachine = bytes::LoadU16(Bytes.data() + 4 + FileHeaderMachine);
  Image.FTimeDateStamp = bytes::LoadU32(Bytes.data() + 4 + FileHeaderTimeDateStamp);
  const size_t SectionCount = bytes::LoadU16(Bytes.data() + 4 + FileHeaderSectionCount);
  const size_t OptionalSize = bytes::LoadU16(Bytes.data() + 4 + FileHeaderOptionalSize);
  const uint64_t OptionalOffset = PeOffset + 4 + FileHeaderSize;
  Image.FOptionalOffset = OptionalOffset;

  std::vector<uint8_t> Optional;
  if (!Image.Read(OptionalOffset, OptionalSize, Optional)) return std::nullopt;
  bytes::ByteReader Reader(Optional.data(), Optional.size());
  uint16_t Magic = 0;
  if (!Reader.ReadU16(Magic)) return std::nullopt;
  size_t CountOffset = 0;
  if (Magic == Pe32Magic)
    CountOffset = Pe32DirectoryCountOffset;
  else if (Magic == Pe32PlusMagic)
    CountOffset = Pe32PlusDirectoryCountOffset;
  else
    return std::nullopt;
  Image.FPe32Plus = Magic == Pe32PlusMagic;
  if (!Reader.Seek(OptionalSubsystem) || !Reader.ReadU16(Image.FSubsystem)) return std::nullopt;
  uint32_t DirectoryCount = 0;
  if (!Reader.Seek(CountOffset) || !Reader.ReadU32(DirectoryCount)) return std::nullopt;
  // Directories the optional header does not hold count as absent.
  for (size_t I = 0; I < std::min<size_t>(DirectoryCount, MaximumDirectoryCount); ++I) {
    DataDirectory Directory;
    if (!Reader.ReadU32(Directory.Address) || !Reader.ReadU32(Directory.Size)) break;
    Image.FDirectories.push_back(Directory);
  }

  if (!Image.Read(OptionalOffset + OptionalSize, SectionCount * SectionHeaderSize, Bytes))
    return std::nullopt;
  Image.FSections.resize(SectionCount);
  for (size_t I = 0; I < SectionCount; ++I) {
    const uint8_t* Header = Bytes.data() + I * SectionHeaderSize;
    Image.FSections[I].VirtualSize = bytes::LoadU32(Header + SectionVirtualSize);
    Image.FSections[I].VirtualAddress = bytes::LoadU32(Header + SectionVirtualAddress);
    Image.FSections[I].RawSize = bytes::LoadU32(Header + SectionRawSize);
    Image.FSections[I].RawPointer = bytes::LoadU32(Header + SectionRawPointer);
  }
  return Image;
}

uint32_t PeImage::CheckSum(const std::vector<uint8_t>& File, uint64_t CheckSumOffset) {
  uint64_t Sum = 0;
  for (size_t At = 0; At < File.size(); At += 2) {
    if (At >= CheckSumOffset && At < CheckSumOffset + 4) continue;
    Sum += File[At] | (At + 1 < File.size() ? File[At + 1] << 8 : 0);
    Sum = (Sum & 0xFFFF) + (Sum >> 16);
  }
  Sum = (Sum & 0xFFFF) + (Sum >> 16);
  return static_cast<uint32_t>(Sum + File.size());
}

bool PeImage::HasDirectory(uint32_t Index) const {
  return Index < FDirectories.size() &&
         (FDirectories[Index].Address != 0 || FDirectories[Index].Size != 0);
}

bool PeImage::Read(uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) const {
  if (Offset > FFileSize || Count > FFileSize - Offset) return false;
  return FRead(Offset, Count, Bytes) && Bytes.size() == Count;
}

std::optional<PeImage::FileRange> PeImage::MapAddress(uint32_t Address) const {
  for (const Section& Item : FSections) {
    const uint64_t Extent = Item.VirtualSize ? Item.VirtualSize : Item.RawSize;
    const uint64_t Start = Item.VirtualAddress;
    if (Address < Start || Address >= Start + Extent) continue;
    const uint64_t Into = Address - Start;
    if (Into >= Item.RawSize) return std::nullopt;  // in the zero-filled tail, not in the file
    const uint64_t Offset = uint64_t{Item.RawPointer} + Into;
    if (Offset > FFileSize) return std::nullopt;
    return FileRange{Offset, std::min<uint64_t>(Item.RawSize - Into, FFileSize - Offset)};
  }
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> PeImage::ReadResource(uint32_t Type, uint32_t MaximumSize,
                                                          uint16_t UserLanguage) const {
  if (FDirectories.size() <= ResourceDirectoryIndex) return std::nullopt;
  const DataDirectory& Resources = FDirectories[ResourceDirectoryIndex];
  if (Resources.Address == 0) return std::nullopt;
  const std::optional<FileRange> Area = MapAddress(Resources.Address);
  if (!Area) return std::nullopt;

  // The entries of the directory at DirectoryOffset within the resource area.
  const auto ReadDirectory =
      [&](uint32_t DirectoryOffset) -> std::optional<std::vector<ResourceEntry>> {
    std::vector<uint8_t> Header;
    if (DirectoryOffset > Area->Length || Area->Length - DirectoryOffset < ResourceDirectorySize ||
        !Read(Area->Offset + DirectoryOffset, ResourceDirectorySize, Header))
      return std::nullopt;
    const size_t Count = size_t{bytes::LoadU16(Header.data() + ResourceDirectoryNamedCount)} +
                         bytes::LoadU16(Header.data() + ResourceDirectoryNamedCount + 2);
    const uint64_t EntriesOffset = uint64_t{DirectoryOffset} + ResourceDirectorySize;
    std::vector<uint8_t> Raw;
    if (Count * ResourceEntrySize > Area->Length - EntriesOffset ||
        !Read(Area->Offset + EntriesOffset, Count * ResourceEntrySize, Raw))
      return std::nullopt;
    std::vector<ResourceEntry> Entries(Count);
    for (size_t I = 0; I < Count; ++I) {
      Entries[I].Name = bytes::LoadU32(Raw.data() + I * ResourceEntrySize);
      Entries[I].Offset = bytes::LoadU32(Raw.data() + I * ResourceEntrySize + 4);
    }
    return Entries;
  };

  // Type, then the first name, then that name's language.
  const auto Types = ReadDirectory(0);
  if (!Types) return std::nullopt;
  // A named entry has its high bit set, so it never equals a type's number.
  const auto Found = std::find_if(Types->begin(), Types->end(),
                                  [&](const ResourceEntry& Entry) { return Entry.Name == Type; });
  if (Found == Types->end() || !IsSubdirectory(*Found)) return std::nullopt;
  const auto Names = ReadDirectory(SubdirectoryOffset(*Found));
  if (!Names || Names->empty() || !IsSubdirectory(Names->front())) return std::nullopt;
  const auto Languages = ReadDirectory(SubdirectoryOffset(Names->front()));
  if (!Languages || Languages->empty()) return std::nullopt;
  const ResourceEntry* Chosen = &(*Languages)[*PreferredLanguage(
      Languages->size(), [&](size_t I) { return (*Languages)[I].Name; }, UserLanguage)];
  if (IsSubdirectory(*Chosen)) return std::nullopt;

  const uint32_t DataEntryOffset = Chosen->Offset;
  std::vector<uint8_t> DataEntry;
  if (DataEntryOffset > Area->Length || Area->Length - DataEntryOffset < ResourceDataEntrySize ||
      !Read(Area->Offset + DataEntryOffset, ResourceDataEntrySize, DataEntry))
    return std::nullopt;
  const uint32_t DataAddress = bytes::LoadU32(DataEntry.data());
  const uint32_t DataSize = std::min(bytes::LoadU32(DataEntry.data() + 4), MaximumSize);
  const std::optional<FileRange> Data = MapAddress(DataAddress);
  std::vector<uint8_t> Block;
  if (!Data || Data->Length < DataSize || !Read(Data->Offset, DataSize, Block)) return std::nullopt;
  return Block;
}

std::optional<std::vector<std::string>> PeImage::ImportedModules() const {
  std::vector<std::string> Modules;
  if (FDirectories.size() <= ImportDirectoryIndex) return Modules;
  const DataDirectory& Imports = FDirectories[ImportDirectoryIndex];
  if (Imports.Address == 0) return Modules;
  const std::optional<FileRange> Table = MapAddress(Imports.Address);
  if (!Table) return std::nullopt;
  std::vector<uint8_t> Descriptor, Name;
  for (size_t I = 0;; ++I) {
    const uint64_t At = I * ImportDescriptorSize;
    if (I == MaximumImports || Table->Length < At + ImportDescriptorSize ||
        !Read(Table->Offset + At, ImportDescriptorSize, Descriptor))
      return std::nullopt;
    if (std::all_of(Descriptor.begin(), Descriptor.end(), [](uint8_t B) { return B == 0; }))
      return Modules;
    const std::optional<FileRange> NameAt =
        MapAddress(bytes::LoadU32(Descriptor.data() + ImportDescriptorName));
    if (!NameAt) return std::nullopt;
    const size_t Count = static_cast<size_t>(std::min<uint64_t>(NameAt->Length, MaximumModuleName));
    if (!Read(NameAt->Offset, Count, Name)) return std::nullopt;
    const auto End = std::find(Name.begin(), Name.end(), uint8_t{0});
    if (End == Name.end()) return std::nullopt;
    Modules.emplace_back(Name.begin(), End);
  }
}

}  // namespace varn::versioninfo
