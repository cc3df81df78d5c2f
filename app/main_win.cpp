// Start-up and shutdown of the application.

#include "app/window_win.h"

#include <commctrl.h>

#include <exception>

#include "app/handles_win.h"
#include "app/layout.h"
#include "app/ui/notices.h"
#include "app/ui/preference.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "link/assets/assets.h"
#include "link/transfer_server.h"
#include "platform/socket.h"
#include "remote/actions.h"

namespace {

using namespace app;

constexpr int programIcon = 1;

void hardenProcess() {
    // Libraries from the system directory only, never from the current one.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    SetProcessDPIAware();
}

RECT workArea() {
    RECT area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

double measureScale(const RECT& area) {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) ReleaseDC(nullptr, screen);
    return fittedScale(dpi, area.bottom - area.top);
}

void registerClasses(HINSTANCE instance) {
    WNDCLASSEXW description{};
    description.cbSize = sizeof description;
    description.style = CS_DROPSHADOW;
    description.lpfnWndProc = windowProc;
    description.hInstance = instance;
    description.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(programIcon));
    description.hIconSm = description.hIcon;
    description.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    description.lpszClassName = mainClassName;
    if (!RegisterClassExW(&description)) fail(Ui::Refusal::windowNotRegistered);
    WNDCLASSEXW qrDescription = description;
    qrDescription.lpfnWndProc = qrProc;
    qrDescription.lpszClassName = qrClassName;
    if (!RegisterClassExW(&qrDescription)) fail(Ui::Refusal::qrWindowNotRegistered);
}

HWND openMainWindow(HINSTANCE instance, const RECT& area) {
    const int width = scaled(baseWidth);
    const int height = scaled(baseHeight);
    const int x = (area.right - area.left - width) / 2 + area.left;
    const int y = (area.bottom - area.top - height) / 2 + area.top;
    HWND window = CreateWindowExW(WS_EX_ACCEPTFILES, mainClassName, windowTitle, WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX,
                                  x, y, width, height, nullptr, nullptr, instance, nullptr);
    if (!window) fail(Ui::Refusal::windowNotOpened);
    const int corner = scaled(windowCorner);
    // The system owns the region once it is set.
    SetWindowRgn(window, CreateRoundRectRgn(0, 0, width + 1, height + 1, corner, corner), FALSE);
    return window;
}

int runMessageLoop() {
    MSG message{};
    for (;;) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        dispatchMessage(message);
    }
}

int run(HINSTANCE instance, int showCommand) {
    const RECT area = workArea();
    scale = measureScale(area);

    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    server = std::make_unique<TransferServer>(loadAsset(pageAsset), loadAsset(styleAsset), loadAsset(scriptAsset));
    bluetoothTransfer = std::make_unique<BluetoothTransfer>();

    registerClasses(instance);
    HWND window = openMainWindow(instance, area);
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    return runMessageLoop();
}

template <typename Handle>
void deleteObject(Handle& handle) {
    if (handle) DeleteObject(handle);
    handle = nullptr;
}

void shutDown() {
    if (remoteActions) {
        remoteActions->close();
        remoteActions.reset();
    }
    stopListening();
    bluetoothTransfer.reset();
    server.reset();
    deleteObject(normalFont);
    deleteObject(titleFont);
    deleteObject(smallFont);
    deleteObject(brandFont);
    deleteObject(backgroundBrush);
    deleteObject(whiteBrush);
    platform::stopSockets();
}

}  // namespace

// NOLINTNEXTLINE(readability-inconsistent-declaration-parameter-name): winbase.h declares it with its own names
int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    hardenProcess();
    Ui::loadLanguage();

    if (!platform::startSockets()) {
        MessageBoxW(nullptr, Ui::current(Ui::Refusal::networkingUnavailable), productTitle, MB_OK | MB_ICONERROR);
        return 1;
    }

    int exitCode = 1;
    // For the shell calls, held until after the shut-down; without it the program
    // still runs, only some browsers or shell extensions may refuse.
    const ComApartment com;
    try {
        exitCode = run(instance, showCommand);
    } catch (const std::exception& failure) {
        const std::wstring message = Ui::diagnostic(failureText(failure), false);
        MessageBoxW(nullptr, message.c_str(), productTitle, MB_OK | MB_ICONERROR);
        exitCode = 1;
    }
    shutDown();
    return exitCode;
}
