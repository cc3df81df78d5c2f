#pragma once

// Bytes that differ from piece to piece, so a reordered, repeated or lost piece of a
// transfer shows; the same size always gives the same bytes.

#include <cstddef>
#include <cstdint>
#include <string>

template <class Bytes = std::string>
Bytes patterned(std::size_t size) {
    Bytes bytes(size, 0);
    std::uint32_t state = 2463534242u;
    for (auto& byte : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<typename Bytes::value_type>(state);
    }
    return bytes;
}
