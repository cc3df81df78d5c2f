// libFuzzer target: wide and utf8 on arbitrary bytes (as UTF-8 and as wide units),
// and the OBEX name built from the same units.
#include "fuzz/abort_on_fault.h"
#include "fuzz/text_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    abortOnFault("text conversion", textcheck::conversionFault(data, size));
    return 0;
}
