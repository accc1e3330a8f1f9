#include <varn/framework/platform/Hash.h>

#include <algorithm>
#include <string>
#include <vector>

#include <varn/framework/platform/win32/SystemLibrary.h>

#include <bcrypt.h>

namespace varn::platform {
namespace {

using win32::Lookup;

using OpenAlgorithmProviderFunction = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE*, LPCWSTR, LPCWSTR,
                                                        ULONG);
using GetPropertyFunction = NTSTATUS(WINAPI*)(BCRYPT_HANDLE, LPCWSTR, PUCHAR, ULONG, ULONG*, ULONG);
using CreateHashFunction = NTSTATUS(WINAPI*)(BCRYPT_ALG_HANDLE, BCRYPT_HASH_HANDLE*, PUCHAR, ULONG,
                                             PUCHAR, ULONG, ULONG);
using HashDataFunction = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using FinishHashFunction = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE, PUCHAR, ULONG, ULONG);
using DestroyHashFunction = NTSTATUS(WINAPI*)(BCRYPT_HASH_HANDLE);

// CNG's SHA-256 provider, opened once and kept for the life of the process.
struct Provider {
  CreateHashFunction CreateHash = nullptr;
  HashDataFunction HashData = nullptr;
  FinishHashFunction FinishHash = nullptr;
  DestroyHashFunction DestroyHash = nullptr;
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  ULONG ObjectLength = 0;  // the hash object's size, which the caller provides before Windows 7
  bool Available() const { return Algorithm != nullptr; }
};

Provider OpenProvider() {
  Provider P;
  std::string Path;
  const HMODULE Module = win32::LoadSystemLibrary("bcrypt.dll", Path);
  if (!Module) return P;
  const auto Open = Lookup<OpenAlgorithmProviderFunction>(Module, "BCryptOpenAlgorithmProvider");
  const auto GetProperty = Lookup<GetPropertyFunction>(Module, "BCryptGetProperty");
  P.CreateHash = Lookup<CreateHashFunction>(Module, "BCryptCreateHash");
  P.HashData = Lookup<HashDataFunction>(Module, "BCryptHashData");
  P.FinishHash = Lookup<FinishHashFunction>(Module, "BCryptFinishHash");
  P.DestroyHash = Lookup<DestroyHashFunction>(Module, "BCryptDestroyHash");
  if (!Open || !GetProperty || !P.CreateHash || !P.HashData || !P.FinishHash || !P.DestroyHash)
    return P;
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  if (!BCRYPT_SUCCESS(Open(&Algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return P;
  ULONG Length = 0, Written = 0;
  if (!BCRYPT_SUCCESS(GetProperty(Algorithm, BCRYPT_OBJECT_LENGTH,
                                  reinterpret_cast<PUCHAR>(&Length), sizeof Length, &Written, 0)))
    return P;
  P.Algorithm = Algorithm;
  P.ObjectLength = Length;
  return P;
}

const Provider& Sha256Provider() {
  static const Provider Instance = OpenProvider();
  return Instance;
}

}  // namespace

struct Sha256::State {
  std::vector<UCHAR> Object;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  bool Good = false;
};

Sha256::Sha256() : FState(std::make_unique<State>()) {
  const Provider& P = Sha256Provider();
  if (!P.Available()) return;
  FState->Object.resize(std::max<ULONG>(P.ObjectLength, 1));
  FState->Good = BCRYPT_SUCCESS(P.CreateHash(P.Algorithm, &FState->Hash, FState->Object.data(),
                                             P.ObjectLength, nullptr, 0, 0));
}

Sha256::~Sha256() {
  if (FState->Hash) Sha256Provider().DestroyHash(FState->Hash);
}

void Sha256::Update(const void* Data, size_t Count) {
  auto* Bytes = static_cast<PUCHAR>(const_cast<void*>(Data));
  while (FState->Good && Count > 0) {
    const ULONG Piece = static_cast<ULONG>(std::min<size_t>(Count, 1u << 30));
    FState->Good = BCRYPT_SUCCESS(Sha256Provider().HashData(FState->Hash, Bytes, Piece, 0));
    Bytes += Piece;
    Count -= Piece;
  }
}

bool Sha256::Finish(Sha256Digest& Digest) {
  const bool Done =
      FState->Good && BCRYPT_SUCCESS(Sha256Provider().FinishHash(
                          FState->Hash, Digest.data(), static_cast<ULONG>(Digest.size()), 0));
  FState->Good = false;
  return Done;
}

bool Sha256Available() {
  return Sha256Provider().Available();
}

}  // namespace varn::platform
