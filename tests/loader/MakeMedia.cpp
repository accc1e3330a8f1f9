// Writes installation media for the end-to-end tests, laid out by hand (every byte a literal),
// or with --sealed as varn pack writes them, sealed:
//   loader_make_media [--sealed] BASE VOLUME_SIZE [NAME=]FILE...
// BASE.1, BASE.2, ... in volumes of VOLUME_SIZE bytes (0: one volume). Each FILE is stored
// under NAME, or its own name, dated 18 June 2020, 12:00 local time; the first is the program.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/common/TestSupport.h"
#include "tests/component/HandLaidArchive.h"
#include "tests/component/SealedMedia.h"

int main(int argc, char** argv) {
  const bool Sealed = argc > 1 && std::string(argv[1]) == "--sealed";
  if (Sealed) {
    --argc;
    ++argv;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: loader_make_media [--sealed] BASE VOLUME_SIZE [NAME=]FILE...\n");
    return 2;
  }
  try {
    std::vector<hand_laid::Entry> Entries;
    std::vector<sealed_media::Member> Members;
    for (int I = 3; I < argc; ++I) {
      std::string Argument = argv[I];
      std::string Name;
      if (const size_t Equals = Argument.find('='); Equals != std::string::npos) {
        Name = Argument.substr(0, Equals);
        Argument = Argument.substr(Equals + 1);
      } else {
        Name = std::filesystem::path(Argument).filename().string();
      }
      const std::string Content =
          testing_support::ReadFile(testing_support::Internal(std::filesystem::path(Argument)));
      Entries.push_back(hand_laid::LiteralEntry(Name, hand_laid::Bytes(Content)));
      Members.push_back({Name, hand_laid::Bytes(Content)});
    }
    const std::string Base = testing_support::Internal(std::filesystem::path(argv[1]));
    if (Sealed) {
      sealed_media::Write(Base, Members, std::atoll(argv[2]));
    } else {
      hand_laid::Write(Base, Entries, std::atoll(argv[2]));
    }
  } catch (const std::exception& E) {
    std::fprintf(stderr, "loader_make_media: %s\n", E.what());
    return 1;
  }
  return 0;
}
