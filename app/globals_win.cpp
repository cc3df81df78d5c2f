// The window module's globals (grouped and explained in window_win.h). Defined in
// one file so that their clean-ups at exit run in the reverse of this order: the
// pairing listener and the Bluetooth job first, the Internet runner last.

#include "app/window_win.h"

#include <qrcodegen.hpp>

#include "app/layout.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/pairing/authentication.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "remote/actions.h"

namespace app {

std::unique_ptr<remote::Actions> remoteActions;
std::unique_ptr<TransferServer> server;
std::unique_ptr<qrcodegen::QrCode> qr;
std::vector<std::pair<std::wstring, std::string>> addresses;
std::wstring selectedPath;
std::wstring currentLink;
std::wstring bluetoothPath;
std::wstring noticeFr;
std::wstring noticeEn;
std::uint64_t noticeSetAt = 0;
std::unique_ptr<BluetoothTransfer> bluetoothTransfer;
std::unique_ptr<BluetoothAuthListener> authenticationListener;

double scale = 1.0;
HBRUSH backgroundBrush = nullptr;
HBRUSH whiteBrush = nullptr;
HFONT normalFont = nullptr;
HFONT titleFont = nullptr;
HFONT smallFont = nullptr;
HFONT brandFont = nullptr;
HWND windowHandle = nullptr;
bool authenticationDialogOpen = false;
bool selectingBluetoothPhone = false;
bool bluetoothMode = false;
bool likedThisSession = false;
std::optional<BLUETOOTH_DEVICE_INFO> bluetoothDevice;
bool bluetoothText = false;
ShownJob shownJob;
HWND qrWindow = nullptr;
std::optional<LocalAddressList> (*addressSource)() = readLocalAddresses;
std::string chosenAddress;
std::uint64_t (*tickSource)() = [] { return static_cast<std::uint64_t>(GetTickCount64()); };

HWND modeSummary, statusLabel, languageCombo, textEdit, textSendButton, fileLabel, fileSendButton, addressCombo,
    qrButton, linkEdit, copyLinkButton, previewButton, startButton, pairButton, deviceLabel, btPathEdit, btProgress,
    cancelBluetoothButton, tooltip;

int scaled(double units) { return toPixels(units, scale); }

RECT scaledRect(const Box& units) {
    const Box pixels = toPixels(units, scale);
    return RECT{pixels.left, pixels.top, pixels.right, pixels.bottom};
}

}  // namespace app
