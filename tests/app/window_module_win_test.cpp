// The window module driven in process: owner-drawn buttons, the drag band, the
// language switch, drops and file choice, mode switching. Needs a display.

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <map>
#include <system_error>
#include <thread>

#include "app/handles_win.h"
#include "app/window_win.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "remote/actions.h"
#include "tests/app/window_module_win.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/pairing/user_script_win.h"
#include "tests/support/main_window_win.h"
#include "tests/support/places.h"
#include "tests/support/raised.h"
#include "tests/support/temp_file.h"
#include "tests/support/real_input_win.h"

namespace {

using namespace app;
using testing_support::dropOf;

constexpr COLORREF white = RGB(0xFF, 0xFF, 0xFF);
// The ready notices of the two modes.
const wchar_t* const readyWifi = L"Cliquez sur Envoyer, puis scannez le QR code sur Android.";
const wchar_t* const readyBluetooth = L"Associez le t\u00e9l\u00e9phone, puis acceptez le fichier sur Android.";

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
    // The chosen mode's button is filled, its panel's controls shown and the other's hidden.
    const auto expectMode = [](bool bluetooth, const wchar_t* textSendCaption) {
        ASSERT_EQ(bluetoothMode, bluetooth);
        const int chosen = bluetooth ? ControlId::bluetoothMode : ControlId::wifiMode;
        const int other = bluetooth ? ControlId::wifiMode : ControlId::bluetoothMode;
        EXPECT_EQ(Drawn(window, chosen, 0).at(8, 12), accentColour);
        EXPECT_EQ(Drawn(window, other, 0).at(8, 12), panelColour);
        for (HWND control : {pairButton, deviceLabel}) EXPECT_EQ(shown(control), bluetooth);
        for (HWND control : {addressCombo, qrButton}) EXPECT_EQ(shown(control), !bluetooth);
        EXPECT_EQ(readText(textSendButton), textSendCaption);
    };
    harness->command(ControlId::bluetoothMode);
    expectMode(true, L"Envoyer en .txt");
    EXPECT_EQ(noticeFr, readyBluetooth);
    harness->command(ControlId::wifiMode);
    expectMode(false, L"Envoyer le texte");
}

TEST_F(WindowModule, ControlsSitAtTheirNamedPlaces) {
    const std::map<std::string, HWND> labels = {{"modeSummary", modeSummary},
                                                {"fileLabel", fileLabel},
                                                {"deviceLabel", deviceLabel},
                                                {"progress", btProgress},
                                                {"statusLabel", statusLabel}};
    for (const testing_support::NamedBox& place : testing_support::places) {
        const HWND control = place.id ? GetDlgItem(window, place.id) : labels.at(place.name);
        ASSERT_NE(control, nullptr) << place.name;
        RECT frame{};
        GetWindowRect(control, &frame);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&frame), 2);
        const Box expected = toPixels(place.box, scale);
        // A drop-down list is as tall as its field; its height is the open list's.
        const bool list = control == languageCombo || control == addressCombo;
        EXPECT_EQ((Box{frame.left, frame.top, frame.right, list ? expected.bottom : frame.bottom}), expected)
            << place.name;
    }
}

TEST_F(WindowModule, TimerRepaintsTheConnectionLineWhereItIsPainted) {
    ShowWindow(window, SW_SHOWNOACTIVATE);
    UpdateWindow(window);
    SendMessageW(window, WM_TIMER, refreshTimer, 0);
    RECT update{};
    const bool pending = GetUpdateRect(window, &update, FALSE) != FALSE;
    ShowWindow(window, SW_HIDE);
    ASSERT_TRUE(pending) << "the timer invalidated nothing";
    EXPECT_EQ((Box{update.left, update.top, update.right, update.bottom}), toPixels(Area::connectionLine, scale));
}

