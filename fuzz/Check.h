// A property of the code under fuzzing that must hold for every input; a
// broken one aborts, which libFuzzer reports as a finding with its input.
#pragma once

#include <cstdlib>

namespace corvane_fuzz {

inline void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace corvane_fuzz
