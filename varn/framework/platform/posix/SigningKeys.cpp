#include <varn/framework/platform/Signature.h>

#include <memory>

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
  void operator()(BIGNUM* Number) const { BN_clear_free(Number); }
};
using Key = std::unique_ptr<EC_KEY, FreeKey>;
using Number = std::unique_ptr<BIGNUM, FreeNumber>;

bool ToBytes(const BIGNUM* Value, uint8_t* Bytes) {
  return Value && BN_bn2binpad(Value, Bytes, 32) == 32;
}

}  // namespace

bool GenerateP256(P256PrivateKey& Private, P256PublicKey& Public) {
  const Key Pair(EC_KEY_new_by_curve_name(NID_X9_62_prime256v1));
  const Number X(BN_new()), Y(BN_new());
  return Pair && X && Y && EC_KEY_generate_key(Pair.get()) == 1 &&
         EC_POINT_get_affine_coordinates(EC_KEY_get0_group(Pair.get()),
                                         EC_KEY_get0_public_key(Pair.get()), X.get(), Y.get(),
                                         nullptr) == 1 &&
         ToBytes(EC_KEY_get0_private_key(Pair.get()), Private.data()) &&
         ToBytes(X.get(), Public.data()) && ToBytes(Y.get(), Public.data() + 32);
}

bool SignP256(const P256PrivateKey& Private, const P256PublicKey& Public,
              const Sha256Digest& Digest, P256Signature& Signature) {
  const Key Pair(EC_KEY_new_by_curve_name(NID_X9_62_prime256v1));
  const Number Scalar(BN_bin2bn(Private.data(), 32, nullptr));
  const Number X(BN_bin2bn(Public.data(), 32, nullptr));
  const Number Y(BN_bin2bn(Public.data() + 32, 32, nullptr));
  // The check that the point is the scalar's, as CNG's import of a private key makes it.
  if (!Pair || !Scalar || !X || !Y || EC_KEY_set_private_key(Pair.get(), Scalar.get()) != 1 ||
      EC_KEY_set_public_key_affine_coordinates(Pair.get(), X.get(), Y.get()) != 1 ||
      EC_KEY_check_key(Pair.get()) != 1)
    return false;
  const std::unique_ptr<ECDSA_SIG, FreeSignature> Made(
      ECDSA_do_sign(Digest.data(), static_cast<int>(Digest.size()), Pair.get()));
  return Made && ToBytes(ECDSA_SIG_get0_r(Made.get()), Signature.data()) &&
         ToBytes(ECDSA_SIG_get0_s(Made.get()), Signature.data() + 32);
}

}  // namespace varn::platform
