// The main window's Bluetooth side (phone selection, pairing requests, progress)
// on a real Wine window system, with transfer jobs pushing to a loopback OBEX
// receiver. Each case gets the real main window, in Bluetooth mode.

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>

#include "app/ui/control_ids.h"
#include "app/window_win.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "remote/actions.h"
#include "tests/bluetooth/loopback_receiver.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/pairing/user_script_win.h"
#include "tests/support/eventually.h"
#include "tests/support/main_window_win.h"
#include "tests/support/open_dialog_win.h"
#include "tests/support/patterned.h"
#include "tests/support/raised.h"
#include "tests/support/temp_file.h"

namespace {

constexpr unsigned long long phone = 0x00F00D00BEEFull;
const int lockedWhileBusy[] = {ControlId::wifiMode,   ControlId::textSend,   ControlId::fileSend,
                               ControlId::chooseFile, ControlId::removeFile, ControlId::pair};

// While a job runs only Cancel is on; after it, Cancel alone is off.
bool controlsLocked(HWND window, bool locked) {
    for (int id : lockedWhileBusy)
        if ((IsWindowEnabled(GetDlgItem(window, id)) != FALSE) == locked) return false;
    return (IsWindowEnabled(app::cancelBluetoothButton) != FALSE) == locked;
}

// Where the ink of a static control's text ends, and where its text ends drawn whole
// in the control's font: with "&" taken as a mnemonic prefix it draws narrower.
struct Ink {
    int drawn = 0;
    int whole = 0;
};
Ink inkOf(HWND control) {
    RECT area{};
    GetClientRect(control, &area);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    ReleaseDC(nullptr, screen);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    Ink ink;
    const COLORREF background = GetPixel(dc, area.right - 1, area.bottom - 1);
    for (int x = 0; x < area.right; ++x)
        for (int y = 0; y < area.bottom; ++y)
            if (GetPixel(dc, x, y) != background) ink.drawn = x + 1;
    const std::wstring text = app::readText(control);
    HGDIOBJ font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ink.whole = size.cx;
    SelectObject(dc, font);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return ink;
}

int progress() { return static_cast<int>(SendMessageW(app::btProgress, PBM_GETPOS, 0, 0)); }

// What the window showed when a job failed under a modal window, and its box after.
struct FailureUnderModal {
    int dialogs = 0;
    std::wstring statusThen, box, statusWithBox;
};

class BluetoothWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        harness = std::make_unique<testing_support::MainWindow>();
        window = harness->get();
        harness->command(ControlId::bluetoothMode);
        ASSERT_TRUE(app::bluetoothMode);
        app::bluetoothDevice.reset();
        app::noticeFr.clear();
        app::noticeEn.clear();
        platform.deliver = [](WindowHandle target, unsigned message, unsigned long long wParam, long long lParam) {
            return PostMessageW(static_cast<HWND>(target), message, wParam, lParam) != FALSE;
        };
    }
    void TearDown() override {
        harness.reset();
        Ui::english = false;
    }
    void useReceiver(receiver::LoopbackReceiver& receiver, std::atomic<bool>* holdDisconnect = nullptr) {
        app::bluetoothTransfer =
            std::make_unique<BluetoothTransfer>(receiver::connectorTo(receiver, {}, holdDisconnect));
    }
    void selectPhone() { app::bluetoothDevice = phoneInfo(phone, L"Pixel", true); }
    // Sends a file of `size` bytes to the chosen phone, played by `receiver`.
    const TempFile& send(receiver::LoopbackReceiver& receiver, const char* name, std::size_t size,
                         std::atomic<bool>* holdDisconnect = nullptr) {
        useReceiver(receiver, holdDisconnect);
        selectPhone();
        file.emplace(name, patterned(size));
        app::sendBluetooth(file->wpath());
        return *file;
    }
    // A job that fails while a modal window is up (shown by `open`, ended by `close`).
    FailureUnderModal failJobUnder(const std::function<void()>& open, const std::function<void(HWND)>& close) {
        receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0xC3, true});  // refuses once released
        send(receiver, "refused.bin", 100);
        EXPECT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
        FailureUnderModal seen;
        UserScript user({[&](HWND) {
                             receiver.release();
                             return true;
                         },
                         [&](HWND dialog) {
                             if (app::shownJob.state != BluetoothTransfer::State::Failed) return false;
                             seen.dialogs = testing_support::visibleDialogs();
                             seen.statusThen = app::readText(app::statusLabel);
                             close(dialog);
                             return true;
                         },
                         [&](HWND box) {
                             seen.box = textOf(box, 0xFFFF);
                             seen.statusWithBox = app::readText(app::statusLabel);
                             SendMessageW(box, WM_COMMAND, IDOK, 0);
                             return true;
                         }});
        open();
        testing_support::MainWindow::pumpedUntil([&] { return user.finished(); });
        return seen;
    }

    std::optional<TempFile> file;

    std::unique_ptr<testing_support::MainWindow> harness;
    HWND window = nullptr;
    FakePlatform platform;
    FakeDevices devices{platform};
};

