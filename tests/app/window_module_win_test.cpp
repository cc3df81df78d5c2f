// The window module driven in process: owner-drawn buttons, the drag band, the
// language switch, drops and file choice, mode switching. Needs a display.

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <stdexcept>

#include "app/ui/language.h"
#include "app/window_win.h"
#include "bluetooth/bluetooth_transfer.h"
#include "link/transfer_server.h"
#include "remote/actions.h"

namespace {

using namespace app;

class WindowModule : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        Ui::english = false;
        scale = 1.0;
        server = std::make_unique<TransferServer>("page", "style", "script");
        bluetoothTransfer = std::make_unique<BluetoothTransfer>();
        backgroundBrush = CreateSolidBrush(cardColour);
        whiteBrush = CreateSolidBrush(panelColour);
        WNDCLASSEXW description{};
        description.cbSize = sizeof description;
        description.lpfnWndProc = windowProc;
        description.hInstance = GetModuleHandleW(nullptr);
        description.lpszClassName = mainClassName;
        ASSERT_NE(RegisterClassExW(&description), 0);
        description.lpfnWndProc = qrProc;
        description.lpszClassName = qrClassName;
        ASSERT_NE(RegisterClassExW(&description), 0);
        window = CreateWindowExW(0, mainClassName, windowTitle, WS_POPUP, 100, 50, 320, 612, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }
    static void TearDownTestSuite() {
        DestroyWindow(window);
        remoteActions.reset();
        bluetoothTransfer.reset();
        server.reset();
    }

    static void command(int id, int notification = 0) {
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(id, notification), 0);
    }
    static bool shown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

    static HWND window;
};
HWND WindowModule::window = nullptr;

// Draws button `id` into a 184 x 25 bitmap and reads it back.
class Drawn {
public:
    Drawn(HWND window, int id, UINT state) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc_ = CreateCompatibleDC(nullptr);
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
        previous_ = SelectObject(dc_, bitmap_);
        DRAWITEMSTRUCT item{};
        item.CtlType = ODT_BUTTON;
        item.CtlID = static_cast<UINT>(id);
        item.itemAction = ODA_DRAWENTIRE;
        item.itemState = state;
        item.hwndItem = GetDlgItem(window, id);
        item.hDC = dc_;
        item.rcItem = RECT{0, 0, width, height};
        SendMessageW(window, WM_DRAWITEM, static_cast<WPARAM>(id), reinterpret_cast<LPARAM>(&item));
        GdiFlush();
    }
    ~Drawn() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    COLORREF at(int x, int y) const {
        const std::uint32_t pixel = bits_[y * width + x];
        return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
    }
    int count(COLORREF colour) const {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += at(x, y) == colour;
        return n;
    }
    static constexpr int width = 184, height = 25;

private:
    HDC dc_;
    HBITMAP bitmap_;
    HGDIOBJ previous_;
    std::uint32_t* bits_ = nullptr;
};

constexpr COLORREF white = RGB(0xFF, 0xFF, 0xFF);

TEST_F(WindowModule, PrimaryButtonFaceFollowsItsState) {
    const Drawn normal(window, ControlId::textSend, 0);
    EXPECT_EQ(normal.at(6, 12), accentColour);
    EXPECT_EQ(normal.at(92, 0), accentColour);  // outlined in its own face colour
    EXPECT_GT(normal.count(white), 0) << "caption drawn white";

    const Drawn pressed(window, ControlId::textSend, ODS_SELECTED);
    EXPECT_EQ(pressed.at(6, 12), accentPressed);

    const Drawn disabled(window, ControlId::textSend, ODS_DISABLED);
    EXPECT_EQ(disabled.at(6, 12), disabledFace);
    EXPECT_EQ(disabled.count(accentColour), 0) << "a disabled primary button loses the accent";
    EXPECT_EQ(disabled.count(accentPressed), 0);
    // Inside the face the caption is grey, never white.
    int whiteInside = 0;
    for (int y = 3; y < Drawn::height - 3; ++y)
        for (int x = 6; x < Drawn::width - 6; ++x) whiteInside += disabled.at(x, y) == white;
    EXPECT_EQ(whiteInside, 0);
}

TEST_F(WindowModule, SecondaryAndHeaderButtons) {
    const Drawn clear(window, ControlId::clearText, 0);
    EXPECT_EQ(clear.at(6, 12), panelColour);
    EXPECT_EQ(clear.at(92, 0), borderColour);
    const Drawn help(window, ControlId::help, 0);
    EXPECT_EQ(help.at(6, 12), cardColour);
    EXPECT_EQ(help.at(92, 0), borderColour);
}

TEST_F(WindowModule, ModeButtonsSwapOnModeChange) {
    command(ControlId::bluetoothMode);
    ASSERT_TRUE(bluetoothMode);
    EXPECT_EQ(Drawn(window, ControlId::bluetoothMode, 0).at(8, 12), accentColour);
    EXPECT_EQ(Drawn(window, ControlId::wifiMode, 0).at(8, 12), panelColour);
    EXPECT_TRUE(shown(pairButton));
    EXPECT_TRUE(shown(deviceLabel));
    EXPECT_FALSE(shown(addressCombo));
    EXPECT_FALSE(shown(qrButton));
    EXPECT_EQ(readText(textSendButton), L"Envoyer en .txt");
    EXPECT_EQ(noticeFr, L"Associez le t\u00e9l\u00e9phone, puis acceptez le fichier sur Android.");

    command(ControlId::wifiMode);
    ASSERT_FALSE(bluetoothMode);
    EXPECT_EQ(Drawn(window, ControlId::wifiMode, 0).at(8, 12), accentColour);
    EXPECT_EQ(Drawn(window, ControlId::bluetoothMode, 0).at(8, 12), panelColour);
    EXPECT_TRUE(shown(addressCombo));
    EXPECT_FALSE(shown(pairButton));
    EXPECT_EQ(readText(textSendButton), L"Envoyer le texte");
}

