// A failed check stops the fuzzer at once with the input that broke it.
#pragma once

#include <cstdio>

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            __builtin_trap();                                                                      \
        }                                                                                          \
    } while (0)