TEST_F(BluetoothWindowTest, ControlsFollowTheJobAndProgressReachesCompletion) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0x90, true});
    const TempFile& file = send(receiver, "file.bin", 5000);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
    EXPECT_TRUE(controlsLocked(window, true));
    EXPECT_EQ(progress(), 0);
    EXPECT_EQ(app::readText(app::statusLabel), L"Acceptez le fichier sur Android\u2026");
    EXPECT_NE(app::readText(app::btPathEdit).find(file.wpath()), std::wstring::npos);
    receiver.release();
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Completed));
    EXPECT_TRUE(controlsLocked(window, false));
    EXPECT_EQ(progress(), 100);
    EXPECT_EQ(app::readText(app::statusLabel),
              L"Fichier re\u00e7u : le t\u00e9l\u00e9phone a confirm\u00e9 la fin du transfert.");
    EXPECT_EQ(receiver.result().body.size(), 5000u);
}

// The cancel notice lasts until the job has ended, then gives way to the next command's box.
TEST_F(BluetoothWindowTest, CancelNoticeGivesWayToAFailureBoxOnceTheJobHasEnded) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0x90, true});
    send(receiver, "cancelled.bin", 100);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
    KillTimer(window, app::refreshTimer);  // the ended job is not polled before the box
    harness->command(ControlId::cancelBluetooth);
    ASSERT_TRUE(eventually([] { return !BluetoothTransfer::busy(app::bluetoothTransfer->snapshot().state); }));
    ASSERT_EQ(app::readText(app::statusLabel), L"Annulation du transfert\u2026");
    EXPECT_EQ(app::noticeEn, L"Cancelling the transfer\u2026");
    BoxWatcher boxes;
    SetWindowTextW(app::textEdit, L"");
    harness->command(ControlId::textSend);  // nothing to send: a box
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], L"Saisissez un texte \u00e0 envoyer.");
    EXPECT_NE(app::readText(app::statusLabel), L"Annulation du transfert\u2026");
    // Once the message loop has run after the box, the status line shows the job's outcome.
    testing_support::MainWindow::pump();
    EXPECT_EQ(app::readText(app::statusLabel), L"Transfert Bluetooth annul\u00e9.");
}

TEST_F(BluetoothWindowTest, ProgressBarIsTealWhileSending) {
    receiver::LoopbackReceiver receiver(receiver::Script{});
    std::atomic<bool> release{false};
    send(receiver, "teal.bin", 100, &release);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Sending));
    ASSERT_EQ(progress(), 100);
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    RECT bar{};
    GetClientRect(app::btProgress, &bar);
    HDC screen = GetDC(app::btProgress);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, bar.right, bar.bottom);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    PrintWindow(app::btProgress, memory, 0);
    const COLORREF middle = GetPixel(memory, bar.right / 2, bar.bottom / 2);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(app::btProgress, screen);
    release = true;
    EXPECT_EQ(middle, app::accentColour) << std::hex << "bar drawn in 0x" << middle;
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Completed));
}

