// The pairing dialog on a real (Wine) window system. Each test runs the modal
// dialog on this thread; a thread timer inside its modal loop plays the user's
// part step by step, so the dialog is read and driven without any race.

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "base/language.h"
#include "resources/pairing_dialog_ids.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/pairing/user_script_win.h"
#include "tests/support/announcements_win.h"
#include "tests/support/raised.h"
#include "tests/support/system_colours_win.h"

namespace {

constexpr unsigned long long phone = 0x00D1E2F30415ull;
// Windows did not confirm an authenticated pairing.
const char* const notAuthenticated =
    "Windows n\xE2\x80\x99"
    "a pas confirm\xC3\xA9 une association authentifi\xC3\xA9"
    "e. "
    "Annulez la demande sur Android et recommencez depuis le PC.";
AuthenticationChallenge challengeFor(const AuthenticationParams& params, unsigned long long expiresAt) {
    return AuthenticationChallenge{params, expiresAt};
}

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ui::english = false;
        platform.deliver = [](WindowHandle window, unsigned message, unsigned long long wParam, long long lParam) {
            return PostMessageW(static_cast<HWND>(window), message, wParam, lParam) != FALSE;
        };
    }
    void TearDown() override { Ui::english = false; }
    FakePlatform platform;
    FakeDevices devices{platform};
};

TEST_F(DialogTest, ConfirmationShowsTheCodeAndSendsThePositiveAnswer) {
    std::vector<std::wstring> seen;
    bool enabled = false;
    UserScript user({[&](HWND dialog) {
                         seen = textsOf(
                             dialog, {IDC_PAIRING_HEADING, IDC_PAIRING_PHONE, IDC_PAIRING_CODE, IDC_PAIRING_INSTRUCTION,
                                      IDC_PAIRING_PROGRESS, IDC_PAIRING_CONFIRM, IDC_PAIRING_REFUSE});
                         enabled = confirmEnabled(dialog);
                         return true;
                     },
                     [&](HWND dialog) {
                         click(dialog, IDC_PAIRING_CONFIRM);
                         return true;
                     }});
    bool confirmed = confirmBluetoothChallenge(
        nullptr, challengeFor(request(phone, AuthMethod::numericComparison, 42), platform.clock + 60000));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Confirmation sur le PC et sur Android", L"Pixel", L"000042",
                        // NOLINTNEXTLINE(bugprone-suspicious-missing-comma): one text, in two pieces for the width
                        L"V\u00e9rifiez que ces six chiffres sont identiques sur votre t\u00e9l\u00e9phone. Confirmez "
                        L"aussi la demande sur Android.",
                        L"Votre confirmation est n\u00e9cessaire sur les deux appareils.", L"Les codes correspondent",
                        L"Refuser", L"Appairage Bluetooth - Tolvenaire"}));
    EXPECT_TRUE(enabled);
    EXPECT_TRUE(confirmed);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_FALSE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].address, phone);
    EXPECT_EQ(platform.responses[0].numericValue, 42u);
}

TEST_F(DialogTest, EnglishInterfaceShowsEveryTextInEnglishAndEscapeRefuses) {
    Ui::english = true;
    std::vector<std::wstring> seen;
    UserScript user({[&](HWND dialog) {
        seen = textsOf(dialog, {IDC_PAIRING_HEADING, IDC_PAIRING_CODE, IDC_PAIRING_INSTRUCTION, IDC_PAIRING_PROGRESS,
                                IDC_PAIRING_CONFIRM, IDC_PAIRING_REFUSE});
        pressEscape(dialog);
        return true;
    }});
    bool confirmed = confirmBluetoothChallenge(
        nullptr, challengeFor(request(phone, AuthMethod::passkeyNotification, 7), platform.clock + 60000));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Confirm on the PC and on Android", L"000007",
                        L"Enter these six digits on your phone, then confirm here after entering them.",
                        L"Your confirmation is required on both devices.", L"Code entered on Android", L"Reject",
                        L"Bluetooth pairing - Tolvenaire"}));
    EXPECT_FALSE(confirmed);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].passkey, 7u);
}

// The close box, and the timer once the request has expired: one negative answer each.
TEST_F(DialogTest, CloseBoxAndExpiryRefuse) {
    const unsigned long long expiry = platform.clock + 60000;
    const std::function<void(HWND)> ends[] = {[](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); },
                                              [&](HWND) { platform.setClock(expiry + 1); }};
    for (const auto& end : ends) {
        platform.responses.clear();
        UserScript user({[&](HWND dialog) {
            end(dialog);
            return true;
        }});
        EXPECT_FALSE(confirmBluetoothChallenge(nullptr, challengeFor(request(phone), expiry)));
        EXPECT_FALSE(user.timedOut());
        EXPECT_TRUE(user.finished());
        ASSERT_EQ(platform.responses.size(), 1u) << "one answer, not a second one after the dialog";
        EXPECT_TRUE(platform.responses[0].negative);
    }
}

