#pragma once

#include <QString>

#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: on failure, say which and abort so that
// libFuzzer keeps the input as a crash file.
#define FUZZ_CHECK(condition, what)                                                        \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "invariant failed: %s\n  %s\n", #condition,              \
                         QString(what).toUtf8().constData());                              \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)
