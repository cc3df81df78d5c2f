// libFuzzer target: the readers of the update and like-vote answers on arbitrary bodies.
#include "fuzz/abort_on_fault.h"
#include "fuzz/remote_response_properties.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    abortOnFault("answer reader", remotecheck::responseFault(body));
    return 0;
}
