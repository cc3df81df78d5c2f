// libFuzzer target: wide and utf8 on arbitrary bytes (as UTF-8 and as wide units),
// and the OBEX name built from the same units.
#include "fuzz/text_properties.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* fault = textcheck::conversionFault(data, size);
    if (*fault) {
        std::fprintf(stderr, "text conversion breaks a property: %s\n", fault);
        std::abort();
    }
    return 0;
}
