#include <varn/archive/ProgramStamp.h>

#include <algorithm>

#include <varn/support/ByteReader.h>
#include <varn/versioninfo/PeImage.h>

namespace varn {
namespace {

using versioninfo::PeImage;

std::optional<PeImage> OpenPe(const std::vector<uint8_t>& Image) {
  return PeImage::Open(Image.size(),
                       [&Image](uint64_t Offset, size_t Count, std::vector<uint8_t>& Bytes) {
                         if (Offset > Image.size() || Count > Image.size() - Offset) return false;
                         Bytes.assign(Image.begin() + static_cast<std::ptrdiff_t>(Offset),
                                      Image.begin() + static_cast<std::ptrdiff_t>(Offset + Count));
                         return true;
                       });
}

struct Range {
  size_t Begin;
  size_t End;
};

// The file ranges of an ELF program's loadable segments, where its constants lie (not its
// debugging information, which may hold the marker's bytes too); nothing when the file is no
// little-endian ELF program or its program headers do not lie in it.
std::optional<std::vector<Range>> ElfLoadedRanges(const std::vector<uint8_t>& Image) {
  static constexpr uint8_t Magic[] = {0x7F, 'E', 'L', 'F'};
  if (Image.size() < 64 || !std::equal(std::begin(Magic), std::end(Magic), Image.begin()) ||
      Image[5] != 1)  // little-endian
    return std::nullopt;
  const bool Wide = Image[4] == 2;
  const uint8_t* Header = Image.data();
  const uint64_t Table = Wide ? bytes::LoadU64(Header + 32) : bytes::LoadU32(Header + 28);
  const size_t EntrySize = bytes::LoadU16(Header + (Wide ? 54 : 42));
  const size_t Count = bytes::LoadU16(Header + (Wide ? 56 : 44));
  if (EntrySize < (Wide ? 56u : 32u) || Table > Image.size() ||
      Count > (Image.size() - Table) / EntrySize)
    return std::nullopt;
  std::vector<Range> Ranges;
  for (size_t I = 0; I < Count; ++I) {
    const uint8_t* Entry = Header + Table + I * EntrySize;
    if (bytes::LoadU32(Entry) != 1) continue;  // PT_LOAD
    const uint64_t Offset = Wide ? bytes::LoadU64(Entry + 8) : bytes::LoadU32(Entry + 4);
    const uint64_t Size = Wide ? bytes::LoadU64(Entry + 32) : bytes::LoadU32(Entry + 16);
    if (Offset > Image.size() || Size > Image.size() - Offset) return std::nullopt;
    Ranges.push_back({static_cast<size_t>(Offset), static_cast<size_t>(Offset + Size)});
  }
  return Ranges;
}

}  // namespace

TProgramKeyBlock FindProgramKeyBlock(const std::vector<uint8_t>& Image, const std::string& Shown) {
  TProgramKeyBlock Block;
  std::vector<Range> Ranges{{0, Image.size()}};
  if (OpenPe(Image)) {
    Block.Format = TProgramKeyBlock::Pe;
  } else if (const auto Loaded = ElfLoadedRanges(Image)) {
    Block.Format = TProgramKeyBlock::Elf;
    Ranges = *Loaded;
  } else {
    throw EProgramStamp(Shown + " is no Windows or Linux program");
  }
  std::vector<size_t> Found;
  for (const Range& R : Ranges) {
    const auto End = Image.begin() + static_cast<std::ptrdiff_t>(R.End);
    auto At = Image.begin() + static_cast<std::ptrdiff_t>(R.Begin);
    while ((At = std::search(At, End, std::begin(key_block::Marker),
                             std::end(key_block::Marker))) != End)
      Found.push_back(static_cast<size_t>(At++ - Image.begin()));
  }
  if (Found.empty())
    throw EProgramStamp(Shown + " has no block for a publisher's key: it is no loader of varn " +
                        "that checks signed media");
  if (Found.size() > 1)
    throw EProgramStamp(Shown + " has more than one block for a publisher's key");
  Block.Offset = Found[0];
  if (Image.size() - Block.Offset < key_block::Size)
    throw EProgramStamp(Shown + " has its block for a publisher's key cut short");
  Block.Stamp = DecodeKeyBlock(Image.data() + Block.Offset, key_block::Size);
  return Block;
}

TStampedKey StampProgram(std::vector<uint8_t>& Image, const TPublisherKey& Key,
                         const std::string& Shown) {
  const TProgramKeyBlock Block = FindProgramKeyBlock(Image, Shown);
  const std::optional<PeImage> Pe = OpenPe(Image);
  if (Pe && Pe->HasDirectory(PeImage::DirectorySecurity))
    throw EProgramStamp(Shown + " is signed (Authenticode) already, and stamping would break " +
                        "its signature: stamp the program first, then sign it");
  uint8_t* At = Image.data() + Block.Offset;
  std::fill(At + key_block::LengthOffset, At + key_block::Size, 0);
  bytes::StoreU32(At + key_block::LengthOffset, TPublisherKey::Size);
  std::copy(Key.Bytes().begin(), Key.Bytes().end(), At + key_block::KeyOffset);
  if (Pe) {
    const uint64_t CheckSum = Pe->CheckSumOffset();
    bytes::StoreU32(Image.data() + CheckSum, PeImage::CheckSum(Image, CheckSum));
  }
  return Block.Stamp;
}

}  // namespace varn
