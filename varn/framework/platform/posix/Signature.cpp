#include <varn/framework/platform/Signature.h>

#include <string>
#include <utility>

#include <dlfcn.h>

// Only the declarations: every function is taken from the shared libcrypto at run time.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/ecdsa.h>
#include <openssl/obj_mac.h>
#include <openssl/opensslv.h>

namespace varn::platform {
namespace {

// The system's shared libcrypto, loaded on first use and kept, as CNG is on Windows. Its curve
// code linked statically would take the whole library along (error queues, initialisation,
// providers): 4 MB more for the Linux loader, of which a stamped loader checks one signature.
// The low-level interface for the reason Hash.cpp gives.
struct Library {
  template <typename Function>
  static Function Symbol(void* Handle, const char* Name) {
    return Handle ? reinterpret_cast<Function>(dlsym(Handle, Name)) : nullptr;
  }
#define VARN_LIBCRYPTO(Name) decltype(&::Name) Name = Symbol<decltype(&::Name)>(Handle, #Name)
  void* Handle = dlopen(("libcrypto.so." + std::to_string(OPENSSL_VERSION_MAJOR)).c_str(),
                        RTLD_NOW | RTLD_LOCAL);
  VARN_LIBCRYPTO(BN_bin2bn);
  VARN_LIBCRYPTO(BN_bn2binpad);
  VARN_LIBCRYPTO(BN_clear_free);
  VARN_LIBCRYPTO(BN_new);
  VARN_LIBCRYPTO(EC_KEY_check_key);
  VARN_LIBCRYPTO(EC_KEY_free);
  VARN_LIBCRYPTO(EC_KEY_generate_key);
  VARN_LIBCRYPTO(EC_KEY_get0_group);
  VARN_LIBCRYPTO(EC_KEY_get0_private_key);
  VARN_LIBCRYPTO(EC_KEY_get0_public_key);
  VARN_LIBCRYPTO(EC_KEY_new_by_curve_name);
  VARN_LIBCRYPTO(EC_KEY_set_private_key);
  VARN_LIBCRYPTO(EC_KEY_set_public_key_affine_coordinates);
  VARN_LIBCRYPTO(EC_POINT_get_affine_coordinates);
  VARN_LIBCRYPTO(ECDSA_SIG_free);
  VARN_LIBCRYPTO(ECDSA_SIG_get0_r);
  VARN_LIBCRYPTO(ECDSA_SIG_get0_s);
  VARN_LIBCRYPTO(ECDSA_SIG_new);
  VARN_LIBCRYPTO(ECDSA_SIG_set0);
  VARN_LIBCRYPTO(ECDSA_do_sign);
  VARN_LIBCRYPTO(ECDSA_do_verify);
#undef VARN_LIBCRYPTO

