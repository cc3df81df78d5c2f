// The driver's other actions: commands, typing and pasting, drops, networks, timer
// ticks, the phones' steps, Internet outcomes, and the table they are drawn from.

#include "tests/app/window_monkey_win.h"

namespace window_monkey {

bool Monkey::usable(int id) const {
    HWND control = GetDlgItem(window(), id);
    return control && IsWindowVisible(control) && IsWindowEnabled(control) && !IsIconic(window());
}

bool Monkey::click(int id) {
    if (!usable(id)) return false;
    return press(id, [&] {
        SendMessageW(window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window(), id)));
    });
}

// After the window ended: it was asked to, everything stopped, and the next program
// starts afresh.
void Monkey::restartIfClosed() {
    if (!harness_ || IsWindow(window())) return;
    if (!closeAsked_) unaskedClose_ = "the window ended without the close button or Alt+F4";
    if (server->running) escaped_ = "closing left the server running";
    endSession();
    startSession();
}

// A box that waited for a modal window to close shows as soon as the program's loop
// runs again, before any further input: the loop's next step, as the program takes it.
void Monkey::showWaitingBoxes() {
    MSG message;
    for (int i = 0; i < 10 && window() &&
                    PeekMessageW(&message, window(), app::modalWindowClosed, app::modalWindowClosed, PM_REMOVE);
         ++i)
        app::dispatchMessage(message);
}

// A text of `size` UTF-8 bytes, or with `units` of `size` UTF-16 units: lines of
// three-byte characters, ASCII to fill. Short lines, because Wine's edit control lays
// out one long paragraph in a time that grows with its square (minutes at a million).
std::wstring limitText(std::size_t size, bool units) {
    const std::size_t line = units ? 64 : 188;
    std::wstring text;
    text.reserve(units ? size : size / 2);
    std::size_t filled = 0;
    for (; filled + line <= size; filled += line) {
        text.append(62, L'\u20ac');
        text += L"\r\n";
    }
    text.append(size - filled, L'x');
    return text;
}

bool Monkey::typeText() {
    if (IsIconic(window())) return false;
    static const wchar_t* const texts[] = {
        L"",
        L"Bonjour",
        L"ligne 1\r\nligne 2\r\n\r\nfin",
        L"\u00c9t\u00e9 \U0001F600 et \U0001D11E \u2019",
        (L"abc\xD800"
         L"def"),  // a lone surrogate: not Unicode (in two pieces, or "def" would be part of the escape)
    };
    // Texts of the limits are rare: the edit control takes seconds over a million characters.
    const unsigned kind = below(300);
    std::wstring text;
    if (kind >= 3) {
        text = texts[kind % 5];
        note("\"" + narrow(text.substr(0, 20)) + "\"");
    } else if (kind < 2) {
        text = limitText(maximumTextBytes + kind, false);  // set by a program: the limit, then one byte over
        note(kind == 0 ? "(4 MiB of UTF-8)" : "(4 MiB + 1 byte)");
    } else {
        text = limitText(1048577, true);  // pasted: one more than the box takes
        note("(pasted beyond the box's limit)");
    }
    if (kind == 2 || (kind >= 3 && chance(40))) {
        SendMessageW(textEdit, EM_SETSEL, static_cast<WPARAM>(-1), -1);  // pasted at the end
        SendMessageW(textEdit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
        note("pasted");
    } else {
        SetWindowTextW(textEdit, text.c_str());
    }
    return true;
}

bool Monkey::dropFiles() {
    if (IsIconic(window())) return false;
    const std::vector<std::vector<std::wstring>> drops = {
        {plainFile_}, {emptyFile_}, {folder_}, {missingFile_}, {otherFile_, plainFile_, folder_},
        {wideFile_},  {brokenName_}};
    const std::vector<std::wstring>& paths = drops[below(static_cast<unsigned>(drops.size()))];
    note(narrow(paths[0].substr(paths[0].find_last_of(L'\\') + 1)) + (paths.size() > 1 ? " and more" : ""));
    SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf(paths)), 0);
    const DWORD attributes = GetFileAttributesW(paths[0].c_str());
    if (paths[0] != brokenName_ && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        model_.chosen = paths[0];
    return true;
}

// The PC's networks change: an address comes, goes, or none is left.
bool Monkey::changeNetwork() {
    offeredAddresses.clear();
    const unsigned mask = below(8);
    for (unsigned i = 0; i < 3; ++i)
        if (mask & (1u << i)) offeredAddresses.push_back(allAddresses[i]);
    note("(" + std::to_string(offeredAddresses.size()) + " addresses)");
    try {
        refreshAdapters();
    } catch (...) {
        escaped_ = "refreshAdapters raised";
    }
    return true;
}

bool Monkey::tick() {
    tickAction_ = true;
    SendMessageW(window(), WM_TIMER, refreshTimer, 0);
    return true;
}

