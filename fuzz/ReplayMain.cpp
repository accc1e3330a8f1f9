// Runs a fuzz target over files without libFuzzer: every file named, and every file inside the
// directories named, in name order. Fails when nothing at all was run, so a mistyped corpus
// path cannot pass as a clean run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
  std::vector<fs::path> Inputs;
  for (int I = 1; I < argc; ++I) {
    const fs::path Argument(argv[I]);
    if (fs::is_directory(Argument)) {
      for (const auto& Entry : fs::directory_iterator(Argument))
        if (Entry.is_regular_file()) Inputs.push_back(Entry.path());
    } else if (fs::is_regular_file(Argument)) {
      Inputs.push_back(Argument);
    } else if (!fs::exists(Argument)) {
      std::fprintf(stderr, "no such input: %s\n", argv[I]);
      return 1;
    }
  }
  std::sort(Inputs.begin(), Inputs.end());
  for (const auto& Input : Inputs) {
    std::ifstream In(Input, std::ios::binary);
    const std::vector<uint8_t> Bytes((std::istreambuf_iterator<char>(In)),
                                     std::istreambuf_iterator<char>());
    std::fprintf(stderr, "%s\n", Input.string().c_str());
    // A copy of exactly the input's length, so the sanitizers see a read past its end.
    auto* Copy = new uint8_t[Bytes.size() + (Bytes.empty() ? 1 : 0)];
    std::copy(Bytes.begin(), Bytes.end(), Copy);
    LLVMFuzzerTestOneInput(Copy, Bytes.size());
    delete[] Copy;
  }
  std::printf("%zu inputs run\n", Inputs.size());
  return Inputs.empty() ? 1 : 0;
}