  bool Available() const {
    return BN_bin2bn && BN_bn2binpad && BN_clear_free && BN_new && EC_KEY_check_key &&
           EC_KEY_free && EC_KEY_generate_key && EC_KEY_get0_group && EC_KEY_get0_private_key &&
           EC_KEY_get0_public_key && EC_KEY_new_by_curve_name && EC_KEY_set_private_key &&
           EC_KEY_set_public_key_affine_coordinates && EC_POINT_get_affine_coordinates &&
           ECDSA_SIG_free && ECDSA_SIG_get0_r && ECDSA_SIG_get0_s && ECDSA_SIG_new &&
           ECDSA_SIG_set0 && ECDSA_do_sign && ECDSA_do_verify;
  }
};

const Library* Crypto() {
  static const Library Instance;
  static const bool Available = Instance.Available();
  return Available ? &Instance : nullptr;
}

// Owners that free through the library.
struct Key {
  const Library& L;
  EC_KEY* P;
  ~Key() {
    if (P) L.EC_KEY_free(P);
  }
};
struct Number {
  const Library& L;
  BIGNUM* P;
  ~Number() {
    if (P) L.BN_clear_free(P);
  }
  BIGNUM* Release() { return std::exchange(P, nullptr); }
};
struct Pair {
  const Library& L;
  ECDSA_SIG* P;
  ~Pair() {
    if (P) L.ECDSA_SIG_free(P);
  }
};

Number FromBytes(const Library& L, const uint8_t* Bytes) {
  return Number{L, L.BN_bin2bn(Bytes, 32, nullptr)};
}

bool ToBytes(const Library& L, const BIGNUM* Value, uint8_t* Bytes) {
  return Value && L.BN_bn2binpad(Value, Bytes, 32) == 32;
}

Key CurveKey(const Library& L) {
  return Key{L, L.EC_KEY_new_by_curve_name(NID_X9_62_prime256v1)};
}

// Sets the public point; refuses one that is not on the curve.
bool SetPublic(const Library& L, const Key& K, const P256PublicKey& Public) {
  const Number X = FromBytes(L, Public.data()), Y = FromBytes(L, Public.data() + 32);
  return K.P && X.P && Y.P && L.EC_KEY_set_public_key_affine_coordinates(K.P, X.P, Y.P) == 1;
}

}  // namespace

SignatureCheck VerifyP256(const P256PublicKey& Key, const Sha256Digest& Digest,
                          const P256Signature& Signature) {
  const Library* L = Crypto();
  if (!L) return SignatureCheck::Unavailable;
  const auto Public = CurveKey(*L);
  if (!SetPublic(*L, Public, Key)) return SignatureCheck::Invalid;
  const Pair RS{*L, L->ECDSA_SIG_new()};
  Number R = FromBytes(*L, Signature.data()), S = FromBytes(*L, Signature.data() + 32);
  if (!RS.P || !R.P || !S.P || L->ECDSA_SIG_set0(RS.P, R.P, S.P) != 1)
    return SignatureCheck::Invalid;
  R.Release();  // the pair owns them now
  S.Release();
  return L->ECDSA_do_verify(Digest.data(), static_cast<int>(Digest.size()), RS.P, Public.P) == 1
             ? SignatureCheck::Valid
             : SignatureCheck::Invalid;
}

bool GenerateP256(P256PrivateKey& Private, P256PublicKey& Public) {
  const Library* L = Crypto();
  if (!L) return false;
  const auto Made = CurveKey(*L);
  const Number X{*L, L->BN_new()}, Y{*L, L->BN_new()};
  return Made.P && X.P && Y.P && L->EC_KEY_generate_key(Made.P) == 1 &&
         L->EC_POINT_get_affine_coordinates(L->EC_KEY_get0_group(Made.P),
                                            L->EC_KEY_get0_public_key(Made.P), X.P, Y.P,
                                            nullptr) == 1 &&
         ToBytes(*L, L->EC_KEY_get0_private_key(Made.P), Private.data()) &&
         ToBytes(*L, X.P, Public.data()) && ToBytes(*L, Y.P, Public.data() + 32);
}

bool SignP256(const P256PrivateKey& Private, const P256PublicKey& Public,
              const Sha256Digest& Digest, P256Signature& Signature) {
  const Library* L = Crypto();
  if (!L) return false;
  const auto Signer = CurveKey(*L);
  const Number Scalar = FromBytes(*L, Private.data());
  if (!Scalar.P || !SetPublic(*L, Signer, Public) ||
      L->EC_KEY_set_private_key(Signer.P, Scalar.P) != 1 || L->EC_KEY_check_key(Signer.P) != 1)
    return false;
  const Pair Made{*L, L->ECDSA_do_sign(Digest.data(), static_cast<int>(Digest.size()), Signer.P)};
  return Made.P && ToBytes(*L, L->ECDSA_SIG_get0_r(Made.P), Signature.data()) &&
         ToBytes(*L, L->ECDSA_SIG_get0_s(Made.P), Signature.data() + 32);
}

}  // namespace varn::platform
