// The real main window and pairing dialog in process, put into the Bluetooth states
// that Wine cannot reach by itself (it has no radio): a chosen phone, a push under
// way to a loopback receiver, the pairing dialog with its code. For the guide's
// pictures (tools/screenshots.sh), in French and then in English.
//   screenshot_scenes.exe <folder> <file pushed in French> <file pushed in English>
// For each scene it prints "scene <name> <left> <top> <right> <bottom>" (the window's
// screen rectangle) and keeps the window live until the file <folder>\<name> appears,
// which it deletes before going on. Every wait is bounded; a stuck scene ends the
// program with exit code 1.

#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "app/layout.h"
#include "app/ui/control_ids.h"
#include "app/window_win.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "resources/pairing_dialog_ids.h"
#include "tests/bluetooth/loopback_receiver.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/support/main_window_win.h"
#include "tests/support/open_dialog_win.h"

namespace {

constexpr unsigned long long phoneAddress = 0x3C286D0A41B7ull;
constexpr wchar_t phoneName[] = L"Pixel 8";
constexpr auto sceneWait = std::chrono::seconds(120);

std::wstring folder;

[[noreturn]] void giveUp(const char* what) {
    std::printf("stuck\t%s\n", what);
    std::fflush(stdout);
    ExitProcess(1);
}

void pumpFor(std::chrono::milliseconds span) {
    const auto end = std::chrono::steady_clock::now() + span;
    while (std::chrono::steady_clock::now() < end) {
        testing_support::MainWindow::pump();
        Sleep(10);
    }
}

// Tells where `window` is, then keeps every window live until the script has taken
// its picture. The client area: with no window manager, Wine draws no frame.
void scene(const char* name, HWND window) {
    pumpFor(std::chrono::milliseconds(300));
    RECT box{};
    GetClientRect(window, &box);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&box), 2);
    std::printf("scene\t%s\t%ld\t%ld\t%ld\t%ld\n", name, box.left, box.top, box.right, box.bottom);
    std::fflush(stdout);
    const std::wstring done = folder + L"\\" + wide(name);
    const auto end = std::chrono::steady_clock::now() + sceneWait;
    while (GetFileAttributesW(done.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (std::chrono::steady_clock::now() > end) giveUp(name);
        testing_support::MainWindow::pump();
        Sleep(20);
    }
    DeleteFileW(done.c_str());
}

// The pairing dialog's scene, taken from inside its modal loop; then it is refused.
struct DialogScene {
    const char* name = nullptr;
    int ticks = 0;
};
DialogScene dialogScene;

void CALLBACK onDialogTick(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = testing_support::openDialog();
    if (!dialog) {
        if (++dialogScene.ticks > 400) giveUp("the pairing dialog did not open");
        return;
    }
    KillTimer(nullptr, timer);
    scene(dialogScene.name, dialog);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PAIRING_REFUSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PAIRING_REFUSE)));
}

void chooseLanguage(const testing_support::MainWindow& window, bool english) {
    SendMessageW(app::languageCombo, CB_SETCURSEL, english ? 1 : 0, 0);
    window.command(ControlId::languageList, CBN_SELCHANGE);
}

void showScenes(const testing_support::MainWindow& window, const std::wstring& file, bool english) {
    const std::string language = english ? "en" : "fr";
    chooseLanguage(window, english);
    window.command(ControlId::bluetoothMode);
    SetWindowTextW(app::textEdit, english ? L"See you at 7 at the station." : L"Rendez-vous à 19 h à la gare.");

    // The phone, as the system's picker returns it, paired already.
    FakePlatform platform;
    platform.deliver = [](WindowHandle target, unsigned message, unsigned long long wParam, long long lParam) {
        return PostMessageW(static_cast<HWND>(target), message, wParam, lParam) != FALSE;
    };
    FakeDevices devices{platform};
    devices.picked = {phoneInfo(phoneAddress, phoneName, true)};
    if (!app::selectBluetoothPhone()) giveUp("no phone chosen");

    // A push that the loopback phone holds a little before half-way (its packets carry
    // under 1 KiB each), so the progress bar shows.
    {
        WIN32_FILE_ATTRIBUTE_DATA attributes{};
        if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &attributes)) giveUp("no file to push");
        receiver::Script script;
        script.faultAt = 2 + attributes.nFileSizeLow * 42ull / 100 / 1000;
        script.fault = receiver::Script::Fault::Stall;
        receiver::LoopbackReceiver phone(script);
        app::bluetoothTransfer = std::make_unique<BluetoothTransfer>(receiver::connectorTo(phone));
        app::setSelectedFile(file);
        window.command(ControlId::fileSend);
        if (!window.tickedUntil([] {
                const auto job = app::bluetoothTransfer->snapshot();
                return job.state == BluetoothTransfer::State::Sending && job.total != 0 &&
                       job.sent * 100 / job.total >= 30;
            }))
            giveUp("the push did not get under way");
        pumpFor(std::chrono::milliseconds(400));
        app::pollBluetooth(false);
        scene(("bluetooth-" + language).c_str(), window.get());
        app::cancelBluetooth();
        if (!window.tickedUntil([] { return !BluetoothTransfer::busy(app::bluetoothTransfer->snapshot().state); }))
            giveUp("the push did not end when cancelled");
    }

    // A pairing request for the chosen phone, with its six-digit code.
    AuthenticationParams request = ::request(phoneAddress, AuthMethod::numericComparison, 482917);
    request.device.name = phoneName;
    const std::string dialogName = "pairing-" + language;
    dialogScene = {dialogName.c_str(), 0};
    SetTimer(nullptr, 0, 50, onDialogTick);
    confirmBluetoothChallenge(window.get(), AuthenticationChallenge{request, platform.now() + 120000});
    app::bluetoothDevice.reset();
    app::authenticationListener.reset();
    window.command(ControlId::wifiMode);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: screenshot_scenes.exe <folder> <French file> <English file>\n");
        return 2;
    }
    folder = argv[1];
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    SetProcessDPIAware();
    try {
        testing_support::MainWindow window;
        // Shaped and shown as the program shows it.
        const int width = app::scaled(app::baseWidth), height = app::scaled(app::baseHeight);
        const int corner = app::scaled(app::windowCorner);
        SetWindowRgn(window.get(), CreateRoundRectRgn(0, 0, width + 1, height + 1, corner, corner), FALSE);
        ShowWindow(window.get(), SW_SHOW);
        UpdateWindow(window.get());
        for (bool english : {false, true}) showScenes(window, argv[english ? 3 : 2], english);
    } catch (const std::exception& failure) {
        std::printf("stuck\t%s\n", failure.what());
        return 1;
    }
    std::printf("done\n");
    return 0;
}
