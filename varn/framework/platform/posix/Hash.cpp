#include <varn/framework/platform/Hash.h>

#include <openssl/evp.h>

namespace varn::platform {

struct Sha256::State {
  EVP_MD_CTX* Context = nullptr;
  bool Good = false;
};

Sha256::Sha256() : FState(std::make_unique<State>()) {
  FState->Context = EVP_MD_CTX_new();
  FState->Good = FState->Context && EVP_DigestInit_ex(FState->Context, EVP_sha256(), nullptr) == 1;
}

Sha256::~Sha256() {
  EVP_MD_CTX_free(FState->Context);
}

void Sha256::Update(const void* Data, size_t Count) {
  if (FState->Good && Count > 0) FState->Good = EVP_DigestUpdate(FState->Context, Data, Count) == 1;
}

bool Sha256::Finish(Sha256Digest& Digest) {
  unsigned int Length = 0;
  const bool Done = FState->Good &&
                    EVP_DigestFinal_ex(FState->Context, Digest.data(), &Length) == 1 &&
                    Length == Digest.size();
  FState->Good = false;
  return Done;
}

bool Sha256Available() {
  return EVP_sha256() != nullptr;
}

}  // namespace varn::platform