// The phone goes one step further in the job it holds: connects, answers the
// offer, or ends.
bool Monkey::phoneStep() {
    if (!busy()) return false;
    if (phone_->holdConnect && !phone_->connectReleased) {
        phone_->connectReleased = true;
        note("connects");
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(phone_->mutex);
        if (phone_->receiver && phone_->holdOffer && !phone_->offerReleased) {
            phone_->offerReleased = true;
            phone_->receiver->release();
            note("answers the offer");
            return true;
        }
    }
    phone_->endReleased = true;
    note("ends");
    return true;
}

// A pairing request reaches the window: for the chosen phone or another, answered,
// refused, left to expire in its dialog or in the mailbox, or with an odd lParam.
bool Monkey::pairingRequest() {
    const unsigned kind = below(10);
    const unsigned long long address = kind < 6 ? phoneA : kind < 8 ? phoneB : 0x112233445566ull;
    pairingAnswer_ = static_cast<int>(below(3));
    static const char* answers[] = {"confirmed", "refused", "left to expire"};
    unsigned long long key = inbox().post(window(), request(address), platform_.now());
    const bool expired = kind == 8, odd = kind == 9;
    if (expired) platform_.setClock(platform_.now() + requestLifetimeMs + 1);
    note(std::string(address == phoneA   ? "phone A"
                     : address == phoneB ? "phone B"
                                         : "a stranger") +
         (expired ? ", expired in the mailbox"
          : odd   ? ", odd lParam"
                  : std::string(", ") + answers[pairingAnswer_]));
    PostMessageW(window(), app::pairingRequest, key, odd ? 1 : 0);
    MainWindow::pump();
    std::lock_guard<std::mutex> lock(platform_.mutex);
    platform_.responses.clear();
    return true;
}

bool Monkey::finishInternet() {
    std::vector<remote::Action> waiting;
    for (remote::Action action : {remote::Action::Like, remote::Action::Update})
        if (internet_->running(action)) waiting.push_back(action);
    if (waiting.empty()) return false;
    const remote::Action action = waiting[below(static_cast<unsigned>(waiting.size()))];
    remote::Result outcome{action, true, {}, {}};
    const unsigned kind = below(4);
    if (kind == 0) {
        outcome.ok = false;
        outcome.message =
            action == remote::Action::Like
                ? L"Impossible de joindre varnix. V\u00e9rifiez votre connexion Internet puis r\u00e9essayez."
                : L"Le service varnix est temporairement indisponible. R\u00e9essayez plus tard.";
    } else if (action == remote::Action::Update) {
        outcome.version = kind == 1 ? "99.0.0" : kind == 2 ? remote::VersionUtf8 : "1.0.0";
    }
    answerYes_ = chance(50);
    note(std::string(action == remote::Action::Like ? "like" : "update check") +
         (outcome.ok ? " succeeds " + outcome.version : " fails"));
    const int before = delivered_;
    internet_->release(action, outcome);
    if (!MainWindow::pumpedUntil([&] { return !internet_->running(action) && delivered_ > before; },
                                 std::chrono::milliseconds(5000)))
        escaped_ = "an Internet outcome never reached the window";
    return true;
}

// A phone on the link: the page, the state with or without If-None-Match, the
// text, the file, or a download cut half-way. Without a link it tries the last one.
bool Monkey::phoneRequest() {
    const std::optional<Link> link = parseLink(readText(linkEdit).empty() ? lastLink_ : readText(linkEdit));
    if (!link) return false;
    const unsigned kind = below(6);
    static const char* kinds[] = {"page", "state", "state if changed", "text", "file", "download cut"};
    note(kinds[kind]);
    std::string target = "/" + link->token + "/";
    std::string extra;
    if (kind == 1 || kind == 2) target += "state";
    if (kind == 2)
        extra = "If-None-Match: \"" + std::to_string(lastRevision_) + (Ui::english ? "-en" : "-fr") + "\"\r\n";
    if (kind == 3) target += "text";
    std::string fileId;
    if (kind >= 4) {
        try {
            const auto state =
                parseState(testing_link::exchange(link->address, link->port,
                                                  testing_link::request("GET", target + "state", link->host))
                               .body);
            if (!state || !state->file) return true;
            fileId = state->fileId;
        } catch (const std::exception&) {
            return true;
        }
        target += "file/" + fileId;
    }
    try {
        if (kind == 5) {
            testing_link::Client client(link->address, link->port, "127.0.0.1", true);
            client.send(testing_link::request("GET", target, link->host));
            client.receive(20000, std::chrono::milliseconds(2000));
            client.close();
            return true;
        }
        testing_link::exchange(link->address, link->port, testing_link::request("GET", target, link->host, extra));
    } catch (const std::exception&) {
        // No server there: the phone sees nothing.
    }
    return true;
}