TEST_F(DialogTest, ConfirmationAfterExpiryGoesOutNegative) {
    std::wstring progress;
    unsigned long long expiry = platform.clock + 60000;
    UserScript user({[&](HWND dialog) {
        platform.setClock(expiry);
        click(dialog, IDC_PAIRING_CONFIRM);
        progress = textOf(dialog, IDC_PAIRING_PROGRESS);
        return true;
    }});
    EXPECT_FALSE(confirmBluetoothChallenge(nullptr, challengeFor(request(phone), expiry)));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(progress, L"Confirmation non transmise : annulez puis r\u00e9essayez.");
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
}

TEST_F(DialogTest, RequestWithoutComparableCodeShowsADashAndCannotBeConfirmed) {
    std::vector<std::wstring> seen;
    bool enabled = true;
    UserScript user(
        {[&](HWND dialog) {
             seen = textsOf(dialog, {IDC_PAIRING_CODE, IDC_PAIRING_PROGRESS, IDC_PAIRING_CONFIRM, IDC_PAIRING_PHONE});
             enabled = confirmEnabled(dialog);
             click(dialog, IDC_PAIRING_CONFIRM);  // as if the disabled button got through
             return true;
         },
         [&](HWND dialog) {
             EXPECT_TRUE(platform.responses.empty());
             click(dialog, IDC_PAIRING_REFUSE);
             return true;
         }});
    AuthenticationParams params = request(phone, AuthMethod::numericComparison, 1234, IoCapability::noInputNoOutput);
    params.device.name.clear();
    EXPECT_FALSE(confirmBluetoothChallenge(nullptr, challengeFor(params, platform.clock + 60000)));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"\u2014", L"Appairage \u00e0 terminer dans les param\u00e8tres Windows.", L"Confirmer",
                        L"T\u00e9l\u00e9phone Android", L"Appairage Bluetooth - Tolvenaire"}));
    EXPECT_FALSE(enabled);
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
}

