#pragma once

// The main window module: its globals (interface thread only) and the operations
// shared by its files.

#include <windows.h>
#include <shellapi.h>
#include <bluetoothapis.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/layout.h"
#include "app/ui/control_ids.h"
#include "app/ui/notices.h"
#include "base/text_pair.h"
#include "base/version.h"
#include "bluetooth/bluetooth_transfer.h"
#include "link/firewall_finding.h"
#include "remote/actions.h"

class TransferServer;
class BluetoothAuthListener;
namespace qrcodegen {
class QrCode;
}

namespace app {

constexpr UINT internetActionFinished = remote::ActionFinished;  // posted by the Internet runner
constexpr UINT pairingRequest = WM_APP + 53;
constexpr UINT modalWindowClosed = WM_APP + 55;  // posted to itself: boxes that waited may show
constexpr UINT firewallRead = WM_APP + 57;       // posted by a firewall reading
constexpr UINT_PTR refreshTimer = 1;
constexpr UINT refreshPeriodMs = 250;
// How often the timer reads the PC's addresses again (the system's change
// notifications never come under Wine), and how long a share waits for its first
// phone before the status line says what to check.
constexpr std::uint64_t addressReadPeriodMs = 2000;
constexpr std::uint64_t noPhoneAfterMs = 60000;
// A share stops only when its address has been missing from every read for this
// long: a roam between access points, a second without signal or the minute after
// waking from sleep take it away for about a second, and the phone's page goes on
// when it comes back.
constexpr std::uint64_t addressGoneAfterMs = 10000;
// How long what an action of the user's has just said stays before a notice of the
// watch may take its place.
constexpr std::uint64_t userNoticeHoldMs = 10000;
// How often a share that no phone has reached reads the firewall again, and how long
// one reading may take (a PC may hold a thousand rules).
constexpr std::uint64_t firewallReadPeriodMs = 5000;
constexpr std::uint64_t firewallReadLimitMs = 4000;

// The design's colours. Painting takes them, or the system's under high contrast,
// from `palette` (palette_win.h).
constexpr COLORREF frameColour = RGB(0x19, 0x2B, 0x36);
constexpr COLORREF cardColour = RGB(0xF2, 0xF7, 0xF9);
constexpr COLORREF bottomBarColour = RGB(0x5D, 0x6F, 0x7B);
constexpr COLORREF darkText = RGB(0x1A, 0x2D, 0x39);
constexpr COLORREF greyText = RGB(0x53, 0x69, 0x76);
constexpr COLORREF accentColour = RGB(0x11, 0x77, 0x6C);
constexpr COLORREF accentPressed = RGB(0x0B, 0x59, 0x51);
constexpr COLORREF disabledFace = RGB(0xEC, 0xF1, 0xF4);
constexpr COLORREF borderColour = RGB(0xDA, 0xE6, 0xEB);
constexpr COLORREF panelColour = RGB(0xFF, 0xFF, 0xFF);

constexpr wchar_t productTitle[] = L"Tolvenaire Android";
constexpr wchar_t windowTitle[] = L"Tolvenaire Android " TOLVENAIRE_VERSION_WIDE;
constexpr wchar_t versionText[] = TOLVENAIRE_VERSION_WIDE;
constexpr wchar_t mainClassName[] = L"TolvenaireAndroidWindow";
constexpr wchar_t qrClassName[] = L"TolvenaireQrWindow";

// The window module's state, touched by the interface thread only. Grouped by who
// owns what; globals_win.cpp defines them so that static clean-up runs in a safe
// order, and shutDown() in main_win.cpp releases the owned ones explicitly first:
// the Internet runner, the pairing listener, the Bluetooth job, the server, then
// the GDI objects.

// Engine objects the window owns (made by wWinMain and WM_CREATE).
extern std::unique_ptr<remote::Actions> remoteActions;
extern std::unique_ptr<TransferServer> server;
extern std::unique_ptr<BluetoothTransfer> bluetoothTransfer;
extern std::unique_ptr<BluetoothAuthListener> authenticationListener;

// GDI objects the window owns, and the scale they were made for.
extern double scale;
extern HBRUSH backgroundBrush;
extern HBRUSH whiteBrush;
extern HFONT normalFont;
extern HFONT titleFont;
extern HFONT smallFont;
extern HFONT brandFont;

// Windows: the main window, the QR window while open, and the controls, which the
// main window destroys with itself.
extern HWND windowHandle;
extern HWND qrWindow;
extern HWND modeSummary, statusLabel, languageCombo, textEdit, textSendButton, fileLabel, fileSendButton, addressCombo,
    qrButton, linkEdit, copyLinkButton, previewButton, startButton, pairButton, deviceLabel, btPathEdit, btProgress,
    cancelBluetoothButton, tooltip;

// What is shown and chosen: the link and its code, the addresses, the file, the
// phone, the notice in both languages, and the mode.
extern std::wstring currentLink;
extern std::unique_ptr<qrcodegen::QrCode> qr;
extern std::vector<std::pair<std::wstring, std::string>> addresses;
extern std::wstring selectedPath;
extern std::optional<BLUETOOTH_DEVICE_INFO> bluetoothDevice;
extern std::wstring bluetoothPath;
extern bool bluetoothText;
extern std::wstring noticeFr;
extern std::wstring noticeEn;
extern std::uint64_t noticeSetAt;  // tickSource when status() last set the notice
extern bool bluetoothMode;
extern bool likedThisSession;
extern bool selectingBluetoothPhone;
extern bool authenticationDialogOpen;
// Where the address list comes from: the system's adapters (localAddresses). Tests
// that let the window start the link server hand in loopback addresses instead,
// which the system's list never offers.
// Empty when the enumeration failed: that says nothing about the addresses.
extern std::optional<std::vector<std::pair<std::wstring, std::string>>> (*addressSource)();
// The address the user chose in the list, or last shared on; empty for none yet. It
// stays chosen while it is gone from the PC, and is selected again when it is back.
extern std::string chosenAddress;
// The window's clock in milliseconds (GetTickCount64); tests move it by hand.
extern std::uint64_t (*tickSource)();

// The Bluetooth job as the status line last showed it. The job number tells two
// jobs with the same outcome apart, so each one's outcome is shown even when it
// ends before its first poll.
struct ShownJob {
    BluetoothTransfer::State state = BluetoothTransfer::State::Idle;
    std::uint64_t sent = 0;
    std::uint64_t job = 0;
};
extern ShownJob shownJob;

// Base units to pixels at the current scale.
int scaled(double units);
RECT scaledRect(const Box& units);

// Window procedures.
LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK qrProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Creation (controls_win.cpp).
void createFonts();
void createControls(HWND window);

// Painting (paint_win.cpp).
// A text the window paints itself: in `font` and `colour`, within `box` (base units),
// drawn with `format`.
struct PaintedText {
    std::wstring text;
    HFONT font;
    COLORREF colour;
    Box box;
    UINT format;
};
// The texts painted on the card for a language and a state, in painting order, as
// they fit their boxes in `dc` at the current scale and fonts.
std::vector<PaintedText> paintedTexts(HDC dc, bool english, bool bluetoothMode, bool serverRunning,
                                      std::uint64_t lastStatePoll, std::uint64_t now);
void paintWindow(HWND window);
void drawButton(const DRAWITEMSTRUCT& item);
LRESULT controlColour(UINT message, HDC dc, HWND control);

// Link and QR display (link_win.cpp).
void refreshLink();
void refreshAdapters();
// Fills the address list with `list`, keeping the selected address when it is still
// there (refreshAdapters without the link).
void showAddresses(std::vector<std::pair<std::wstring, std::string>> list);
// The single entry of an address list without addresses, in the current language.
void labelNoAddress();
void drawQr(HDC dc, const RECT& area);
void openQrWindow();

// Labels (labels_win.cpp).
void refreshLabels();

// Commands (commands_win.cpp).
void onCommand(int id, int notification);
void setSelectedFile(const std::wstring& path);
void onDropFiles(HDROP drop);
void onTimer();

// Keyboard and focus (keyboard_win.cpp).
// One step of the message loop: the dialog keys (Tab, Enter, Escape, arrows) first,
// then the controls' own handling.
void dispatchMessage(MSG& message);
// Tab and Escape leave the text box to the dialog keys; Ctrl+Tab types a tab.
void handleTabInTextBox(HWND box);
// The focus a new window gives when first activated: the text box.
void focusOnStart();
void saveFocus();
// Back to the control that had the focus, or the next one that can take it.
void restoreFocus();
// WM_ACTIVATE: true when handled (the focus given back), false for default handling.
bool onActivate(WPARAM state);
// Enter: the focused button acts as it does on Space.
void pressFocusedButton();
// Enabling and showing that never leave the focus on a control that cannot take it.
void enableControl(HWND control, bool enabled);
void showControl(HWND control, bool visible);

// Boxes from background results (waiting_boxes_win.cpp).
// Shows `box` now, or once no modal window is open any more (it and every box that
// waits before it).
void afterModalWindows(std::function<void()> box);
// WM_ENABLE of the main window: a modal window it owned may have closed.
void onEnable(bool enabled);
void onModalWindowClosed();
void dropWaitingBoxes();

// What a share watches (sharing_watch_win.cpp): the PC's addresses and whether a
// phone has come.
// Called when the server has started on a new link.
void sharingStarted();
// Reads the PC's addresses: a share on an address the PC no longer has stops as on a
// network error, and the list shows what is there, unless it is dropped down and
// `opening` is false (then it waits until the list is closed).
void readAddresses(bool opening);
// Stops sharing on a network failure and says so.
void stopOnNetworkError();
// Whether a notice of the watch (no phone yet, ...) may replace what the status line
// says now: only a notice of a share waiting for its phone, and only once it has
// stood for userNoticeHoldMs, so that it never hides what the user's action said.
bool watchNoticeMayReplace(std::uint64_t now);
// Every tick: the addresses every few seconds in Wi-Fi mode, and the no-phone notice.
void watchSharing();

// Windows' firewall while a share waits for its phone (firewall_watch_win.cpp).
// Where findings come from: firewall::readFinding; tests hand in their own.
extern firewall::Finding (*firewallSource)(const std::string& address, std::uint16_t port, std::uint64_t limitMs);
// Called when the server has started on a new link: reads at once.
void firewallShareStarted();
// Every tick: reads again every few seconds until a phone comes, then withdraws the finding.
void watchFirewall(std::uint64_t now);
// A reading has ended: a blocking finding takes the status line when its turn comes.
void onFirewallRead();
// The help button while a finding is shown: what to do, and its settings page
// offered. False when no finding is shown.
bool offerFirewallSettings();
// The window goes: late readings post nothing.
void stopFirewallWatch();

// Internet results (internet_results_win.cpp).
void onInternetActionFinished(WPARAM key, LPARAM extra);

// Bluetooth sending (bluetooth_commands_win.cpp).
bool selectBluetoothPhone();
void sendBluetooth(const std::wstring& path);
void sendBluetoothText(const std::string& text);
void cancelBluetooth();
void pollBluetooth(bool force);
void onPairingRequest(WPARAM key, LPARAM extra);
void stopListening();
void discardPairingRequests();

// Feedback (feedback_win.cpp).
// The status line keeps its notice in both languages and shows the current one;
// screen readers say it, also when the same action has said it before.
void status(const Ui::TextPair& notice);
// A notice made at run time (the Bluetooth job's message and progress), announced
// when it differs from the one shown and `heard` (not for a progress step).
void status(const std::wstring& french, const std::wstring& english, bool heard = true);
void showNotice();
// Whether the status line holds `notice`.
bool showing(const Ui::TextPair& notice);
void readyNotice();
// Shows the notice that `action` is under way.
void status(Ui::Pending action);
// Whether `action` is still under way, as far as the window knows.
bool underWay(Ui::Pending action);
// The warning box; once it closes, a notice whose action has ended gives way to
// the ready notice.
void error(const std::wstring& message);
// What the warning box says for a failure: its UTF-8 message, or our own words for
// the library's memory and system failures.
std::wstring failureText(const std::exception& failure);
[[noreturn]] void fail(const Ui::TextPair& refusal);
std::wstring readText(HWND window);
// Opens `address` in the default browser; tells the user when that is impossible.
void openInBrowser(const std::wstring& address);

}  // namespace app
