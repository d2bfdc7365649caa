#pragma once

#include <cstdio>
#include <cstdlib>

// Programming errors (not bad input) are caught by assertions in debug and test builds.
#if !defined(NDEBUG) || defined(TESSERA_ASSERTS)
#define TESSERA_ASSERT(cond)                                                            \
  do {                                                                                  \
    if (!(cond)) {                                                                      \
      std::fprintf(stderr, "%s:%d: assertion failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (false)
#else
#define TESSERA_ASSERT(cond) \
  do {                       \
  } while (false)
#endif
