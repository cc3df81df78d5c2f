#include <gtest/gtest.h>

#include <stdexcept>
#include <utility>

#include "base/language.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/support/raised.h"

namespace {

constexpr unsigned long long phone = 0x001A2B3C4D5Eull;
HWND owner = reinterpret_cast<HWND>(0x7070);

TEST(PhoneSelection, WithoutARadioThePickerNeverOpens) {
    // The real system: Wine has no Bluetooth radio.
    EXPECT_EQ(errorOf([] { chooseAndPairBluetooth(nullptr); }),
              "Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");
    FakePlatform platform;
    FakeDevices devices(platform);
    devices.radio = false;
    EXPECT_EQ(errorOf([] { chooseAndPairBluetooth(owner); }),
              "Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");
    EXPECT_EQ(devices.seenParams.dwSize, 0u) << "picker not shown";
}

TEST(PhoneSelection, PickerListsEveryPhoneAndLeavesThePairingToUs) {
    FakePlatform platform;
    FakeDevices devices(platform);
    BLUETOOTH_DEVICE_INFO remembered = phoneInfo(phone, L"B", false);
    remembered.fRemembered = TRUE;
    const std::pair<const char*, BLUETOOTH_DEVICE_INFO> phones[] = {
        {"paired", phoneInfo(phone, L"A", true)},
        {"remembered", remembered},
        {"never seen", phoneInfo(phone, L"C", false)},
    };
    for (const auto& [kind, info] : phones) {
        devices.picked = {info};
        EXPECT_TRUE(chooseAndPairBluetooth(owner)) << kind;
    }
    EXPECT_EQ(devices.seenParams.hwndParent, owner);
    EXPECT_EQ(devices.systemPairings, 0);
    EXPECT_EQ(devices.extraPages, 0) << "no wizard, no services page";
}

TEST(PhoneSelection, PickerInstructionFollowsTheLanguage) {
    FakePlatform platform;
    FakeDevices devices(platform);
    devices.pickerCancelledSilently = true;
    Ui::english = false;
    EXPECT_FALSE(chooseAndPairBluetooth(owner));
    EXPECT_EQ(devices.seenInfo,
              L"Selectionnez uniquement votre telephone Android. Gardez ses parametres Bluetooth ouverts pour le "
              L"rendre detectable.");
    Ui::english = true;
    chooseAndPairBluetooth(owner);
    Ui::english = false;
    EXPECT_EQ(devices.seenInfo,
              L"Select only your Android phone. Keep its Bluetooth settings open so it can be discovered.");
}

TEST(PhoneSelection, CancelledPickerIsNotAnError) {
    FakePlatform platform;
    FakeDevices devices(platform);
    devices.pickerError = ERROR_CANCELLED;
    EXPECT_FALSE(chooseAndPairBluetooth(owner));
    devices.pickerError = 5;
    std::string error = errorOf([] { chooseAndPairBluetooth(owner); });
    EXPECT_EQ(error.rfind("Selection Bluetooth impossible : ", 0), 0u) << error;
    EXPECT_NE(error.find(" (5)"), std::string::npos) << error;
    EXPECT_EQ(error.find('\r'), std::string::npos) << "system text without its line end";
    EXPECT_EQ(devices.pairingCalls.load(), 0);
}

TEST(PhoneSelection, ExactlyOnePhoneMustBeChosen) {
    FakePlatform platform;
    FakeDevices devices(platform);
    devices.picked = {phoneInfo(phone, L"A", true), phoneInfo(phone + 1, L"B", true)};
    EXPECT_EQ(errorOf([] { chooseAndPairBluetooth(owner); }), "Selectionnez un seul telephone pour ce transfert.");
    EXPECT_EQ(devices.freed, 1) << "the picker's list is freed on this path too";
    devices.picked.clear();
    EXPECT_EQ(errorOf([] { chooseAndPairBluetooth(owner); }), "Selectionnez un seul telephone pour ce transfert.");
    EXPECT_EQ(devices.freed, 2);
}

TEST(PhoneSelection, PairedPhoneIsReturnedWithoutPairing) {
    FakePlatform platform;
    FakeDevices devices(platform);
    BLUETOOTH_DEVICE_INFO picked = phoneInfo(phone, L"Pixel 8", true);
    for (auto& c : picked.szName) c = L'z';  // no terminator from the picker
    devices.picked = {picked};
    devices.refreshAuthenticated = false;
    auto chosen = chooseAndPairBluetooth(owner);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->Address.ullLong, phone);
    EXPECT_EQ(chosen->szName[BLUETOOTH_MAX_NAME_SIZE - 1], L'\0');
    EXPECT_EQ(devices.infoReads, 1);
    EXPECT_EQ(devices.pairingCalls.load(), 0);
    EXPECT_EQ(devices.freed, 1);
}

}  // namespace
