#include "bench/Corpora.h"

#include <algorithm>
#include <random>
#include <string>

namespace bench {

// Machine code and the data around it: instruction patterns of x86 with random operands,
// zero padding, tables of small integers and addresses, and import names.
Bytes ExecutableLike(uint32_t Seed, size_t Size) {
  std::mt19937 G(Seed);
  const std::vector<Bytes> Patterns = {
      {0x55, 0x8B, 0xEC}, {0x8B, 0x45}, {0x89, 0x45}, {0xE8},
      {0x83, 0xC4, 0x04}, {0xC3},       {0x6A, 0x00}, {0xFF, 0x15},
      {0x8B, 0x4D},       {0x85, 0xC0}, {0x74},       {0x75},
      {0x33, 0xC0},       {0x5D, 0xC3}, {0x50},       {0x51},
      {0x8D, 0x45},       {0x0F, 0xB6}, {0xC7, 0x45}, {0x3B, 0xC1}};
  const std::vector<std::string> Names = {"GetProcAddress",   "LoadLibraryA", "CreateFileA",
                                          "ReadFile",         "WriteFile",    "CloseHandle",
                                          "GetModuleHandleA", "MessageBoxA",  "ExitProcess"};
  Bytes Out;
  Out.reserve(Size + 4096);
  while (Out.size() < Size) {
    const unsigned Kind = G() % 10;
    if (Kind < 6) {  // a run of code
      for (int I = 0, N = 20 + static_cast<int>(G() % 200); I < N; ++I) {
        const Bytes& P = Patterns[std::min<size_t>(G() % 32, G() % Patterns.size())];
        Out.insert(Out.end(), P.begin(), P.end());
        for (unsigned J = 0, Operands = G() % 5; J < Operands; ++J)
          Out.push_back(static_cast<uint8_t>(G() % 4 ? G() % 16 * 4 : G()));
      }
    } else if (Kind < 8) {  // padding
      Out.insert(Out.end(), 16 + G() % 512, static_cast<uint8_t>(G() % 3 ? 0x00 : 0xCC));
    } else if (Kind < 9) {  // a table of addresses
      for (unsigned I = 0, N = 8 + G() % 64, Base = 0x401000 + G() % 0x10000; I < N; ++I) {
        const uint32_t V = Base + (G() % 256) * 4;
        for (int B = 0; B < 4; ++B)
          Out.push_back(static_cast<uint8_t>(V >> (8 * B)));
      }
    } else {  // import names
      for (unsigned I = 0, N = 1 + G() % 8; I < N; ++I) {
        const std::string& S = Names[G() % Names.size()];
        Out.insert(Out.end(), S.begin(), S.end());
        Out.push_back(0);
      }
    }
  }
  Out.resize(Size);
  return Out;
}

// English-like text: words drawn with a Zipf-like skew, punctuation, line breaks.
Bytes Text(uint32_t Seed, size_t Size) {
  std::mt19937 G(Seed);
  const std::vector<std::string> Words = {
      "the",    "of",        "and",       "to",     "a",       "in",      "is",           "that",
      "for",    "it",        "as",        "with",   "was",     "on",      "be",           "by",
      "this",   "are",       "or",        "file",   "archive", "setup",   "installation", "program",
      "volume", "directory", "version",   "window", "extract", "decoder", "byte",         "table",
      "stream", "header",    "catalogue", "which",  "from",    "when",    "every",        "their"};
  Bytes Out;
  Out.reserve(Size + 64);
  size_t Line = 0;
  while (Out.size() < Size) {
    const size_t Rank = std::min<size_t>(G() % Words.size(), G() % Words.size());
    std::string W = Words[Rank];
    if (G() % 12 == 0) W[0] = static_cast<char>(W[0] - 32);
    Out.insert(Out.end(), W.begin(), W.end());
    Line += W.size() + 1;
    if (G() % 15 == 0) Out.push_back(G() % 3 ? ',' : '.');
    if (Line > 72) {
      Out.push_back('\n');
      Line = 0;
    } else {
      Out.push_back(' ');
    }
  }
  Out.resize(Size);
  return Out;
}

Bytes Random(uint32_t Seed, size_t Size) {
  std::mt19937 G(Seed);
  Bytes Out(Size);
  for (auto& B : Out)
    B = static_cast<uint8_t>(G());
  return Out;
}

}  // namespace bench