TEST_F(WindowModule, HeaderBandDragsButNotItsEdges) {
    RECT frame{};
    GetWindowRect(window, &frame);
    auto hit = [&](int clientY) {
        const LPARAM point = MAKELPARAM(frame.left + 150, frame.top + clientY);
        return SendMessageW(window, WM_NCHITTEST, 0, point);
    };
    EXPECT_NE(hit(42), HTCAPTION);
    EXPECT_EQ(hit(43), HTCAPTION);
    EXPECT_EQ(hit(96), HTCAPTION);
    EXPECT_NE(hit(97), HTCAPTION);
    EXPECT_NE(hit(28), HTCAPTION);  // the top row of buttons stays clickable
}

TEST_F(WindowModule, LanguageSwitchReshowsTheCurrentNotice) {
    status(L"Texte pr\u00eat.", L"Text ready.");
    EXPECT_EQ(readText(statusLabel), L"Texte pr\u00eat.");
    SendMessageW(languageCombo, CB_SETCURSEL, 1, 0);
    command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_TRUE(Ui::english);
    EXPECT_EQ(readText(statusLabel), L"Text ready.");
    EXPECT_EQ(readText(GetDlgItem(window, ControlId::wifiMode)), L"Local Wi-Fi");
    EXPECT_EQ(readText(startButton), L"Start sharing");

    SendMessageW(languageCombo, CB_SETCURSEL, 0, 0);
    command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_FALSE(Ui::english);
    EXPECT_EQ(readText(statusLabel), L"Texte pr\u00eat.");
    EXPECT_EQ(readText(startButton), L"D\u00e9marrer");
}

std::wstring temporaryFolder() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    std::wstring folder = std::wstring(buffer) + L"window-module-test";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

std::wstring makeFile(const std::wstring& folder, const std::wstring& name) {
    const std::wstring path = folder + L"\\" + name;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, "data", 4, &written, nullptr);
    CloseHandle(file);
    return path;
}

// A drop of several paths, as the shell builds it.
HDROP dropOf(const std::vector<std::wstring>& paths) {
    size_t characters = 1;
    for (const auto& path : paths) characters += path.size() + 1;
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    auto* cursor = reinterpret_cast<wchar_t*>(reinterpret_cast<char*>(drop) + sizeof(DROPFILES));
    for (const auto& path : paths) {
        std::memcpy(cursor, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
        cursor += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

TEST_F(WindowModule, DropTakesOnlyTheFirstFileAndSharesNothing) {
    const std::wstring folder = temporaryFolder();
    const std::wstring first = makeFile(folder, L"premier.txt");
    const std::wstring second = makeFile(folder, L"second.txt");
    const std::uint64_t revision = server->snapshot().revision;
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({first, second, folder})), 0);
    EXPECT_EQ(selectedPath, first);
    EXPECT_EQ(readText(fileLabel), L"premier.txt");
    EXPECT_EQ(noticeFr, L"Fichier choisi. Cliquez sur Envoyer.");
    EXPECT_EQ(server->snapshot().revision, revision) << "a drop must not change what is shared";
    EXPECT_FALSE(server->snapshot().file);
}

TEST_F(WindowModule, FoldersAndMissingPathsAreRefusedWithoutLosingTheChoice) {
    const std::wstring folder = temporaryFolder();
    const std::wstring kept = makeFile(folder, L"kept.bin");
    setSelectedFile(kept);
    for (const std::wstring& bad : {folder, folder + L"\\missing.bin"}) {
        try {
            setSelectedFile(bad);
            ADD_FAILURE() << "accepted a folder or a missing path";
        } catch (const std::runtime_error& refused) {
            EXPECT_STREQ(refused.what(), "Choisissez un fichier lisible, pas un dossier.");
        }
        EXPECT_EQ(selectedPath, kept);
        EXPECT_EQ(readText(fileLabel), L"kept.bin");
    }
}

TEST_F(WindowModule, RemoveAndClearWithdrawWhatIsShared) {
    const std::wstring path = makeFile(temporaryFolder(), L"shared.bin");
    server->setFile(std::make_shared<FileShare>(path));
    server->setText("abc");
    SetWindowTextW(textEdit, L"abc");
    selectedPath = path;

    command(ControlId::removeFile);
    EXPECT_FALSE(server->snapshot().file);
    EXPECT_EQ(*server->snapshot().text, "abc") << "removing the file keeps the text";
    EXPECT_TRUE(selectedPath.empty());
    EXPECT_EQ(readText(fileLabel), L"Aucun fichier s\u00e9lectionn\u00e9");
    EXPECT_EQ(noticeFr, L"Fichier retir\u00e9 des prochains t\u00e9l\u00e9chargements.");

    command(ControlId::clearText);
    EXPECT_EQ(*server->snapshot().text, "");
    EXPECT_EQ(readText(textEdit), L"");
    EXPECT_EQ(noticeEn, L"Text cleared and removed from sharing.");
}

TEST_F(WindowModule, StoppedServerLeavesTheLinkControlsOff) {
    refreshLink();
    EXPECT_TRUE(currentLink.empty());
    EXPECT_FALSE(qr);
    EXPECT_EQ(readText(linkEdit), L"");
    EXPECT_FALSE(IsWindowEnabled(copyLinkButton));
    EXPECT_FALSE(IsWindowEnabled(previewButton));
    EXPECT_FALSE(IsWindowEnabled(qrButton));
    command(ControlId::qr);  // no code: no QR window
    EXPECT_EQ(qrWindow, nullptr);
}

}  // namespace
