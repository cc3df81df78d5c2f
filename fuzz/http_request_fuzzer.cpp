// libFuzzer target: parseHttpRequest on arbitrary bytes, checking the properties
// of every request it accepts and that a second parse gives the same result.
#include "fuzz/abort_on_fault.h"
#include "fuzz/http_request_properties.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view head(reinterpret_cast<const char*>(data), size);
    HttpRequest request;
    // Leftovers from an earlier use, under a name no request can carry.
    request.method = "(stale)";
    request.fields["(stale)"] = "value";
    const bool accepted = parseHttpRequest(head, request);
    if (accepted) {
        abortOnFault("accepted request", acceptedRequestFault(head, request));
        if (request.fields.count("(stale)")) std::abort();
    }
    HttpRequest again;
    if (parseHttpRequest(head, again) != accepted) std::abort();
    if (accepted &&
        (again.method != request.method || again.target != request.target || again.fields != request.fields))
        std::abort();
    return 0;
}
