// What the main window's buttons, lists and drops do, and the timer.

#include "app/window_win.h"

#include <commdlg.h>
#include <shellapi.h>

#include <stdexcept>

#include "app/handles_win.h"
#include "app/help_text.h"
#include "app/ui/labels.h"
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
    const std::wstring filter = std::wstring(byLanguage(L"Tous les fichiers", L"All files")) + L'\0' + L"*.*" +
                                L'\0' + L'\0';
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = windowHandle;
    dialog.lpstrFilter = filter.c_str();
    dialog.lpstrFile = path.data();
    dialog.nMaxFile = pathCapacity;
    dialog.lpstrTitle = byLanguage(L"Choisir un fichier", L"Choose a file");
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog)) return;
    path.resize(wcslen(path.c_str()));
    setSelectedFile(path);
}

void stopServer() {
    if (server) server->stop();
}

bool serverRunning() {
    return server && server->running;
}

void startSharing() {
    if (serverRunning()) return;
    refreshAdapters();
    const LRESULT selected = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    if (selected < 0 || static_cast<size_t>(selected) >= addresses.size())
        fail(L"Connectez le PC au m\u00eame r\u00e9seau que le t\u00e9l\u00e9phone, puis choisissez une interface.",
             L"Connect your PC and phone to the same network, then select an interface.");
    server->start(addresses[static_cast<size_t>(selected)].second);
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
    if (text.empty()) fail(L"Saisissez un texte \u00e0 envoyer.", L"Enter some text to send.");
    if (bluetoothMode) {
        sendBluetoothText(text);
        return;
    }
    server->setText(text);
    startSharing();
    status(L"Texte pr\u00eat. Scannez le QR code sur Android.", L"Text ready. Scan the QR code on Android.");
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
    status(L"Fichier pr\u00eat. T\u00e9l\u00e9chargez-le sur Android.", L"File ready. Download it on Android.");
}

void removeFile() {
    server->setFile(nullptr);
    selectedPath.clear();
    refreshLabels();
    status(L"Fichier retir\u00e9 des prochains t\u00e9l\u00e9chargements.", L"File removed from future downloads.");
}

void startOrStop() {
    if (!serverRunning()) {
        startSharing();
        status(L"Partage actif. Scannez le QR code.", L"Sharing is active. Scan the QR code.");
        return;
    }
    stopServer();
    refreshLink();
    refreshLabels();
    status(L"Partage arr\u00eat\u00e9. Le lien est d\u00e9sactiv\u00e9.", L"Sharing stopped. The link is disabled.");
}

void changeAddress(int notification) {
    if (notification != CBN_SELCHANGE || !serverRunning()) return;
    stopServer();
    refreshLink();
    startSharing();
    status(L"Nouveau r\u00e9seau : ouvrez le nouveau QR code.", L"Network changed: open the new QR code.");
}

void copyLink() {
    if (currentLink.empty()) return;
    ClipboardScope clipboard(windowHandle);
    if (!clipboard.open()) fail(L"Presse-papiers indisponible. R\u00e9essayez.", L"Clipboard unavailable. Try again.");
    const SIZE_T bytes = (currentLink.size() + 1) * sizeof(wchar_t);
    GlobalMemory memory(bytes);
    if (!memory) throw std::bad_alloc();
    void* target = GlobalLock(memory.get());
    if (!target) throw std::bad_alloc();
    memcpy(target, currentLink.c_str(), bytes);
    GlobalUnlock(memory.get());
    if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get()))
        fail(L"Copie impossible.", L"Could not copy.");
    memory.release();  // the clipboard owns it now
    status(L"Lien copi\u00e9 dans le presse-papiers.", L"Link copied to the clipboard.");
}

void preview() {
    if (!currentLink.empty()) openInBrowser(currentLink);
}

void cancelTransfer() {
    cancelBluetooth();
    status(Ui::Pending::transferCancel);
}