TEST_F(WindowModule, HeaderBandDragsButNotItsEdges) {
    RECT frame{};
    GetWindowRect(window, &frame);
    auto hit = [&](int clientY) {
        const LPARAM point = MAKELPARAM(frame.left + 150, frame.top + clientY);
        return SendMessageW(window, WM_NCHITTEST, 0, point);
    };
    for (int y : {43, 96}) EXPECT_EQ(hit(y), HTCAPTION) << y;
    for (int y : {42, 97, 28}) EXPECT_NE(hit(y), HTCAPTION) << y;  // 28: the top row of buttons stays clickable
}

TEST_F(WindowModule, LanguageSwitchReshowsTheCurrentNotice) {
    status(L"Texte pr\u00eat.", L"Text ready.");
    EXPECT_EQ(readText(statusLabel), L"Texte pr\u00eat.");
    SendMessageW(languageCombo, CB_SETCURSEL, 1, 0);
    harness->command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_TRUE(Ui::english);
    EXPECT_EQ(readText(statusLabel), L"Text ready.");
    EXPECT_EQ(readText(GetDlgItem(window, ControlId::wifiMode)), L"Local Wi-Fi");
    EXPECT_EQ(readText(startButton), L"Start sharing");

    SendMessageW(languageCombo, CB_SETCURSEL, 0, 0);
    harness->command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_FALSE(Ui::english);
    EXPECT_EQ(readText(statusLabel), L"Texte pr\u00eat.");
    EXPECT_EQ(readText(startButton), L"D\u00e9marrer");
}

TEST_F(WindowModule, DropTakesOnlyTheFirstFileAndSharesNothing) {
    const TempFolder files;
    const std::wstring folder = files.path().wstring();
    const std::wstring first = files.write(L"premier.txt", "data").wstring();
    const std::wstring second = files.write(L"second.txt", "data").wstring();
    const std::uint64_t revision = server->snapshot().revision;
    SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({first, second, folder})), 0);
    EXPECT_EQ(selectedPath, first);
    EXPECT_EQ(readText(fileLabel), L"premier.txt");
    EXPECT_EQ(noticeFr, L"Fichier choisi. Cliquez sur Envoyer.");
    EXPECT_EQ(server->snapshot().revision, revision) << "a drop must not change what is shared";
    EXPECT_FALSE(server->snapshot().file);
}

TEST_F(WindowModule, FoldersMissingPathsAndNamesThatAreNotUnicodeAreRefusedWithoutLosingTheChoice) {
    const TempFolder files;
    const std::wstring folder = files.path().wstring();
    const std::wstring kept = files.write(L"kept.bin", "data").wstring();
    setSelectedFile(kept);
    const std::wstring unreadable = L"Choisissez un fichier lisible, pas un dossier.";
    // NTFS takes a name that is not Unicode; Wine cannot create it, and the name alone decides.
    const std::pair<std::wstring, std::wstring> refused[] = {
        {folder, unreadable},
        {folder + L"\\missing.bin", unreadable},
        {folder + L"\\photo" + wchar_t(0xD800) + L".jpg", Ui::Refusal::fileNameNotUnicode.french}};
    for (const auto& entry : refused) {  // a lambda takes no structured binding before C++20
        EXPECT_EQ(wide(errorOf([&] { setSelectedFile(entry.first); })), entry.second);
        EXPECT_EQ(selectedPath, kept);
        EXPECT_EQ(readText(fileLabel), L"kept.bin");
    }
}

TEST_F(WindowModule, RemoveAndClearWithdrawWhatIsShared) {
    const TempFile file(L"shared.bin", "data");
    const std::wstring path = file.wpath();
    server->setFile(std::make_shared<FileShare>(path));
    server->setText("abc");
    SetWindowTextW(textEdit, L"abc");
    selectedPath = path;

    harness->command(ControlId::removeFile);
    EXPECT_FALSE(server->snapshot().file);
    EXPECT_EQ(*server->snapshot().text, "abc") << "removing the file keeps the text";
    EXPECT_TRUE(selectedPath.empty());
    EXPECT_EQ(readText(fileLabel), L"Aucun fichier s\u00e9lectionn\u00e9");
    EXPECT_EQ(noticeFr, L"Fichier retir\u00e9 des prochains t\u00e9l\u00e9chargements.");

    harness->command(ControlId::clearText);
    EXPECT_EQ(*server->snapshot().text, "");
    EXPECT_EQ(readText(textEdit), L"");
    EXPECT_EQ(noticeEn, L"Text cleared and removed from sharing.");
}

