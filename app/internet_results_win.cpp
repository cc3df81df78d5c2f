// Outcomes of the update check and the like, posted back by the Internet runner.

#include "app/window_win.h"

#include "app/ui/notices.h"
#include "base/language.h"
#include "base/text.h"
#include "remote/actions.h"
#include "remote/remote.h"

namespace app {
namespace {

void offerUpdate(const std::string& version) {
    const std::wstring published = wide(version);
    const std::wstring question =
        Ui::current(Ui::Message::availableVersion) + published + Ui::current(Ui::Message::openDownload);
    const int answer = MessageBoxW(windowHandle, question.c_str(), Ui::current(Ui::Message::updateCaption),
                                   MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2);
    if (answer == IDYES) {
        const std::wstring address = remote::downloadUrl(version);
        if (!address.empty()) openInBrowser(address);
    }
}

void takeUpdateCheck(const remote::Result& result) {
    EnableWindow(GetDlgItem(windowHandle, ControlId::updateCheck), TRUE);
    if (!result.ok) {
        error(result.message);
        return;
    }
    if (remote::compareVersions(result.version, remote::VersionUtf8) > 0) {
        offerUpdate(result.version);
    } else {
        MessageBoxW(windowHandle, Ui::current(Ui::Message::upToDate), L"Varnix", MB_OK | MB_ICONINFORMATION);
    }
    readyNotice();
}

void takeLike(const remote::Result& result) {
    likedThisSession = result.ok;
    refreshLabels();
    if (result.ok)
        status(Ui::Notice::likeRecorded);
    else
        error(result.message);
}

}  // namespace

void onInternetActionFinished(WPARAM key, LPARAM extra) {
    if (extra != 0 || !remoteActions) return;
    const std::optional<remote::Result> result = remoteActions->take(static_cast<std::uint64_t>(key));
    if (!result) return;
    if (result->action == remote::Action::Update)
        takeUpdateCheck(*result);
    else
        takeLike(*result);
}

}  // namespace app