void showHelp() {
    MessageBoxW(windowHandle, byLanguage(helpTextFrench, helpTextEnglish),
                byLanguage(L"Aide \u00b7 Tolvenaire " TOLVENAIRE_VERSION_WIDE, L"Help \u00b7 Tolvenaire " TOLVENAIRE_VERSION_WIDE),
                MB_OK | MB_ICONINFORMATION);
}

void clearText() {
    server->setText(std::string());
    SetWindowTextW(textEdit, L"");
    status(L"Texte effac\u00e9 et retir\u00e9 du partage.", L"Text cleared and removed from sharing.");
}

void changeLanguage(int notification) {
    if (notification != CBN_SELCHANGE) return;
    const int index = static_cast<int>(SendMessageW(languageCombo, CB_GETCURSEL, 0, 0));
    const bool saved = Ui::chooseLanguage(index);
    refreshLabels();
    if (!saved) status(Ui::languageNotSaved.french, Ui::languageNotSaved.english);
}

void startLike() {
    if (likedThisSession || remote::alreadyLiked()) return;
    if (!remoteActions->start(remote::Action::Like)) return;
    EnableWindow(GetDlgItem(windowHandle, ControlId::like), FALSE);
    status(Ui::Pending::like);
}

void startUpdateCheck() {
    if (!remoteActions->start(remote::Action::Update)) return;
    EnableWindow(GetDlgItem(windowHandle, ControlId::updateCheck), FALSE);
    status(Ui::Pending::updateCheck);
}

}  // namespace

void setSelectedFile(const std::wstring& path) {
    // The phone gets the name as UTF-8: a name Windows allows but Unicode does not
    // (a lone surrogate) would break every state answer once shared.
    try {
        utf8(fileNameOf(path));
    } catch (const std::exception&) {
        fail(L"Le nom de ce fichier contient des caract\u00e8res invalides. Renommez-le puis choisissez-le \u00e0 nouveau.",
             L"This file name contains invalid characters. Rename the file, then choose it again.");
    }
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        fail(L"Choisissez un fichier lisible, pas un dossier.", L"Choose a readable file, not a folder.");
    selectedPath = path;
    SetWindowTextW(fileLabel, Ui::fileLabelText(selectedPath, Ui::english).c_str());
    status(L"Fichier choisi. Cliquez sur Envoyer.", L"File selected. Click Send file.");
}

void onCommand(int id, int notification) {
    switch (id) {
    case ControlId::wifiMode: chooseWifiMode(); break;
    case ControlId::bluetoothMode: chooseBluetoothMode(); break;
    case ControlId::textSend: sendText(); break;
    case ControlId::chooseFile: chooseFile(); break;
    case ControlId::fileSend: sendFile(); break;
    case ControlId::removeFile: removeFile(); break;
    case ControlId::start: startOrStop(); break;
    case ControlId::addressList: changeAddress(notification); break;
    case ControlId::copyLink: copyLink(); break;
    case ControlId::preview: preview(); break;
    case ControlId::cancelBluetooth: cancelTransfer(); break;
    case ControlId::pair: selectBluetoothPhone(); break;
    case ControlId::help: showHelp(); break;
    case ControlId::clearText: clearText(); break;
    case ControlId::minimize: ShowWindow(windowHandle, SW_MINIMIZE); break;
    case ControlId::close: SendMessageW(windowHandle, WM_CLOSE, 0, 0); break;
    case ControlId::languageList: changeLanguage(notification); break;
    case ControlId::qr: openQrWindow(); break;
    case ControlId::like: startLike(); break;
    case ControlId::updateCheck: startUpdateCheck(); break;
    default: break;  // the edits (103, 112, 115) and unknown ids
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
    if (serverRunning() && server->acceptError != 0) {
        stopServer();
        refreshLink();
        refreshLabels();
        status(L"Erreur r\u00e9seau. V\u00e9rifiez la connexion puis red\u00e9marrez.",
               L"Network error. Check your connection and restart sharing.");
    }
    const RECT line = scaledRect(20, 78, 300, 96);
    InvalidateRect(windowHandle, &line, FALSE);
    pollBluetooth(false);
}

}  // namespace app