TEST_F(WindowModule, StoppedServerLeavesTheLinkControlsOff) {
    server->start("127.0.0.1");  // loopback only: the window itself never offers it
    refreshLink();
    ASSERT_FALSE(currentLink.empty());
    ASSERT_TRUE(IsWindowEnabled(copyLinkButton) && IsWindowEnabled(previewButton) && IsWindowEnabled(qrButton));
    harness->command(ControlId::start);
    EXPECT_FALSE(server->running);
    EXPECT_EQ(noticeFr, L"Partage arr\u00eat\u00e9. Le lien est d\u00e9sactiv\u00e9.");
    EXPECT_TRUE(currentLink.empty());
    EXPECT_FALSE(qr);
    EXPECT_EQ(readText(linkEdit), L"");
    for (HWND control : {copyLinkButton, previewButton, qrButton}) EXPECT_FALSE(IsWindowEnabled(control));
    harness->command(ControlId::qr);  // no code: no QR window
    EXPECT_EQ(qrWindow, nullptr);
}

// Answers each message box, keeping its text and the status line seen behind it.
struct FailureBoxes : BoxWatcher {
    FailureBoxes() : BoxWatcher([] { return readText(statusLabel); }) {}
};

// A failing command whose box the user closes: an empty text to send.
void failSendingNoText(HWND window) {
    SetWindowTextW(textEdit, L"");
    SendMessageW(window, WM_COMMAND, MAKEWPARAM(ControlId::textSend, 0), 0);
}

TEST_F(WindowModule, InternetNoticesLastWhileTheirActionRunsAndNoLonger) {
    auto open = std::make_shared<std::atomic<bool>>(false);
    remoteActions = std::make_unique<remote::Actions>(window, [open](remote::Result& result) {
        for (int i = 0; i < 4000 && !*open; ++i) Sleep(5);
        result.ok = false;
        result.message = L"Connexion Internet indisponible.";
    });
    FailureBoxes boxes;
    struct Case {
        int id;
        const wchar_t* notice;
    };
    for (const Case& c : {Case{ControlId::updateCheck, L"Recherche de mise \u00e0 jour\u2026"},
                          Case{ControlId::like, L"Enregistrement du soutien\u2026"}}) {
        *open = false;
        const std::size_t before = boxes.texts.size();
        harness->command(c.id);
        EXPECT_EQ(readText(statusLabel), c.notice);
        failSendingNoText(window);
        ASSERT_EQ(boxes.texts.size(), before + 1);
        EXPECT_EQ(readText(statusLabel), c.notice) << "the action still runs";
        *open = true;
        ASSERT_TRUE(harness->pumpedUntil([&] { return boxes.texts.size() >= before + 2; }));
        EXPECT_EQ(boxes.texts.back(), L"Connexion Internet indisponible.");
        EXPECT_EQ(readText(statusLabel), readyWifi) << "after the action's own failure box";
    }
    remoteActions = std::make_unique<remote::Actions>(window);
}

