#pragma once
// SHA-256 from the operating system: CNG (bcrypt.dll, loaded by its full path in the system
// directory, like every library the loader loads) on Windows, OpenSSL's libcrypto on POSIX.
// No hash function is written here. No function here throws (but allocation may).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace varn::platform {

using Sha256Digest = std::array<uint8_t, 32>;

// One SHA-256 computation, fed in pieces of any size. A hash whose service is unavailable (no
// CNG on the system) or failed fails Finish; it never yields a digest it did not compute.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* Data, size_t Count);
  // The digest of everything given to Update; false when the service failed at any point.
  // The object is spent afterwards.
  bool Finish(Sha256Digest& Digest);

  struct State;

 private:
  std::unique_ptr<State> FState;
};

// Whether the system offers SHA-256 at all.
bool Sha256Available();

}  // namespace varn::platform
