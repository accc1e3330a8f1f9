// ECDSA P-256 from the system (OpenSSL natively, CNG under Wine): a signature made by OpenSSL's
// command line verifies here, the system's own signatures verify, and every change of key,
// digest or signature is refused.
#include <varn/framework/platform/Signature.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "tests/common/TestKeys.h"

using namespace varn;
using platform::SignatureCheck;

namespace {

template <typename Array>
Array FromHex(const char* Text) {
  const std::vector<uint8_t> Bytes = test_keys::FromHex(Text);
  Array Result{};
  EXPECT_EQ(Bytes.size(), Result.size());
  std::copy_n(Bytes.begin(), std::min(Bytes.size(), Result.size()), Result.begin());
  return Result;
}

platform::Sha256Digest DigestOf(const std::string& Text) {
  platform::Sha256 Hash;
  Hash.Update(Text.data(), Text.size());
  platform::Sha256Digest Digest{};
  EXPECT_TRUE(Hash.Finish(Digest));
  return Digest;
}

// The curve's order n: no valid r or s reaches it.
const char* const Order = "ffffffff00000000ffffffffffffffffbce6faada7179e84f3b9cac2fc632551";

struct Signed {
  platform::P256PublicKey Key;
  platform::Sha256Digest Digest;
  platform::P256Signature Signature;
};

TEST(Signature, ChangesToKeyDigestOrSignatureAreRefused) {
  const Signed Good{FromHex<platform::P256PublicKey>(test_keys::PublicPoint), DigestOf("abc"),
                    FromHex<platform::P256Signature>(test_keys::SignatureOfAbc)};
  ASSERT_EQ(platform::VerifyP256(Good.Key, Good.Digest, Good.Signature), SignatureCheck::Valid)
      << "OpenSSL's signature, r then s";

  platform::P256PrivateKey OtherPrivate{};
  platform::P256PublicKey Other{};
  ASSERT_TRUE(platform::GenerateP256(OtherPrivate, Other));
  const std::pair<const char*, std::function<void(Signed&)>> Changes[] = {
      {"another digest", [](Signed& S) { S.Digest = DigestOf("abd"); }},
      {"r changed", [](Signed& S) { S.Signature[31] ^= 1; }},
      {"s changed", [](Signed& S) { S.Signature[32] ^= 0x80; }},
      {"r and s swapped",
       [](Signed& S) {
         std::rotate(S.Signature.begin(), S.Signature.begin() + 32, S.Signature.end());
       }},
      {"r zero", [](Signed& S) { std::fill_n(S.Signature.begin(), 32, 0); }},
      {"s zero", [](Signed& S) { std::fill_n(S.Signature.begin() + 32, 32, 0); }},
      {"s the order",
       [](Signed& S) {
         const auto N =
             FromHex<platform::P256Signature>((std::string(Order) + std::string(64, '0')).c_str());
         std::copy_n(N.begin(), 32, S.Signature.begin() + 32);
       }},
      {"another key", [&](Signed& S) { S.Key = Other; }},
      {"a point off the curve", [](Signed& S) { S.Key[63] ^= 1; }},
      {"no point at all", [](Signed& S) { S.Key.fill(0); }},
  };
  for (const auto& [Name, Change] : Changes) {
    Signed Changed = Good;
    Change(Changed);
    EXPECT_EQ(platform::VerifyP256(Changed.Key, Changed.Digest, Changed.Signature),
              SignatureCheck::Invalid)
        << Name;
  }
}

TEST(Signature, TheSystemsKeysAndSignaturesVerify) {
  const platform::Sha256Digest Digest = DigestOf("a seal");
  struct Pair {
    platform::P256PrivateKey Private;
    platform::P256PublicKey Public;
  };
  Pair Made{}, Fixed{FromHex<platform::P256PrivateKey>(test_keys::PrivateScalar),
                     FromHex<platform::P256PublicKey>(test_keys::PublicPoint)};
  ASSERT_TRUE(platform::GenerateP256(Made.Private, Made.Public));
  for (const Pair& P : {Made, Fixed}) {
    platform::P256Signature First{}, Second{};
    ASSERT_TRUE(platform::SignP256(P.Private, P.Public, Digest, First));
    ASSERT_TRUE(platform::SignP256(P.Private, P.Public, Digest, Second));
    EXPECT_NE(First, Second) << "a fresh nonce each time";
    EXPECT_EQ(platform::VerifyP256(P.Public, Digest, First), SignatureCheck::Valid);
    EXPECT_EQ(platform::VerifyP256(P.Public, Digest, Second), SignatureCheck::Valid);
  }
  EXPECT_NE(Made.Private, Fixed.Private);
}

}  // namespace
