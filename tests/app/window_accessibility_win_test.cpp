// What a screen reader hears from the window, in process: each new notice of the
// status line once, nothing for a tick or a progress step, and the connection line
// when a phone comes or goes. The PC's addresses (loopback) and the clock are the
// test's. Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/window_win.h"
#include "bluetooth/socket_channel.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "tests/app/window_module_win.h"
#include "tests/bluetooth/loopback_receiver.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/support/announcements_win.h"
#include "tests/support/eventually.h"
#include "tests/support/temp_file.h"

namespace {

using namespace app;
using Heard = std::vector<std::wstring>;

std::uint64_t clockNow = 0;

class WindowHeard : public WindowModule {
protected:
    void SetUp() override {
        ASSERT_TRUE(announcements.listening());
        realClock = tickSource;
        clockNow = GetTickCount64();
        tickSource = [] { return clockNow; };
        addressSource = []() -> std::optional<LocalAddressList> {
            return LocalAddressList{{L"Wi-Fi \u00b7 127.0.0.31", "127.0.0.31"}};
        };
        refreshAdapters();
        announcements.take();
    }
    void TearDown() override {
        if (server->running) harness->command(ControlId::start);
        if (bluetoothMode) harness->command(ControlId::wifiMode);
        addressSource = readLocalAddresses;
        tickSource = realClock;
    }
    static void tick(std::uint64_t later) {
        clockNow += later;
        SendMessageW(window, WM_TIMER, refreshTimer, 0);
    }
    // The connection line's object: the static without id that says the connection.
    static HWND connectionObject() {
        for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const std::wstring text = readText(child);
            if (GetDlgCtrlID(child) == 0 && (text.rfind(L"PC \u2192", 0) == 0 || text.rfind(L"Wi-Fi \u00b7", 0) == 0))
                return child;
        }
        return nullptr;
    }

    testing_support::Announcements announcements;
    std::uint64_t (*realClock)() = nullptr;
};

TEST_F(WindowHeard, EachNewNoticeOnceAndNothingForTicks) {
    struct Step {
        const char* what;
        std::function<void()> act;
        Heard heard;
    };
    const auto command = [](int id) { return [id] { harness->command(id); }; };
    const auto ticks = [] {
        for (int n = 0; n < 8; ++n) tick(refreshPeriodMs);
    };
    const Step steps[] = {
        {"Bluetooth mode",
         command(ControlId::bluetoothMode),
         {L"Associez le t\u00e9l\u00e9phone, puis acceptez le fichier sur Android."}},
        {"Wi-Fi mode", command(ControlId::wifiMode), {L"Cliquez sur Envoyer, puis scannez le QR code sur Android."}},
        {"start sharing", command(ControlId::start), {L"Partage actif. Scannez le QR code."}},
        {"ticks while sharing", ticks, {}},
        {"copy link", command(ControlId::copyLink), {L"Lien copi\u00e9 dans le presse-papiers."}},
        {"copy link again", command(ControlId::copyLink), {L"Lien copi\u00e9 dans le presse-papiers."}},
        {"English",
         [] {
             SendMessageW(languageCombo, CB_SETCURSEL, 1, 0);
             harness->command(ControlId::languageList, CBN_SELCHANGE);
         },
         {}},
        {"French",
         [] {
             SendMessageW(languageCombo, CB_SETCURSEL, 0, 0);
             harness->command(ControlId::languageList, CBN_SELCHANGE);
         },
         {}},
        {"stop sharing", command(ControlId::start), {L"Partage arr\u00eat\u00e9. Le lien est d\u00e9sactiv\u00e9."}},
        {"start again", command(ControlId::start), {L"Partage actif. Scannez le QR code."}},
        {"address gone",
         [] {
             addressSource = []() -> std::optional<LocalAddressList> { return LocalAddressList{}; };
             // A share stops once its address has been missing from every read for the set time.
             for (std::uint64_t missing = 0; missing <= addressGoneAfterMs; missing += addressReadPeriodMs)
                 tick(addressReadPeriodMs);
         },
         {L"Erreur r\u00e9seau. V\u00e9rifiez la connexion puis red\u00e9marrez."}},
        {"ticks after the error", ticks, {}},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(announcements.take(statusLabel), step.heard) << step.what;
    }
}

