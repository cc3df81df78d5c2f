// The language preference in a real registry. Each suite is run by CTest in a
// Wine prefix of its own, with the display language its name says.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "app/ui/preference.h"
#include "base/language.h"
#include "tests/support/language_guard.h"
#include "tests/support/registry_win.h"

namespace {

bool preferenceKeyExists() { return testing_support::userKeyExists(Ui::preferenceKey); }
void forgetPreference() { testing_support::deleteUserKey(Ui::preferenceKey); }

void store(DWORD type, const void* data, DWORD size) {
    testing_support::storeUserValue(Ui::preferenceKey, Ui::preferenceValue, type, data, size);
}

void storeDword(DWORD value) { store(REG_DWORD, &value, sizeof value); }

// What the program left in the registry, read without any type restriction: it must
// be a REG_DWORD of 4 bytes.
DWORD storedDword() {
    const auto stored = testing_support::storedUserValue(Ui::preferenceKey, Ui::preferenceValue);
    EXPECT_EQ(stored.type, static_cast<DWORD>(REG_DWORD));
    DWORD value = 0xFFFFFFFF;
    EXPECT_EQ(stored.bytes.size(), 4u);
    if (stored.bytes.size() == 4) memcpy(&value, stored.bytes.data(), 4);
    return value;
}

bool loaded(bool before) {
    Ui::english.store(before);
    Ui::loadLanguage();
    return Ui::english.load();
}

TEST(StoredPreference, SaveAndLoadRoundTrip) {
    LanguageGuard keep(false);
    forgetPreference();
    ASSERT_TRUE(Ui::saveLanguage(true));
    EXPECT_EQ(storedDword(), 1u);
    EXPECT_TRUE(loaded(false));

    ASSERT_TRUE(Ui::saveLanguage(false));
    EXPECT_EQ(storedDword(), 0u);
    EXPECT_FALSE(loaded(true));
}

TEST(StoredPreference, OnlyOneMeansEnglish) {
    LanguageGuard keep(false);
    for (DWORD value : {2u, 0xFFFFFFFFu, 0x100u}) {
        storeDword(value);
        EXPECT_FALSE(loaded(true)) << value;
    }
    storeDword(1);
    EXPECT_TRUE(loaded(false));
}

TEST(StoredPreference, ChoosingFromTheListSetsTheFlagAndStoresIt) {
    LanguageGuard keep(false);
    forgetPreference();
    EXPECT_TRUE(Ui::chooseLanguage(1));
    EXPECT_TRUE(Ui::english.load());
    EXPECT_EQ(storedDword(), 1u);
    EXPECT_TRUE(Ui::chooseLanguage(0));
    EXPECT_FALSE(Ui::english.load());
    EXPECT_EQ(storedDword(), 0u);
}

TEST(StoredPreference, StartingUpWritesNothing) {
    LanguageGuard keep(false);
    forgetPreference();
    Ui::loadLanguage();
    EXPECT_FALSE(preferenceKeyExists());
}

TEST(StoredPreference, UnwritableRegistryStillSwitchesThisSession) {
    LanguageGuard keep(false);
    storeDword(0);
    // For this process, HKEY_CURRENT_USER becomes a key that has been deleted while
    // open: nothing can be created under it, on Windows as under Wine.
    const wchar_t* doomedName = L"Software\\TolvenaireAndroidUnwritable";
    HKEY doomed = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, doomedName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &doomed, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, doomedName), ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, doomed), ERROR_SUCCESS);
    const bool saved = Ui::chooseLanguage(1);
    const bool switched = Ui::english.load();
    ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, nullptr), ERROR_SUCCESS);
    RegCloseKey(doomed);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(switched);
    EXPECT_EQ(storedDword(), 0u);
    EXPECT_FALSE(loaded(true));  // the next start keeps the old choice
}

class DisplayLanguage : public ::testing::Test {
protected:
    void expectDisplayLanguage(WORD primary) {
        // Guards against a run with the wrong LANG passing for the wrong reason.
        ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()), primary) << std::hex << GetUserDefaultUILanguage();
    }
};

class FrenchDisplay : public DisplayLanguage {
    void SetUp() override { expectDisplayLanguage(LANG_FRENCH); }
};
class GermanDisplay : public DisplayLanguage {
    void SetUp() override { expectDisplayLanguage(LANG_GERMAN); }
};

TEST_F(FrenchDisplay, NoStoredValueStartsInFrench) {
    LanguageGuard keep(true);
    forgetPreference();
    EXPECT_FALSE(loaded(true));
}

TEST_F(FrenchDisplay, ValueOfAnotherTypeCountsAsAbsent) {
    LanguageGuard keep(true);
    store(REG_SZ, L"1", 4);
    EXPECT_FALSE(loaded(true));
}

TEST_F(FrenchDisplay, StoredEnglishWins) {
    LanguageGuard keep(false);
    storeDword(1);
    EXPECT_TRUE(loaded(false));
}

TEST_F(GermanDisplay, NoStoredValueStartsInEnglish) {
    LanguageGuard keep(false);
    forgetPreference();
    EXPECT_TRUE(loaded(false));
}

TEST_F(GermanDisplay, ValueOfAnotherTypeOrSizeCountsAsAbsent) {
    LanguageGuard keep(false);
    const std::uint64_t zero = 0;
    store(REG_QWORD, &zero, sizeof zero);
    EXPECT_TRUE(loaded(false));
    store(REG_BINARY, &zero, 4);
    EXPECT_TRUE(loaded(false));
    store(REG_SZ, L"0", 4);
    EXPECT_TRUE(loaded(false));
    storeDword(0);
    EXPECT_FALSE(loaded(true));
}

// Split over two processes: the choice made in one run is the next run's start.
TEST(Restart, ChooseEnglish) {
    LanguageGuard keep(false);
    forgetPreference();
    ASSERT_TRUE(Ui::chooseLanguage(1));
}

TEST_F(FrenchDisplay, EnglishChosenInAnEarlierRunStartsInEnglish) {
    LanguageGuard keep(false);
    EXPECT_TRUE(loaded(false));
}

}  // namespace
