#include "link/network_connection.h"

#include "base/text.h"
#include "platform/system.h"

#include <algorithm>

namespace {

constexpr std::string_view securityHeaders =
    "\r\nConnection: close"
    "\r\nCache-Control: no-store"
    "\r\nReferrer-Policy: no-referrer"
    "\r\nX-Content-Type-Options: nosniff"
    "\r\nX-Frame-Options: DENY"
    "\r\nCross-Origin-Resource-Policy: same-origin"
    "\r\nPermissions-Policy: camera=(), microphone=(), geolocation=()"
    "\r\nContent-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; connect-src 'self'; "
    "base-uri 'none'; frame-ancestors 'none'; form-action 'none'\r\n";

bool stillRunning(const std::atomic<bool>* running) { return running && running->load(); }

}  // namespace

bool NetworkConnection::wait(bool forWrite, std::uint64_t until) const {
    if (!stillRunning(running)) return false;
    for (;;) {
        const std::uint64_t now = platform::tickCount();
        if (now >= until || now >= deadline) return false;
        const int ready = platform::waitSocket(socket, forWrite, pollMs);
        if (ready > 0) return true;
        if (ready < 0) return false;
        if (!stillRunning(running)) return false;
    }
}

std::int32_t NetworkConnection::read(unsigned char* buffer, std::uint64_t capacity, std::uint64_t until) const {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, maximumChunk));
    for (;;) {
        if (!wait(false, until)) return -1;
        const int count = platform::receiveSome(socket, buffer, wanted);
        if (count >= 0) return count;
        if (!platform::wouldBlock(platform::lastSocketError())) return -1;
    }
}

bool NetworkConnection::write(const void* data, std::uint64_t length) const {
    if (length == 0) return true;
    const auto* next = static_cast<const unsigned char*>(data);
    std::uint64_t left = length;
    std::uint64_t progressLimit = platform::tickCount() + progressLimitMs;
    while (stillRunning(running)) {
        if (!wait(true, progressLimit)) return false;
        const int count =
            platform::sendSome(socket, next, static_cast<std::size_t>(std::min<std::uint64_t>(left, maximumChunk)));
        if (count > 0) {
            next += count;
            left -= static_cast<std::uint64_t>(count);
            progressLimit = platform::tickCount() + progressLimitMs;
            if (left == 0) return true;
        } else if (count == 0 || !platform::wouldBlock(platform::lastSocketError())) {
            return false;
        }
    }
    return false;
}

const char* reasonPhrase(int status) {
    switch (status) {
    case 200: return "OK";
    case 304: return "Not Modified";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 405: return "Method Not Allowed";
    case 431: return "Request Header Fields Too Large";
    default: return "Not Found";
    }
}

bool headers(const NetworkConnection& connection, int status, std::string_view contentType, std::uint64_t contentLength,
             std::string_view extraHeaders) {
    std::string head;
    head.reserve(512 + contentType.size() + extraHeaders.size());
    head += "HTTP/1.1 ";
    head += std::to_string(status);
    head += ' ';
    head += reasonPhrase(status);
    head += "\r\nContent-Type: ";
    head += contentType;
    if (status != 304) {
        head += "\r\nContent-Length: ";
        head += std::to_string(contentLength);
    }
    head += securityHeaders;
    head += extraHeaders;
    head += "\r\n";
    return connection.write(head.data(), head.size());
}

bool response(const NetworkConnection& connection, int status, std::string_view contentType, std::string_view body,
              bool headOnly, std::string_view extraHeaders) {
    if (!headers(connection, status, contentType, body.size(), extraHeaders)) return false;
    if (headOnly || status == 304) return true;
    return connection.write(body.data(), body.size());
}

std::string jsonString(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            appendHex(out, byte);
        } else {
            out += c;
        }
    }
    out += '"';
    return out;
}

std::string urlEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_';
        if (kept) {
            out += c;
        } else {
            out += '%';
            appendHex(out, byte, true);
        }
    }
    return out;
}

bool constantTimeEqual(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    unsigned char difference = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        difference |= static_cast<unsigned char>(a[i]) ^ static_cast<unsigned char>(b[i]);
    return difference == 0;
}
