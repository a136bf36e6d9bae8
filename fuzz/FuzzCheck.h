#pragma once

#include <cstdio>
#include <cstdlib>

// A broken rule ends the run like a crash, so that libFuzzer keeps the input.
// (assert() would vanish in a release build.)
#define TRX_FUZZ_CHECK(condition)                                                             \
    do {                                                                                      \
        if (!(condition)) {                                                                   \
            std::fprintf(stderr, "%s:%d: rule broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                     \
        }                                                                                     \
    } while (false)
