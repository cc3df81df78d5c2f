#include "base/text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/support/raised.h"

TEST(Text, RoundTripsAcrossEveryEncodedLength) {
    const std::string samples[] = {
        "plain ASCII",
        "caf\xC3\xA9 \xE2\x82\xAC",      // é (2 bytes), € (3 bytes)
        "\xF0\x9F\x98\x80 smile",        // U+1F600, 4 bytes
        std::string("a\0b", 3),          // NUL is a character like any other
        "\xEF\xBF\xBF\xF4\x8F\xBF\xBF",  // U+FFFF and U+10FFFF, the upper edges
    };
    for (const std::string& sample : samples) EXPECT_EQ(utf8(wide(sample)), sample) << sample;
    EXPECT_EQ(wide("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_EQ(utf8(L"\u20AC"), "\xE2\x82\xAC");
    EXPECT_EQ(wide(std::string("a\0b", 3)).size(), 3u);
    EXPECT_TRUE(wide("").empty());
    EXPECT_TRUE(utf8(L"").empty());
}

TEST(Text, SupplementaryCharactersUseTheBuildsWideForm) {
    const std::wstring smile = wide("\xF0\x9F\x98\x80");
#ifdef _WIN32
    ASSERT_EQ(smile.size(), 2u);  // a surrogate pair
    EXPECT_EQ(smile[0], 0xD83D);
    EXPECT_EQ(smile[1], 0xDE00);
#else
    ASSERT_EQ(smile.size(), 1u);
    EXPECT_EQ(static_cast<unsigned>(smile[0]), 0x1F600u);
#endif
}

TEST(Text, InvalidUtf8IsRefusedNeverReplaced) {
    const std::string invalid[] = {
        "\x80",              // stray continuation byte
        "abc\xC3",           // truncated at the end
        "\xC3(",             // missing continuation
        "\xC0\xAF",          // overlong '/'
        "\xE0\x80\xAF",      // overlong in three bytes
        "\xF0\x80\x80\xAF",  // overlong in four bytes
        "\xED\xA0\x80",      // encoded high surrogate
        "\xED\xBF\xBF",      // encoded low surrogate
        "\xF4\x90\x80\x80",  // above U+10FFFF
        "\xF5\x80\x80\x80",  // lead byte that never occurs
        "\xFF",
        "ok \xE2\x82",  // euro sign cut short
    };
    for (const std::string& text : invalid)
        EXPECT_EQ(errorOf([&] { wide(text); }), "Texte UTF-8 invalide.") << testing::PrintToString(text);
}

TEST(Text, UnpairedSurrogatesAreRefused) {
    const std::wstring invalid[] = {
        std::wstring(1, static_cast<wchar_t>(0xD800)),
        std::wstring(L"a") + static_cast<wchar_t>(0xDC00) + L"b",
        std::wstring(L"x") + static_cast<wchar_t>(0xDBFF),
        // A low surrogate before a high one is no pair.
        std::wstring{static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xD83D)},
    };
    for (const std::wstring& text : invalid) EXPECT_EQ(errorOf([&] { utf8(text); }), "Texte Unicode invalide.");
#ifdef _WIN32
    const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(utf8(pair), "\xF0\x9F\x98\x80");
#else
    // In UTF-32 surrogate values never stand for a character, paired or not, and
    // nothing lies above U+10FFFF.
    const std::wstring pair{static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(errorOf([&] { utf8(pair); }), "Texte Unicode invalide.");
    EXPECT_EQ(errorOf([&] { utf8(std::wstring(1, static_cast<wchar_t>(0x110000))); }), "Texte Unicode invalide.");
#endif
}