// Under high contrast the dialog is in the system's colours like Windows' own: the
// colour messages its texts send give the palette that is set.
TEST_F(DialogTest, TextsTakeTheSystemsColours) {
    using namespace testing_support::YellowOnBlack;
    const testing_support::SystemColours yellowOnBlack;
    std::vector<COLORREF> seen;
    UserScript user({[&](HWND dialog) {
        for (int id : {IDC_PAIRING_HEADING, IDC_PAIRING_CODE, IDC_PAIRING_INSTRUCTION}) {
            HDC dc = GetDC(dialog);
            const auto brush =
                reinterpret_cast<HBRUSH>(SendMessageW(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                                      reinterpret_cast<LPARAM>(GetDlgItem(dialog, id))));
            LOGBRUSH fill{};
            GetObjectW(brush, sizeof fill, &fill);
            seen.insert(seen.end(), {GetTextColor(dc), fill.lbColor});
            ReleaseDC(dialog, dc);
        }
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    confirmBluetoothChallenge(nullptr, challengeFor(request(phone), platform.clock + 60000));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(seen, (std::vector<COLORREF>{text, face, text, face, text, face}));
}

class PairingModeTest : public DialogTest {};

TEST_F(PairingModeTest, CodeFromTheStackIsConfirmedAndThePhoneEndsPaired) {
    devices.deliver = {request(phone, AuthMethod::numericComparison, 908172)};
    devices.refreshedName = L"Pixel (paired)";
    std::wstring code, progress;
    UserScript user({[&](HWND dialog) {
        if (!confirmEnabled(dialog)) return false;
        code = textOf(dialog, IDC_PAIRING_CODE);
        click(dialog, IDC_PAIRING_CONFIRM);
        progress = textOf(dialog, IDC_PAIRING_PROGRESS);
        return true;
    }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_TRUE(authenticateBluetoothInApp(nullptr, device));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(code, L"908172");
    EXPECT_EQ(progress, L"Confirmez aussi sur Android. Appairage en cours\u2026");
    EXPECT_EQ(devices.pairingAddress.load(), phone);
    EXPECT_TRUE(device.fAuthenticated);
    EXPECT_STREQ(device.szName, L"Pixel (paired)");
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_FALSE(platform.responses[0].negative);
    EXPECT_EQ(inbox().pending(), 0u);
}

TEST_F(PairingModeTest, TheCodeIsSaidWhenItArrivesWithWhatToDoWithIt) {
    devices.deliver = {request(phone, AuthMethod::numericComparison, 908172)};
    testing_support::Announcements announcements;
    ASSERT_TRUE(announcements.listening());
    std::vector<std::wstring> heard;
    std::wstring instruction;
    UserScript user({[&](HWND dialog) {
        if (!confirmEnabled(dialog)) return false;
        heard = announcements.take(GetDlgItem(dialog, IDC_PAIRING_CODE), false);
        instruction = textOf(dialog, IDC_PAIRING_INSTRUCTION);
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_FALSE(authenticateBluetoothInApp(nullptr, device));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(heard, std::vector<std::wstring>{L"908172\n" + instruction});
}

TEST_F(PairingModeTest, ConfirmedPairingThatWindowsDoesNotRecordAsAuthenticatedFails) {
    devices.deliver = {request(phone, AuthMethod::numericComparison, 908172)};
    devices.refreshAuthenticated = false;
    UserScript user({[&](HWND dialog) {
        if (!confirmEnabled(dialog)) return false;
        click(dialog, IDC_PAIRING_CONFIRM);
        return true;
    }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_EQ(errorOf([&] { authenticateBluetoothInApp(nullptr, device); }), notAuthenticated);
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(devices.infoReads, 1) << "the record was read back after the call succeeded";
    EXPECT_FALSE(device.fAuthenticated);
}

TEST_F(PairingModeTest, AnotherPhonesRequestIsIgnoredAndRefusingCancelsThePairingCall) {
    // The listener filters by address; the dialog checks it again for requests it takes.
    AuthenticationParams foreign = request(phone + 1, AuthMethod::numericComparison, 111111);
    std::wstring code;
    bool enabled = true;
    UserScript user({[&](HWND dialog) {
                         unsigned long long id = inbox().post(dialog, foreign, platform.now());
                         PostMessageW(dialog, pairingRequestMessage, id, 0);
                         return true;
                     },
                     [&](HWND dialog) {
                         if (inbox().pending() != 0) return false;
                         code = textOf(dialog, IDC_PAIRING_CODE);
                         enabled = confirmEnabled(dialog);
                         click(dialog, IDC_PAIRING_REFUSE);
                         return true;
                     }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_FALSE(authenticateBluetoothInApp(nullptr, device)) << "a refusal is not an error";
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(code, L"En attente du code...");
    EXPECT_FALSE(enabled);
    EXPECT_EQ(devices.cancelCalls.load(), 1);
    EXPECT_TRUE(platform.responses.empty()) << "nothing was shown, nothing to answer";
    EXPECT_FALSE(device.fAuthenticated);
}

TEST_F(PairingModeTest, EnglishInterfaceShowsTheWaitingTextsInEnglish) {
    Ui::english = true;
    std::vector<std::wstring> seen;
    UserScript user({[&](HWND dialog) {
        seen = textsOf(dialog, {IDC_PAIRING_HEADING, IDC_PAIRING_PHONE, IDC_PAIRING_CODE, IDC_PAIRING_INSTRUCTION,
                                IDC_PAIRING_PROGRESS, IDC_PAIRING_CONFIRM, IDC_PAIRING_REFUSE});
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"", false);
    EXPECT_FALSE(authenticateBluetoothInApp(nullptr, device));
    EXPECT_FALSE(user.timedOut());
    EXPECT_EQ(seen,
              (std::vector<std::wstring>{
                  L"Confirm on the PC and on Android", L"Android phone", L"Waiting for the code...",
                  L"Wait for the code from Windows. Keep your phone on its pairing request.",
                  L"Connecting to your phone...", L"The codes match", L"Reject", L"Bluetooth pairing - Tolvenaire"}));
}

TEST_F(PairingModeTest, AttemptIsCancelledAfterNinetySeconds) {
    UserScript user({[&](HWND) {
        platform.setClock(platform.now() + 90000);
        return true;
    }});
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_FALSE(authenticateBluetoothInApp(nullptr, device));
    EXPECT_FALSE(user.timedOut());
    EXPECT_TRUE(devices.cancelled.load());
}

TEST_F(PairingModeTest, SuccessWithoutOurConfirmationIsNotTrusted) {
    devices.waitForAnswer = false;
    devices.immediateResult = 0;
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_EQ(errorOf([&] { authenticateBluetoothInApp(nullptr, device); }), notAuthenticated);
    EXPECT_EQ(devices.infoReads, 0) << "not even checked";
}

TEST_F(PairingModeTest, OtherSystemFailureIsReportedWithItsCode) {
    devices.waitForAnswer = false;
    devices.immediateResult = 1244;
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    const std::string error = errorOf([&] { authenticateBluetoothInApp(nullptr, device); });
    EXPECT_EQ(error.rfind("Appairage non termine (Windows 1244). Annulez sur Android", 0), 0u) << error;
}

TEST_F(PairingModeTest, ListenerThatCannotStartEndsTheDialog) {
    platform.registerResult = 87;
    BLUETOOTH_DEVICE_INFO device = phoneInfo(phone, L"Pixel", false);
    EXPECT_EQ(errorOf([&] { authenticateBluetoothInApp(nullptr, device); }),
              "Impossible de d\xC3\xA9marrer l\xE2\x80\x99"
              "appairage.");
    EXPECT_EQ(devices.pairingCalls.load(), 0);
}

TEST_F(PairingModeTest, UnpairedPhoneFromThePickerGoesThroughTheDialog) {
    devices.picked = {phoneInfo(phone, L"Pixel", false)};
    devices.refreshAuthenticated = false;
    UserScript user({[&](HWND dialog) {
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    EXPECT_FALSE(chooseAndPairBluetooth(nullptr)) << "refused pairing: nothing chosen";
    EXPECT_EQ(user.dialogsSeen(), 1);
    EXPECT_EQ(devices.pairingCalls.load(), 1);
}

}  // namespace