TEST_F(BluetoothWindowTest, EmptyJobShowsZeroWhileSendingAndHundredOnlyWhenCompleted) {
    receiver::LoopbackReceiver receiver(receiver::Script{});
    std::atomic<bool> releaseDisconnect{false};
    send(receiver, "empty.bin", 0, &releaseDisconnect);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Sending));
    EXPECT_EQ(app::bluetoothTransfer->snapshot().total, 0u);
    EXPECT_EQ(progress(), 0);
    EXPECT_EQ(app::readText(app::statusLabel), L"Envoi Bluetooth en cours\u2026 0 %");
    EXPECT_TRUE(controlsLocked(window, true));
    releaseDisconnect = true;
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Completed));
    EXPECT_EQ(progress(), 100);
    EXPECT_TRUE(controlsLocked(window, false));
}

TEST_F(BluetoothWindowTest, EachFailedJobHasOneBoxEvenBeforeItsFirstPollAndTheNoticeFollowsTheLanguage) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0xC3, false});  // the phone refuses the offer
    BoxWatcher boxes;
    send(receiver, "refused.bin", 100);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Failed));
    std::wstring french = app::bluetoothTransfer->snapshot().message;
    for (int i = 0; i < 10; ++i) app::pollBluetooth(false);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], french);
    EXPECT_EQ(boxes.captions[0], L"Tolvenaire Android");
    EXPECT_EQ(app::readText(app::statusLabel), french);
    EXPECT_TRUE(controlsLocked(window, false));

    Ui::english = true;
    app::refreshLabels();
    EXPECT_EQ(boxes.texts.size(), 1u) << "no second box for the same failure";
    EXPECT_EQ(app::readText(app::statusLabel), Ui::diagnostic(french, true));
    EXPECT_NE(app::readText(app::statusLabel), french) << "the refusal text has an English twin";

    // The same failure again, ended before the window polls it, has a box of its own.
    app::status(L"autre", L"other");
    receiver::LoopbackReceiver again(receiver::Script{1024, {}, 0xC3, false});
    useReceiver(again);
    app::bluetoothTransfer->start(phone, file->share());
    eventually([] { return app::bluetoothTransfer->snapshot().state == BluetoothTransfer::State::Failed; });
    SendMessageW(window, WM_TIMER, app::refreshTimer, 0);
    EXPECT_EQ(boxes.texts.size(), 2u) << "the second failure was not shown";
    EXPECT_EQ(app::noticeFr, app::bluetoothTransfer->snapshot().message);
}

TEST_F(BluetoothWindowTest, SelectingAPhoneWhileAJobRunsIsRefused) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0x90, true});
    send(receiver, "busy.bin", 100);
    app::authenticationListener =
        std::make_unique<BluetoothAuthListener>(window, deviceRecord(*app::bluetoothDevice), app::pairingRequest);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
    std::wstring before = app::readText(app::statusLabel);
    EXPECT_EQ(errorOf([&] { app::selectBluetoothPhone(); }), "Attendez la fin du transfert ou annulez-le.");
    EXPECT_EQ(app::readText(app::statusLabel), before);
    EXPECT_TRUE(app::authenticationListener) << "the phone's listener stays";
    EXPECT_EQ(devices.seenParams.dwSize, 0u) << "no picker";
    receiver.release();
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::Completed));
}

TEST_F(BluetoothWindowTest, NoRadioKeepsThePreviousPhoneAndItsListener) {
    setDeviceSystem(nullptr);  // Wine's own Bluetooth: no radio
    app::bluetoothTransfer = std::make_unique<BluetoothTransfer>();
    selectPhone();
    EXPECT_EQ(errorOf([&] { app::selectBluetoothPhone(); }),
              "Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");
    setDeviceSystem(&devices);
    ASSERT_TRUE(app::bluetoothDevice);
    EXPECT_EQ(app::bluetoothDevice->Address.ullLong, phone);
    EXPECT_TRUE(app::authenticationListener);
    EXPECT_EQ(platform.registeredAddress, phone);
    EXPECT_FALSE(app::selectingBluetoothPhone);
}

