#include <varn/framework/platform/Hash.h>

// The one-algorithm interface: the EVP one first sets up OpenSSL's providers and configuration,
// some 2 MiB of memory for a hash that needs a hundred bytes; it is there in every OpenSSL 3 and
// runs the same code. The hash runs on the caller's thread: a thread of the library's own cost
// twice the processor time and lost on a busy machine.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace varn::platform {

struct Sha256::State {
  SHA256_CTX Context;
  bool Good = false;
};

Sha256::Sha256() : FState(std::make_unique<State>()) {
  FState->Good = SHA256_Init(&FState->Context) == 1;
}

Sha256::~Sha256() = default;

void Sha256::Update(const void* Data, size_t Count) {
  if (Count > 0 && FState->Good) FState->Good = SHA256_Update(&FState->Context, Data, Count) == 1;
}

bool Sha256::Finish(Sha256Digest& Digest) {
  const bool Done = FState->Good && SHA256_Final(Digest.data(), &FState->Context) == 1;
  FState->Good = false;
  return Done;
}

bool Sha256Available() {
  return true;
}

}  // namespace varn::platform
