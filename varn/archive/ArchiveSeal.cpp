#include <varn/archive/ArchiveSeal.h>

#include <algorithm>

#include <varn/archive/EVCExceptions.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/support/ByteReader.h>

namespace varn {
namespace {

constexpr int64_t RecordSize = static_cast<int64_t>(TFileHeaderRecord::Size);
constexpr size_t HeadSize = seal::CatalogueHashOffset;
// Bounds on what a hostile volume can make the reader do.
constexpr int64_t MostChainSteps = 1 << 16;

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

// Feeds Count bytes of Stream from Offset to Hash, in pieces: a size read from the medium never
// decides what is allocated.
bool HashRange(TStream& Stream, int64_t Offset, int64_t Count, platform::Sha256& Hash) {
  if (Stream.Seek(Offset, TSeekOrigin::soBeginning) != Offset) return false;
  uint8_t Buffer[8192];
  while (Count > 0) {
    const auto Piece = static_cast<int32_t>(std::min<int64_t>(Count, sizeof Buffer));
    if (Stream.Read(Buffer, Piece) != Piece) return false;
    Hash.Update(Buffer, static_cast<size_t>(Piece));
    Count -= Piece;
  }
  return true;
}

// Whether the Size bytes at Offset end in the SHA-256 of the bytes before, with Magic in place
// of the first eight when given. Size lies within the stream.
bool OwnHashHolds(TStream& Stream, int64_t Offset, int64_t Size, bool PutMagicBack = false) {
  const int64_t Covered = Size - static_cast<int64_t>(seal::DigestSize);
  platform::Sha256 Hash;
  int64_t From = Offset;
  if (PutMagicBack) {
    Hash.Update(seal::Magic, sizeof seal::Magic);
    From += sizeof seal::Magic;
  }
  if (!HashRange(Stream, From, Offset + Covered - From, Hash)) return false;
  const TSealDigest Digest = Finished(Hash);
  TSealDigest Held{};
  return ReadAt(Stream, Offset + Covered, Held.data(), seal::DigestSize) && Digest == Held;
}

// A seal whose size field fits the room volume 1 leaves for it from Offset.
bool FitsVolume(int64_t Size, int64_t Offset, int64_t VolumeSize) {
  return Size >= static_cast<int64_t>(seal::FixedSize) && Offset >= 0 &&
         Size <= VolumeSize - Offset;
}

// A version-1 seal of Count entries at Offset whose magic alone is damaged: with the magic put
// back, its own hash holds.
bool IsSealWithDamagedMagic(TStream& Stream, int64_t Offset, int64_t Count, int64_t VolumeSize) {
  const int64_t Size = seal::SizeFor(Count);
  uint8_t Head[HeadSize];
  return FitsVolume(Size, Offset, VolumeSize) && ReadAt(Stream, Offset, Head, HeadSize) &&
         bytes::LoadU32(Head + seal::SizeOffset) == Size && platform::Sha256Available() &&
         OwnHashHolds(Stream, Offset, Size, true);
}

// Follows the header chain from offset 5 to the record that is the seal, whatever
// HeaderCount says; -1 when the chain ends or turns back first.
int64_t WalkToSeal(TStream& Stream) {
  int64_t At = CataloguePrologueSize;
  for (int64_t Step = 0; Step < MostChainSteps; ++Step) {
    if (HasMagicAt(Stream, At)) return At;
    uint8_t Next[4];
    if (!ReadAt(Stream, At + TFileHeaderRecord::NextHeaderOffset, Next, sizeof Next)) return -1;
    const int64_t To = bytes::LoadI32(Next);
    if (To <= At) return -1;
    At = To;
  }
  return -1;
}

// Whether the catalogue of Count records says its medium was sealed: its last record's
// NextHeader points at the end of the records, where the seal goes, and no file's data lies in
// the seal's room there. A writer that pointed the last record on to the next free byte and
// put the first file's data there made no seal.
bool CatalogueNamesSeal(TStream& Stream, int64_t Count, int64_t VolumeSize) {
  if (Count <= 0 || Count > (VolumeSize - CataloguePrologueSize) / RecordSize) return false;
  const int64_t Room = CatalogueSize(Count);
  TFileHeaderRecord Record;
  int64_t Next = CataloguePrologueSize;
  for (int64_t I = 0; I < Count; ++I) {
    if (!ReadAt(Stream, Next, Record.Bytes.data(), RecordSize)) return false;
    const bool InVolume1 = Record.FirstDisk() <= 1;
    const bool HasData =
        Record.LastDisk() != Record.FirstDisk() || Record.DataEnd() >= Record.DataStart();
    if (InVolume1 && HasData && Record.DataStart() >= Room &&
        Record.DataStart() < Room + seal::SizeFor(Count))
      return false;
    Next = Record.NextHeader();
  }
  return Record.NextHeader() == Room;
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

TSealDigest CatalogueDigest(const std::vector<uint8_t>& Catalogue) {
  platform::Sha256 Hash;
  Hash.Update(Catalogue.data(), Catalogue.size());
  TSealDigest Digest{};
  if (!Hash.Finish(Digest))
    throw Exception("SHA-256 is not available on this system: the archive cannot be sealed");
  return Digest;
}

TSealReading ReadArchiveSeal(TStream& Volume1, const std::string& VolumeName) {
  TSealReading Reading;
  const int64_t VolumeSize = Volume1.Size();
  uint8_t Prologue[4];
  if (VolumeSize < 0 || !ReadAt(Volume1, 0, Prologue, sizeof Prologue)) return Reading;
  const int64_t Count = std::max<int32_t>(bytes::LoadI32(Prologue), 0);
  const int64_t Expected = CatalogueSize(Count);

  int64_t At = -1;
  if (HasMagicAt(Volume1, Expected)) {
    At = Expected;
  } else if (IsSealWithDamagedMagic(Volume1, Expected, Count, VolumeSize)) {
    DamagedSeal(VolumeName);
  } else {
    At = WalkToSeal(Volume1);
  }
  if (At < 0) {
    // Nothing that looks like a seal: missing, zeroed or cut off where the catalogue says one
    // was written.
    if (CatalogueNamesSeal(Volume1, Count, VolumeSize)) DamagedSeal(VolumeName);
    return Reading;
  }
  if (!platform::Sha256Available()) throw EVCCannotCheckSeal();

  uint8_t Head[HeadSize];
  if (!ReadAt(Volume1, At, Head, HeadSize)) DamagedSeal(VolumeName);
  const int64_t Size = bytes::LoadU32(Head + seal::SizeOffset);
  if (!FitsVolume(Size, At, VolumeSize) || !OwnHashHolds(Volume1, At, Size))
    DamagedSeal(VolumeName);
  // A sound seal where HeaderCount does not lead: the count is damaged.
  if (At != Expected) DamagedCatalogue(VolumeName);

  Reading.Offset = At;
  Reading.Size = Size;
  Reading.Version = bytes::LoadU16(Head + seal::VersionOffset);
  if (Reading.Version != seal::Version ||
      bytes::LoadU16(Head + seal::AlgorithmOffset) != seal::AlgorithmSha256) {
    Reading.State = TSealState::Unknown;
    return Reading;
  }
  const int64_t Sealed = bytes::LoadU32(Head + seal::CountOffset);
  if (Size != seal::SizeFor(Sealed)) DamagedSeal(VolumeName);
  platform::Sha256 CatalogueHash;
  if (Sealed != Count || !HashRange(Volume1, 0, Expected, CatalogueHash))
    DamagedCatalogue(VolumeName);
  if (!ReadAt(Volume1, At + static_cast<int64_t>(seal::CatalogueHashOffset),
              Reading.Seal.CatalogueHash.data(), seal::DigestSize))
    DamagedSeal(VolumeName);
  if (Finished(CatalogueHash) != Reading.Seal.CatalogueHash) DamagedCatalogue(VolumeName);
  // As many digests as volume 1 has records: the catalogue reader holds those already.
  Reading.Seal.FileHashes.resize(static_cast<size_t>(Sealed));
  for (size_t I = 0; I < Reading.Seal.FileHashes.size(); ++I)
    if (!ReadAt(Volume1, At + static_cast<int64_t>(seal::FileHashesOffset + I * seal::DigestSize),
                Reading.Seal.FileHashes[I].data(), seal::DigestSize))
      DamagedSeal(VolumeName);
  Reading.State = TSealState::Present;
  return Reading;
}

TSealedFileCheck::TSealedFileCheck() = default;
TSealedFileCheck::~TSealedFileCheck() = default;

void TSealedFileCheck::Begin(const TSealReading& Seal, int32_t Index) {
  Cancel();
  if (Seal.State != TSealState::Present) return;
  const std::vector<TSealDigest>& Sealed = Seal.Seal.FileHashes;
  FKnown = Index >= 0 && static_cast<size_t>(Index) < Sealed.size();
  if (FKnown) FSealed = Sealed[static_cast<size_t>(Index)];
  FHash = std::make_unique<platform::Sha256>();
}

void TSealedFileCheck::Update(const void* Data, size_t Count) {
  if (FHash) FHash->Update(Data, Count);
}

void TSealedFileCheck::Finish(const std::string& FileName) {
  if (!FHash) return;
  const std::unique_ptr<platform::Sha256> Hash = std::move(FHash);
  const TSealDigest Digest = Finished(*Hash);
  if (!FKnown || FSealed != Digest) throw EVCDamagedFile(FileName);
}

void TSealedFileCheck::Cancel() {
  FHash.reset();
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
