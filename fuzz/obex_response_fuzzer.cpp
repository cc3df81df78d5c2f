// libFuzzer target: one OBEX push against a phone whose answers are the input.
#include "fuzz/abort_on_fault.h"
#include "fuzz/obex_response_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    abortOnFault("OBEX push", obexcheck::pushFault(data, size));
    return 0;
}
