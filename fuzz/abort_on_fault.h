// The one way a fuzz target reports a broken property: the property's name on stderr,
// then an abort, which makes libFuzzer keep the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

inline void abortOnFault(const char* what, const char* fault) {
    if (!*fault) return;
    std::fprintf(stderr, "%s breaks a property: %s\n", what, fault);
    std::abort();
}
