#pragma once
// Benchmark inputs made from fixed seeds: the same bytes on every run.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace bench {

using Bytes = std::vector<uint8_t>;

// Machine code and the data around it (instruction patterns, padding, address tables, import
// names).
Bytes ExecutableLike(uint32_t Seed, size_t Size);
// English-like text: words with a Zipf-like skew, punctuation, line breaks.
Bytes Text(uint32_t Seed, size_t Size);
// Uniformly random bytes.
Bytes Random(uint32_t Seed, size_t Size);

}  // namespace bench
