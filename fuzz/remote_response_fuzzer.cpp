// libFuzzer target: the readers of the update and like-vote answers on arbitrary bodies.
#include "fuzz/remote_response_properties.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* fault = remotecheck::responseFault(std::string_view(reinterpret_cast<const char*>(data), size));
    if (*fault) {
        std::fprintf(stderr, "answer reader breaks a property: %s\n", fault);
        std::abort();
    }
    return 0;
}
