// What the main window's buttons, lists and drops do, and the timer.

#include "app/window_win.h"

#include <commdlg.h>
#include <shellapi.h>

#include <stdexcept>

#include "app/accessibility_win.h"
#include "app/handles_win.h"
#include "app/layout.h"
#include "app/ui/help_text.h"
#include "app/ui/labels.h"
#include "app/ui/notices.h"
#include "app/ui/preference.h"
#include "base/file_share.h"
#include "base/language.h"
#include "base/text.h"
#include "link/transfer_server.h"
#include "remote/actions.h"
#include "remote/remote.h"

namespace app {
namespace {

constexpr DWORD pathCapacity = 32768;

void chooseFile() {
    std::wstring path(pathCapacity, L'\0');
    const std::wstring filter = std::wstring(Ui::current(Ui::Message::allFiles)) + L'\0' + L"*.*" + L'\0' + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = windowHandle;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = pathCapacity;
    dialog.lpstrTitle = Ui::current(Ui::Message::chooseFileTitle);
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return;
    path.resize(wcslen(path.c_str()));
    setSelectedFile(path);
}

void stopServer() {
    if (server) server->stop();
}

bool serverRunning() { return server && server->running; }

void startSharing() {
    if (serverRunning()) return;
    refreshAdapters();
    const LRESULT selected = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<size_t>(selected) >= addresses.size()) fail(Ui::Refusal::noNetwork);
    chosenAddress = addresses[static_cast<size_t>(selected)].second;
    server->start(chosenAddress);
    sharingStarted();
    refreshLink();
    refreshLabels();
}

void chooseWifiMode() {
    bluetoothMode = false;
    refreshLabels();
    readyNotice();
}

void chooseBluetoothMode() {
    bluetoothMode = true;
    if (serverRunning()) {
        stopServer();
        refreshLink();
    }
    refreshLabels();
    readyNotice();
}

void sendText() {
    const std::string text = utf8(readText(textEdit));
    if (text.empty()) fail(Ui::Refusal::emptyText);
    if (bluetoothMode) {
        sendBluetoothText(text);
        return;
    }
    server->setText(text);
    startSharing();
    status(Ui::Notice::textReady);
}

void sendFile() {
    if (selectedPath.empty()) chooseFile();
    if (selectedPath.empty()) return;
    if (bluetoothMode) {
        sendBluetooth(selectedPath);
        return;
    }
    server->setFile(std::make_shared<FileShare>(selectedPath));
    startSharing();
    status(Ui::Notice::fileReady);
}

void removeFile() {
    server->setFile(nullptr);
    selectedPath.clear();
    refreshLabels();
    status(Ui::Notice::fileRemoved);
}

void startOrStop() {
    if (!serverRunning()) {
        startSharing();
        status(Ui::Notice::sharingActive);
        return;
    }
    stopServer();
    refreshLink();
    refreshLabels();
    status(Ui::Notice::sharingStopped);
}

void changeAddress(int notification) {
    if (notification == CBN_DROPDOWN) return readAddresses(true);  // a network joined since is offered
    if (notification != CBN_SELCHANGE && notification != CBN_CLOSEUP) return;
    const LRESULT selected = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    if (selected >= 0 && static_cast<size_t>(selected) < addresses.size())
        chosenAddress = addresses[static_cast<size_t>(selected)].second;
    if (!serverRunning()) return;
    // As with the language list: closed by a click elsewhere, the list may be back on
    // another address than the one it last shared on.
    if (notification == CBN_CLOSEUP && (selected < 0 || static_cast<size_t>(selected) >= addresses.size() ||
                                        addresses[static_cast<size_t>(selected)].second == server->address))
        return;
    stopServer();
    refreshLink();
    startSharing();
    status(Ui::Notice::networkChanged);
}

void copyLink() {
    if (currentLink.empty()) return;
    ClipboardScope clipboard(windowHandle);
    if (!clipboard.open()) fail(Ui::Refusal::clipboardUnavailable);
    const SIZE_T bytes = (currentLink.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(bytes);
    if (!memory) throw std::bad_alloc();
    void* target = GlobalLock(memory.get());
    if (!target) throw std::bad_alloc();
    memcpy(target, currentLink.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) fail(Ui::Refusal::copyFailed);
    memory.release();  // the clipboard owns it now
    status(Ui::Notice::linkCopied);
}

void preview() {
    if (!currentLink.empty()) openInBrowser(currentLink);
}

void cancelTransfer() {
    cancelBluetooth();
    status(Ui::Pending::transferCancel);
}

void showHelp() {
    if (offerFirewallSettings()) return;
    MessageBoxW(windowHandle, Ui::current(Ui::helpText), Ui::current(Ui::Message::helpCaption),
                MB_OK | MB_ICONINFORMATION);
}

void clearText() {
    server->setText(std::string());
    SetWindowTextW(textEdit, L"");
    status(Ui::Notice::textCleared);
}

void changeLanguage(int notification) {
    // The list follows its highlight while it is dropped down; closed by a click
    // elsewhere, it goes back to the choice it had, without telling that change.
    if (notification != CBN_SELCHANGE && notification != CBN_CLOSEUP) return;
    const int index = static_cast<int>(SendMessageW(languageCombo, CB_GETCURSEL, 0, 0));
    if (notification == CBN_CLOSEUP && (index < 0 || (index == 1) == Ui::english)) return;
    const bool saved = Ui::chooseLanguage(index);
    refreshLabels();
    if (!saved) status(Ui::Notice::languageNotSaved);
}

void startLike() {
    if (likedThisSession || remote::alreadyLiked()) return;
    if (!remoteActions->start(remote::Action::Like)) return;
    enableControl(GetDlgItem(windowHandle, ControlId::like), false);
    status(Ui::Pending::like);
}

void startUpdateCheck() {
    if (!remoteActions->start(remote::Action::Update)) return;
    enableControl(GetDlgItem(windowHandle, ControlId::updateCheck), false);
    status(Ui::Pending::updateCheck);
}

}  // namespace

void setSelectedFile(const std::wstring& path) {
    // The phone gets the name as UTF-8: a name Windows allows but Unicode does not
    // (a lone surrogate) would break every state answer once shared.
    try {
        utf8(fileNameOf(path));
    } catch (const std::exception&) {
        fail(Ui::Refusal::fileNameNotUnicode);
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) fail(Ui::Refusal::notAFile);
    selectedPath = path;
    SetWindowTextW(fileLabel, Ui::fileLabelText(selectedPath, Ui::english).c_str());
    status(Ui::Notice::fileSelected);
}

void onCommand(int id, int notification) {
    // The lists act on their own notifications. A button acts on its click only: the
    // second click of a double-click comes as BN_DOUBLECLICKED and must not act again.
    if (id == ControlId::languageList) return changeLanguage(notification);
    if (id == ControlId::addressList) return changeAddress(notification);
    if (notification != BN_CLICKED) return;
    switch (id) {
    case IDOK: pressFocusedButton(); break;  // Enter, from the dialog keys
    case IDCANCEL: break;                    // Escape closes nothing here
    case ControlId::wifiMode: chooseWifiMode(); break;
    case ControlId::bluetoothMode: chooseBluetoothMode(); break;
    case ControlId::textSend: sendText(); break;
    case ControlId::chooseFile: chooseFile(); break;
    case ControlId::fileSend: sendFile(); break;
    case ControlId::removeFile: removeFile(); break;
    case ControlId::start: startOrStop(); break;
    case ControlId::copyLink: copyLink(); break;
    case ControlId::preview: preview(); break;
    case ControlId::cancelBluetooth: cancelTransfer(); break;
    case ControlId::pair: selectBluetoothPhone(); break;
    case ControlId::help: showHelp(); break;
    case ControlId::clearText: clearText(); break;
    case ControlId::minimize:
        saveFocus();
        ShowWindow(windowHandle, SW_MINIMIZE);
        break;
    case ControlId::close: SendMessageW(windowHandle, WM_CLOSE, 0, 0); break;
    case ControlId::qr: openQrWindow(); break;
    case ControlId::like: startLike(); break;
    case ControlId::updateCheck: startUpdateCheck(); break;
    case ControlId::textEdit:  // NOLINT(bugprone-branch-clone): named apart from default on purpose
    case ControlId::linkEdit:
    case ControlId::bluetoothPath: break;  // edits: their notifications need nothing
    default: break;
    }
}

void onDropFiles(HDROP drop) {
    std::wstring path;
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
        path.assign(static_cast<size_t>(length) + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(copied);
    }
    DragFinish(drop);
    if (!path.empty()) setSelectedFile(path);
}

void onTimer() {
    if (serverRunning() && server->acceptError != 0) stopOnNetworkError();
    watchSharing();
    const RECT line = scaledRect(Area::connectionLine);
    InvalidateRect(windowHandle, &line, FALSE);
    followState();
    pollBluetooth(false);
}

}  // namespace app
