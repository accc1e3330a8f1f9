#include <varn/versioninfo/PeVersionResource.h>

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
constexpr size_t FileHeaderSectionCount = 2;
constexpr size_t FileHeaderOptionalSize = 16;
constexpr uint16_t Pe32Magic = 0x10B;
constexpr uint16_t Pe32PlusMagic = 0x20B;
constexpr size_t Pe32DirectoryCountOffset = 92;
constexpr size_t Pe32PlusDirectoryCountOffset = 108;
constexpr uint32_t ResourceDirectoryIndex = 2;
constexpr size_t DataDirectorySize = 8;
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
constexpr uint32_t VersionResourceType = 16;
constexpr uint32_t MaximumBlockSize = 0xFFFF;

// Reads whole byte ranges of a file, each checked against its size first.
class FileBytes {
 public:
  explicit FileBytes(TStream& File) : FFile(File), FSize(std::max<int64_t>(File.Size(), 0)) {}

  uint64_t Size() const { return FSize; }

  bool Read(uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
    if (Offset > FSize || Count > FSize - Offset) return false;
    Bytes.assign(Count, 0);
    if (FFile.Seek(static_cast<int64_t>(Offset), TSeekOrigin::soBeginning) !=
        static_cast<int64_t>(Offset))
      return false;
    for (size_t Done = 0; Done < Count;) {
      const size_t Chunk = std::min<size_t>(Count - Done, 1u << 20);
      const int32_t Got = FFile.Read(Bytes.data() + Done, static_cast<int32_t>(Chunk));
      if (Got <= 0) return false;
      Done += static_cast<size_t>(Got);
    }
    return true;
  }

 private:
  TStream& FFile;
  uint64_t FSize;
};

struct Section {
  uint32_t VirtualAddress = 0;
  uint32_t VirtualSize = 0;
  uint32_t RawPointer = 0;
  uint32_t RawSize = 0;
};

// Where an address of the loaded image lies in the file: the file offset and how many bytes of
// the section's raw data follow it.
struct FileRange {
  uint64_t Offset = 0;
  uint64_t Length = 0;
};

std::optional<FileRange> MapAddress(const std::vector<Section>& Sections, uint32_t Address) {
  for (const Section& Item : Sections) {
    const uint64_t Extent = Item.VirtualSize ? Item.VirtualSize : Item.RawSize;
    const uint64_t Start = Item.VirtualAddress;
    if (Address < Start || Address >= Start + Extent) continue;
    const uint64_t Into = Address - Start;
    if (Into >= Item.RawSize) return std::nullopt;  // in the zero-filled tail, not in the file
    return FileRange{uint64_t{Item.RawPointer} + Into, Item.RawSize - Into};
  }
  return std::nullopt;
}

struct ResourceEntry {
  uint32_t Name = 0;
  uint32_t Offset = 0;
};

// The entries of the directory at DirectoryOffset within the resource area
// [Area.Offset, Area.Offset + Area.Length).
std::optional<std::vector<ResourceEntry>> ReadDirectory(FileBytes& File, const FileRange& Area,
                                                        uint32_t DirectoryOffset) {
  std::vector<uint8_t> Header;
  if (DirectoryOffset > Area.Length || Area.Length - DirectoryOffset < ResourceDirectorySize ||
      !File.Read(Area.Offset + DirectoryOffset, ResourceDirectorySize, Header))
    return std::nullopt;
  const size_t Count = size_t{bytes::LoadU16(Header.data() + ResourceDirectoryNamedCount)} +
                       bytes::LoadU16(Header.data() + ResourceDirectoryNamedCount + 2);
  const uint64_t EntriesOffset = uint64_t{DirectoryOffset} + ResourceDirectorySize;
  std::vector<uint8_t> Raw;
  if (Count * ResourceEntrySize > Area.Length - EntriesOffset ||
      !File.Read(Area.Offset + EntriesOffset, Count * ResourceEntrySize, Raw))
    return std::nullopt;
  std::vector<ResourceEntry> Entries(Count);
  for (size_t I = 0; I < Count; ++I) {
    Entries[I].Name = bytes::LoadU32(Raw.data() + I * ResourceEntrySize);
    Entries[I].Offset = bytes::LoadU32(Raw.data() + I * ResourceEntrySize + 4);
  }
  return Entries;
}

bool IsSubdirectory(const ResourceEntry& Entry) {
  return (Entry.Offset & ResourceSubdirectoryFlag) != 0;
}
uint32_t SubdirectoryOffset(const ResourceEntry& Entry) {
  return Entry.Offset & ~ResourceSubdirectoryFlag;
}

