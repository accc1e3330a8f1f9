#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <sstream>

#include <varn/framework/platform/Platform.h>

namespace fs = std::filesystem;

namespace testing_support {

// As the platform layer converts, names' text included.
// Native text is UTF-8 on every platform; std::filesystem reads a char string in the ANSI code
// page on Windows, and UTF-8 only as char8_t.
std::string Internal(const fs::path& Native) {
  const std::u8string Text = Native.u8string();
  return varn::platform::InternalPath(std::string(Text.begin(), Text.end()));
}

fs::path Native(const std::string& Internal) {
  const std::string Text = varn::platform::NativePath(Internal);
  return fs::path(std::u8string(Text.begin(), Text.end()));
}

TempDir::TempDir() {
  static std::atomic<int> Counter{0};
  const auto* Info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::ostringstream Name;
  Name << "varn-test-" << (Info ? Info->name() : "x") << "-" << std::random_device{}() << "-"
       << Counter++;
  std::string Clean = Name.str();
  std::replace_if(
      Clean.begin(), Clean.end(),
      [](char C) { return !std::isalnum(static_cast<unsigned char>(C)) && C != '-'; }, '_');
  const fs::path Dir = fs::temp_directory_path() / Clean;
  fs::create_directories(Dir);
  FPath = Internal(fs::canonical(Dir));
}

TempDir::~TempDir() {
  std::error_code Ignored;
  // Read-only leftovers must not keep the directory alive.
  for (auto It = fs::recursive_directory_iterator(Native(FPath), Ignored);
       It != fs::recursive_directory_iterator(); It.increment(Ignored))
    fs::permissions(It->path(), fs::perms::owner_all, fs::perm_options::add, Ignored);
  fs::remove_all(Native(FPath), Ignored);
}

void WriteFile(const std::string& Path, const std::string& Bytes) {
  std::ofstream Out(Native(Path), std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
  if (!Out) throw std::runtime_error("cannot write " + Path);
}

void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes) {
  WriteFile(Path, std::string(Bytes.begin(), Bytes.end()));
}

std::string ReadFile(const std::string& Path) {
  std::ifstream In(Native(Path), std::ios::binary);
  if (!In) throw std::runtime_error("cannot read " + Path);
  std::ostringstream Out;
  Out << In.rdbuf();
  return Out.str();
}

bool Exists(const std::string& Path) {
  std::error_code Ignored;
  return fs::exists(fs::symlink_status(Native(Path), Ignored));
}

std::vector<uint8_t> RandomBytes(size_t Count, uint32_t Seed) {
  std::mt19937 Generator(Seed);
  std::vector<uint8_t> Bytes(Count);
  for (auto& B : Bytes)
    B = static_cast<uint8_t>(Generator());
  return Bytes;
}

}  // namespace testing_support