TEST_F(WindowModule, PhoneSelectionNoticeGivesWayAfterItsFailureBox) {
    harness->command(ControlId::bluetoothMode);
    const TempFile file(L"for-the-phone.bin", "data");
    selectedPath = file.wpath();
    FakePlatform platform;
    FakeDevices devices(platform);
    devices.radio = false;
    FailureBoxes boxes;
    // Without a Bluetooth radio every road to a phone ends in a box.
    for (int id : {ControlId::pair, ControlId::textSend, ControlId::fileSend}) {
        SetWindowTextW(textEdit, L"to the phone");
        const std::size_t before = boxes.texts.size();
        harness->command(id);
        ASSERT_EQ(boxes.texts.size(), before + 1) << id;
        EXPECT_EQ(boxes.texts.back(),
                  L"Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.");
        EXPECT_EQ(boxes.seenBehind.back(),
                  L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.");
        EXPECT_EQ(readText(statusLabel), readyBluetooth) << id;
    }
    // A box over a selection still under way (from the picker's own message loop) leaves its notice.
    harness->command(ControlId::textSend);
    ASSERT_EQ(readText(statusLabel), readyBluetooth);
    selectingBluetoothPhone = true;
    status(L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.",
           L"Choose your phone. Compare the code on both devices.");
    failSendingNoText(window);
    EXPECT_EQ(readText(statusLabel), L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.");
    selectingBluetoothPhone = false;
    selectedPath.clear();
    harness->command(ControlId::wifiMode);
}

TEST_F(WindowModule, EnglishInterfaceShowsNoFrenchPlaceholderOrBrowserSilence) {
    addressSource = [] {
        return std::optional<LocalAddressList>(LocalAddressList{});
    };  // the timer reads it again behind the boxes
    refreshAdapters();
    SendMessageW(languageCombo, CB_SETCURSEL, 1, 0);
    harness->command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_EQ(readText(addressCombo), L"No local network");

    BoxWatcher boxes;
    currentLink = L"tolvenaire-no-browser:link";
    harness->command(ControlId::preview);
    currentLink.clear();
    ASSERT_EQ(boxes.texts.size(), 1u) << "a browser that cannot be opened must be reported";
    EXPECT_EQ(boxes.texts[0], Ui::Message::browserUnavailable.english + std::wstring(L"tolvenaire-no-browser:link"));

    // The library's own failure texts are English jargon; ours have both languages.
    for (const std::wstring& french :
         {failureText(std::bad_alloc()),
          failureText(std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)))}) {
        const std::wstring english = Ui::diagnostic(french);
        EXPECT_NE(english, french) << "no English for " << utf8(french);
        EXPECT_EQ(Ui::diagnostic(english, true), english) << "French left in " << utf8(english);
    }

    SendMessageW(languageCombo, CB_SETCURSEL, 0, 0);
    harness->command(ControlId::languageList, CBN_SELCHANGE);
    EXPECT_EQ(readText(addressCombo), L"Aucun r\u00e9seau local");
    addressSource = readLocalAddresses;
}

// Every text the window paints is whole in its rectangle, in both languages, in
// every state and at the usual scales, measured in the window's own fonts. Under
// Wine the prefix maps Segoe UI to a stand-in of about its widths.
TEST_F(WindowModule, PaintedTextsFitTheirRectanglesInBothLanguagesAtEveryScale) {
    HDC dc = GetDC(window);
    const HFONT windowFonts[] = {normalFont, titleFont, smallFont, brandFont};
    wchar_t face[LF_FACESIZE] = {};
    {
        Selection selection(dc, smallFont);
        GetTextFaceW(dc, LF_FACESIZE, face);
    }
    ASSERT_TRUE(std::wstring(face) == L"Segoe UI" || std::wstring(face) == L"DejaVu Sans Condensed")
        << "measured in " << std::string(face, face + wcslen(face)) << ", not the interface font or its stand-in";
    int measured = 0;
    for (double each : {1.0, 1.25, 1.5, 2.0}) {
        scale = each;
        createFonts();
        for (bool english : {false, true}) {
            struct State {
                bool bluetooth, running;
                std::uint64_t lastPoll;
            };
            for (const State& state :
                 {State{true, false, 0}, State{false, false, 0}, State{false, true, 0}, State{false, true, 1}}) {
                for (const PaintedText& painted :
                     paintedTexts(dc, english, state.bluetooth, state.running, state.lastPoll, 1)) {
                    const RECT box = scaledRect(painted.box);
                    RECT needed{0, 0, box.right - box.left, 0};
                    Selection selection(dc, painted.font);
                    DrawTextW(dc, painted.text.c_str(), -1, &needed,
                              DT_CALCRECT | DT_NOPREFIX | (painted.format & (DT_WORDBREAK | DT_SINGLELINE)));
                    EXPECT_TRUE(needed.right <= box.right - box.left && needed.bottom <= box.bottom - box.top)
                        << std::string(english ? "English" : "French") << " at scale " << each << ": needs "
                        << needed.right << " x " << needed.bottom << " in " << box.right - box.left << " x "
                        << box.bottom - box.top << " for " << utf8(painted.text);
                    ++measured;
                }
            }
        }
        for (HFONT font : {normalFont, titleFont, smallFont, brandFont}) DeleteObject(font);
    }
    scale = 1.0;
    normalFont = windowFonts[0], titleFont = windowFonts[1], smallFont = windowFonts[2], brandFont = windowFonts[3];
    ReleaseDC(window, dc);
    EXPECT_EQ(measured, 4 * 2 * 4 * 7);
}

