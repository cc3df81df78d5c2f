#pragma once

// What the text conversions must do with any bytes, whatever the build: shared by
// the fuzzer and by the test that replays its corpus. The expected results come
// from a decoder written apart from the product's, after the table of well-formed
// UTF-8 byte sequences in the Unicode standard (chapter 3, table 3-7).

#include "bluetooth/obex_push.h"
#include "base/text.h"

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace textcheck {

// The code points of well-formed UTF-8, or false.
inline bool wellFormed(const std::string& s, std::vector<std::uint32_t>& points) {
    struct Row {
        unsigned char lead0, lead1, second0, second1;
        int length;
    };
    static const Row rows[] = {
        {0x00, 0x7F, 0, 0, 1},       {0xC2, 0xDF, 0x80, 0xBF, 2}, {0xE0, 0xE0, 0xA0, 0xBF, 3},
        {0xE1, 0xEC, 0x80, 0xBF, 3}, {0xED, 0xED, 0x80, 0x9F, 3}, {0xEE, 0xEF, 0x80, 0xBF, 3},
        {0xF0, 0xF0, 0x90, 0xBF, 4}, {0xF1, 0xF3, 0x80, 0xBF, 4}, {0xF4, 0xF4, 0x80, 0x8F, 4},
    };
    points.clear();
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[i + k]); };
        const Row* row = nullptr;
        for (const Row& r : rows)
            if (b(0) >= r.lead0 && b(0) <= r.lead1) row = &r;
        if (!row || s.size() - i < static_cast<std::size_t>(row->length)) return false;
        if (row->length > 1 && (b(1) < row->second0 || b(1) > row->second1)) return false;
        for (int k = 2; k < row->length; ++k)
            if (b(k) < 0x80 || b(k) > 0xBF) return false;
        static const std::uint32_t leadMask[] = {0, 0x7F, 0x1F, 0x0F, 0x07};
        std::uint32_t point = b(0) & leadMask[row->length];
        for (int k = 1; k < row->length; ++k) point = point * 64 + (b(k) & 0x3F);
        points.push_back(point);
        i += static_cast<std::size_t>(row->length);
    }
    return true;
}

