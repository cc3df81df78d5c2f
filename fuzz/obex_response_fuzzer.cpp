// libFuzzer target: one OBEX push against a phone whose answers are the input.
#include "fuzz/obex_response_properties.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* fault = obexcheck::pushFault(data, size);
    if (*fault) {
        std::fprintf(stderr, "OBEX push breaks a property: %s\n", fault);
        std::abort();
    }
    return 0;
}
