#include <varn/framework/platform/Signature.h>

#include <algorithm>
#include <string>

#include <varn/framework/platform/win32/SystemLibrary.h>

#include <bcrypt.h>

namespace varn::platform {
namespace {

using win32::Lookup;

using OpenAlgorithmProviderFunction = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR,
                                                        ULONG);
using ImportKeyPairFunction = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE, LPCWSTR,
                                                BCRYPT_KEY_HANDLE*, PUCHAR, ULONG, ULONG);
using VerifySignatureFunction = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, void*, PUCHAR, ULONG, PUCHAR,
                                                  ULONG, ULONG);
using SignHashFunction = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, void*, PUCHAR, ULONG, PUCHAR, ULONG,
                                           ULONG*, ULONG);
using GenerateKeyPairFunction = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_KEY_HANDLE*, ULONG,
                                                  ULONG);
using FinalizeKeyPairFunction = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, ULONG);
using ExportKeyFunction = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE, BCRYPT_KEY_HANDLE, LPCWSTR, PUCHAR,
                                            ULONG, ULONG*, ULONG);
using DestroyKeyFunction = NTSTATUS(WINAPI*)(BCRYPT_KEY_HANDLE);

// CNG's ECDSA P-256 provider, opened once and kept for the life of the process. Windows has it
// since Vista; where it is missing every call reports so.
struct Provider {
  ImportKeyPairFunction ImportKeyPair = nullptr;
  VerifySignatureFunction VerifySignature = nullptr;
  DestroyKeyFunction DestroyKey = nullptr;
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  HMODULE Module = nullptr;
};

