// What the window says of Windows' firewall while a share waits for its phone, in
// process: the findings come through the reader's seam, the PC's addresses are
// loopback ones and the clock is the test's. Needs a display.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/ui/help_text.h"
#include "app/window_win.h"
#include "link/firewall_reader_win.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "tests/app/window_module_win.h"
#include "tests/support/eventually.h"
#include "tests/support/language_guard.h"
#include "tests/pairing/user_script_win.h"

namespace {

using namespace app;
using firewall::Finding;
using firewall::Reason;
using firewall::Verdict;

const std::pair<std::wstring, std::string> wifi{L"Wi-Fi \u00b7 127.0.0.31", "127.0.0.31"};
const std::wstring sharingActive = L"Partage actif. Scannez le QR code.";

std::uint64_t clockNow = 0;
std::atomic<int> readings{0};
std::atomic<bool> heldBack{false};  // the real reading waits until released
Finding found;

Finding fromSeam(const std::string&, std::uint16_t, std::uint64_t) {
    ++readings;
    return found;
}

Finding realReading(const std::string& address, std::uint16_t port, std::uint64_t limitMs) {
    eventually([] { return !heldBack.load(); });
    const Finding finding = firewall::readFinding(address, port, limitMs);
    ++readings;
    return finding;
}

class WindowFirewall : public WindowModule {
protected:
    void SetUp() override {
        realClock = tickSource;
        clockNow = GetTickCount64();
        tickSource = [] { return clockNow; };
        addressSource = []() -> std::optional<LocalAddressList> { return LocalAddressList{wifi}; };
        firewallSource = fromSeam;
        readings = 0;
        found = {};
        refreshAdapters();
    }
    void TearDown() override {
        if (server->running) harness->command(ControlId::start);
        harness->pump();
        addressSource = readLocalAddresses;
        tickSource = realClock;
        firewallSource = firewall::readFinding;
    }
    static void tick(std::uint64_t later) {
        clockNow += later;
        SendMessageW(window, WM_TIMER, refreshTimer, 0);
    }
    // Starts sharing and lets its first reading reach the window.
    static void share() {
        harness->command(ControlId::start);
        ASSERT_TRUE(server->running);
        ASSERT_TRUE(harness->pumpedUntil([] { return readings > 0; }));
        harness->pump();
    }
    static std::wstring statusText() { return readText(statusLabel); }

