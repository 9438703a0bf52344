// How every fuzz target reports a broken property: a line on stderr, then a crash the fuzzer keeps.
#pragma once

#include <cstdio>
#include <cstdlib>

[[noreturn]] inline void abortWith(const char* what) {
    std::fprintf(stderr, "fuzz target: %s\n", what);
    std::abort();
}
