#pragma once
// ECDSA over the curve P-256 from the operating system, for signed media: CNG (bcrypt.dll, from
// the system directory, as for the hashing) on Windows, the shared libcrypto of OpenSSL on POSIX;
// each is loaded when first needed, and where it is missing every call says so. No curve
// arithmetic is written here: the callers hand over fixed-size byte strings and get an answer.
// Nothing here throws (but allocation may).
//
// Every number is big-endian and exactly 32 bytes: a public key is the point's X then Y, a
// signature r then s (the form CNG takes; DER is the caller's business), a private key the
// scalar. What is signed is a SHA-256 digest (Hash.h).
#include <array>
#include <cstdint>

#include <varn/framework/platform/Hash.h>

namespace varn::platform {

using P256PublicKey = std::array<uint8_t, 64>;
using P256PrivateKey = std::array<uint8_t, 32>;
using P256Signature = std::array<uint8_t, 64>;

enum class SignatureCheck : uint8_t {
  Valid,        // Signature is Key's over Digest
  Invalid,      // it is not, or Key is no point of the curve
  Unavailable,  // the system offers no ECDSA over P-256 (a Windows before Vista, a Linux
                // without libcrypto)
};

SignatureCheck VerifyP256(const P256PublicKey& Key, const Sha256Digest& Digest,
                          const P256Signature& Signature);

// A new key pair from the system's random source; false when the system has no ECDSA.
bool GenerateP256(P256PrivateKey& Private, P256PublicKey& Public);

// Signs Digest with the pair (Private, Public); false when the system has no ECDSA or refuses
// the pair. Whether Public is Private's point is not checked everywhere: a caller that must
// know verifies the signature with Public. A fresh random nonce every time: two signatures of
// one digest differ, and both are valid.
bool SignP256(const P256PrivateKey& Private, const P256PublicKey& Public,
              const Sha256Digest& Digest, P256Signature& Signature);

}  // namespace varn::platform
