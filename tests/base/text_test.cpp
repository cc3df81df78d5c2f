#include "base/text.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "tests/support/raised.h"

// Each encoded length, the upper edges, the wide form of a supplementary character
// and the usual ill-formed sequences are seeds of the text fuzzer, checked in both
// builds against a decoder written apart (FuzzCorpus.TextConversionsKeepTheirProperties).
// What those seeds do not hold is here.
TEST(Text, ConversionsBeyondTheFuzzSeeds) {
    EXPECT_EQ(utf8(wide("\xEF\xBF\xBF")), "\xEF\xBF\xBF");  // U+FFFF
    EXPECT_EQ(wide("caf\xC3\xA9"), L"caf\u00E9");
    EXPECT_TRUE(wide("").empty());
    EXPECT_TRUE(utf8(L"").empty());
    // A lead byte followed by one that cannot continue it.
    EXPECT_EQ(errorOf([] { wide("\xC3("); }), "Texte UTF-8 invalide.");
    const std::wstring unpaired[] = {
        std::wstring(L"x") + static_cast<wchar_t>(0xDBFF),
        // A low surrogate before a high one is no pair.
        std::wstring{static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xD83D)},
    };
    for (const std::wstring& text : unpaired) EXPECT_EQ(errorOf([&] { utf8(text); }), "Texte Unicode invalide.");
}