TEST_F(BluetoothWindowTest, ChosenPhoneIsKeptWithAListener) {
    app::bluetoothTransfer = std::make_unique<BluetoothTransfer>();
    devices.picked = {phoneInfo(phone, L"Pixel 9", true)};
    EXPECT_TRUE(app::selectBluetoothPhone());
    ASSERT_TRUE(app::bluetoothDevice);
    EXPECT_STREQ(app::bluetoothDevice->szName, L"Pixel 9");
    EXPECT_EQ(platform.registeredAddress, phone);
    EXPECT_EQ(app::readText(app::statusLabel), L"T\u00e9l\u00e9phone associ\u00e9. Vous pouvez envoyer le fichier.");
    devices.picked.clear();
    devices.pickerError = ERROR_CANCELLED;
    EXPECT_FALSE(app::selectBluetoothPhone());
    EXPECT_TRUE(app::authenticationListener) << "re-created for the phone kept";
    EXPECT_EQ(app::readText(app::statusLabel), L"S\u00e9lection ou appairage annul\u00e9.");
}

TEST_F(BluetoothWindowTest, RequestsForAnotherPhoneOrDuringSelectionAreRefusedWithoutADialog) {
    app::bluetoothTransfer = std::make_unique<BluetoothTransfer>();
    selectPhone();
    UserScript user({[](HWND) { return true; }});
    unsigned long long foreign = inbox().post(window, request(phone + 1), platform.now());
    app::onPairingRequest(foreign, 0);
    app::selectingBluetoothPhone = true;
    unsigned long long during = inbox().post(window, request(phone), platform.now());
    app::onPairingRequest(during, 0);
    app::selectingBluetoothPhone = false;
    unsigned long long odd = inbox().post(window, request(phone), platform.now());
    app::onPairingRequest(odd, 1);
    EXPECT_EQ(user.dialogsSeen(), 0);
    ASSERT_EQ(platform.responses.size(), 2u);
    EXPECT_TRUE(platform.responses[0].negative);
    EXPECT_EQ(platform.responses[0].address, phone + 1);
    EXPECT_TRUE(platform.responses[1].negative);
    EXPECT_TRUE(takeBluetoothChallenge(window, odd)) << "a message with lParam set takes nothing";
}

TEST_F(BluetoothWindowTest, RequestForTheSelectedPhoneIsShownAndConfirmed) {
    app::bluetoothTransfer = std::make_unique<BluetoothTransfer>();
    selectPhone();
    app::authenticationListener =
        std::make_unique<BluetoothAuthListener>(window, deviceRecord(*app::bluetoothDevice), app::pairingRequest);
    UserScript confirm({[](HWND dialog) {
        click(dialog, IDC_PAIRING_CONFIRM);
        return true;
    }});
    AuthenticationParams params = request(phone, AuthMethod::numericComparison, 246810);
    BluetoothAuthListener::onAuthentication(platform.lastContext, &params);
    harness->pumpedUntil([&] { return !platform.responses.empty(); }, std::chrono::seconds(10));
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_FALSE(platform.responses[0].negative);
    EXPECT_EQ(app::readText(app::statusLabel), L"Confirmation transmise. Confirmez aussi sur Android.");
    EXPECT_FALSE(app::authenticationDialogOpen);
}