// The code points a wide string stands for, or false when it holds a value no
// text can: a surrogate (natively), an unpaired surrogate (UTF-16), or above U+10FFFF.
inline bool wellFormed(const std::wstring& w, std::vector<std::uint32_t>& points) {
    points.clear();
    for (std::size_t i = 0; i < w.size(); ++i) {
        // NOLINTNEXTLINE(bugprone-signed-char-misuse): a wchar_t, which clang-tidy 14 takes for a char
        const auto unit = static_cast<std::uint32_t>(w[i]);
        if (sizeof(wchar_t) == 2 && unit >= 0xD800 && unit <= 0xDBFF && i + 1 < w.size()) {
            // NOLINTNEXTLINE(bugprone-signed-char-misuse): a wchar_t, as above
            const auto next = static_cast<std::uint32_t>(w[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                points.push_back(0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF) return false;
        points.push_back(unit);
    }
    return true;
}

inline std::wstring wideOf(const std::vector<std::uint32_t>& points) {
    std::wstring w;
    for (std::uint32_t p : points) {
        if (sizeof(wchar_t) == 2 && p > 0xFFFF) {
            w.push_back(static_cast<wchar_t>(0xD800 + ((p - 0x10000) >> 10)));
            w.push_back(static_cast<wchar_t>(0xDC00 + ((p - 0x10000) & 0x3FF)));
        } else {
            w.push_back(static_cast<wchar_t>(p));
        }
    }
    return w;
}

inline std::string utf8Of(const std::vector<std::uint32_t>& points) {
    std::string s;
    for (std::uint32_t p : points) {
        if (p < 0x80) {
            s += static_cast<char>(p);
        } else if (p < 0x800) {
            s += static_cast<char>(0xC0 | (p >> 6));
            s += static_cast<char>(0x80 | (p & 0x3F));
        } else if (p < 0x10000) {
            s += static_cast<char>(0xE0 | (p >> 12));
            s += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (p & 0x3F));
        } else {
            s += static_cast<char>(0xF0 | (p >> 18));
            s += static_cast<char>(0x80 | ((p >> 12) & 0x3F));
            s += static_cast<char>(0x80 | ((p >> 6) & 0x3F));
            s += static_cast<char>(0x80 | (p & 0x3F));
        }
    }
    return s;
}

// The OBEX Name value: UTF-16 units high byte first and a two-byte zero.
inline std::vector<unsigned char> utf16beOf(const std::vector<std::uint32_t>& points) {
    std::vector<unsigned char> out;
    auto unit = [&](std::uint32_t u) {
        out.push_back(static_cast<unsigned char>(u >> 8));
        out.push_back(static_cast<unsigned char>(u & 0xFF));
    };
    for (std::uint32_t p : points) {
        if (p > 0xFFFF) {
            unit(0xD800 + ((p - 0x10000) >> 10));
            unit(0xDC00 + ((p - 0x10000) & 0x3FF));
        } else {
            unit(p);
        }
    }
    unit(0);
    return out;
}

// The message of the runtime error f raised, "" when it returned, "(other)" for any
// other exception.
template <class F>
std::string failureOf(F&& f) {
    try {
        f();
    } catch (const std::length_error&) {
        return "(other)";
    } catch (const std::runtime_error& e) {
        return e.what();
    } catch (...) {
        return "(other)";
    }
    return "";
}

// The same bytes read as UTF-8 text and as wide units of three bytes each, high byte
// first (values above U+10FFFF included; a 16-bit wchar_t keeps the low 16 bits).
inline std::wstring unitsOf(const std::uint8_t* data, std::size_t size) {
    std::wstring w;
    for (std::size_t i = 0; i + 3 <= size; i += 3)
        w.push_back(static_cast<wchar_t>((std::uint32_t(data[i]) << 16) | (data[i + 1] << 8) | data[i + 2]));
    return w;
}

// "" or the property the conversions broke for these bytes.
inline const char* conversionFault(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint32_t> points;
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    std::wstring decoded;
    const std::string decodeFailure = failureOf([&] { decoded = wide(bytes); });
    if (wellFormed(bytes, points)) {
        if (!decodeFailure.empty()) return "well-formed UTF-8 refused";
        if (decoded != wideOf(points)) return "UTF-8 decoded to other units";
        std::string back;
        if (!failureOf([&] { back = utf8(decoded); }).empty()) return "decoded text not encodable";
        if (back != bytes) return "UTF-8 round trip changed the bytes";
    } else if (decodeFailure != "Texte UTF-8 invalide.") {
        return decodeFailure.empty() ? "ill-formed UTF-8 accepted" : "ill-formed UTF-8 refused with another error";
    }

    const std::wstring units = unitsOf(data, size);
    std::string encoded;
    const std::string encodeFailure = failureOf([&] { encoded = utf8(units); });
    std::vector<unsigned char> name;
    const std::string nameFailure = failureOf([&] { name = obexName(units); });
    if (wellFormed(units, points)) {
        if (!encodeFailure.empty()) return "valid wide text refused";
        if (encoded != utf8Of(points)) return "wide text encoded to other bytes";
        std::wstring back;
        if (!failureOf([&] { back = wide(encoded); }).empty()) return "encoded text not decodable";
        if (back != units) return "wide round trip changed the units";
        if (!nameFailure.empty()) return "valid name refused for OBEX";
        if (name != utf16beOf(points)) return "OBEX name is not the UTF-16 of the text";
    } else {
        if (encodeFailure != "Texte Unicode invalide.")
            return encodeFailure.empty() ? "invalid wide text encoded" : "invalid wide text refused with another error";
        if (sizeof(wchar_t) == 2) {
            // The name goes out unit for unit, as the file system gave it.
            if (name != utf16beOf(std::vector<std::uint32_t>(units.begin(), units.end())))
                return "OBEX name is not the units of the text";
        } else if (nameFailure != "Nom de fichier Bluetooth invalide.") {
            return "invalid name not refused for OBEX";
        }
    }
    return "";
}

}  // namespace textcheck
