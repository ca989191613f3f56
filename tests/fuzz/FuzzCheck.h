#pragma once

#include <cstdio>
#include <cstdlib>

// A property that holds for every input. A failure aborts, so that libFuzzer keeps
// the input that broke it and the replay in the test suite fails; it is checked in
// every build type, unlike Q_ASSERT.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)
