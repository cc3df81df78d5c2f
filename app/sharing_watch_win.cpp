// What the window watches while it offers the link: the PC's addresses, which
// change under a share (a new lease after sleep, another Wi-Fi, a VPN), and whether
// any phone has got through to the PC at all.

#include "app/window_win.h"

#include <algorithm>
#include <utility>

#include "app/ui/notices.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"

namespace app {
namespace {

std::uint64_t addressesReadAt = 0;
std::uint64_t sharingSince = 0;
bool noPhoneShown = false;                          // at most once per link
Ui::TextPair replaced = Ui::Notice::sharingActive;  // what the no-phone notice took the place of

bool sharing() { return server && server->running; }

void watchForPhone(std::uint64_t now) {
    if (!sharing()) return;
    if (server->reached) {
        if (showing(Ui::Notice::noPhoneYet)) status(replaced);
        return;
    }
    if (noPhoneShown || now - sharingSince < noPhoneAfterMs) return;
    const auto waiting = std::find_if(Ui::Notice::awaitingPhone.begin(), Ui::Notice::awaitingPhone.end(), showing);
    if (waiting == Ui::Notice::awaitingPhone.end()) return;
    replaced = *waiting;
    noPhoneShown = true;
    status(Ui::Notice::noPhoneYet);
}

}  // namespace

void sharingStarted() {
    sharingSince = tickSource();
    noPhoneShown = false;
    firewallShareStarted();
}

void stopOnNetworkError() {
    server->stop();
    refreshLink();
    refreshLabels();
    status(Ui::Notice::networkError);
}

void readAddresses(bool opening) {
    LocalAddressList now = addressSource();
    addressesReadAt = tickSource();
    // A removed address does not fail the listening socket: the link would stay on
    // screen, dead.
    const auto shared = [](const auto& entry) { return entry.second == server->address; };
    if (sharing() && std::none_of(now.begin(), now.end(), shared)) stopOnNetworkError();
    // Refilled under the user's eyes, an open list would lose its highlight.
    if (!opening && SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0)) return;
    if (now != addresses) showAddresses(std::move(now));
}

void watchSharing() {
    const std::uint64_t now = tickSource();
    if (!bluetoothMode && now - addressesReadAt >= addressReadPeriodMs) readAddresses(false);
    watchForPhone(now);
    watchFirewall(now);
}

}  // namespace app
