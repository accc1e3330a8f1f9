#include <varn/framework/platform/Signature.h>

#include <memory>

// The low-level interface, for the reason Hash.cpp gives: EVP would set up providers and
// configuration for one verification. This file is all the Linux loader takes of it; keys and
// signing live in SigningKeys.cpp, so that their part of the static libcrypto stays out.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>

namespace varn::platform {
namespace {

struct FreeKey {
  void operator()(EC_KEY* Key) const { EC_KEY_free(Key); }
};
struct FreeSignature {
  void operator()(ECDSA_SIG* Signature) const { ECDSA_SIG_free(Signature); }
};
struct FreeNumber {
  void operator()(BIGNUM* Number) const { BN_free(Number); }
};
using Number = std::unique_ptr<BIGNUM, FreeNumber>;

Number FromBytes(const uint8_t* Bytes) {
  return Number(BN_bin2bn(Bytes, 32, nullptr));
}

}  // namespace

SignatureCheck VerifyP256(const P256PublicKey& Key, const Sha256Digest& Digest,
                          const P256Signature& Signature) {
  const std::unique_ptr<EC_KEY, FreeKey> Public(EC_KEY_new_by_curve_name(NID_X9_62_prime256v1));
  const Number X = FromBytes(Key.data()), Y = FromBytes(Key.data() + 32);
  // Refuses a point that is not on the curve.
  if (!Public || !X || !Y ||
      EC_KEY_set_public_key_affine_coordinates(Public.get(), X.get(), Y.get()) != 1)
    return SignatureCheck::Invalid;
  const std::unique_ptr<ECDSA_SIG, FreeSignature> Pair(ECDSA_SIG_new());
  Number R = FromBytes(Signature.data()), S = FromBytes(Signature.data() + 32);
  if (!Pair || !R || !S || ECDSA_SIG_set0(Pair.get(), R.get(), S.get()) != 1)
    return SignatureCheck::Invalid;
  (void)R.release();  // the pair owns them now
  (void)S.release();
  return ECDSA_do_verify(Digest.data(), static_cast<int>(Digest.size()), Pair.get(),
                         Public.get()) == 1
             ? SignatureCheck::Valid
             : SignatureCheck::Invalid;
}

}  // namespace varn::platform
