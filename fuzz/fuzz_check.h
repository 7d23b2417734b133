// What every fuzz target asserts: a broken promise stops the run with the reason,
// and libFuzzer keeps the input that caused it.
#ifndef TOVARO_FUZZ_FUZZ_CHECK_H_
#define TOVARO_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

#endif  // TOVARO_FUZZ_FUZZ_CHECK_H_