TEST_F(WindowHeard, ThePhoneComingAndGoingIsHeardFromTheConnectionLine) {
    harness->command(ControlId::start);
    ASSERT_TRUE(server->running);
    HWND line = connectionObject();
    ASSERT_NE(line, nullptr);
    announcements.take();
    // The phone asks for the state, then stops asking: connected, then waiting again
    // once its last request is ten seconds old.
    server->lastStatePoll = clockNow;
    tick(refreshPeriodMs);
    tick(refreshPeriodMs);
    EXPECT_EQ(announcements.take(line), Heard{L"Wi-Fi \u00b7 connect\u00e9"});
    EXPECT_EQ(readText(line), L"Wi-Fi \u00b7 connect\u00e9");
    tick(10000);
    tick(refreshPeriodMs);
    EXPECT_EQ(announcements.take(line), Heard{L"Wi-Fi \u00b7 en attente"});
    harness->command(ControlId::start);  // stopped: ready, which no phone brought about
    EXPECT_EQ(announcements.take(line), Heard{});
}

TEST_F(WindowHeard, ABluetoothPushIsHeardByItsStatesNotItsPercentages) {
    // Each read of the file waits for a permit, so every tick sees the next packet.
    std::atomic<int> permits{0};
    auto phone = std::make_shared<std::unique_ptr<receiver::LoopbackReceiver>>();
    bluetoothTransfer = std::make_unique<BluetoothTransfer>(
        [phone](unsigned long long, const std::atomic<bool>& cancel) -> std::unique_ptr<ObexChannel> {
            *phone = std::make_unique<receiver::LoopbackReceiver>(receiver::Script{});
            return connectTcpChannel((*phone)->loopback(), (*phone)->port(), &cancel);
        },
        [&permits](const FileShare& file) -> BluetoothTransfer::FileRead {
            auto left = std::make_shared<std::uint64_t>(file.size);
            return [&permits, left](unsigned char* buffer, std::uint64_t capacity) {
                eventually([&] { return permits.load() > 0; });
                --permits;
                const std::uint64_t count = std::min(capacity, *left);
                std::fill(buffer, buffer + count, 0x2A);
                *left -= count;
                return count;
            };
        });
    const TempFile file("photo.bin", std::uint64_t{8000});
    harness->command(ControlId::bluetoothMode);
    bluetoothDevice = phoneInfo(0x00A1B2C3D4E5ull, L"Pixel", true);
    announcements.take();

    // Read after each tick, as a screen reader reads each event before the next notice.
    Heard shown, heard;
    const auto look = [&] {
        if (shown.empty() || shown.back() != readText(statusLabel)) shown.push_back(readText(statusLabel));
        for (const std::wstring& name : announcements.take(statusLabel)) heard.push_back(name);
    };
    sendBluetooth(file.wpath());
    look();
    for (int packet = 0; packet < 40 && BluetoothTransfer::busy(bluetoothTransfer->snapshot().state); ++packet) {
        const BluetoothTransfer::Snapshot before = bluetoothTransfer->snapshot();
        ++permits;
        eventually([&] {
            const BluetoothTransfer::Snapshot now = bluetoothTransfer->snapshot();
            return now.sent != before.sent || now.state != before.state;
        });
        tick(refreshPeriodMs);
        look();
    }
    tick(refreshPeriodMs);
    look();
    const auto percentages = [](const Heard& notices) {
        return std::count_if(notices.begin(), notices.end(),
                             [](const std::wstring& notice) { return notice.find(L" %") != std::wstring::npos; });
    };
    ASSERT_GE(percentages(shown), 3) << "the status line showed the steps";
    EXPECT_EQ(percentages(heard), 1) << "only the first step is said";
    ASSERT_FALSE(heard.empty());
    EXPECT_EQ(heard.back(), shown.back()) << "the outcome is said";
    EXPECT_EQ(std::adjacent_find(heard.begin(), heard.end()), heard.end()) << "nothing said twice in a row";

    bluetoothDevice.reset();
    bluetoothTransfer = std::make_unique<BluetoothTransfer>();
}

}  // namespace
