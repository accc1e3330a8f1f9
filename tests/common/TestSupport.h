#pragma once
// What many tests need: a scratch directory that cleans up after itself, and whole-file reads
// and writes. Paths handed to the code under test are in the program's own form (backslash);
// Native() gives the form the OS and std::filesystem use.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

// The program's form of a native path, and back (identity on Windows): the platform layer's.
std::string Internal(const std::filesystem::path& Native);
std::filesystem::path Native(const std::string& Internal);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory, without trailing separator, in the program's form.
  const std::string& Path() const { return FPath; }
  // A path inside it, in the program's form; Name uses '\' between components.
  std::string operator/(const std::string& Name) const { return FPath + "\\" + Name; }

 private:
  std::string FPath;
};

void WriteFile(const std::string& Path, const std::string& Bytes);
void WriteFile(const std::string& Path, const std::vector<uint8_t>& Bytes);
std::string ReadFile(const std::string& Path);
bool Exists(const std::string& Path);

// Bytes from a fixed seed, so every generated input is reproducible.
std::vector<uint8_t> RandomBytes(size_t Count, uint32_t Seed);

}  // namespace testing_support