// The shell calls' thread is a single-threaded apartment while the guard lives, and
// COM is released with it.
TEST(ComApartment, SingleThreadedForItsLifeOnly) {
    std::thread([] {
        {
            const ComApartment com;
            EXPECT_TRUE(com.taken());
            EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE) << "not single-threaded";
        }
        const HRESULT after = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        EXPECT_EQ(after, S_OK) << "COM left initialised";
        if (SUCCEEDED(after)) CoUninitialize();
    }).join();
}

}  // namespace

// The window as a person drives it: keys and clicks through the program's message
// loop, the dialog keys and the controls' own handling included.
class WindowInput : public WindowModule {
protected:
    void SetUp() override {
        addressSource = [] { return std::optional<LocalAddressList>({{L"Boucle \u00b7 127.0.0.21", "127.0.0.21"}}); };
        chosenAddress.clear();
        refreshAdapters();
        ShowWindow(window, SW_SHOW);
        ASSERT_TRUE(testing_support::foreground(window));
        SetWindowTextW(textEdit, L"");
    }
    void TearDown() override {
        if (server->running) harness->command(ControlId::start);
        ShowWindow(window, SW_HIDE);
        testing_support::settle();
        addressSource = readLocalAddresses;
    }
    static POINT at(const app::Box& place) {
        const RECT pixels = scaledRect(place);
        return testing_support::onScreen(window, {(pixels.left + pixels.right) / 2, (pixels.top + pixels.bottom) / 2});
    }
    static HWND control(int id) { return GetDlgItem(window, id); }
};

TEST_F(WindowInput, FocusStartsInTheTextBoxAndComesBackAfterEachBox) {
    harness->close();
    harness->open();
    window = harness->get();
    ShowWindow(window, SW_SHOW);
    ASSERT_TRUE(testing_support::foreground(window));
    EXPECT_EQ(GetFocus(), textEdit) << "a new window types into its text box";

    BoxWatcher boxes;
    testing_support::click(at(Place::help));
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(GetFocus(), control(ControlId::help)) << "the focus is back where it was";
    testing_support::press(VK_RETURN);
    EXPECT_EQ(boxes.texts.size(), 2u) << "Enter presses the focused button";
    testing_support::press(VK_SPACE);
    EXPECT_EQ(boxes.texts.size(), 3u);
    EXPECT_EQ(GetFocus(), control(ControlId::help));
}

