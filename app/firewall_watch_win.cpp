// Whether Windows' firewall lets a phone reach the share, read off the interface
// thread when sharing starts and again every few seconds until a phone comes (the
// user may answer Windows' prompt meanwhile). A blocking finding takes the status
// line at once; an unknown or allowing one changes nothing.

#include "app/window_win.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "app/ui/notices.h"
#include "base/language.h"
#include "link/firewall_reader_win.h"
#include "link/transfer_server.h"

namespace app {
namespace {

// Shared with the reading threads, which may outlive the window and even static
// clean-up: never destroyed. The window's handle goes when the window does.
struct Mailbox {
    std::mutex mutex;
    HWND window = nullptr;
    bool busy = false;
    std::uint64_t share = 0;
    firewall::Finding finding;
};

Mailbox& mailbox = *new Mailbox;  // NOLINT(cppcoreguidelines-owning-memory): kept for good on purpose
std::uint64_t share = 0;          // counts the shares, so a late reading of an old one is dropped
std::uint64_t readAt = 0;
bool firstOfShare = false;                    // the share's first reading has not come yet
const Ui::Firewall::Advice* shown = nullptr;  // the finding's advice while on screen
const Ui::Firewall::Advice* waiting = nullptr;
Ui::TextPair replaced = Ui::Notice::sharingActive;

const Ui::Firewall::Advice* adviceFor(const firewall::Finding& finding) {
    if (finding.verdict != firewall::Verdict::blocked) return nullptr;
    switch (finding.reason) {
    case firewall::Reason::blockAll: return &Ui::Firewall::blockAll;
    case firewall::Reason::noRule: return &Ui::Firewall::notAllowedHere;
    default:
        return finding.profile == firewall::publicProfile ? &Ui::Firewall::blockedOnPublic
                                                          : &Ui::Firewall::blockedOnThisType;
    }
}

bool sharing() { return server && server->running; }

// Waits its turn: the first reading of a share corrects at once what Start has just
// said; after that it takes the place of the no-phone notice or of its own finding,
// or of a waiting share's notice once what the user's action said has stood its time.
void show(const Ui::Firewall::Advice* advice, bool atStart) {
    waiting = advice;
    if (!advice || (advice == shown && showing(shown->notice))) return;
    const bool ownPlace = shown && showing(shown->notice);
    const auto awaiting = std::find_if(Ui::Notice::awaitingPhone.begin(), Ui::Notice::awaitingPhone.end(), showing);
    const bool startNotice = atStart && awaiting != Ui::Notice::awaitingPhone.end();
    if (!ownPlace && !startNotice && !showing(Ui::Notice::noPhoneYet) && !watchNoticeMayReplace(tickSource())) return;
    if (!ownPlace && awaiting != Ui::Notice::awaitingPhone.end()) replaced = *awaiting;
    shown = advice;
    waiting = nullptr;
    status(advice->notice);
}

// The finding no longer holds (a phone came, or the user allowed the program).
void withdraw() {
    waiting = nullptr;
    if (shown && showing(shown->notice)) status(replaced);
    shown = nullptr;
}

void startReading(std::uint64_t now) {
    {
        const std::lock_guard<std::mutex> lock(mailbox.mutex);
        if (mailbox.busy) return;  // a slow reading is not stacked with another
        mailbox.busy = true;
        mailbox.window = windowHandle;
    }
    readAt = now;
    try {
        std::thread([address = server->address, port = server->port, ofShare = share] {
            firewall::Finding finding;
            try {
                finding = firewallSource(address, port, firewallReadLimitMs);
            } catch (...) {
                finding = {};
            }
            const std::lock_guard<std::mutex> lock(mailbox.mutex);
            mailbox.busy = false;
            mailbox.share = ofShare;
            mailbox.finding = finding;
            if (mailbox.window) PostMessageW(mailbox.window, firewallRead, 0, 0);
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the finding is a hint, not worth a failure box.
        const std::lock_guard<std::mutex> lock(mailbox.mutex);
        mailbox.busy = false;
    }
}

}  // namespace

firewall::Finding (*firewallSource)(const std::string&, std::uint16_t, std::uint64_t) = firewall::readFinding;

void firewallShareStarted() {
    ++share;
    firstOfShare = true;
    shown = nullptr;
    waiting = nullptr;
    startReading(tickSource());
}

void watchFirewall(std::uint64_t now) {
    if (!sharing() || bluetoothMode) return;
    if (server->reached) {
        withdraw();
        return;
    }
    if (waiting) show(waiting, false);
    if (now - readAt >= firewallReadPeriodMs) startReading(now);
}

void onFirewallRead() {
    firewall::Finding finding;
    {
        const std::lock_guard<std::mutex> lock(mailbox.mutex);
        if (mailbox.share != share) return;
        finding = mailbox.finding;
    }
    if (!sharing() || server->reached) return;
    const Ui::Firewall::Advice* advice = adviceFor(finding);
    const bool firstReading = std::exchange(firstOfShare, false);
    if (advice)
        show(advice, firstReading);
    else if (finding.verdict == firewall::Verdict::allowed)
        withdraw();
}

bool offerFirewallSettings() {
    if (!shown || !showing(shown->notice)) return false;
    const int answer =
        MessageBoxW(windowHandle, Ui::current(shown->details), productTitle, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON1);
    if (answer == IDYES) openInBrowser(shown->settings);
    return true;
}

void stopFirewallWatch() {
    const std::lock_guard<std::mutex> lock(mailbox.mutex);
    mailbox.window = nullptr;
}

}  // namespace app
