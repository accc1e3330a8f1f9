#pragma once
// The seal of an archive: the SHA-256 of its catalogue and of every archived file's original
// bytes, kept in volume 1 directly after the catalogue records (at CatalogueSize(HeaderCount))
// and before the first file's data. Readers of the format never read that gap, since every
// file is read from its DataStart: a sealed archive reads exactly as an unsealed one. The last
// header's NextHeader names the seal (readers never follow it); an unsealed archive of ours
// has 0 there. So a catalogue says whether its medium was sealed, and a seal that is missing,
// cut off or damaged however often is told from no seal at all.
//
// Layout, little-endian (docs/seal-format.md):
//   0  8   magic "VarnSeal"
//   8  2   format version (1)
//   10 2   hash algorithm (1: SHA-256)
//   12 4   size of the whole seal in bytes: 84 + 32 * count in version 1
//   16 4   count: the number of catalogue entries
//   20 32  SHA-256 of the catalogue bytes, offsets 0 to the end of the last record
//   52 32 * count  SHA-256 of each entry's original bytes, in catalogue order
//   size - 32  32  SHA-256 of the seal's bytes before it
// The seal's own hash is SHA-256 in every version, so that a damaged seal is told from one of
// a later version, which a reader of this one leaves unchecked.
//
// Everything the library knows of seals is here: writing one, reading and checking it against
// the catalogue, and checking each extracted file against it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <varn/framework/Streams.h>
#include <varn/framework/platform/Hash.h>

namespace varn {

using TSealDigest = platform::Sha256Digest;

namespace seal {

constexpr uint8_t Magic[8] = {'V', 'a', 'r', 'n', 'S', 'e', 'a', 'l'};
constexpr size_t VersionOffset = 8;
constexpr size_t AlgorithmOffset = 10;
constexpr size_t SizeOffset = 12;
constexpr size_t CountOffset = 16;
constexpr size_t CatalogueHashOffset = 20;
constexpr size_t FileHashesOffset = 52;
constexpr size_t DigestSize = 32;
constexpr size_t FixedSize = FileHashesOffset + DigestSize;  // everything but the file hashes
constexpr uint16_t Version = 1;
constexpr uint16_t AlgorithmSha256 = 1;
static_assert(CatalogueHashOffset + DigestSize == FileHashesOffset);

// The size of a version-1 seal of Count entries.
constexpr int64_t SizeFor(int64_t Count) {
  return static_cast<int64_t>(FixedSize) + static_cast<int64_t>(DigestSize) * Count;
}

}  // namespace seal

struct TArchiveSeal {
  TSealDigest CatalogueHash{};
  std::vector<TSealDigest> FileHashes;  // one per catalogue entry
};

// The bytes of a version-1 seal. Exception when the system has no SHA-256.
std::vector<uint8_t> EncodeSeal(const TArchiveSeal& Seal);

// The SHA-256 of catalogue bytes as the seal holds it. Exception when the system has none.
TSealDigest CatalogueDigest(const std::vector<uint8_t>& Catalogue);

enum class TSealState : uint8_t {
  Absent,   // no seal, and the catalogue names none: an archive made without one, or elsewhere
  Unknown,  // a sound seal of a later version or another algorithm: not checked
  Present,  // a seal this reader checks; the catalogue matched it
};

struct TSealReading {
  TSealState State = TSealState::Absent;
  int64_t Offset = -1;  // where the seal lies in volume 1, when there is one
  int64_t Size = 0;     // its size in bytes, when there is one
  uint16_t Version = 0;
  TArchiveSeal Seal;  // filled when Present
};

// Looks for the seal in volume 1 and checks it and the catalogue against each other. Reads only
// within the stream, allocates no more than the file hashes of the entries volume 1 holds, and
// walks the catalogue's chain no further than the catalogue reader does. Raises EVCDamagedSeal
// when the catalogue names a seal (the last record's NextHeader points at the end of the
// records, and no file's data lies there) and no sound one is there (missing, cut short, any
// byte damaged, or of a size that volume 1 or the entry count rules out), and
// EVCDamagedCatalogue when the catalogue bytes differ from those sealed or a sound seal lies
// where HeaderCount does not say; both name VolumeName. EVCCannotCheckSeal when there is a seal
// but the system offers no SHA-256.
TSealReading ReadArchiveSeal(TStream& Volume1, const std::string& VolumeName);

// Checks extracted files against a seal, one at a time, from their decoded bytes as they are
// written: nothing is read twice.
class TSealedFileCheck {
 public:
  TSealedFileCheck();
  ~TSealedFileCheck();
  // Starts the check of entry Index. Without a seal to check against (Seal not Present) the
  // whole check does nothing.
  void Begin(const TSealReading& Seal, int32_t Index);
  void Update(const void* Data, size_t Count);
  // Ends the check begun: EVCDamagedFile naming FileName when the bytes differ from those
  // sealed; EVCCannotCheckSeal when the hash failed.
  void Finish(const std::string& FileName);
  // Drops a check that was begun, after a failure.
  void Cancel();

 private:
  std::unique_ptr<platform::Sha256> FHash;  // while a check is begun
  TSealDigest FSealed{};
  bool FKnown = false;  // the seal holds a digest for the entry
};

// Lower-case hexadecimal, as people compare digests.
std::string DigestText(const TSealDigest& Digest);

}  // namespace varn
