// Random use of the real main window. A seeded driver takes user actions at random
// (every command, typing and pasting, drops, the two lists, the address list
// changing, timer ticks, Bluetooth jobs the phone completes, refuses or breaks or
// that are cancelled, pairing requests, Internet outcomes in any order, a phone
// reading the link) and checks every invariant after each one. The first violation
// stops the run and prints the seed, the action number and the last 20 actions.
// Message boxes and dialogs are answered by a timer of this thread, so nothing
// waits on a person. Needs a display.
//
//     window_monkey SEED ACTIONS [SEED ACTIONS ...]

#include "tests/app/window_monkey_win.h"

namespace window_monkey {

std::string narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

bool isButton(HWND control) {
    wchar_t name[16] = {};
    GetClassNameW(control, name, 16);
    return lstrcmpiW(name, L"Button") == 0;
}

std::string controlName(HWND main, HWND control) {
    if (!control) return "nothing";
    if (control == main) return "the window itself";
    if (GetParent(control) == main) return "control " + std::to_string(GetDlgCtrlID(control));
    return "a window outside the main one";
}

// Ends the run when one step holds the driver for over a minute: the window's
// checks cannot run while its thread is stuck inside an action.
class Watchdog {
public:
    explicit Watchdog(std::uint64_t seed) : seed_(seed), thread_([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
    }
    void starting(int number, const char* step) {
        std::lock_guard<std::mutex> lock(mutex_);
        number_ = number;
        step_ = step;
        since_ = Clock::now();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!wake_.wait_for(lock, std::chrono::milliseconds(500), [this] { return done_; })) {
            if (Clock::now() - since_ < std::chrono::minutes(1)) continue;
            std::printf(
                "HANG: %s at action %d of seed %llu has run for a minute\n"
                "replay: TOLVENAIRE_MONKEY_TRACE=1 bash tools/window-monkey.sh %llu %d\n",
                step_, number_, static_cast<unsigned long long>(seed_), static_cast<unsigned long long>(seed_),
                number_);
            std::fflush(stdout);
            TerminateProcess(GetCurrentProcess(), 3);
        }
    }
    const std::uint64_t seed_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool done_ = false;
    int number_ = 0;
    const char* step_ = "the start";
    Clock::time_point since_ = Clock::now();
    std::thread thread_;  // last: it reads the members above
};

Monkey* active = nullptr;

// --- set-up -----------------------------------------------------------------

void Monkey::makeFiles() {
    folder_ = files_.path().wstring();
    plainFile_ = files_.write(L"note.txt", "abcdefg").wstring();
    emptyFile_ = files_.write(L"vide.bin", "").wstring();
    wideFile_ = files_.write(L"photo \U0001F600 \u00e9t\u00e9.bin", std::string(300000, 'a')).wstring();
    otherFile_ = files_.write(L"autre.dat", "abc").wstring();
    missingFile_ = folder_ + L"\\absent.bin";
    brokenName_ = folder_ + L"\\photo" + wchar_t(0xD800) + L".jpg";
}

void Monkey::startSession() {
    offeredAddresses = {allAddresses[0], allAddresses[1]};
    addressSource = loopbackAddresses;
    harness_ = std::make_unique<MainWindow>();
    HWND main = window();
    SetWindowLongPtrW(main, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Monkey::guardedProc));
    internet_ = std::make_shared<InternetGate>();
    remoteActions =
        std::make_unique<remote::Actions>(main, [gate = internet_](remote::Result& result) { gate->run(result); });
    bluetoothTransfer = std::make_unique<BluetoothTransfer>(
        [phone = phone_](unsigned long long, const std::atomic<bool>& cancel) { return phone->connect(cancel); });
    ShowWindow(main, SW_SHOW);
    UpdateWindow(main);
    foreground();
    model_ = Model{};
    boxText_.clear();
    focusBeforeBox_ = nullptr;
    lastLink_.clear();
    previousLinks_.clear();
    lastRevision_ = 0;
}

void Monkey::endSession() {
    if (internet_) internet_->close();
    phone_->connectReleased = true;
    phone_->endReleased = true;
    harness_.reset();
    remoteActions.reset();
    {
        std::lock_guard<std::mutex> lock(phone_->mutex);
        phone_->receiver.reset();
    }
    // A new program starts with none of the last one's choices.
    selectedPath.clear();
    bluetoothDevice.reset();
    bluetoothPath.clear();
    bluetoothText = false;
    bluetoothMode = false;
    likedThisSession = false;
    noticeFr.clear();
    noticeEn.clear();
}