TEST_F(BluetoothWindowTest, RefusedRequestCancelsTheRunningJob) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0x90, true});
    send(receiver, "pairing.bin", 100);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
    UserScript refuse({[](HWND dialog) {
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    unsigned long long key = inbox().post(window, request(phone), platform.now());
    app::onPairingRequest(key, 0);
    EXPECT_EQ(refuse.dialogsSeen(), 1);
    EXPECT_EQ(app::readText(app::statusLabel), L"Appairage refus\u00e9 ou annul\u00e9.");
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_TRUE(platform.responses[0].negative);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::UserCancelled, std::chrono::seconds(5)));
    EXPECT_EQ(app::readText(app::statusLabel), L"Transfert Bluetooth annul\u00e9.");
}

// Names are shown whole: "&" is no mnemonic prefix in the file and phone labels or
// in the pairing dialog (a name with "&", "&&" and a trailing "&").
TEST_F(BluetoothWindowTest, NamesWithAmpersandsAreShownWhole) {
    TempFile named(L"Q&A && notes&", std::string("x"));
    app::setSelectedFile(named.wpath());
    app::bluetoothDevice = phoneInfo(phone, L"Max & Co && sons&", true);
    app::refreshLabels();
    for (HWND label : {app::fileLabel, app::deviceLabel}) {
        const Ink ink = inkOf(label);
        EXPECT_NEAR(ink.drawn, ink.whole, 3) << "label '" << utf8(app::readText(label)) << "' drawn shorter";
    }
    EXPECT_EQ(app::readText(app::fileLabel), L"Q&A && notes&");
    EXPECT_NE(app::readText(app::deviceLabel).find(L"Max & Co && sons&"), std::wstring::npos);

    Ink inDialog;
    std::wstring shownName;
    UserScript refuse({[&](HWND dialog) {
        shownName = textOf(dialog, IDC_PAIRING_PHONE);
        inDialog = inkOf(GetDlgItem(dialog, IDC_PAIRING_PHONE));
        click(dialog, IDC_PAIRING_REFUSE);
        return true;
    }});
    AuthenticationParams named2 = request(phone);
    named2.device.name = L"Max & Co && sons&";
    app::onPairingRequest(inbox().post(window, named2, platform.now()), 0);
    EXPECT_EQ(shownName, L"Max & Co && sons&");
    EXPECT_NEAR(inDialog.drawn, inDialog.whole, 3) << "the phone's name drawn shorter in the pairing dialog";
}

// A box from a background result never opens over another modal window: it waits
// until that window has closed, and the status line then follows the job again.
TEST_F(BluetoothWindowTest, AnUpdateFailureWaitsUntilTheHelpBoxIsClosed) {
    std::atomic<bool> answered{false};
    app::remoteActions = std::make_unique<remote::Actions>(window, [&](remote::Result& result) {
        result.ok = false;
        result.message = L"Serveur de mise a jour injoignable.";
        answered = true;
    });
    int dialogsWithResultIn = 0;
    std::wstring failureBox;
    UserScript user({[&](HWND) {
                         harness->command(ControlId::updateCheck);
                         return true;
                     },
                     [&, ticksSince = 0](HWND help) mutable {
                         // The outcome is posted right after the runner returns: give
                         // the help box's loop a few ticks to hand it to the window.
                         MSG waiting;
                         if (!answered ||
                             PeekMessageW(&waiting, window, app::internetActionFinished, app::internetActionFinished,
                                          PM_NOREMOVE) ||
                             ++ticksSince < 10)
                             return false;
                         dialogsWithResultIn = testing_support::visibleDialogs();
                         SendMessageW(help, WM_COMMAND, IDOK, 0);
                         return true;
                     },
                     [&](HWND box) {
                         failureBox = textOf(box, 0xFFFF);
                         SendMessageW(box, WM_COMMAND, IDOK, 0);
                         return true;
                     }});
    harness->command(ControlId::help);
    testing_support::MainWindow::pumpedUntil([&] { return user.finished(); });
    EXPECT_EQ(dialogsWithResultIn, 1) << "the failure box opened over the help box";
    EXPECT_EQ(failureBox, L"Serveur de mise a jour injoignable.");
    EXPECT_EQ(user.dialogsSeen(), 2);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(window, ControlId::updateCheck)));
}

