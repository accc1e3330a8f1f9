#pragma once
// The fuzz targets' assertion: a broken promise stops the process, which libFuzzer reports as a
// finding and the corpus replay as a failed test.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(Condition)                                                              \
  do {                                                                                     \
    if (!(Condition)) {                                                                    \
      std::fprintf(stderr, "%s:%d: broken promise: %s\n", __FILE__, __LINE__, #Condition); \
      std::abort();                                                                        \
    }                                                                                      \
  } while (0)
