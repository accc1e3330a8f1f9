#pragma once
// The signature of an archive: an ECDSA P-256 signature of its seal (ArchiveSeal.h) by the key
// of the medium's publisher, in a block of its own directly after the seal in volume 1, before
// the first file's data. The seal holds the SHA-256 of the catalogue and of every file, so one
// signature of the seal's bytes covers them all. Readers of the format never read the gap
// between the catalogue and the first file's DataStart, and readers of the seal only the seal:
// a signed archive reads as a sealed one everywhere.
//
// Layout, little-endian (docs/seal-format.md):
//   0  8   magic "VarnSign"
//   8  2   format version (1)
//   10 2   algorithm (1: ECDSA over P-256 of the SHA-256 of the seal's bytes)
//   12 4   size of the whole block in bytes: 203 in version 1
//   16 32  key identifier: SHA-256 of the signer's public key (the 91 bytes at 112)
//   48 64  signature: r, then s, 32 bytes each, big-endian
//   112 91 the signer's public key (TPublisherKey's bytes)
// The key identifier says who signed, and the key lets anyone check that the medium is as that
// key signed it; only a key the checker trusts already (the one stamped into a loader, the one
// a publisher gives out) says that the signer is the publisher.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include <varn/archive/ArchiveSeal.h>
#include <varn/archive/cmp_TFileHeaders.h>
#include <varn/framework/Streams.h>
#include <varn/framework/platform/Signature.h>

namespace varn {

using TKeyIdentifier = platform::Sha256Digest;

namespace signature {

constexpr uint8_t Magic[8] = {'V', 'a', 'r', 'n', 'S', 'i', 'g', 'n'};
constexpr size_t VersionOffset = 8;
constexpr size_t AlgorithmOffset = 10;
constexpr size_t SizeOffset = 12;
constexpr size_t KeyIdentifierOffset = 16;
constexpr size_t ValueOffset = 48;
constexpr size_t SignerOffset = 112;
constexpr size_t BlockSize = 203;
constexpr uint16_t Version = 1;
constexpr uint16_t AlgorithmEcdsaP256Sha256 = 1;
static_assert(ValueOffset + sizeof(platform::P256Signature) == SignerOffset);

}  // namespace signature

// A publisher's public key: a P-256 point as DER SubjectPublicKeyInfo, uncompressed. These 91
// bytes are what a .pub file holds in base64, what a key identifier hashes (so
// `openssl pkey -pubin -outform DER | sha256sum` gives it too) and what a stamped loader carries.
class TPublisherKey {
 public:
  static constexpr size_t Size = 91;
  // The 26 bytes every such key begins with: SEQUENCE { SEQUENCE { id-ecPublicKey,
  // prime256v1 }, BIT STRING { 0 unused bits, 0x04 (uncompressed) ...
  static constexpr uint8_t Prefix[26] = {0x30, 0x59, 0x30, 0x13, 0x06, 0x07, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x02, 0x01, 0x06, 0x08, 0x2a, 0x86, 0x48,
                                         0xce, 0x3d, 0x03, 0x01, 0x07, 0x03, 0x42, 0x00};

  explicit TPublisherKey(const platform::P256PublicKey& Point);
  // Nothing unless Bytes are exactly Size bytes of this form, 0x04 then X and Y. Whether the
  // point lies on the curve is the verification's business.
  static std::optional<TPublisherKey> FromBytes(const uint8_t* Bytes, size_t Count);

  const std::array<uint8_t, Size>& Bytes() const { return FBytes; }
  platform::P256PublicKey Point() const;
  // SHA-256 of Bytes. Exception when the system offers no SHA-256.
  TKeyIdentifier Identifier() const;

  bool operator==(const TPublisherKey&) const = default;

 private:
  TPublisherKey() = default;
  std::array<uint8_t, Size> FBytes{};
};

enum class TSignatureState : uint8_t {
  Absent,   // no block after the seal (or no seal this reader can place)
  Damaged,  // a block's magic, but the block is cut short, its size is not its version's, or
            // its key is no P-256 key
  Unknown,  // a block of a later version or another algorithm: nothing can be said of it
  Present,  // a block this reader checks
};

struct TSignatureReading {
  TSignatureState State = TSignatureState::Absent;
  int64_t Offset = -1;  // where the block lies in volume 1, when there is one
  uint16_t Version = 0;
  TKeyIdentifier KeyIdentifier{};
  platform::P256Signature Value{};
  std::optional<TPublisherKey> Signer;  // when Present
};

// The block in Count bytes that begin with the magic (anything else: Absent). Reads only within
// the bytes.
TSignatureReading DecodeSignature(const uint8_t* Bytes, size_t Count);
// The block that follows Seal, a reading of the same volume (at Offset + Size). Reads at most
// signature::BlockSize bytes, within the stream.
TSignatureReading ReadArchiveSignature(TStream& Volume1, const TSealReading& Seal);

// The bytes of a version-1 block. Exception when the system offers no SHA-256.
std::vector<uint8_t> EncodeSignature(const TPublisherKey& Signer,
                                     const platform::P256Signature& Value);

enum class TSignatureCheck : uint8_t {
  Signed,       // Key signed this seal, the seal is one whose files this reader checks, and the
                // catalogue in hand is the one sealed
  NotSigned,    // no seal, a seal of a later version, no block, a damaged or unknown block, a
                // signature by another key or of other bytes
  CannotCheck,  // the system offers no ECDSA P-256 (or no SHA-256)
};

// Whether Key signed the archive whose catalogue, seal and signature were read: a signature is
// only worth as much as what the reader then checks, so a seal this reader cannot check
// (Absent, Unknown) is never Signed, and neither is a catalogue other than the one the seal
// covers (read again in between, say), which Headers must be. The key and key identifier in the
// block are not consulted: pass *Signature.Signer to check the medium against the key it names
// (and compare KeyIdentifier with that key's Identifier()).
TSignatureCheck CheckSignature(const TFileHeaders& Headers, const TSealReading& Seal,
                               const TSignatureReading& Signature, const TPublisherKey& Key);

// SHA-256 of the seal's bytes: what the signature signs. Exception without SHA-256.
platform::Sha256Digest SealDigest(const std::vector<uint8_t>& SealBytes);

// The publisher's key in a program: a constant of the loader, marked so that `varn stamp` finds
// it in a copy of the program file and writes the key into it (ProgramStamp.h). Layout:
//   0  16  marker "VarnPublisherKey"
//   16 4   length of the key, little-endian: 0 in a program not stamped, TPublisherKey::Size
//          in a stamped one
//   20 108 the key's bytes, then zeros
namespace key_block {

constexpr uint8_t Marker[16] = {'V', 'a', 'r', 'n', 'P', 'u', 'b', 'l',
                                'i', 's', 'h', 'e', 'r', 'K', 'e', 'y'};
constexpr size_t LengthOffset = 16;
constexpr size_t KeyOffset = 20;
constexpr size_t Size = 128;
static_assert(KeyOffset + TPublisherKey::Size <= Size);

}  // namespace key_block

struct TStampedKey {
  enum : uint8_t { Unstamped, Stamped, Damaged } State = Unstamped;
  std::optional<TPublisherKey> Key;  // when Stamped
};

// What a key block of Count bytes holds (the marker is not checked): Damaged for a length
// other than 0 and TPublisherKey::Size, a block shorter than its length says, or bytes that
// are no key. Reads only within the Count bytes.
TStampedKey DecodeKeyBlock(const uint8_t* Block, size_t Count);

}  // namespace varn
