// SHA-256 from the system (OpenSSL natively, CNG under Wine) against published test vectors,
// fed whole and in uneven pieces.
#include <varn/framework/platform/Hash.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <atomic>
#include <thread>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace varn;

namespace {

std::string Hex(const platform::Sha256Digest& Digest) {
  static const char Digits[] = "0123456789abcdef";
  std::string Text;
  for (const uint8_t B : Digest) {
    Text += Digits[B >> 4];
    Text += Digits[B & 15];
  }
  return Text;
}

std::string DigestOf(const std::string& Data, size_t Piece) {
  platform::Sha256 Hash;
  for (size_t At = 0; At < Data.size(); At += Piece)
    Hash.Update(Data.data() + At, std::min(Piece, Data.size() - At));
  platform::Sha256Digest Digest{};
  if (!Hash.Finish(Digest)) return "(failed)";
  return Hex(Digest);
}

TEST(Sha256, MatchesThePublishedVectors) {
  ASSERT_TRUE(platform::Sha256Available());
  const std::pair<std::string, const char*> Vectors[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [Data, Expected] : Vectors)
    for (const size_t Piece : {size_t{1} << 30, size_t{1}, size_t{63}, size_t{8192}}) {
      if (Piece == 1 && Data.size() > 1000) continue;
      EXPECT_EQ(DigestOf(Data, Piece), Expected) << Data.size() << " bytes, pieces of " << Piece;
    }
}

TEST(Sha256, PiecesOfEverySizeInterleavedAcrossHashesKeepTheirOrder) {
  std::string Data;
  for (uint32_t I = 0; Data.size() < 3'000'000; ++I)
    Data += static_cast<char>((I * 2654435761u) >> 24);
  const std::string Expected = DigestOf(Data, 8192);
  const size_t Sizes[] = {5, 70'000, 1, 20'000, 1 << 20, 16'383, 16'384, 65'536, 300'000};
  platform::Sha256 First, Second;
  size_t At = 0;
  for (size_t Turn = 0; At < Data.size(); ++Turn) {
    const size_t N = std::min(Sizes[Turn % std::size(Sizes)], Data.size() - At);
    First.Update(Data.data() + At, N);
    Second.Update(Data.data() + At, N);
    At += N;
  }
  platform::Sha256Digest A{}, B{};
  ASSERT_TRUE(First.Finish(A));
  ASSERT_TRUE(Second.Finish(B));
  EXPECT_EQ(Hex(A), Expected);
  EXPECT_EQ(Hex(B), Expected);
}

#ifndef _WIN32
// A program with threads of its own that forks while one of them hashes: every child hashes on,
// the hash begun before the fork included.
TEST(Sha256, ForkedChildrenHashWhileAnotherThreadHashes) {
  const std::string Data(1 << 20, 'a');
  const std::string Expected = DigestOf(Data, 8192);
  platform::Sha256 Before;
  Before.Update(Data.data(), Data.size());
  std::atomic<bool> Stop{false};
  std::thread Busy([&] {
    while (!Stop)
      DigestOf(Data, Data.size());
  });
  std::vector<pid_t> Children;
  for (int I = 0; I < 6; ++I) {
    const pid_t Child = fork();
    if (Child == 0) {
      alarm(20);  // a hang ends the child by a signal, which the parent reports
      platform::Sha256Digest Digest{};
      const bool Continued = Before.Finish(Digest) && Hex(Digest) == Expected;
      _exit(Continued && DigestOf(Data, Data.size()) == Expected ? 0 : 1);
    }
    Children.push_back(Child);
  }
  Stop = true;
  Busy.join();
  for (const pid_t Child : Children) {
    ASSERT_GT(Child, 0);
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << "status " << Status;
  }
  platform::Sha256Digest Digest{};
  ASSERT_TRUE(Before.Finish(Digest));
  EXPECT_EQ(Hex(Digest), Expected);
}
#endif

TEST(Sha256, IsSpentAfterFinish) {
  platform::Sha256 Hash;
  Hash.Update("abc", 3);
  platform::Sha256Digest Digest{};
  ASSERT_TRUE(Hash.Finish(Digest));
  EXPECT_FALSE(Hash.Finish(Digest));
}

}  // namespace
