// What the window watches while it offers the link: the PC's addresses, which
// change under a share (a new lease after sleep, another Wi-Fi, a VPN), and whether
// any phone has got through to the PC at all.

#include "app/window_win.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "app/ui/notices.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"

namespace app {
namespace {

std::uint64_t addressesReadAt = 0;
std::uint64_t sharingSince = 0;
std::optional<std::uint64_t> sharedMissingSince;    // the first read without the shared address
Ui::TextPair replaced = Ui::Notice::sharingActive;  // what the no-phone notice took the place of

bool sharing() { return server && server->running; }

void watchForPhone(std::uint64_t now) {
    if (!sharing()) return;
    if (server->reached) {
        if (showing(Ui::Notice::noPhoneYet)) status(replaced);
        return;
    }
    if (now - sharingSince < noPhoneAfterMs || !watchNoticeMayReplace(now)) return;
    replaced = *std::find_if(Ui::Notice::awaitingPhone.begin(), Ui::Notice::awaitingPhone.end(), showing);
    status(Ui::Notice::noPhoneYet);
}

// Whether the share has lost its address for good; a shorter absence changes nothing.
bool sharedAddressGone(const LocalAddressList& now) {
    const auto shared = [](const auto& entry) { return entry.second == server->address; };
    if (std::any_of(now.begin(), now.end(), shared)) {
        sharedMissingSince.reset();
        return false;
    }
    if (!sharedMissingSince) sharedMissingSince = addressesReadAt;
    return addressesReadAt - *sharedMissingSince >= addressGoneAfterMs;
}

}  // namespace

void sharingStarted() {
    sharingSince = tickSource();
    sharedMissingSince.reset();
    firewallShareStarted();
}

bool watchNoticeMayReplace(std::uint64_t now) {
    return now - noticeSetAt >= userNoticeHoldMs &&
           std::any_of(Ui::Notice::awaitingPhone.begin(), Ui::Notice::awaitingPhone.end(), showing);
}

void stopOnNetworkError() {
    server->stop();
    refreshLink();
    refreshLabels();
    status(Ui::Notice::networkError);
}

void readAddresses(bool opening) {
    std::optional<LocalAddressList> read = addressSource();
    addressesReadAt = tickSource();
    if (!read) return;  // a failed enumeration: the addresses are unknown, not gone
    // A removed address does not fail the listening socket: the link would stay on
    // screen, dead. While it is only briefly missing nothing on screen changes.
    if (sharing()) {
        if (sharedAddressGone(*read))
            stopOnNetworkError();
        else if (sharedMissingSince)
            return;
    }
    // Refilled under the user's eyes, an open list would lose its highlight.
    if (!opening && SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0)) return;
    if (*read != addresses) showAddresses(std::move(*read));
}

void watchSharing() {
    const std::uint64_t now = tickSource();
    if (!bluetoothMode && now - addressesReadAt >= addressReadPeriodMs) readAddresses(false);
    watchForPhone(now);
    watchFirewall(now);
}

}  // namespace app
