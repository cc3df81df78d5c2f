// Outcomes of the update check and the like, posted back by the Internet runner.

#include "app/window_win.h"

#include "base/language.h"
#include "base/text.h"
#include "remote/actions.h"
#include "remote/remote.h"

namespace app {
namespace {

void offerUpdate(const std::string& version) {
    const std::wstring published = wide(version);
    const std::wstring question = std::wstring(byLanguage(L"Version disponible : ", L"Available version: ")) +
                                  published +
                                  byLanguage(L"\nOuvrir son t\u00e9l\u00e9chargement sur Varnix ?",
                                             L"\nOpen its download on Varnix?");
    const int answer = MessageBoxW(windowHandle, question.c_str(), byLanguage(L"Mise \u00e0 jour", L"Update"),
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
        MessageBoxW(windowHandle,
                    byLanguage(L"Votre version " TOLVENAIRE_VERSION_WIDE L" est \u00e0 jour.",
                               L"Your version " TOLVENAIRE_VERSION_WIDE L" is up to date."),
                    L"Varnix", MB_OK | MB_ICONINFORMATION);
    }
    readyNotice();
}

void takeLike(const remote::Result& result) {
    likedThisSession = result.ok;
    refreshLabels();
    if (result.ok)
        status(L"Merci ! Votre soutien est enregistr\u00e9.", L"Thank you! Your like has been recorded.");
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