LRESULT CALLBACK Monkey::guardedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == internetActionFinished && active) ++active->delivered_;
    try {
        return windowProc(window, message, wParam, lParam);
    } catch (...) {
        if (active)
            active->escaped_ = "an exception left the window procedure (message " + std::to_string(message) + ")";
        return 0;
    }
}

void CALLBACK Monkey::answerBoxes(HWND, UINT, UINT_PTR, DWORD) {
    if (!active) return;
    if (testing_support::visibleDialogs() > 1 && active->modalProblem_.empty())
        active->modalProblem_ = "a box opened over another modal window";
    if (HWND dialog = testing_support::openDialog()) active->answer(dialog);
    // A context menu or the system menu, opened by a right-click: dismissed, as a
    // person does with Escape.
    if (HWND menu = FindWindowW(L"#32768", nullptr); menu && IsWindowVisible(menu)) EndMenu();
}

// A window other than the main one is about to become active while the main one is:
// the focus it has now is what must come back.
LRESULT CALLBACK Monkey::watchActivation(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && active && active->window()) {
        HWND main = active->window();
        HWND focus = GetFocus();
        if (reinterpret_cast<HWND>(wParam) != main && GetActiveWindow() == main && focus && GetParent(focus) == main)
            active->focusBeforeBox_ = focus;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The main window active again after a box or window over it: the focus is back
// where it was, or on a usable control when that one has gone meanwhile.
LRESULT CALLBACK Monkey::watchActivated(int code, WPARAM wParam, LPARAM lParam) {
    const auto* sent = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && active && active->focusBeforeBox_ && sent->hwnd == active->window() &&
        sent->message == WM_ACTIVATE && LOWORD(sent->wParam) != WA_INACTIVE && !HIWORD(sent->wParam)) {
        HWND main = active->window();
        HWND expected = active->focusBeforeBox_, focus = GetFocus();
        active->focusBeforeBox_ = nullptr;
        const auto usable = [main](HWND control) {
            return control && GetParent(control) == main && IsWindowVisible(control) && IsWindowEnabled(control);
        };
        if (usable(expected) ? focus != expected : !usable(focus))
            active->focusProblem_ = "after a box the focus is on " + controlName(main, focus) + ", it was on " +
                                    controlName(main, expected);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// One step of the user's part in the dialog or box on top.
void Monkey::answer(HWND dialog) {
    const int ticks = ++dialogTicks_[dialog];
    // The window's timer goes on while a box is open: what it finds must wait for the box.
    if (ticks == 1 && window()) SendMessageW(window(), WM_TIMER, app::refreshTimer, 0);
    if (ticks > 500) {  // 5 s: the driver's own fault; never leave the run waiting
        EndDialog(dialog, IDCANCEL);
        return;
    }
    if (GetDlgItem(dialog, IDC_PAIRING_CODE)) {
        if (pairingAnswer_ == 2) {
            if (ticks == 1) platform_.setClock(platform_.now() + requestLifetimeMs + 1000);
        } else if (pairingAnswer_ == 1 || ticks > 100) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PAIRING_REFUSE, BN_CLICKED), 0);
        } else if (IsWindowEnabled(GetDlgItem(dialog, IDC_PAIRING_CONFIRM))) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PAIRING_CONFIRM, BN_CLICKED), 0);
        }
        return;
    }
    if (GetDlgItem(dialog, 0x47C) || GetDlgItem(dialog, 0x480)) {  // the open-file dialog's name box
        if (ticks < 3) return;                                     // let it finish opening
        if (pendingChoice_.empty() || ticks > 200) {
            SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        SetDlgItemTextW(dialog, GetDlgItem(dialog, 0x47C) ? 0x47C : 0x480, pendingChoice_.c_str());
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        return;
    }
    wchar_t caption[256] = {}, text[4096] = {};
    GetWindowTextW(dialog, caption, 256);
    GetDlgItemTextW(dialog, 0xFFFF, text, 4096);
    if (ticks == 1) {
        boxes_.push_back(Box{caption, text, Ui::english.load()});
        const BluetoothTransfer::Snapshot job = bluetoothTransfer->snapshot();
        if (job.state == State::Failed && text == Ui::diagnostic(job.message)) ++failureBoxes_[job.job];
    }
    if (GetDlgItem(dialog, IDYES))
        SendMessageW(dialog, WM_COMMAND, answerYes_ && !browserAvailable_ ? IDYES : IDNO, 0);
    else
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
}

