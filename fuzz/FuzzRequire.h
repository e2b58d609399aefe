#pragma once

// A property every input must keep: a broken one ends the run with its name,
// so that the fuzzer keeps the input that broke it.

#include <cstdio>
#include <cstdlib>

namespace o8r::fuzz {

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

}  // namespace o8r::fuzz
