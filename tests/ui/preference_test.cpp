#include "app/ui/preference.h"

#include <gtest/gtest.h>

namespace {

using Ui::startsInEnglish;

TEST(StartupLanguage, StoredValueDecides) {
    EXPECT_TRUE(startsInEnglish(1u, 0x040C));   // English stored on a French Windows
    EXPECT_FALSE(startsInEnglish(0u, 0x0409));  // French stored on an English Windows
    // Only 1 means English; anything else stored is French.
    EXPECT_FALSE(startsInEnglish(2u, 0x0409));
    EXPECT_FALSE(startsInEnglish(0xFFFFFFFFu, 0x0409));
    EXPECT_FALSE(startsInEnglish(0x101u, 0x0409));
}

TEST(StartupLanguage, WithoutStoredValueEveryFrenchVariantIsFrench) {
    for (std::uint16_t french : {0x040C, 0x080C, 0x0C0C, 0x100C, 0x140C, 0x180C, 0x3C0C})
        EXPECT_FALSE(startsInEnglish(std::nullopt, french)) << std::hex << french;
}

TEST(StartupLanguage, WithoutStoredValueOtherLanguagesAreEnglish) {
    // German, US and UK English, Dutch (Belgium), Italian (Switzerland), Japanese.
    for (std::uint16_t other : {0x0407, 0x0409, 0x0809, 0x0813, 0x0810, 0x0411})
        EXPECT_TRUE(startsInEnglish(std::nullopt, other)) << std::hex << other;
}

}  // namespace