bool Monkey::run(int count) {
    const auto started = Clock::now();
    count_ = count;
    makeFiles();
    // Preview and the update offer would open a browser; the test prefix has none.
    HKEY key = nullptr;
    browserAvailable_ =
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", 0, KEY_READ, &key) == ERROR_SUCCESS ||
        RegOpenKeyExW(HKEY_CLASSES_ROOT, L"https\\shell\\open\\command", 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (key) RegCloseKey(key);
    if (browserAvailable_) std::printf("note: a browser is registered; Preview and Yes to an update are left out\n");
    boxTimer_ = SetTimer(nullptr, 0, 10, &Monkey::answerBoxes);
    activationHook_ = SetWindowsHookExW(WH_CBT, &Monkey::watchActivation, nullptr, GetCurrentThreadId());
    activatedHook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &Monkey::watchActivated, nullptr, GetCurrentThreadId());
    Watchdog watchdog(seed_);
    startSession();
    std::vector<Action> list = actions();
    // TOLVENAIRE_MONKEY_ONLY="keys,mouse,...": only these kinds of action, to narrow
    // down what a violation needs.
    if (const char* only = std::getenv("TOLVENAIRE_MONKEY_ONLY"))
        for (Action& action : list)
            if (("," + std::string(only) + ",").find("," + std::string(action.name) + ",") == std::string::npos)
                action.weight = 0;
    int total = 0;
    for (const Action& action : list) total += action.weight;

    std::optional<Violation> violation;
    for (number_ = 1; number_ <= count && !violation; ++number_) {
        // Draw until an action can be taken now (bounded: some always can).
        const Action* chosen = nullptr;
        for (int tries = 0; tries < 100 && !chosen; ++tries) {
            int roll = static_cast<int>(below(static_cast<unsigned>(total)));
            const Action* candidate = &list.front();
            for (const Action& action : list) {
                if (roll < action.weight) {
                    candidate = &action;
                    break;
                }
                roll -= action.weight;
            }
            detail_.clear();
            boxes_.clear();
            tickAction_ = false;
            closeAsked_ = textMayChange_ = false;
            addressBefore_ = -1;
            unaskedClose_.clear();
            focusProblem_.clear();
            modalProblem_.clear();
            clickProblem_.clear();
            busyBefore_ = busy();
            cancelEnabledBefore_ = IsWindowEnabled(cancelBluetoothButton) != FALSE;
            watchdog.starting(number_, candidate->name);
            if (trace_) std::printf("%d %s\n", number_, candidate->name), std::fflush(stdout);
            const auto start = Clock::now();
            if (candidate->take()) chosen = candidate;
            showWaitingBoxes();
            restartIfClosed();
            if (trace_ && !detail_.empty()) std::printf("    %s\n", detail_.c_str()), std::fflush(stdout);
            spent_[candidate->name] += std::chrono::duration<double>(Clock::now() - start).count();
        }
        if (!chosen) break;
        ++taken_[chosen->name];
        recent_.push_back(std::to_string(number_) + " " + chosen->name + (detail_.empty() ? "" : " " + detail_));
        if (recent_.size() > 20) recent_.pop_front();
        watchdog.starting(number_, "the invariant checks");
        violation = checkAll();
        if (number_ % 500 == 0) {
            std::printf("seed %llu: %d actions\n", static_cast<unsigned long long>(seed_), number_);
            std::fflush(stdout);
        }
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();

    std::printf("window monkey: seed %llu, %d actions in %.1f s\n", static_cast<unsigned long long>(seed_), number_ - 1,
                seconds);
    std::printf("actions taken:\n");
    for (const auto& [name, n] : taken_) std::printf("  %-28s %6d %8.1f s\n", name.c_str(), n, spent_[name]);
    std::printf("invariant checks:\n");
    for (const auto& [name, n] : checks_) std::printf("  %-28s %6d %8.1f s\n", name.c_str(), n, spent_[name]);
    if (!violation) {
        std::printf("no violation\n");
        return true;
    }
    std::printf("VIOLATION of %s at action %d (seed %llu): %s\nlast actions:\n", violation->invariant.c_str(),
                number_ - 1, static_cast<unsigned long long>(seed_), violation->detail.c_str());
    for (const std::string& line : recent_) std::printf("  %s\n", line.c_str());
    std::printf("replay: bash tools/window-monkey.sh %llu %d\n", static_cast<unsigned long long>(seed_), number_ - 1);
    return false;
}

}  // namespace window_monkey

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::printf("usage: window_monkey SEED ACTIONS [SEED ACTIONS ...]\n");
        return 2;
    }
    testing_link::startSockets();
    int passed = 0, failed = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        window_monkey::Monkey monkey(std::strtoull(argv[i], nullptr, 10));
        (monkey.run(std::atoi(argv[i + 1])) ? passed : failed)++;
        std::fflush(stdout);
    }
    std::printf("window monkey: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