std::optional<std::vector<Section>> ReadSections(FileBytes& File, uint64_t& ResourceAddress) {
  std::vector<uint8_t> Bytes;
  if (!File.Read(0, DosHeaderSize, Bytes) || bytes::LoadU16(Bytes.data()) != DosSignature)
    return std::nullopt;
  const uint64_t PeOffset = bytes::LoadU32(Bytes.data() + DosNewHeaderOffset);
  if (!File.Read(PeOffset, 4 + FileHeaderSize, Bytes) ||
      bytes::LoadU32(Bytes.data()) != PeSignature)
    return std::nullopt;
  const size_t SectionCount = bytes::LoadU16(Bytes.data() + 4 + FileHeaderSectionCount);
  const size_t OptionalSize = bytes::LoadU16(Bytes.data() + 4 + FileHeaderOptionalSize);
  const uint64_t OptionalOffset = PeOffset + 4 + FileHeaderSize;

  std::vector<uint8_t> Optional;
  if (!File.Read(OptionalOffset, OptionalSize, Optional)) return std::nullopt;
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
  uint32_t DirectoryCount = 0;
  if (!Reader.Seek(CountOffset) || !Reader.ReadU32(DirectoryCount) ||
      DirectoryCount <= ResourceDirectoryIndex ||
      !Reader.Skip(ResourceDirectoryIndex * DataDirectorySize))
    return std::nullopt;
  uint32_t Address = 0, Size = 0;
  if (!Reader.ReadU32(Address) || !Reader.ReadU32(Size) || Address == 0) return std::nullopt;
  ResourceAddress = Address;

  if (!File.Read(OptionalOffset + OptionalSize, SectionCount * SectionHeaderSize, Bytes))
    return std::nullopt;
  std::vector<Section> Sections(SectionCount);
  for (size_t I = 0; I < SectionCount; ++I) {
    const uint8_t* Header = Bytes.data() + I * SectionHeaderSize;
    Sections[I].VirtualSize = bytes::LoadU32(Header + SectionVirtualSize);
    Sections[I].VirtualAddress = bytes::LoadU32(Header + SectionVirtualAddress);
    Sections[I].RawSize = bytes::LoadU32(Header + SectionRawSize);
    Sections[I].RawPointer = bytes::LoadU32(Header + SectionRawPointer);
  }
  return Sections;
}

}  // namespace

std::optional<std::vector<uint8_t>> ReadVersionResource(TStream& Stream) {
  FileBytes File(Stream);
  uint64_t ResourceAddress = 0;
  const std::optional<std::vector<Section>> Sections = ReadSections(File, ResourceAddress);
  if (!Sections) return std::nullopt;
  std::optional<FileRange> Area = MapAddress(*Sections, static_cast<uint32_t>(ResourceAddress));
  if (!Area) return std::nullopt;
  if (Area->Offset > File.Size()) return std::nullopt;
  Area->Length = std::min(Area->Length, File.Size() - Area->Offset);

  // Type, then the first name, then that name's first language.
  const auto Types = ReadDirectory(File, *Area, 0);
  if (!Types) return std::nullopt;
  // A named entry has its high bit set, so it never equals the type's number.
  const auto Version = std::find_if(Types->begin(), Types->end(), [](const ResourceEntry& Entry) {
    return Entry.Name == VersionResourceType;
  });
  if (Version == Types->end() || !IsSubdirectory(*Version)) return std::nullopt;
  const auto Names = ReadDirectory(File, *Area, SubdirectoryOffset(*Version));
  if (!Names || Names->empty() || !IsSubdirectory(Names->front())) return std::nullopt;
  const auto Languages = ReadDirectory(File, *Area, SubdirectoryOffset(Names->front()));
  if (!Languages || Languages->empty() || IsSubdirectory(Languages->front())) return std::nullopt;

  const uint32_t DataEntryOffset = Languages->front().Offset;
  std::vector<uint8_t> DataEntry;
  if (DataEntryOffset > Area->Length || Area->Length - DataEntryOffset < ResourceDataEntrySize ||
      !File.Read(Area->Offset + DataEntryOffset, ResourceDataEntrySize, DataEntry))
    return std::nullopt;
  const uint32_t DataAddress = bytes::LoadU32(DataEntry.data());
  const uint32_t DataSize = std::min(bytes::LoadU32(DataEntry.data() + 4), MaximumBlockSize);
  const std::optional<FileRange> Data = MapAddress(*Sections, DataAddress);
  std::vector<uint8_t> Block;
  if (!Data || Data->Length < DataSize || !File.Read(Data->Offset, DataSize, Block))
    return std::nullopt;
  return Block;
}

}  // namespace varn::versioninfo
