#pragma once

// A promise of the code under test: when it does not hold, the fuzzer stops at once and keeps the
// input that broke it.
inline void Require(bool promise) {
    if (!promise) {
        __builtin_trap();
    }
}
