#pragma once

#include <cstddef>
#include <exception>
#include <string>
#include <string_view>

// Strict conversions between UTF-8 (wire, JSON, messages) and the interface text.
// Invalid input raises, it is never replaced. std::wstring holds UTF-16 on Windows
// and UTF-32 natively; both builds refuse the same inputs.
//
// Raises std::length_error "Texte trop long." for 2^31 units or more, and
// std::runtime_error "Texte UTF-8 invalide." / "Texte Unicode invalide." for bad input.
std::wstring wide(std::string_view text);
std::string utf8(std::wstring_view text);

// A failure's message as interface text, never raising: the UTF-8 message, or when
// it is not UTF-8, `fallback`, or without one its ASCII characters with '?' for the rest.
std::wstring messageText(const std::exception& failure, const wchar_t* fallback = nullptr);

// Appends the two hexadecimal digits of `byte`, high first, in lower case (upper case
// when asked): tokens, identifiers, and the escapes of JSON and of URLs.
template <typename Text>
void appendHex(Text& out, unsigned char byte, bool upperCase = false) {
    const char* const digits = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    out += static_cast<typename Text::value_type>(digits[byte >> 4]);
    out += static_cast<typename Text::value_type>(digits[byte & 0x0F]);
}

// The largest text shared with the phone, in UTF-8 bytes (4 MiB), on either road.
inline constexpr std::size_t maximumTextBytes = 4194304;