// The close button ends the program: everything stops; the next program starts afresh.
bool Monkey::closeWindow() {
    if (!usable(ControlId::close)) return false;
    const HWND closed = window();
    click(ControlId::close);
    MSG quit;
    const bool quitPosted = PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
    if (IsWindow(closed) || !quitPosted || server->running)
        escaped_ = "closing left the window, the server or the message loop running";
    restartIfClosed();
    return true;
}

std::vector<Monkey::Action> Monkey::actions() {
    std::vector<Action> list;
    auto command = [&](const char* name, int weight, int id) {
        list.push_back({name, weight, [=] { return click(id); }});
    };
    command("Wi-Fi mode", 8, ControlId::wifiMode);
    command("Bluetooth mode", 8, ControlId::bluetoothMode);
    command("send text", 10, ControlId::textSend);
    command("choose file", 3, ControlId::chooseFile);
    command("send file", 10, ControlId::fileSend);
    command("remove file", 4, ControlId::removeFile);
    command("start / stop", 10, ControlId::start);
    command("copy link", 4, ControlId::copyLink);
    list.push_back({"preview", 2, [this] { return browserAvailable_ ? false : click(ControlId::preview); }});
    command("cancel transfer", 6, ControlId::cancelBluetooth);
    command("choose / pair", 5, ControlId::pair);
    command("help", 1, ControlId::help);
    command("clear text", 4, ControlId::clearText);
    command("minimize", 1, ControlId::minimize);
    list.push_back({"restore", 2, [this] {
                        if (!IsIconic(window())) return false;
                        ShowWindow(window(), SW_RESTORE);  // as the taskbar does: shown and active
                        return true;
                    }});
    list.push_back({"close", 1, [this] { return closeWindow(); }});
    command("QR window", 4, ControlId::qr);
    list.push_back({"close QR window", 3, [] {
                        if (!qrWindow) return false;
                        SendMessageW(qrWindow, WM_CLOSE, 0, 0);
                        return true;
                    }});
    command("like", 3, ControlId::like);
    command("update check", 3, ControlId::updateCheck);
    list.push_back(
        {"edit boxes and unknown ids", 1, [this] {
             const int ids[] = {ControlId::textEdit, ControlId::linkEdit, ControlId::bluetoothPath, 100, 124};
             const int id = ids[below(5)];
             note(std::to_string(id));
             SendMessageW(window(), WM_COMMAND, MAKEWPARAM(id, EN_CHANGE), 0);
             return true;
         }});
    list.push_back({"address list", 5, [this] {
                        if (!usable(ControlId::addressList)) return false;
                        const LRESULT count = SendMessageW(addressCombo, CB_GETCOUNT, 0, 0);
                        SendMessageW(addressCombo, CB_SETCURSEL, count > 0 ? below(static_cast<unsigned>(count)) : 0,
                                     0);
                        const int notification = chance(85) ? CBN_SELCHANGE : CBN_DROPDOWN;
                        note(notification == CBN_SELCHANGE ? "selection changed" : "dropped down");
                        SendMessageW(window(), WM_COMMAND, MAKEWPARAM(ControlId::addressList, notification),
                                     reinterpret_cast<LPARAM>(addressCombo));
                        return true;
                    }});
    list.push_back({"language list", 5, [this] {
                        if (!usable(ControlId::languageList)) return false;
                        const int index = static_cast<int>(below(2));
                        const int notification = chance(85) ? CBN_SELCHANGE : CBN_DROPDOWN;
                        note(std::string(index ? "English" : "French") +
                             (notification == CBN_SELCHANGE ? "" : " (dropped down only)"));
                        // Opened only, the list keeps what it shows.
                        if (notification == CBN_SELCHANGE) SendMessageW(languageCombo, CB_SETCURSEL, index, 0);
                        SendMessageW(window(), WM_COMMAND, MAKEWPARAM(ControlId::languageList, notification),
                                     reinterpret_cast<LPARAM>(languageCombo));
                        if (notification == CBN_SELCHANGE) model_.english = index == 1;
                        return true;
                    }});
    list.push_back({"type or paste", 10, [this] {
                        textMayChange_ = true;
                        return typeText();
                    }});
    list.push_back({"keys", 45, [this] { return pressKey(); }});
    list.push_back({"mouse", 40, [this] { return useMouse(); }});
    list.push_back({"drop", 6, [this] { return dropFiles(); }});
    list.push_back({"network change", 4, [this] { return changeNetwork(); }});
    list.push_back({"timer tick", 25, [this] { return tick(); }});
    list.push_back({"messages", 5, [] {
                        MainWindow::pump();
                        return true;
                    }});
    list.push_back({"phone (Bluetooth)", 10, [this] { return phoneStep(); }});
    list.push_back({"pairing request", 5, [this] { return pairingRequest(); }});
    list.push_back({"Internet outcome", 6, [this] { return finishInternet(); }});
    list.push_back({"phone (Wi-Fi)", 15, [this] { return phoneRequest(); }});
    return list;
}

}  // namespace window_monkey
