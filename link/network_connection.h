#pragma once

#include "platform/socket.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

// Timed I/O on one accepted, non-blocking connection, used by one worker thread.
// Every wait is a 100 ms poll that also watches the server's running flag and the
// connection's deadline, so stopping the server or a silent phone frees the worker.
// Nothing here raises: failures are reported as -1 or false.
struct NetworkConnection {
    platform::SocketHandle socket = platform::invalidSocket;  // owned by the worker
    const std::atomic<bool>* running = nullptr;               // the server's flag
    std::uint64_t deadline = 0;                               // tick count after which no I/O succeeds

    static constexpr int pollMs = 100;
    static constexpr std::uint64_t progressLimitMs = 15000;
    static constexpr std::size_t maximumChunk = 65536;

    // True once the socket is readable (writable when forWrite); false on time-out
    // at `until` or at `deadline`, on stop or on a socket error.
    bool wait(bool forWrite, std::uint64_t until) const;
    // Bytes received (> 0), 0 when the peer closed, -1 on time-out, stop or error.
    // At most 65,536 bytes per call.
    std::int32_t read(unsigned char* buffer, std::uint64_t capacity, std::uint64_t until) const;
    // Sends everything; gives up after 15 s without progress, at `deadline` or on stop.
    bool write(const void* data, std::uint64_t length) const;
};

// The status line, Content-Type, Content-Length (not for 304), the fixed security
// block and `extraHeaders` (complete lines ending in CR LF), sent in one write.
bool headers(const NetworkConnection& connection, int status, std::string_view contentType, std::uint64_t contentLength,
             std::string_view extraHeaders);

// The head for `body`, then the body unless headOnly or status 304.
bool response(const NetworkConnection& connection, int status, std::string_view contentType, std::string_view body,
              bool headOnly, std::string_view extraHeaders);

// The reason phrase sent with a status; unknown statuses read "Not Found".
const char* reasonPhrase(int status);

// A JSON string literal, quotes included: backslash and quote escaped, bytes below
// 0x20 as \u00xx, everything else (UTF-8 sequences, DEL) copied unchanged.
std::string jsonString(std::string_view text);

// Percent-encoding for an RFC 5987 filename*: letters, digits, '-', '.', '_' kept,
// every other byte as %XX in upper case.
std::string urlEncode(std::string_view text);

// Equality without an early exit on the first differing byte; the length is not secret.
bool constantTimeEqual(std::string_view a, std::string_view b);