// A pairing request waits behind the help box. The phone's newer request takes the
// place of its older one; one that expired meanwhile gets its no without a dialog, a
// cancelled job or a rejection the user never made.
TEST_F(BluetoothWindowTest, PairingRequestsWaitingBehindTheHelpBoxAreTheNewestAndNeverShownExpired) {
    receiver::LoopbackReceiver receiver(receiver::Script{1024, {}, 0x90, true});
    send(receiver, "waiting.bin", 100);
    ASSERT_TRUE(harness->tickedUntil(BluetoothTransfer::State::AwaitingAcceptance));
    const auto ask = [&](std::uint32_t code) {
        app::onPairingRequest(inbox().post(window, request(phone, AuthMethod::numericComparison, code), platform.now()),
                              0);
    };
    std::wstring codeShown;
    const auto closeHelp = [](HWND help) {
        SendMessageW(help, WM_COMMAND, IDOK, 0);
        return true;
    };
    UserScript newest({[&](HWND help) {
                           ask(111111);
                           ask(222222);
                           return closeHelp(help);
                       },
                       [&](HWND dialog) {
                           codeShown = textOf(dialog, IDC_PAIRING_CODE);
                           click(dialog, IDC_PAIRING_CONFIRM);
                           return true;
                       }});
    harness->command(ControlId::help);
    testing_support::MainWindow::pumpedUntil([&] { return newest.finished(); });
    EXPECT_EQ(codeShown, L"222222");

    const std::wstring notice = app::readText(app::statusLabel);
    UserScript expired({[&](HWND help) {
        ask(333333);
        platform.setClock(platform.now() + requestLifetimeMs);
        return closeHelp(help);
    }});
    harness->command(ControlId::help);
    testing_support::MainWindow::pumpedUntil([&] { return expired.finished() && platform.responses.size() >= 2; });
    EXPECT_EQ(expired.dialogsSeen(), 1) << "a confirmation opened for an expired request";
    ASSERT_EQ(platform.responses.size(), 2u);
    EXPECT_FALSE(platform.responses[0].negative);
    EXPECT_TRUE(platform.responses[1].negative);
    EXPECT_EQ(platform.responses[1].address, phone);
    EXPECT_EQ(app::bluetoothTransfer->snapshot().state, BluetoothTransfer::State::AwaitingAcceptance);
    EXPECT_EQ(app::readText(app::statusLabel), notice);
}

// The file dialog cannot be opened from the window while a job runs; the command is
// sent directly, to have the system's own modal window open when the job fails.
TEST_F(BluetoothWindowTest, AJobFailingUnderThePairingDialogOrTheFileDialogIsShownWhenItCloses) {
    const FailureUnderModal underPairing =
        failJobUnder([&] { app::onPairingRequest(inbox().post(window, request(phone), platform.now()), 0); },
                     [](HWND dialog) { click(dialog, IDC_PAIRING_CONFIRM); });
    const std::wstring failure = app::bluetoothTransfer->snapshot().message;
    EXPECT_EQ(app::readText(app::statusLabel), failure) << "the confirmation's notice hid the failure";
    ASSERT_EQ(platform.responses.size(), 1u);
    EXPECT_FALSE(platform.responses[0].negative);
    const FailureUnderModal underFileDialog =
        failJobUnder([&] { harness->command(ControlId::chooseFile); },
                     [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); });
    EXPECT_EQ(app::readText(app::statusLabel), failure);
    for (const FailureUnderModal& seen : {underPairing, underFileDialog}) {
        EXPECT_EQ(seen.dialogs, 1) << "the failure box opened over the other modal window";
        EXPECT_EQ(seen.statusThen, failure);
        EXPECT_EQ(seen.box, failure);
        EXPECT_EQ(seen.statusWithBox, failure);
    }
    EXPECT_TRUE(controlsLocked(window, false));
}

}  // namespace