    std::uint64_t (*realClock)() = nullptr;
};

// Each kind of block is said at once, in the interface's language; nothing read, or
// nothing in the way, leaves the share's own notice.
TEST_F(WindowFirewall, EachBlockIsSaidAtOnceInBothLanguagesAndNothingElse) {
    const struct {
        Finding finding;
        Ui::TextPair notice;
    } rows[] = {
        {{Verdict::blocked, Reason::blockRule, firewall::publicProfile}, Ui::Firewall::blockedOnPublic.notice},
        {{Verdict::blocked, Reason::blockRule, firewall::privateProfile}, Ui::Firewall::blockedOnThisType.notice},
        {{Verdict::blocked, Reason::blockAll, firewall::publicProfile}, Ui::Firewall::blockAll.notice},
        {{Verdict::blocked, Reason::noRule, firewall::privateProfile}, Ui::Firewall::notAllowedHere.notice},
        {{}, Ui::Notice::sharingActive},
        {{Verdict::allowed, Reason::none, 0}, Ui::Notice::sharingActive},
    };
    for (const auto& row : rows) {
        for (const bool english : {false, true}) {
            const LanguageGuard language(english);
            found = row.finding;
            readings = 0;
            share();
            EXPECT_TRUE(harness->pumpedUntil([&] { return statusText() == row.notice.in(english); }))
                << static_cast<int>(row.finding.reason) << (english ? " in English" : " in French");
            harness->command(ControlId::start);
        }
    }
}

// Read again every few seconds, since the user may answer Windows' prompt; said only
// in a waiting share's place; gone, and no more reading, once a phone gets through.
TEST_F(WindowFirewall, ReadAgainUntilAPhoneComesAndWaitsItsTurn) {
    share();
    ASSERT_EQ(statusText(), sharingActive);
    // A later reading than the share's first waits until Start's notice has stood its time.
    found = {Verdict::blocked, Reason::noRule, firewall::publicProfile};
    tick(userNoticeHoldMs);
    ASSERT_TRUE(harness->pumpedUntil([] { return statusText() == Ui::Firewall::notAllowedHere.notice.french; }));

    // The user's own action is not hidden by the next reading, even of another block.
    harness->command(ControlId::removeFile);
    const std::wstring removed = statusText();
    found = {Verdict::blocked, Reason::blockAll, firewall::publicProfile};
    const int before = readings;
    tick(firewallReadPeriodMs);
    ASSERT_TRUE(harness->pumpedUntil([&] { return readings > before; }));
    harness->pump();
    EXPECT_EQ(statusText(), removed);

    // Allowed meanwhile (the prompt answered): the finding does not come back.
    found = {Verdict::allowed, Reason::none, 0};
    harness->command(ControlId::start);
    harness->command(ControlId::start);
    ASSERT_TRUE(harness->pumpedUntil([&] { return readings > before + 1; }));
    harness->pump();
    EXPECT_EQ(statusText(), sharingActive);

    // A phone reaches the PC: the finding goes and the reading stops.
    found = {Verdict::blocked, Reason::blockAll, firewall::publicProfile};
    tick(userNoticeHoldMs);
    ASSERT_TRUE(harness->pumpedUntil([] { return statusText() == Ui::Firewall::blockAll.notice.french; }));
    server->reached = true;  // only a phone's own address counts, which loopback never is
    tick(refreshPeriodMs);
    EXPECT_EQ(statusText(), sharingActive);
    const int last = readings;
    tick(firewallReadPeriodMs);
    harness->pump();
    EXPECT_EQ(readings, last);
}

// The help button, while a block is shown, says what to do about it and offers its
// settings page; declined, nothing opens. Once the block is gone it shows the help.
TEST_F(WindowFirewall, TheHelpButtonSaysWhatToDoAboutTheBlockShown) {
    found = {Verdict::blocked, Reason::blockRule, firewall::publicProfile};
    share();
    ASSERT_EQ(statusText(), Ui::Firewall::blockedOnPublic.notice.french);
    std::vector<std::wstring> boxes;
    {
        const UserScript declines({[&](HWND box) {
            boxes.push_back(textOf(box, 0xFFFF));
            SendMessageW(box, WM_COMMAND, boxes.size() == 1 ? IDNO : IDOK, 0);
            return false;
        }});
        harness->command(ControlId::help);
        harness->command(ControlId::removeFile);
        harness->command(ControlId::help);
    }
    ASSERT_EQ(boxes.size(), 2u) << "a settings page or a failure box opened";
    EXPECT_EQ(boxes[0], Ui::Firewall::blockedOnPublic.details.french);
    EXPECT_TRUE(!boxes[1].empty() && std::wstring(Ui::helpFrench).rfind(boxes[1], 0) == 0)  // the box's text, cut
        << "not the help";
}

// Under Wine the real reading cannot read anything: the link is up before it ends,
// and once it has ended the window says what it says today.
TEST_F(WindowFirewall, UnderWineTheRealReadingEndsInUnknownWithoutDelayingTheLink) {
    firewallSource = realReading;
    heldBack = true;
    harness->command(ControlId::start);
    EXPECT_TRUE(server->running);
    EXPECT_NE(readText(linkEdit), L"");
    EXPECT_EQ(readings, 0) << "the link waited for the reading";
    heldBack = false;
    ASSERT_TRUE(harness->pumpedUntil([] { return readings > 0; }));
    harness->pump();
    EXPECT_EQ(statusText(), sharingActive);
    tick(noPhoneAfterMs);
    EXPECT_EQ(statusText(), Ui::Notice::noPhoneYet.french);
}

}  // namespace
