#include <varn/archive/ArchiveSignature.h>

#include <algorithm>

#include <varn/framework/Exceptions.h>
#include <varn/support/ByteReader.h>

namespace varn {
namespace {

constexpr size_t PointOffset = sizeof TPublisherKey::Prefix + 1;  // after the 0x04

bool Sha256Of(const uint8_t* Bytes, size_t Count, platform::Sha256Digest& Digest) {
  platform::Sha256 Hash;
  Hash.Update(Bytes, Count);
  return Hash.Finish(Digest);
}

[[noreturn]] void NoSha256() {
  throw Exception("SHA-256 is not available on this system");
}

}  // namespace

TPublisherKey::TPublisherKey(const platform::P256PublicKey& Point) {
  std::copy(std::begin(Prefix), std::end(Prefix), FBytes.begin());
  FBytes[sizeof Prefix] = 0x04;
  std::copy(Point.begin(), Point.end(), FBytes.begin() + PointOffset);
}

std::optional<TPublisherKey> TPublisherKey::FromBytes(const uint8_t* Bytes, size_t Count) {
  if (!Bytes || Count != Size || !std::equal(std::begin(Prefix), std::end(Prefix), Bytes) ||
      Bytes[sizeof Prefix] != 0x04)
    return std::nullopt;
  TPublisherKey Key;
  std::copy_n(Bytes, Size, Key.FBytes.begin());
  return Key;
}

platform::P256PublicKey TPublisherKey::Point() const {
  platform::P256PublicKey Point{};
  std::copy(FBytes.begin() + PointOffset, FBytes.end(), Point.begin());
  return Point;
}

TKeyIdentifier TPublisherKey::Identifier() const {
  TKeyIdentifier Identifier{};
  if (!Sha256Of(FBytes.data(), FBytes.size(), Identifier)) NoSha256();
  return Identifier;
}

TSignatureReading DecodeSignature(const uint8_t* Bytes, size_t Count) {
  TSignatureReading Reading;
  if (!Bytes || Count < sizeof signature::Magic ||
      !std::equal(std::begin(signature::Magic), std::end(signature::Magic), Bytes))
    return Reading;
  Reading.State = TSignatureState::Damaged;
  // Version, algorithm and size of every version lie where version 1 has them.
  if (Count < signature::KeyIdentifierOffset) return Reading;
  Reading.Version = bytes::LoadU16(Bytes + signature::VersionOffset);
  const uint32_t Size = bytes::LoadU32(Bytes + signature::SizeOffset);
  if (Reading.Version != signature::Version ||
      bytes::LoadU16(Bytes + signature::AlgorithmOffset) != signature::AlgorithmEcdsaP256Sha256) {
    if (Size >= signature::KeyIdentifierOffset) Reading.State = TSignatureState::Unknown;
    return Reading;
  }
  if (Size != signature::BlockSize || Count < signature::BlockSize) return Reading;
  std::copy_n(Bytes + signature::KeyIdentifierOffset, Reading.KeyIdentifier.size(),
              Reading.KeyIdentifier.begin());
  std::copy_n(Bytes + signature::ValueOffset, Reading.Value.size(), Reading.Value.begin());
  Reading.Signer = TPublisherKey::FromBytes(Bytes + signature::SignerOffset, TPublisherKey::Size);
  if (Reading.Signer) Reading.State = TSignatureState::Present;
  return Reading;
}

TSignatureReading ReadArchiveSignature(TStream& Volume1, const TSealReading& Seal) {
  if (Seal.Offset < 0 || Seal.Size <= 0) return {};
  const int64_t At = Seal.Offset + Seal.Size;
  uint8_t Block[signature::BlockSize];
  if (Volume1.Seek(At, TSeekOrigin::soBeginning) != At) return {};
  const int32_t Read = Volume1.Read(Block, sizeof Block);
  TSignatureReading Reading = DecodeSignature(Block, Read > 0 ? static_cast<size_t>(Read) : 0);
  if (Reading.State != TSignatureState::Absent) Reading.Offset = At;
  return Reading;
}

std::vector<uint8_t> EncodeSignature(const TPublisherKey& Signer,
                                     const platform::P256Signature& Value) {
  const TKeyIdentifier Identifier = Signer.Identifier();
  std::vector<uint8_t> Bytes(signature::BlockSize);
  std::copy(std::begin(signature::Magic), std::end(signature::Magic), Bytes.begin());
  bytes::StoreU16(&Bytes[signature::VersionOffset], signature::Version);
  bytes::StoreU16(&Bytes[signature::AlgorithmOffset], signature::AlgorithmEcdsaP256Sha256);
  bytes::StoreU32(&Bytes[signature::SizeOffset], signature::BlockSize);
  std::copy(Identifier.begin(), Identifier.end(), Bytes.begin() + signature::KeyIdentifierOffset);
  std::copy(Value.begin(), Value.end(), Bytes.begin() + signature::ValueOffset);
  std::copy(Signer.Bytes().begin(), Signer.Bytes().end(), Bytes.begin() + signature::SignerOffset);
  return Bytes;
}

platform::Sha256Digest SealDigest(const std::vector<uint8_t>& SealBytes) {
  platform::Sha256Digest Digest{};
  if (!Sha256Of(SealBytes.data(), SealBytes.size(), Digest)) NoSha256();
  return Digest;
}

TSignatureCheck CheckSignature(const TFileHeaders& Headers, const TSealReading& Seal,
                               const TSignatureReading& Signature, const TPublisherKey& Key) {
  if (Seal.State != TSealState::Present || Signature.State != TSignatureState::Present)
    return TSignatureCheck::NotSigned;
  // The catalogue in hand, laid out as the seal covers it: HeaderCount, tag, adjacent records.
  platform::Sha256 Catalogue;
  uint8_t Prologue[CataloguePrologueSize];
  bytes::StoreI32(Prologue, Headers.Count());
  Prologue[4] = Headers.CatalogueTag;
  Catalogue.Update(Prologue, sizeof Prologue);
  for (int32_t I = 0; I < Headers.Count(); ++I)
    Catalogue.Update(Headers.GetFileHeaders(I).Record.Bytes.data(), TFileHeaderRecord::Size);
  platform::Sha256Digest Digest{};
  if (!Catalogue.Finish(Digest)) return TSignatureCheck::CannotCheck;
  if (Digest != Seal.Seal.CatalogueHash) return TSignatureCheck::NotSigned;
  // The seal's bytes made anew from the digests in hand, rather than read again: a sound seal
  // of this version is exactly these bytes, and what is checked is what extraction compares.
  if (!platform::Sha256Available()) return TSignatureCheck::CannotCheck;
  Digest = SealDigest(EncodeSeal(Seal.Seal));
  switch (platform::VerifyP256(Key.Point(), Digest, Signature.Value)) {
    case platform::SignatureCheck::Valid:
      return TSignatureCheck::Signed;
    case platform::SignatureCheck::Unavailable:
      return TSignatureCheck::CannotCheck;
    default:
      return TSignatureCheck::NotSigned;
  }
}

TStampedKey DecodeKeyBlock(const uint8_t* Block, size_t Count) {
  TStampedKey Stamp;
  if (!Block || Count < key_block::KeyOffset) {
    Stamp.State = TStampedKey::Damaged;
    return Stamp;
  }
  const uint32_t Length = bytes::LoadU32(Block + key_block::LengthOffset);
  if (Length == 0) return Stamp;
  if (Length <= Count - key_block::KeyOffset)
    Stamp.Key = TPublisherKey::FromBytes(Block + key_block::KeyOffset, Length);
  Stamp.State = Stamp.Key ? TStampedKey::Stamped : TStampedKey::Damaged;
  return Stamp;
}

}  // namespace varn
