#include <varn/archive/ArchiveSeal.h>

#include <algorithm>

#include <varn/archive/EVCExceptions.h>
#include <varn/support/ByteReader.h>

namespace varn {
namespace {

constexpr int64_t PrologueSize = 5;
constexpr int64_t RecordSize = 164;
constexpr int64_t NextHeaderOffset = 124;
constexpr size_t HeadSize = seal::CatalogueHashOffset;
// Bounds on what a hostile volume can make the reader do.
constexpr int64_t MostChainSteps = 1 << 16;
constexpr int64_t LargestSeal = 1 << 30;

// One place that builds each report, rather than one at every check: the loader is a download.
[[noreturn]] void DamagedSeal(const std::string& VolumeName) {
  throw EVCDamagedSeal(VolumeName);
}

[[noreturn]] void DamagedCatalogue(const std::string& VolumeName) {
  throw EVCDamagedCatalogue(VolumeName);
}

bool ReadAt(TStream& Stream, int64_t Offset, void* Buffer, int64_t Count) {
  if (Offset < 0 || Count < 0 || Count > 0x7FFFFFFF) return false;
  if (Stream.Seek(Offset, TSeekOrigin::soBeginning) != Offset) return false;
  return Stream.Read(Buffer, static_cast<int32_t>(Count)) == Count;
}

bool HasMagicAt(TStream& Stream, int64_t Offset) {
  uint8_t Bytes[sizeof seal::Magic];
  return ReadAt(Stream, Offset, Bytes, sizeof Bytes) &&
         std::equal(std::begin(Bytes), std::end(Bytes), std::begin(seal::Magic));
}

TSealDigest Finished(platform::Sha256& Hash) {
  TSealDigest Digest{};
  if (!Hash.Finish(Digest)) throw EVCCannotCheckSeal();
  return Digest;
}

// The seal's own hash, over everything before it, against the one it holds.
bool OwnHashMatches(const std::vector<uint8_t>& Seal) {
  platform::Sha256 Hash;
  Hash.Update(Seal.data(), Seal.size() - seal::DigestSize);
  const TSealDigest Digest = Finished(Hash);
  return std::equal(Digest.begin(), Digest.end(), Seal.end() - seal::DigestSize);
}

bool HashRange(TStream& Stream, int64_t Offset, int64_t Count, TSealDigest& Digest) {
  if (Stream.Seek(Offset, TSeekOrigin::soBeginning) != Offset) return false;
  platform::Sha256 Hash;
  uint8_t Buffer[8192];
  while (Count > 0) {
    const auto Piece = static_cast<int32_t>(std::min<int64_t>(Count, sizeof Buffer));
    if (Stream.Read(Buffer, Piece) != Piece) return false;
    Hash.Update(Buffer, static_cast<size_t>(Piece));
    Count -= Piece;
  }
  Digest = Finished(Hash);
  return true;
}

// A version-1 seal of Count entries at Offset whose magic alone is damaged: with the magic put
// back, its own hash holds.
bool IsSealWithDamagedMagic(TStream& Stream, int64_t Offset, int64_t Count) {
  const int64_t Size = seal::SizeFor(Count);
  uint8_t Head[HeadSize];
  if (Size > LargestSeal || !ReadAt(Stream, Offset, Head, HeadSize) ||
      bytes::LoadU32(Head + seal::SizeOffset) != Size || !platform::Sha256Available())
    return false;
  std::vector<uint8_t> Seal(static_cast<size_t>(Size));
  if (!ReadAt(Stream, Offset, Seal.data(), Size)) return false;
  std::copy(std::begin(seal::Magic), std::end(seal::Magic), Seal.begin());
  return OwnHashMatches(Seal);
}

// Follows the header chain from offset 5 to the record that is the seal, whatever
// HeaderCount says; -1 when the chain ends or turns back first.
int64_t WalkToSeal(TStream& Stream) {
  int64_t At = PrologueSize;
  for (int64_t Step = 0; Step < MostChainSteps; ++Step) {
    if (HasMagicAt(Stream, At)) return At;
    uint8_t Next[4];
    if (!ReadAt(Stream, At + NextHeaderOffset, Next, sizeof Next)) return -1;
    const int64_t To = bytes::LoadI32(Next);
    if (To <= At) return -1;
    At = To;
  }
  return -1;
}

}  // namespace

std::vector<uint8_t> EncodeSeal(const TArchiveSeal& Seal) {
  const size_t Count = Seal.FileHashes.size();
  std::vector<uint8_t> Bytes(static_cast<size_t>(seal::SizeFor(static_cast<int64_t>(Count))));
  std::copy(std::begin(seal::Magic), std::end(seal::Magic), Bytes.begin());
  bytes::StoreU16(&Bytes[seal::VersionOffset], seal::Version);
  bytes::StoreU16(&Bytes[seal::AlgorithmOffset], seal::AlgorithmSha256);
  bytes::StoreU32(&Bytes[seal::SizeOffset], static_cast<uint32_t>(Bytes.size()));
  bytes::StoreU32(&Bytes[seal::CountOffset], static_cast<uint32_t>(Count));
  std::copy(Seal.CatalogueHash.begin(), Seal.CatalogueHash.end(),
            Bytes.begin() + seal::CatalogueHashOffset);
  for (size_t I = 0; I < Count; ++I)
    std::copy(
        Seal.FileHashes[I].begin(), Seal.FileHashes[I].end(),
        Bytes.begin() + static_cast<std::ptrdiff_t>(seal::FileHashesOffset + I * seal::DigestSize));
  platform::Sha256 Hash;
  Hash.Update(Bytes.data(), Bytes.size() - seal::DigestSize);
  TSealDigest Own{};
  if (!Hash.Finish(Own))
    throw Exception("SHA-256 is not available on this system: the archive cannot be sealed");
  std::copy(Own.begin(), Own.end(), Bytes.end() - seal::DigestSize);
  return Bytes;
}

TSealReading ReadArchiveSeal(TStream& Volume1, const std::string& VolumeName) {
  TSealReading Reading;
  uint8_t Prologue[4];
  if (!ReadAt(Volume1, 0, Prologue, sizeof Prologue)) return Reading;
  const int64_t Count = std::max<int32_t>(bytes::LoadI32(Prologue), 0);
  const int64_t Expected = PrologueSize + RecordSize * Count;

  int64_t At = -1;
  if (HasMagicAt(Volume1, Expected)) {
    At = Expected;
  } else if (IsSealWithDamagedMagic(Volume1, Expected, Count)) {
    DamagedSeal(VolumeName);
  } else {
    At = WalkToSeal(Volume1);
  }
  if (At < 0) return Reading;
  if (!platform::Sha256Available()) throw EVCCannotCheckSeal();

  uint8_t Head[HeadSize];
  if (!ReadAt(Volume1, At, Head, HeadSize)) DamagedSeal(VolumeName);
  const int64_t Size = bytes::LoadU32(Head + seal::SizeOffset);
  if (Size < static_cast<int64_t>(seal::FixedSize) || Size > LargestSeal) DamagedSeal(VolumeName);
  std::vector<uint8_t> Seal(static_cast<size_t>(Size));
  if (!ReadAt(Volume1, At, Seal.data(), Size) || !OwnHashMatches(Seal)) DamagedSeal(VolumeName);
  // A sound seal where HeaderCount does not lead: the count is damaged.
  if (At != Expected) DamagedCatalogue(VolumeName);

  Reading.Offset = At;
  Reading.Bytes = Seal;
  Reading.Version = bytes::LoadU16(&Seal[seal::VersionOffset]);
  if (Reading.Version != seal::Version ||
      bytes::LoadU16(&Seal[seal::AlgorithmOffset]) != seal::AlgorithmSha256) {
    Reading.State = TSealState::Unknown;
    return Reading;
  }
  const int64_t Sealed = bytes::LoadU32(&Seal[seal::CountOffset]);
  if (Size != seal::SizeFor(Sealed)) DamagedSeal(VolumeName);
  TSealDigest Catalogue{};
  if (Sealed != Count || !HashRange(Volume1, 0, Expected, Catalogue)) DamagedCatalogue(VolumeName);
  std::copy_n(Seal.begin() + seal::CatalogueHashOffset, seal::DigestSize,
              Reading.Seal.CatalogueHash.begin());
  if (Catalogue != Reading.Seal.CatalogueHash) DamagedCatalogue(VolumeName);
  Reading.Seal.FileHashes.resize(static_cast<size_t>(Sealed));
  for (size_t I = 0; I < Reading.Seal.FileHashes.size(); ++I)
    std::copy_n(
        Seal.begin() + static_cast<std::ptrdiff_t>(seal::FileHashesOffset + I * seal::DigestSize),
        seal::DigestSize, Reading.Seal.FileHashes[I].begin());
  Reading.State = TSealState::Present;
  return Reading;
}

std::string DigestText(const TSealDigest& Digest) {
  static const char Hex[] = "0123456789abcdef";
  std::string Text;
  for (const uint8_t B : Digest) {
    Text += Hex[B >> 4];
    Text += Hex[B & 15];
  }
  return Text;
}

}  // namespace varn
