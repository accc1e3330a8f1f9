#include <varn/framework/platform/Hash.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sched.h>

// The one-algorithm interface: the EVP one first sets up OpenSSL's providers and configuration,
// some 2 MiB of memory for a hash that needs a hundred bytes; it is there in every OpenSSL 3 and
// runs the same code.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/sha.h>

namespace varn::platform {

struct Sha256::State {
  SHA256_CTX Context;
  // Written by the hashing thread while pieces are queued; read by the owner only after
  // waiting for them.
  bool Good = false;
  // Set once a piece went to the hashing thread: every later piece follows it there, in order.
  bool Background = false;
  std::atomic<size_t> Queued{0};  // pieces not hashed yet
};

namespace {

// Large pieces are hashed by a thread of their own while the caller goes on: extraction hashes
// each file as it writes it, and SHA-256 would otherwise take a sixth of its time. A piece is
// copied into one of a few slots first, since the caller may reuse its buffer at once. Both
// sides wait a little before they sleep: a piece comes every few dozen microseconds, and waking
// a sleeping thread costs about as much.
constexpr size_t BackgroundFrom = 16 * 1024;
constexpr size_t SlotSize = 64 * 1024;
constexpr size_t SlotCount = 4;
constexpr auto SpinFor = std::chrono::microseconds(200);

// Calls Ready until it is true or SpinFor has passed; its last answer.
template <typename Condition>
bool SpinUntil(Condition Ready) {
  const auto End = std::chrono::steady_clock::now() + SpinFor;
  for (;;) {
    for (int I = 0; I < 64; ++I)
      if (Ready()) return true;
    if (std::chrono::steady_clock::now() >= End) return Ready();
  }
}

bool SeveralProcessors() {
#ifdef __linux__
  cpu_set_t Set;
  if (sched_getaffinity(0, sizeof Set, &Set) == 0) return CPU_COUNT(&Set) > 1;
#endif
  return std::thread::hardware_concurrency() > 1;
}

class HashingThread {
 public:
  // The one hashing thread of the process, started on first use; null when none can start.
  static HashingThread* Get() {
    static HashingThread* const Instance = Start();
    return Forked ? nullptr : Instance;
  }

  // Set in the child of a fork, which has no hashing thread: a hash that used the thread before
  // the fork fails there instead of waiting forever, and new ones hash on the caller's thread.
  static inline std::atomic<bool> Forked{false};

  void Queue(Sha256::State& Owner, const uint8_t* Data, size_t Count) {
    while (Count > 0) {
      const size_t Piece = std::min(Count, SlotSize);
      SpinUntil([this] { return FUsed.load(std::memory_order_acquire) < SlotCount; });
      std::unique_lock Lock(FMutex);
      FChanged.wait(Lock, [this] { return FUsed.load() < SlotCount; });
      Job& J = FJobs[(FFirst + FUsed.load()) % SlotCount];
      std::memcpy(J.Data.get(), Data, Piece);
      J.Owner = &Owner;
      J.Count = Piece;
      Owner.Queued.fetch_add(1);
      FUsed.fetch_add(1, std::memory_order_release);
      const bool Wake = FSleeping;
      Lock.unlock();
      if (Wake) FChanged.notify_all();
      Data += Piece;
      Count -= Piece;
    }
  }

  void WaitFor(Sha256::State& Owner) {
    if (SpinUntil([&] { return Owner.Queued.load(std::memory_order_acquire) == 0; })) return;
    std::unique_lock Lock(FMutex);
    FChanged.wait(Lock, [&] { return Owner.Queued.load() == 0; });
  }

 private:
  struct Job {
    std::unique_ptr<uint8_t[]> Data = std::make_unique<uint8_t[]>(SlotSize);
    Sha256::State* Owner = nullptr;
    size_t Count = 0;
  };

  static HashingThread* Start() {
    // On one processor the waiting before sleeping would take turns with the caller's work.
    if (!SeveralProcessors()) return nullptr;
    auto* Thread = new HashingThread;
    pthread_atfork(nullptr, nullptr, [] { Forked = true; });
    try {
      std::thread(&HashingThread::Run, Thread).detach();
    } catch (...) {
      delete Thread;
      return nullptr;
    }
    return Thread;  // lives as long as the process
  }

  [[noreturn]] void Run() {
    for (;;) {
      if (!SpinUntil([this] { return FUsed.load(std::memory_order_acquire) > 0; })) {
        std::unique_lock Lock(FMutex);
        FSleeping = true;
        FChanged.wait(Lock, [this] { return FUsed.load() > 0; });
        FSleeping = false;
      }
      Job& J = FJobs[FFirst];
      Sha256::State& Owner = *J.Owner;
      // The slot stays taken, and the owner waiting, until the piece is hashed.
      if (Owner.Good) Owner.Good = SHA256_Update(&Owner.Context, J.Data.get(), J.Count) == 1;
      std::unique_lock Lock(FMutex);
      FFirst = (FFirst + 1) % SlotCount;
      FUsed.fetch_sub(1, std::memory_order_release);
      Owner.Queued.fetch_sub(1, std::memory_order_release);
      Lock.unlock();
      FChanged.notify_all();
    }
  }

  std::mutex FMutex;
  std::condition_variable FChanged;
  Job FJobs[SlotCount];
  size_t FFirst = 0;  // the oldest job; changed by the hashing thread alone
  std::atomic<size_t> FUsed{0};
  bool FSleeping = false;
};

// Waits for the pieces of State still queued; false when they are lost (a forked child).
bool WaitForBackground(Sha256::State& State) {
  if (!State.Background) return true;
  HashingThread* const Thread = HashingThread::Get();
  if (!Thread) return false;
  Thread->WaitFor(State);
  return true;
}

}  // namespace

Sha256::Sha256() : FState(std::make_unique<State>()) {
  FState->Good = SHA256_Init(&FState->Context) == 1;
}

Sha256::~Sha256() {
  WaitForBackground(*FState);
}

void Sha256::Update(const void* Data, size_t Count) {
  if (Count == 0) return;
  HashingThread* const Thread =
      FState->Background || Count >= BackgroundFrom ? HashingThread::Get() : nullptr;
  if (Thread) {
    FState->Background = true;
    Thread->Queue(*FState, static_cast<const uint8_t*>(Data), Count);
  } else if (FState->Background) {
    FState->Good = false;  // a forked child: the pieces before the fork are lost
  } else if (FState->Good) {
    FState->Good = SHA256_Update(&FState->Context, Data, Count) == 1;
  }
}

bool Sha256::Finish(Sha256Digest& Digest) {
  if (!WaitForBackground(*FState)) FState->Good = false;
  const bool Done = FState->Good && SHA256_Final(Digest.data(), &FState->Context) == 1;
  FState->Good = false;
  return Done;
}

bool Sha256Available() {
  return true;
}

}  // namespace varn::platform
