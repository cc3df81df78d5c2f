#pragma once

#include <stdexcept>
#include <string>

// Windows build only.
namespace remote {

// Raises a failure of the Windows half of the services with its French message.
[[noreturn]] inline void fail(const char* message) { throw std::runtime_error(message); }

// Largest answer body accepted, in bytes.
inline constexpr std::size_t MaxResponseBytes = 16384;

// One HTTPS request to port 443 of `host`, blocking, never following a redirect,
// with no request body. `headers` holds extra request lines, each ending with CR LF,
// or nothing. Returns the body of a 200 answer (at most MaxResponseBytes). Every
// failure raises std::runtime_error with a French message (see request_win.cpp).
// Used by the update check, the like vote and their tests.
std::string request(const std::wstring& host, const std::wstring& path, const std::wstring& method,
                    const std::wstring& headers);

}  // namespace remote
