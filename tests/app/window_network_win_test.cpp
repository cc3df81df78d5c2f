// The window and the network around a share, in process: the address list follows
// the PC's addresses, and a share that no phone reaches says what to check. The
// PC's addresses (loopback ones, which the system's list never offers) and the
// window's clock are the test's. Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <vector>

#include "app/window_win.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "tests/app/window_module_win.h"
#include "tests/pairing/user_script_win.h"

namespace {

using namespace app;

const std::pair<std::wstring, std::string> first{L"Wi-Fi \u00b7 127.0.0.21", "127.0.0.21"};
const std::pair<std::wstring, std::string> second{L"Hotspot \u00b7 127.0.0.22", "127.0.0.22"};
const std::pair<std::wstring, std::string> third{L"VPN \u00b7 127.0.0.23", "127.0.0.23"};

const std::wstring sharingActive = L"Partage actif. Scannez le QR code.";
const std::wstring noPhone =
    L"Aucun t\u00e9l\u00e9phone n\u2019a encore joint ce PC. M\u00eame Wi-Fi ? Pare-feu "
    L"autorisant le programme ici ? Voir i.";

LocalAddressList pcAddresses;
bool failingReads = false;  // the enumeration fails, as while adapters change
std::uint64_t clockNow = 0;

class WindowNetwork : public WindowModule {
protected:
    void SetUp() override {
        realClock = tickSource;
        clockNow = GetTickCount64();
        tickSource = [] { return clockNow; };
        addressSource = []() -> std::optional<LocalAddressList> {
            if (failingReads) return std::nullopt;
            return pcAddresses;
        };
        chosenAddress.clear();
        pcAddresses = {first};
        refreshAdapters();
    }
    void TearDown() override {
        if (server->running) harness->command(ControlId::start);
        addressSource = readLocalAddresses;
        tickSource = realClock;
    }
    // The timer's tick, `later` milliseconds on.
    static void tick(std::uint64_t later) {
        clockNow += later;
        SendMessageW(window, WM_TIMER, refreshTimer, 0);
    }
    static std::vector<std::wstring> listed() {
        std::vector<std::wstring> labels;
        const LRESULT count = SendMessageW(addressCombo, CB_GETCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index) {
            std::wstring label(static_cast<size_t>(SendMessageW(addressCombo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
            label.resize(static_cast<size_t>(
                SendMessageW(addressCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(label.data()))));
            labels.push_back(label);
        }
        return labels;
    }
    static std::wstring chosen() { return readText(addressCombo); }

    std::uint64_t (*realClock)() = nullptr;
};

TEST_F(WindowNetwork, TheListFollowsThePcsAddressesAndOnlyALastingAbsenceStopsTheShare) {
    harness->command(ControlId::start);
    ASSERT_TRUE(server->running);
    const std::wstring link = readText(linkEdit);
    harness->command(ControlId::qr);
    ASSERT_NE(qrWindow, nullptr);
    const auto unchanged = [&](const char* what) {
        EXPECT_TRUE(server->running) << what;
        EXPECT_EQ(readText(linkEdit), link) << what;
        EXPECT_NE(qrWindow, nullptr) << what << ": the enlarged code closed";
        EXPECT_EQ(chosen(), first.first) << what;
    };

    // A network joined while sharing is offered; the share stays where it was.
    pcAddresses = {second, first};
    tick(addressReadPeriodMs);
    EXPECT_EQ(listed(), (std::vector<std::wstring>{second.first, first.first}));
    unchanged("a network joined");

    // Reads that fail say nothing, however long; the shared address missing from
    // every read for less than the set time (a roam, a lost signal) changes nothing
    // on screen, and the same link goes on when it is back.
    failingReads = true;
    for (std::uint64_t waited = 0; waited <= addressGoneAfterMs; waited += addressReadPeriodMs)
        tick(addressReadPeriodMs);
    failingReads = false;
    unchanged("failed reads");
    pcAddresses = {second};
    for (std::uint64_t waited = 0; waited < addressGoneAfterMs; waited += addressReadPeriodMs)
        tick(addressReadPeriodMs);
    unchanged("the address missing for a while");
    EXPECT_EQ(listed(), (std::vector<std::wstring>{second.first, first.first}));
    pcAddresses = {second, first};
    tick(addressReadPeriodMs);
    unchanged("the address back");

    // Gone for the set time: no dead link or code stays on screen, and no other
    // network is chosen in its place.
    pcAddresses = {second};
    tick(addressReadPeriodMs);
    tick(addressGoneAfterMs - addressReadPeriodMs);
    EXPECT_TRUE(server->running) << "stopped before the address was missing for the set time";
    tick(addressReadPeriodMs);
    EXPECT_FALSE(server->running);
    EXPECT_EQ(readText(linkEdit), L"");
    EXPECT_EQ(qrWindow, nullptr);
    EXPECT_EQ(readText(statusLabel), L"Erreur r\u00e9seau. V\u00e9rifiez la connexion puis red\u00e9marrez.");
    EXPECT_EQ(listed(), std::vector<std::wstring>{second.first});
    EXPECT_EQ(chosen(), L"");

    // Not sharing, a network joined a moment ago is there as soon as the list opens;
    // the chosen one, back, is chosen again.
    pcAddresses = {second, third};
    harness->command(ControlId::addressList, CBN_DROPDOWN);
    EXPECT_EQ(listed(), (std::vector<std::wstring>{second.first, third.first}));
    EXPECT_EQ(chosen(), L"");
    pcAddresses = {second, first};
    tick(addressReadPeriodMs);
    EXPECT_EQ(chosen(), first.first);
    EXPECT_FALSE(server->running) << "reading the addresses started sharing";
}

// The user's network is kept by what it is: missing from one read and back, it is
// chosen again; while it is gone, Send says so instead of sharing on another.
TEST_F(WindowNetwork, TheChosenNetworkIsKeptThroughABlipAndNeverSwappedForAnother) {
    pcAddresses = {first, second};
    tick(addressReadPeriodMs);
    SendMessageW(addressCombo, CB_SETCURSEL, 1, 0);
    harness->command(ControlId::addressList, CBN_SELCHANGE);
    pcAddresses = {first};
    tick(addressReadPeriodMs);
    {
        BoxWatcher boxes;
        harness->command(ControlId::start);
        EXPECT_FALSE(server->running) << "shared on another network than the one chosen";
        EXPECT_EQ(boxes.texts,
                  std::vector<std::wstring>{
                      L"Connectez le PC au m\u00eame r\u00e9seau que le t\u00e9l\u00e9phone, puis choisissez une "
                      L"interface."});
    }
    pcAddresses = {first, second};
    tick(addressReadPeriodMs);
    EXPECT_EQ(chosen(), second.first);
    harness->command(ControlId::start);
    EXPECT_EQ(server->address, second.second);
}

TEST_F(WindowNetwork, AnOpenListIsRefilledOnlyOnceClosed) {
    ShowWindow(window, SW_SHOW);
    SendMessageW(addressCombo, CB_SHOWDROPDOWN, TRUE, 0);
    ASSERT_TRUE(SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0));
    pcAddresses = {first, third};
    tick(addressReadPeriodMs);
    EXPECT_EQ(listed(), std::vector<std::wstring>{first.first});
    SendMessageW(addressCombo, CB_SHOWDROPDOWN, FALSE, 0);
    tick(addressReadPeriodMs);
    EXPECT_EQ(listed(), (std::vector<std::wstring>{first.first, third.first}));
    ShowWindow(window, SW_HIDE);
}

TEST_F(WindowNetwork, AShareNoPhoneReachesSaysWhatToCheckUntilOneDoes) {
    harness->command(ControlId::start);
    ASSERT_EQ(readText(statusLabel), sharingActive);
    tick(noPhoneAfterMs - 1);
    EXPECT_EQ(readText(statusLabel), sharingActive);
    tick(1);
    EXPECT_EQ(readText(statusLabel), noPhone);

    // A phone's connection shows the way is open: the share's own notice comes back.
    // (Who counts as a phone is the server's rule: linkserver_peers_tests.)
    server->reached = true;
    tick(refreshPeriodMs);
    EXPECT_EQ(readText(statusLabel), sharingActive);

    // It never hides what an action has just said.
    harness->command(ControlId::start);
    harness->command(ControlId::start);
    harness->command(ControlId::removeFile);
    tick(noPhoneAfterMs);
    EXPECT_EQ(readText(statusLabel), L"Fichier retir\u00e9 des prochains t\u00e9l\u00e9chargements.");
}

// What a Send has just said stays for the set time, also at minute 1 of a share,
// before the notice comes (again, at minute 2).
TEST_F(WindowNetwork, TheNoPhoneNoticeWaitsItsTurnAfterASend) {
    const std::wstring textReady = L"Texte pr\u00eat. Scannez le QR code sur Android.";
    SetWindowTextW(textEdit, L"bonjour");
    for (const std::uint64_t sendAt : {noPhoneAfterMs - 1000, 2 * noPhoneAfterMs}) {
        harness->command(ControlId::start);
        tick(sendAt);
        harness->command(ControlId::textSend);
        tick(refreshPeriodMs);
        EXPECT_EQ(readText(statusLabel), textReady) << "Send at " << sendAt << " ms";
        tick(userNoticeHoldMs - refreshPeriodMs - 1);
        EXPECT_EQ(readText(statusLabel), textReady) << "Send at " << sendAt << " ms";
        tick(1);
        EXPECT_EQ(readText(statusLabel), noPhone) << "Send at " << sendAt << " ms";
        harness->command(ControlId::start);
    }
    SetWindowTextW(textEdit, L"");
}

// Whole in the status line's two lines, in both languages, at the usual scales: the
// no-phone notice and what the firewall is found to block.
TEST_F(WindowNetwork, TheWaitingShareNoticesFitTheStatusLine) {
    std::vector<Ui::TextPair> notices{Ui::Notice::noPhoneYet};
    for (const Ui::Firewall::Advice* advice : Ui::Firewall::all) notices.push_back(advice->notice);
    HDC dc = GetDC(statusLabel);
    const HFONT windowFonts[] = {normalFont, titleFont, smallFont, brandFont};
    for (double each : {1.0, 1.25, 1.5, 2.0}) {
        scale = each;
        createFonts();
        const RECT line = scaledRect(Place::statusLabel);
        const HGDIOBJ previous = SelectObject(dc, smallFont);
        for (const Ui::TextPair& notice : notices)
            for (const wchar_t* text : {notice.french, notice.english}) {
                RECT needed{0, 0, line.right - line.left, 0};
                DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
                EXPECT_LE(needed.bottom, line.bottom - line.top)
                    << "at scale " << each << ": " << std::string(text, text + std::wcslen(text));
            }
        SelectObject(dc, previous);
        for (HFONT font : {normalFont, titleFont, smallFont, brandFont}) DeleteObject(font);
    }
    scale = 1.0;
    normalFont = windowFonts[0], titleFont = windowFonts[1], smallFont = windowFonts[2], brandFont = windowFonts[3];
    ReleaseDC(statusLabel, dc);
}

}  // namespace