TEST_F(WindowInput, TextBoxKeepsItsTextAndTabLeavesIt) {
    SetFocus(textEdit);
    testing_support::type(L"\u00e9t\u00e9 \U0001F600");
    testing_support::press(VK_ESCAPE);
    ASSERT_TRUE(IsWindow(window)) << "Escape in the text box closed the window";
    testing_support::press(VK_RETURN);
    testing_support::type(L"b");
    EXPECT_EQ(readText(textEdit), L"\u00e9t\u00e9 \U0001F600\r\nb") << "Escape typed nothing; Enter began a line";

    testing_support::press(VK_TAB);
    EXPECT_EQ(GetFocus(), textSendButton);
    testing_support::press(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), textEdit);
    testing_support::press(VK_TAB, {VK_SHIFT});
    EXPECT_EQ(GetFocus(), control(ControlId::bluetoothMode));
    testing_support::press(VK_TAB);
    ASSERT_EQ(GetFocus(), textEdit);
    testing_support::press(VK_END, {VK_CONTROL});
    testing_support::press(VK_TAB, {VK_CONTROL});
    EXPECT_EQ(readText(textEdit), L"\u00e9t\u00e9 \U0001F600\r\nb\t") << "Ctrl+Tab types one tab character";
    EXPECT_EQ(GetFocus(), textEdit);
}

TEST_F(WindowInput, DoubleClickActsOnce) {
    testing_support::click(at(Place::start), 2);
    EXPECT_TRUE(server->running) << "the second click of a double-click stopped the sharing it started";
    testing_support::click(at(Place::start), 2);
    EXPECT_FALSE(server->running);

    BoxWatcher boxes;
    testing_support::click(at(Place::help), 2);
    EXPECT_EQ(boxes.texts.size(), 1u);
}

TEST_F(WindowInput, EscapeClosesTheEnlargedQrCodeAndTheFocusComesBack) {
    harness->command(ControlId::start);
    ASSERT_TRUE(server->running);
    testing_support::click(at(Place::qr));
    ASSERT_NE(qrWindow, nullptr);
    testing_support::press(VK_ESCAPE);
    EXPECT_EQ(qrWindow, nullptr);
    ASSERT_TRUE(IsWindow(window));
    EXPECT_EQ(GetFocus(), qrButton);
}

TEST_F(WindowInput, FocusMovesOnFromAControlThatGoesAway) {
    harness->command(ControlId::start);
    SetFocus(copyLinkButton);
    harness->command(ControlId::start);  // stopped: the link's buttons are off
    EXPECT_EQ(GetFocus(), startButton);
    harness->command(ControlId::bluetoothMode);  // Start is hidden
    EXPECT_EQ(GetFocus(), pairButton);
    harness->command(ControlId::wifiMode);
    HWND focus = GetFocus();
    EXPECT_TRUE(focus && IsWindowVisible(focus) && IsWindowEnabled(focus)) << "a hidden control kept the focus";
}

// A dropped list follows its highlight; closed by a click elsewhere it goes back to
// its earlier entry: the language and the shared address follow it back.
TEST_F(WindowInput, AListClosedByAClickElsewhereIsWhatTheWindowUses) {
    addressSource = [] {
        return std::optional<LocalAddressList>(
            {{L"Boucle \u00b7 127.0.0.21", "127.0.0.21"}, {L"Boucle \u00b7 127.0.0.22", "127.0.0.22"}});
    };
    refreshAdapters();
    harness->command(ControlId::start);
    ASSERT_TRUE(server->running);
    const auto choose = [](const app::Box& list) {
        const RECT pixels = scaledRect(list);
        testing_support::click(testing_support::onScreen(window, {(pixels.left + pixels.right) / 2, pixels.top + 10}));
        testing_support::press(VK_DOWN);
        testing_support::click(at(Place::textEdit));
    };
    choose(Place::addressList);
    ASSERT_TRUE(server->running);
    const LRESULT shown = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    ASSERT_GE(shown, 0);
    EXPECT_EQ(server->address, addresses[static_cast<size_t>(shown)].second) << "the list shows another address";

    const bool englishBefore = Ui::english;
    choose(Place::languageList);
    EXPECT_EQ(Ui::english, SendMessageW(languageCombo, CB_GETCURSEL, 0, 0) == 1) << "the list shows another language";
    SendMessageW(languageCombo, CB_SETCURSEL, englishBefore ? 1 : 0, 0);
    harness->command(ControlId::languageList, CBN_SELCHANGE);
}
