// The signature block after the seal and the loader's key block, over arbitrary bytes: the
// input stands for volume 1 of a medium and, at once, for a loader's key block. Whatever the
// bytes, the readers stay within them, and a medium passes the signature check, by the tests'
// key or by the key its block names, only as the one medium that key signed among the seeds
// (the hand-laid example): tampered signature bytes, a block cut short, a key block of the
// wrong size pass nothing.
#include <algorithm>
#include <cstdint>
#include <vector>

#include <varn/archive/ArchiveSignature.h>
#include <varn/archive/SigningKeys.h>
#include <varn/support/ByteReader.h>
#include "fuzz/FuzzCheck.h"
#include "tests/archive/ArchiveFixtures.h"
#include "tests/common/TestKeys.h"

using namespace varn;

namespace {

const TPublisherKey& TestKey() {
  static const TPublisherKey Key = ReadPublicKeyPem(test_keys::PublicPem, "test.pub");
  return Key;
}

// The seal of the hand-laid signed example, at 333 to 481 of its volume 1.
const std::vector<uint8_t>& SignedSeal() {
  static const std::vector<uint8_t> Seal = [] {
    const std::vector<uint8_t> Volume = fixtures::SignedTwoFileVolume();
    return std::vector<uint8_t>(Volume.begin() + 333, Volume.begin() + 481);
  }();
  return Seal;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const TStampedKey Stamp = DecodeKeyBlock(Data, Size);
  if (Stamp.State == TStampedKey::Stamped) {
    FUZZ_CHECK(Size >= key_block::KeyOffset + TPublisherKey::Size);
    FUZZ_CHECK(bytes::LoadU32(Data + key_block::LengthOffset) == TPublisherKey::Size);
    FUZZ_CHECK(std::equal(Stamp.Key->Bytes().begin(), Stamp.Key->Bytes().end(),
                          Data + key_block::KeyOffset));
  }
  const TSignatureReading Block = DecodeSignature(Data, Size);
  FUZZ_CHECK(Block.Signer.has_value() == (Block.State == TSignatureState::Present));
  if (Block.State == TSignatureState::Present) FUZZ_CHECK(Size >= signature::BlockSize);

  TMemoryStream Stream(std::vector<uint8_t>(Data, Data + Size));
  TFileHeaders Headers;
  TSealReading Seal;
  try {
    Headers.ReadFromStream(Stream);
    Seal = ReadArchiveSeal(Stream, "setup.1");
  } catch (const EVC&) {
    return 0;
  }
  const TSignatureReading Signature = ReadArchiveSignature(Stream, Seal);
  if (Signature.State != TSignatureState::Absent)
    FUZZ_CHECK(Signature.Offset == Seal.Offset + Seal.Size);
  if (Signature.State == TSignatureState::Present)
    FUZZ_CHECK(Signature.Offset + static_cast<int64_t>(signature::BlockSize) <=
               static_cast<int64_t>(Size));
  for (const TPublisherKey* Key : {&TestKey(), Signature.Signer ? &*Signature.Signer : nullptr}) {
    if (Key && CheckSignature(Headers, Seal, Signature, *Key) == TSignatureCheck::Signed) {
      FUZZ_CHECK(*Key == TestKey());
      FUZZ_CHECK(EncodeSeal(Seal.Seal) == SignedSeal());
    }
  }
  return 0;
}
