#include "base/text.h"

#include <cstdint>
#include <stdexcept>

// Natively wchar_t is UTF-32. The decoder refuses what MB_ERR_INVALID_CHARS refuses
// on Windows: stray or missing continuation bytes, overlong forms, encoded
// surrogates and values above U+10FFFF. The encoder refuses surrogate values and
// values above U+10FFFF, as WC_ERR_INVALID_CHARS refuses unpaired surrogates.
static_assert(sizeof(wchar_t) == 4, "the native build expects a 32-bit wchar_t");

namespace {

constexpr std::size_t maximumUnits = 0x7fffffff;

bool continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

bool decode(std::string_view text, std::wstring* out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t size = text.size();
    std::size_t i = 0;
    while (i < size) {
        const unsigned char lead = bytes[i];
        std::uint32_t value;
        std::size_t length;
        std::uint32_t minimum;
        if (lead < 0x80) {
            value = lead, length = 1, minimum = 0;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            value = lead & 0x1Fu, length = 2, minimum = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            value = lead & 0x0Fu, length = 3, minimum = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            value = lead & 0x07u, length = 4, minimum = 0x10000;
        } else {
            return false;  // continuation byte, C0/C1 overlong leads, F5..FF
        }
        if (size - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            if (!continuation(bytes[i + k])) return false;
            value = (value << 6) | (bytes[i + k] & 0x3Fu);
        }
        if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
        if (out) out->push_back(static_cast<wchar_t>(value));
        i += length;
    }
    return true;
}

bool encodable(std::uint32_t value) { return value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF); }

}  // namespace

std::wstring wide(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > maximumUnits) throw std::length_error("Texte trop long.");
    std::wstring result;
    result.reserve(text.size());
    if (!decode(text, &result)) throw std::runtime_error("Texte UTF-8 invalide.");
    return result;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    if (text.size() > maximumUnits) throw std::length_error("Texte trop long.");
    std::string result;
    result.reserve(text.size());
    for (wchar_t unit : text) {
        // wchar_t is 32 bits here, not a char: a negative unit becomes a value encodable() refuses.
        const auto value = static_cast<std::uint32_t>(unit);  // NOLINT(bugprone-signed-char-misuse)
        if (!encodable(value)) throw std::runtime_error("Texte Unicode invalide.");
        if (value < 0x80) {
            result.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            result.push_back(static_cast<char>(0xC0 | (value >> 6)));
            result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            result.push_back(static_cast<char>(0xE0 | (value >> 12)));
            result.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            result.push_back(static_cast<char>(0xF0 | (value >> 18)));
            result.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            result.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return result;
}
