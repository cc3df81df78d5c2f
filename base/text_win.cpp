#include "base/text.h"

#include <windows.h>

#include <stdexcept>

namespace {

constexpr std::size_t maximumUnits = 0x7fffffff;  // the converters count in int

}  // namespace

std::wstring wide(std::string_view text) {
    if (text.empty()) return {};
    if (text.size() > maximumUnits) throw std::length_error("Texte trop long.");
    const int length = static_cast<int>(text.size());
    int needed = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (needed == 0) throw std::runtime_error("Texte UTF-8 invalide.");
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), length, result.data(), needed) != needed)
        throw std::runtime_error("Conversion UTF-8 impossible.");
    return result;
}

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    if (text.size() > maximumUnits) throw std::length_error("Texte trop long.");
    const int length = static_cast<int>(text.size());
    int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed == 0) throw std::runtime_error("Texte Unicode invalide.");
    std::string result(static_cast<std::size_t>(needed), '\0');
    if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, text.data(), length, result.data(), needed, nullptr,
                            nullptr) != needed)
        throw std::runtime_error("Conversion Unicode impossible.");
    return result;
}