Provider OpenProvider() {
  Provider P;
  std::string Path;
  const HMODULE Module = win32::LoadSystemLibrary("bcrypt.dll", Path);
  if (!Module) return P;
  const auto Open = Lookup<OpenAlgorithmProviderFunction>(Module, "BCryptOpenAlgorithmProvider");
  P.ImportKeyPair = Lookup<ImportKeyPairFunction>(Module, "BCryptImportKeyPair");
  P.VerifySignature = Lookup<VerifySignatureFunction>(Module, "BCryptVerifySignature");
  P.DestroyKey = Lookup<DestroyKeyFunction>(Module, "BCryptDestroyKey");
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  if (Open && P.ImportKeyPair && P.VerifySignature && P.DestroyKey &&
      BCRYPT_SUCCESS(Open(&Algorithm, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    P.Algorithm = Algorithm;
    P.Module = Module;
  }
  return P;
}

const Provider& EcdsaProvider() {
  static const Provider Instance = OpenProvider();
  return Instance;
}

// A key handle that is destroyed with its owner.
class KeyHandle {
 public:
  explicit KeyHandle(const Provider& P) : FProvider(P) {}
  ~KeyHandle() {
    if (Handle) FProvider.DestroyKey(Handle);
  }
  KeyHandle(const KeyHandle&) = delete;
  KeyHandle& operator=(const KeyHandle&) = delete;
  BCRYPT_KEY_HANDLE Handle = nullptr;

 private:
  const Provider& FProvider;
};

// CNG's key blob: a BCRYPT_ECCKEY_BLOB header (magic, 32), X, Y and, for a private key, the
// scalar; built byte by byte rather than through the struct.
template <size_t Size>
std::array<UCHAR, Size> KeyBlob(ULONG Magic, const P256PublicKey& Public) {
  std::array<UCHAR, Size> Blob{};
  for (int I = 0; I < 4; ++I) {
    Blob[I] = static_cast<UCHAR>(Magic >> (8 * I));
    Blob[4 + I] = static_cast<UCHAR>(32u >> (8 * I));
  }
  std::copy(Public.begin(), Public.end(), Blob.begin() + 8);
  return Blob;
}

bool Import(const Provider& P, LPCWSTR Type, UCHAR* Blob, ULONG Size, KeyHandle& Key) {
  return BCRYPT_SUCCESS(P.ImportKeyPair(P.Algorithm, nullptr, Type, &Key.Handle, Blob, Size, 0));
}

}  // namespace

SignatureCheck VerifyP256(const P256PublicKey& Key, const Sha256Digest& Digest,
                          const P256Signature& Signature) {
  const Provider& P = EcdsaProvider();
  if (!P.Algorithm) return SignatureCheck::Unavailable;
  auto Blob = KeyBlob<8 + 64>(BCRYPT_ECDSA_PUBLIC_P256_MAGIC, Key);
  KeyHandle Public(P);
  // The import refuses a point that is not on the curve.
  if (!Import(P, BCRYPT_ECCPUBLIC_BLOB, Blob.data(), static_cast<ULONG>(Blob.size()), Public))
    return SignatureCheck::Invalid;
  return BCRYPT_SUCCESS(P.VerifySignature(Public.Handle, nullptr, const_cast<UCHAR*>(Digest.data()),
                                          static_cast<ULONG>(Digest.size()),
                                          const_cast<UCHAR*>(Signature.data()),
                                          static_cast<ULONG>(Signature.size()), 0))
             ? SignatureCheck::Valid
             : SignatureCheck::Invalid;
}

bool GenerateP256(P256PrivateKey& Private, P256PublicKey& Public) {
  const Provider& P = EcdsaProvider();
  if (!P.Algorithm) return false;
  const auto Generate = Lookup<GenerateKeyPairFunction>(P.Module, "BCryptGenerateKeyPair");
  const auto Finalize = Lookup<FinalizeKeyPairFunction>(P.Module, "BCryptFinalizeKeyPair");
  const auto Export = Lookup<ExportKeyFunction>(P.Module, "BCryptExportKey");
  KeyHandle Pair(P);
  std::array<UCHAR, 8 + 96> Blob{};
  ULONG Written = 0;
  if (!Generate || !Finalize || !Export ||
      !BCRYPT_SUCCESS(Generate(P.Algorithm, &Pair.Handle, 256, 0)) ||
      !BCRYPT_SUCCESS(Finalize(Pair.Handle, 0)) ||
      !BCRYPT_SUCCESS(Export(Pair.Handle, nullptr, BCRYPT_ECCPRIVATE_BLOB, Blob.data(),
                             static_cast<ULONG>(Blob.size()), &Written, 0)) ||
      Written != Blob.size())
    return false;
  std::copy_n(Blob.begin() + 8, 64, Public.begin());
  std::copy_n(Blob.begin() + 72, 32, Private.begin());
  SecureZeroMemory(Blob.data(), Blob.size());
  return true;
}

bool SignP256(const P256PrivateKey& Private, const P256PublicKey& Public,
              const Sha256Digest& Digest, P256Signature& Signature) {
  const Provider& P = EcdsaProvider();
  if (!P.Algorithm) return false;
  const auto Sign = Lookup<SignHashFunction>(P.Module, "BCryptSignHash");
  auto Blob = KeyBlob<8 + 96>(BCRYPT_ECDSA_PRIVATE_P256_MAGIC, Public);
  std::copy(Private.begin(), Private.end(), Blob.begin() + 72);
  KeyHandle Pair(P);
  const bool Imported =
      Import(P, BCRYPT_ECCPRIVATE_BLOB, Blob.data(), static_cast<ULONG>(Blob.size()), Pair);
  SecureZeroMemory(Blob.data(), Blob.size());
  ULONG Written = 0;
  return Sign && Imported &&
         BCRYPT_SUCCESS(Sign(Pair.Handle, nullptr, const_cast<UCHAR*>(Digest.data()),
                             static_cast<ULONG>(Digest.size()), Signature.data(),
                             static_cast<ULONG>(Signature.size()), &Written, 0)) &&
         Written == Signature.size();
}

}  // namespace varn::platform
