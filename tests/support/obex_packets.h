#pragma once

// OBEX packets as a phone sends them, for the tests that play the phone.

#include <vector>

using Bytes = std::vector<unsigned char>;

// A response packet: code, big-endian length of the whole packet, extra bytes.
inline Bytes packet(unsigned char code, const Bytes& rest = {}) {
    Bytes out{code, static_cast<unsigned char>((rest.size() + 3) >> 8),
              static_cast<unsigned char>((rest.size() + 3) & 0xFF)};
    out.insert(out.end(), rest.begin(), rest.end());
    return out;
}

// A successful CONNECT response: version 1.0, no flags, the phone's maximum, headers.
inline Bytes connectResponse(unsigned maxPacket, const Bytes& headers = {}) {
    Bytes rest{0x10, 0x00, static_cast<unsigned char>(maxPacket >> 8), static_cast<unsigned char>(maxPacket & 0xFF)};
    rest.insert(rest.end(), headers.begin(), headers.end());
    return packet(0xA0, rest);
}

inline const Bytes connectionIdHeader{0xCB, 0x12, 0x34, 0x56, 0x78};
