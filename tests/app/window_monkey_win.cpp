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

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/window_win.h"
#include "base/diagnostic.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/socket_channel.h"
#include "link/transfer_server.h"
#include "remote/actions.h"
#include "remote/remote.h"
#include "resources/pairing_dialog_ids.h"
#include "tests/bluetooth/holding_channel.h"
#include "tests/bluetooth/loopback_receiver.h"
#include "tests/pairing/fake_devices_win.h"
#include "tests/server/test_client.h"
#include "tests/support/main_window_win.h"
#include "tests/support/process_counts.h"
#include "tests/support/real_input_win.h"

namespace {

using namespace app;
using State = BluetoothTransfer::State;
using Clock = std::chrono::steady_clock;
using testing_support::dropOf;
using testing_support::MainWindow;

constexpr unsigned long long phoneA = 0x00F00D00BEEFull, phoneB = 0x00F00D00CAFEull;

// The interface's own texts that warning boxes may show, besides the dictionary's:
// French and English, a box's text begins with one of them.
const std::pair<const wchar_t*, const wchar_t*> interfaceTexts[] = {
    {L"Choisissez un fichier lisible, pas un dossier.", L"Choose a readable file, not a folder."},
    {L"Saisissez un texte \u00e0 envoyer.", L"Enter some text to send."},
    {L"Connectez le PC au m\u00eame r\u00e9seau que le t\u00e9l\u00e9phone, puis choisissez une interface.",
     L"Connect your PC and phone to the same network, then select an interface."},
    {L"Attendez la fin du transfert ou annulez-le.", L"Wait for the transfer to finish or cancel it."},
    {L"Presse-papiers indisponible. R\u00e9essayez.", L"Clipboard unavailable. Try again."},
    {L"Copie impossible.", L"Could not copy."},
    {L"Ouverture du QR code impossible.", L"Could not open the QR code."},
    {L"Le nom de ce fichier contient des caract\u00e8res invalides.", L"This file name contains invalid characters."},
    {L"Impossible d\u2019ouvrir le navigateur.", L"Could not open the browser."},
};

// Waits (bounded) for `done`, handling this thread's messages meanwhile (the plain
// tests/support/eventually.h would leave the window's posted results unread).
template <class F>
bool pumpedUntil(F done, int ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (Clock::now() > until) return false;
        MainWindow::pump();
        Sleep(1);
    }
    return true;
}

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

// ---------------------------------------------------------------------------
// The Internet runner: each action waits until the driver lets it finish, with the
// outcome the driver chose, so outcomes arrive in any order.
class InternetGate {
public:
    void run(remote::Result& result) {
        std::unique_lock<std::mutex> lock(mutex_);
        Slot& slot = slots_[static_cast<int>(result.action)];
        slot.running = true;
        changed_.wait_for(lock, std::chrono::seconds(60), [&] { return slot.released || closed_; });
        if (slot.released) {
            result.ok = slot.outcome.ok;
            result.version = slot.outcome.version;
            result.message = slot.outcome.message;
        } else {
            result.message = L"Connexion Internet indisponible.";
        }
        slot.released = false;
        slot.running = false;
    }
    bool running(remote::Action action) {
        std::lock_guard<std::mutex> lock(mutex_);
        return slots_[static_cast<int>(action)].running;
    }
    void release(remote::Action action, remote::Result outcome) {
        std::lock_guard<std::mutex> lock(mutex_);
        slots_[static_cast<int>(action)].outcome = std::move(outcome);
        slots_[static_cast<int>(action)].released = true;
        changed_.notify_all();
    }
    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
        changed_.notify_all();
    }

private:
    struct Slot {
        bool running = false, released = false;
        remote::Result outcome{};
    };
    std::mutex mutex_;
    std::condition_variable changed_;
    Slot slots_[2];
    bool closed_ = false;
};

// ---------------------------------------------------------------------------
// The phone's end of Bluetooth jobs, shared with the job thread: how the next job
// goes, and the gates that hold it in each phase until the driver lets it go on.
struct PhoneSide {
    enum Plan { Accepts, Refuses, Breaks, Unreachable };
    std::mutex mutex;
    Plan plan = Accepts;
    std::atomic<bool> holdConnect{false}, connectReleased{false};
    bool holdOffer = false, offerReleased = false;
    std::atomic<bool> holdEnd{false}, endReleased{false};
    std::unique_ptr<receiver::LoopbackReceiver> receiver;

    std::unique_ptr<ObexChannel> connect(const std::atomic<bool>& cancel) {
        const auto until = Clock::now() + std::chrono::seconds(60);
        while (holdConnect && !connectReleased && !cancel && Clock::now() < until) Sleep(2);
        if (cancel) throw Cancelled();  // as the product's channel does once cancelled
        std::lock_guard<std::mutex> lock(mutex);
        if (plan == Unreachable)
            throw std::runtime_error(
                "Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez.");
        receiver::Script script;
        script.holdOffer = holdOffer;
        if (plan == Refuses) script.offerAnswer = 0xC3;
        if (plan == Breaks) {
            script.faultAt = 2;  // the first body packet
            script.fault = receiver::Script::Fault::Reset;
        }
        receiver.reset();  // the previous job's connection is over
        receiver = std::make_unique<receiver::LoopbackReceiver>(script);
        auto channel = connectTcpChannel(receiver->loopback(), receiver->port(), &cancel);
        if (holdEnd) return std::make_unique<HoldingChannel>(std::move(channel), endReleased);
        return channel;
    }
};

// ---------------------------------------------------------------------------

struct Box {
    std::wstring caption, text;
    bool english;
};

// What the driver knows from its own actions, independent of the window's globals.
struct Model {
    bool english = false, bluetooth = false;
    std::string text;     // shared text (UTF-8)
    std::wstring chosen;  // chosen file path
    bool fileShared = false;
    std::wstring sharedName;
    std::uint64_t sharedSize = 0;
};

struct Link {
    std::string host;  // address:port
    std::string address;
    std::uint16_t port = 0;
    std::string token;
};

std::optional<Link> parseLink(const std::wstring& shown) {
    const std::string text = narrow(shown);
    if (text.rfind("http://", 0) != 0 || text.empty() || text.back() != '/') return std::nullopt;
    const std::size_t slash = text.find('/', 7), colon = text.find(':', 7);
    if (slash == std::string::npos || colon == std::string::npos || colon > slash) return std::nullopt;
    Link link;
    link.host = text.substr(7, slash - 7);
    link.address = text.substr(7, colon - 7);
    link.port = static_cast<std::uint16_t>(std::stoi(text.substr(colon + 1, slash - colon - 1)));
    link.token = text.substr(slash + 1, text.size() - slash - 2);
    return link;
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

// The phone's view of the state document, read strictly in its one-line form.
struct PhoneState {
    std::string language, text, fileName, fileId;
    std::uint64_t revision = 0, fileSize = 0;
    bool file = false;
};

class JsonReader {
public:
    explicit JsonReader(const std::string& s) : s_(s) {}
    bool literal(const char* expected) {
        const std::size_t n = std::strlen(expected);
        if (s_.compare(at_, n, expected) != 0) return false;
        at_ += n;
        return true;
    }
    bool number(std::uint64_t& value) {
        const std::size_t start = at_;
        value = 0;
        while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') value = value * 10 + (s_[at_++] - '0');
        return at_ > start;
    }
    bool string(std::string& out) {
        if (!literal("\"")) return false;
        out.clear();
        while (at_ < s_.size() && s_[at_] != '"') {
            char c = s_[at_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            if (at_ >= s_.size()) return false;
            c = s_[at_++];
            switch (c) {
            case '"':
            case '\\': out += c; break;
            case 'u': {  // the server escapes control bytes only
                unsigned unit = 0;
                if (!hex4(unit) || unit >= 0x20) return false;
                out += static_cast<char>(unit);
                break;
            }
            default: return false;
            }
        }
        return literal("\"");
    }
    bool atEnd() const { return at_ == s_.size(); }

private:
    bool hex4(unsigned& unit) {
        if (at_ + 4 > s_.size()) return false;
        unit = static_cast<unsigned>(std::stoul(s_.substr(at_, 4), nullptr, 16));
        at_ += 4;
        return true;
    }
    const std::string& s_;
    std::size_t at_ = 0;
};

std::optional<PhoneState> parseState(const std::string& body) {
    JsonReader json(body);
    PhoneState state;
    if (!json.literal("{\"language\":") || !json.string(state.language) || !json.literal(",\"revision\":") ||
        !json.number(state.revision) || !json.literal(",\"text\":") || !json.string(state.text) ||
        !json.literal(",\"file\":"))
        return std::nullopt;
    if (!json.literal("null")) {
        state.file = true;
        if (!json.literal("{\"name\":") || !json.string(state.fileName) || !json.literal(",\"size\":") ||
            !json.number(state.fileSize) || !json.literal(",\"id\":") || !json.string(state.fileId) ||
            !json.literal("}"))
            return std::nullopt;
    }
    if (!json.literal("}") || !json.atEnd()) return std::nullopt;
    return state;
}

// ---------------------------------------------------------------------------

struct Violation {
    std::string invariant, detail;
};

class Monkey;
Monkey* active = nullptr;

class Monkey {
public:
    explicit Monkey(std::uint64_t seed) : seed_(seed), random_(seed) { active = this; }
    ~Monkey() {
        endSession();
        KillTimer(nullptr, boxTimer_);
        if (activationHook_) UnhookWindowsHookEx(activationHook_);
        if (activatedHook_) UnhookWindowsHookEx(activatedHook_);
        active = nullptr;
    }

    // Runs `count` actions; false after the first violation, reported on stdout.
    bool run(int count);

private:
    // --- set-up -----------------------------------------------------------
    void makeFiles();
    void startSession();
    void endSession();
    static LRESULT CALLBACK guardedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static void CALLBACK answerBoxes(HWND, UINT, UINT_PTR, DWORD);
    void answer(HWND dialog);

    // --- actions ----------------------------------------------------------
    struct Action {
        const char* name;
        int weight;
        std::function<bool()> take;  // false when it cannot be taken now
    };
    std::vector<Action> actions();
    bool usable(int id) const;
    bool click(int id);
    bool press(int id, const std::function<void()>& deliver);
    bool pressKey();
    bool useMouse();
    bool foreground();
    void followLanguageList();
    void restartIfClosed();
    static LRESULT CALLBACK watchActivation(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK watchActivated(int code, WPARAM wParam, LPARAM lParam);
    bool typeText();
    bool dropFiles();
    bool changeNetwork();
    bool tick();
    bool phoneStep();
    bool pairingRequest();
    bool finishInternet();
    bool phoneRequest();
    bool closeWindow();
    void note(const std::string& what) { detail_ += detail_.empty() ? what : " " + what; }

    // --- invariants -------------------------------------------------------
    std::optional<Violation> checkAll();
    std::string windowAnswers();
    std::string windowClosesOnlyWhenAsked();
    std::string typedTextKept();
    std::string focusOnAUsableControl();
    std::string focusBackAfterBox();
    std::string clickActsOnce();
    std::string noExceptionEscapes();
    std::string sharingShownWhileRunning();
    std::string oldLinkAnswersNothing();
    std::string phoneGetsWhatIsShared();
    std::string onlyCurrentModeShown();
    std::string noticeInInterfaceLanguage();
    std::string noStaleNotice();
    std::string bluetoothControlsFollowJob();
    std::string jobOutcomeShownOnce();
    std::string boxesInInterfaceLanguage();
    std::string resourcesWithinMargin();

    unsigned below(unsigned n) { return static_cast<unsigned>(random_() % n); }
    bool chance(unsigned percent) { return below(100) < percent; }
    HWND window() const { return harness_ ? harness_->get() : nullptr; }
    bool busy() const { return BluetoothTransfer::busy(bluetoothTransfer->snapshot().state); }

    std::uint64_t seed_;
    std::mt19937_64 random_;
    std::unique_ptr<MainWindow> harness_;
    std::shared_ptr<InternetGate> internet_;
    std::shared_ptr<PhoneSide> phone_ = std::make_shared<PhoneSide>();
    FakePlatform platform_;
    FakeDevices devices_{platform_};
    Model model_;
    UINT_PTR boxTimer_ = 0;
    HHOOK activationHook_ = nullptr, activatedHook_ = nullptr;
    bool browserAvailable_ = true;
    // Each action printed as it starts: where a run that stops answering stopped.
    const bool trace_ = std::getenv("TOLVENAIRE_MONKEY_TRACE") != nullptr;

    // Files the driver offers.
    std::wstring folder_, plainFile_, emptyFile_, wideFile_, otherFile_, missingFile_, brokenName_;

    // What happened during the current action.
    std::vector<Box> boxes_;
    std::map<std::uint64_t, int> failureBoxes_;  // per job
    std::string escaped_;
    int delivered_ = 0;           // Internet outcomes handed to the window
    std::wstring pendingChoice_;  // what the file dialog chooses; empty cancels
    int pairingAnswer_ = 0;       // 0 confirm, 1 refuse, 2 let it expire
    bool answerYes_ = false;
    std::map<HWND, int> dialogTicks_;

    // What real input did: a close asked for (the close button, Alt+F4), a close
    // nobody asked for, the text box's text as the user left it (and whether the
    // action may change it), the focus when a box took over, what a click ran.
    bool closeAsked_ = false;
    LRESULT addressBefore_ = -1;  // the address list's choice before real input, else -1
    POINT lastClick_{-100, -100};
    DWORD lastClickTime_ = 0;
    std::string unaskedClose_;
    std::wstring boxText_;
    bool textMayChange_ = false;
    HWND focusBeforeBox_ = nullptr;
    std::string focusProblem_, clickProblem_;

    // What the invariants remember.
    std::wstring lastLink_;
    std::deque<std::wstring> previousLinks_;
    std::uint64_t lastRevision_ = 0;
    bool tickAction_ = false;
    bool busyBefore_ = false, cancelEnabledBefore_ = false;
    int counted_ = -1;
    struct Counts {
        int gdi, user, handles;
    } baseline_{};

    // Record.
    int number_ = 0, count_ = 0;
    std::string detail_;
    std::deque<std::string> recent_;
    std::map<std::string, int> taken_;
    std::map<std::string, int> checks_;
    std::map<std::string, double> spent_;  // seconds, per action kind and invariant
};

// --- set-up -----------------------------------------------------------------

std::vector<std::pair<std::wstring, std::string>> offeredAddresses;

// Loopback addresses of the run's own, so that its link server never needs a port that
// the server tests hold on 127.0.0.1 at the same time.
const std::pair<std::wstring, std::string> allAddresses[] = {{L"Boucle A \u00b7 127.0.0.11", "127.0.0.11"},
                                                             {L"Boucle B \u00b7 127.0.0.12", "127.0.0.12"},
                                                             {L"Boucle C \u00b7 127.0.0.13", "127.0.0.13"}};
std::vector<std::pair<std::wstring, std::string>> loopbackAddresses() { return offeredAddresses; }

std::wstring writeFile(const std::wstring& path, std::size_t bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<char>('a' + i % 26);
    DWORD written = 0;
    if (bytes) WriteFile(file, data.data(), static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(file);
    return path;
}

void Monkey::makeFiles() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    folder_ = std::wstring(buffer) + L"window-monkey-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder_.c_str(), nullptr);
    plainFile_ = writeFile(folder_ + L"\\note.txt", 7);
    emptyFile_ = writeFile(folder_ + L"\\vide.bin", 0);
    wideFile_ = writeFile(folder_ + L"\\photo \U0001F600 \u00e9t\u00e9.bin", 300000);
    otherFile_ = writeFile(folder_ + L"\\autre.dat", 3);
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

BOOL CALLBACK findDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window) && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

void CALLBACK Monkey::answerBoxes(HWND, UINT, UINT_PTR, DWORD) {
    if (!active) return;
    HWND dialog = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), findDialog, reinterpret_cast<LPARAM>(&dialog));
    if (dialog) active->answer(dialog);
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

// --- actions ------------------------------------------------------------------

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

// Presses button `id` by `deliver`: a command message, a click or a key. The phone
// picker, the file dialog and the phone are set up first for the sends, and what the
// command shares is noted in the model afterwards, however it was pressed.
bool Monkey::press(int id, const std::function<void()>& deliver) {
    const bool sends = id == ControlId::textSend || id == ControlId::fileSend;
    const bool dialogFirst = id == ControlId::chooseFile || (id == ControlId::fileSend && model_.chosen.empty());
    if (sends || id == ControlId::chooseFile || id == ControlId::pair) {
        // Phone picker: a phone, the other phone, cancelled, or no radio.
        const unsigned pick = below(10);
        devices_.radio = pick != 9;
        devices_.pickerError = pick >= 7 ? ERROR_CANCELLED : 0;
        devices_.picked = {phoneInfo(pick == 6 ? phoneB : phoneA, pick == 6 ? L"Galaxy" : L"Pixel", true)};
        if (id == ControlId::pair || (model_.bluetooth && id != ControlId::chooseFile))
            note(pick == 9 ? "(picker: no radio)" : pick >= 7 ? "(picker: cancelled)" : "(picker: a phone)");
        // File dialog: a file, or cancelled.
        pendingChoice_ = chance(60) ? (chance(50) ? plainFile_ : wideFile_) : L"";
        if (dialogFirst)
            note(pendingChoice_.empty() ? "(dialog cancelled)" : "(dialog: " + narrow(pendingChoice_) + ")");
    }
    if (sends) {  // the phone's part in a new job
        std::lock_guard<std::mutex> lock(phone_->mutex);
        phone_->plan = static_cast<PhoneSide::Plan>(below(4));
        phone_->holdConnect = chance(40);
        phone_->connectReleased = false;
        phone_->holdOffer = chance(60);
        phone_->offerReleased = false;
        phone_->holdEnd = chance(30);
        phone_->endReleased = false;
        if (model_.bluetooth) {
            static const char* plans[] = {"accepts", "refuses", "breaks", "unreachable"};
            note(std::string("(phone ") + plans[phone_->plan] + (phone_->holdConnect ? ", slow to connect" : "") +
                 (phone_->holdOffer ? ", slow to answer" : "") + (phone_->holdEnd ? ", slow to end" : "") + ")");
        }
    }
    const std::wstring typed = readText(textEdit);
    const bool wasRunning = server->running;
    const std::size_t boxesBefore = boxes_.size();
    deliver();

    // One press, one run of its command: Start changes the sharing once (or says why
    // not), Help opens one box.
    int helpBoxes = 0;
    bool warned = false;
    for (std::size_t i = boxesBefore; i < boxes_.size(); ++i) {
        if (boxes_[i].caption.rfind(L"Aide \u00b7", 0) == 0 || boxes_[i].caption.rfind(L"Help \u00b7", 0) == 0)
            ++helpBoxes;
        warned = warned || boxes_[i].caption == L"Tolvenaire Android";
    }
    if (id == ControlId::help && helpBoxes != 1) clickProblem_ = "Help opened " + std::to_string(helpBoxes) + " boxes";
    if (id == ControlId::start && wasRunning == server->running && !warned)
        clickProblem_ = wasRunning ? "Stop sharing left the sharing on" : "Start sharing left the sharing off";

    // What the command changed, by its own rules.
    switch (id) {
    case ControlId::wifiMode:
    case ControlId::bluetoothMode: model_.bluetooth = id == ControlId::bluetoothMode; break;
    case ControlId::removeFile:
        model_.fileShared = false;
        model_.chosen.clear();
        break;
    case ControlId::clearText:
        model_.text.clear();
        boxText_.clear();
        break;
    case ControlId::close: closeAsked_ = true; break;
    case ControlId::like:
    case ControlId::updateCheck: {
        // A started action runs on its own thread: wait (bounded) until it is there.
        const remote::Action action = id == ControlId::like ? remote::Action::Like : remote::Action::Update;
        if (IsWindow(window()) && !IsWindowEnabled(GetDlgItem(window(), id)))
            pumpedUntil([&] { return internet_->running(action); }, 5000);
        break;
    }
    default: break;
    }
    if (dialogFirst && !pendingChoice_.empty() && selectedPath == pendingChoice_) model_.chosen = pendingChoice_;
    if (model_.bluetooth) return true;
    if (id == ControlId::textSend) {
        try {
            const std::string text = utf8(typed);
            if (!text.empty() && text.size() <= maximumTextBytes) model_.text = text;
        } catch (const std::exception&) {
            // Not Unicode: refused, nothing shared.
        }
    }
    if (id == ControlId::fileSend && !model_.chosen.empty()) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(model_.chosen.c_str(), GetFileExInfoStandard, &data)) {
            model_.fileShared = true;
            model_.sharedName = model_.chosen.substr(model_.chosen.find_last_of(L"\\/") + 1);
            model_.sharedSize = (std::uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        }
    }
    return true;
}

// Real input goes to the foreground window: the main one, or the QR window over it.
bool Monkey::foreground() {
    if (IsIconic(window())) return false;
    for (int i = 0; i < 20 && GetForegroundWindow() != window() && (!qrWindow || GetForegroundWindow() != qrWindow);
         ++i) {
        SetForegroundWindow(window());
        testing_support::settle();
    }
    return GetForegroundWindow() == window() || (qrWindow && GetForegroundWindow() == qrWindow);
}

// A key, a chord or typed characters, to whatever has the focus.
bool Monkey::pressKey() {
    if (!foreground()) return false;
    addressBefore_ = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    struct Stroke {
        const char* name;
        WORD key;
        std::vector<WORD> held;
        bool edits;  // in the text box
    };
    static const Stroke strokes[] = {
        {"Tab", VK_TAB, {}, false},
        {"Shift+Tab", VK_TAB, {VK_SHIFT}, false},
        {"Space", VK_SPACE, {}, true},
        {"Enter", VK_RETURN, {}, true},
        {"Escape", VK_ESCAPE, {}, false},
        {"Up", VK_UP, {}, false},
        {"Down", VK_DOWN, {}, false},
        {"Left", VK_LEFT, {}, false},
        {"Right", VK_RIGHT, {}, false},
        {"Home", VK_HOME, {}, false},
        {"End", VK_END, {}, false},
        {"Backspace", VK_BACK, {}, true},
        {"Ctrl+A", 'A', {VK_CONTROL}, false},
        {"Ctrl+C", 'C', {VK_CONTROL}, false},
        {"Ctrl+V", 'V', {VK_CONTROL}, true},
        {"Ctrl+X", 'X', {VK_CONTROL}, true},
        {"Ctrl+Z", 'Z', {VK_CONTROL}, true},
        {"Ctrl+Tab", VK_TAB, {VK_CONTROL}, true},
        {"Alt+Down", VK_DOWN, {VK_MENU}, false},
    };
    static const wchar_t* const typed[] = {L"a", L"Bonjour ", L"\u00e9t\u00e9 \u20ac\u2019", L"\U0001F600", L"E", L"F"};
    HWND main = window();
    HWND focus = GetFocus();
    const bool mainActive = GetActiveWindow() == main;
    const unsigned roll = below(100);
    std::function<void()> deliver;
    std::string name;
    bool edits = true;
    WORD key = 0;
    if (roll < 2) {  // Alt+F4 asks the active window to close
        name = "Alt+F4";
        deliver = [] { testing_support::press(VK_F4, {VK_MENU}); };
        closeAsked_ = mainActive;
        edits = false;
    } else if (roll < 25) {
        const std::wstring text = typed[below(6)];
        name = "typed \"" + narrow(text) + "\"";
        deliver = [text] { testing_support::type(text); };
    } else {
        const Stroke& stroke = strokes[below(sizeof strokes / sizeof strokes[0])];
        name = stroke.name;
        key = stroke.key;
        edits = stroke.edits;
        deliver = [&stroke] { testing_support::press(stroke.key, stroke.held); };
    }
    note(name + " to " + (qrWindow && GetActiveWindow() == qrWindow ? "the QR window" : controlName(main, focus)));
    // Space and Enter press the focused button, by its own rules.
    if ((key == VK_SPACE || key == VK_RETURN) && mainActive && focus && GetParent(focus) == main && isButton(focus))
        press(GetDlgCtrlID(focus), deliver);
    else {
        textMayChange_ = focus == textEdit && edits;
        deliver();
    }
    followLanguageList();
    return true;
}

// Keys and the wheel choose in the language list as a person does: the interface
// must then be in the language the list shows.
void Monkey::followLanguageList() {
    if (!IsWindow(window())) return;
    // While the list is dropped down the user is still choosing, and the interface may
    // already follow what it highlights; once it is closed, it shows the choice.
    if (SendMessageW(languageCombo, CB_GETDROPPEDSTATE, 0, 0))
        model_.english = Ui::english;
    else
        model_.english = SendMessageW(languageCombo, CB_GETCURSEL, 0, 0) == 1;
}

// The mouse at one of the window's named places: a click, a double-click, a
// right-click (its menu dismissed), a press released off the button, the wheel, or a
// drag of the window by its header band.
bool Monkey::useMouse() {
    if (!foreground()) return false;
    addressBefore_ = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    struct Spot {
        const char* name;
        app::Box box;
    };
    static const Spot spots[] = {
        {"language list", Place::languageList},
        {"like", Place::like},
        {"help", Place::help},
        {"update check", Place::updateCheck},
        {"minimize", Place::minimize},
        {"close", Place::close},
        {"Wi-Fi mode", Place::wifiMode},
        {"Bluetooth mode", Place::bluetoothMode},
        {"text box", Place::textEdit},
        {"send text", Place::textSend},
        {"clear", Place::clearText},
        {"choose file", Place::chooseFile},
        {"send file", Place::fileSend},
        {"remove file", Place::removeFile},
        {"address list", Place::addressList},
        {"QR code", Place::qr},
        {"link", Place::linkEdit},
        {"copy link", Place::copyLink},
        {"preview", Place::preview},
        {"start / stop", Place::start},
        {"choose / pair", Place::pair},
        {"Bluetooth path", Place::bluetoothPath},
        {"cancel transfer", Place::cancelBluetooth},
        {"status line", Place::statusLabel},
        {"header band", Area::dragBand},
    };
    const Spot& spot = spots[below(sizeof spots / sizeof spots[0])];
    HWND main = window();
    const RECT pixels = scaledRect(spot.box);
    const int height =
        spot.box == Place::languageList || spot.box == Place::addressList ? scaled(24) : pixels.bottom - pixels.top;
    POINT point = testing_support::onScreen(main, {(pixels.left + pixels.right) / 2, pixels.top + height / 2});
    // A click meant as one must not make a double-click with the last one: 6 pixels
    // aside, out of the system's double-click square.
    if (std::abs(point.x - lastClick_.x) <= 4 && std::abs(point.y - lastClick_.y) <= 4 &&
        GetTickCount() - lastClickTime_ <= GetDoubleClickTime())
        point.x += point.x >= lastClick_.x ? 6 : -6;
    HWND hit = WindowFromPoint(point);
    // With a list dropped down, the first click only closes it.
    const bool listOpen = SendMessageW(languageCombo, CB_GETDROPPEDSTATE, 0, 0) != FALSE ||
                          SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0) != FALSE;
    const bool onButton = hit && GetParent(hit) == main && isButton(hit) && IsWindowEnabled(hit);
    if (listOpen) note("(a list is open)");
    const unsigned gesture = below(100);
    const bool twice = gesture >= 45 && gesture < 60;
    POINT pressed = point;  // where the left button went down, if it did
    std::function<void()> deliver;
    if (gesture < 60 || (gesture >= 72 && gesture < 82 && !onButton)) {
        note((twice ? "double-click at " : "click at ") + std::string(spot.name));
        deliver = [point, twice] { testing_support::click(point, twice ? 2 : 1); };
    } else if (gesture < 72) {
        note("right-click at " + std::string(spot.name));
        deliver = [point] { testing_support::click(point, 1, testing_support::Button::Right); };
        pressed = {-100, -100};
    } else if (gesture < 82) {
        note("press at " + std::string(spot.name) + ", released off it");
        const POINT off = testing_support::onScreen(main, {scaled(10), scaled(300)});  // the card's margin
        deliver = [point, off] { testing_support::drag(point, off); };
    } else if (gesture < 94) {
        const int notches = static_cast<int>(below(5)) - 2;
        note("wheel " + std::to_string(notches) + " at " + std::string(spot.name));
        deliver = [point, notches] { testing_support::wheel(point, notches); };
        pressed = {-100, -100};
    } else {
        // By the band, a little, and back towards the start when it strays.
        RECT frame{};
        GetWindowRect(main, &frame);
        const int dx = frame.left > 300 ? -40 : frame.left < 40 ? 40 : static_cast<int>(below(81)) - 40;
        const int dy = frame.top > 300 ? -30 : frame.top < 20 ? 30 : static_cast<int>(below(61)) - 30;
        note("window dragged by " + std::to_string(dx) + ", " + std::to_string(dy));
        pressed = testing_support::onScreen(main, {scaled(60), scaled(60)});
        deliver = [from = pressed, dx, dy] { testing_support::drag(from, {from.x + dx, from.y + dy}); };
    }
    // A click on a button runs its command; with a list dropped down the first click
    // only closes the list, and the second of a double-click is the button's.
    const bool clicks = gesture < 60 || (gesture >= 72 && gesture < 82 && !onButton);
    if (clicks && onButton && (!listOpen || twice))
        press(GetDlgCtrlID(hit), deliver);
    else
        deliver();
    if (pressed.x != -100) {
        lastClick_ = pressed;
        lastClickTime_ = GetTickCount();
    }
    followLanguageList();
    return true;
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
    if (!pumpedUntil([&] { return !internet_->running(action) && delivered_ > before; }, 5000))
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

// --- invariants ---------------------------------------------------------------

std::string Monkey::windowAnswers() {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result))
        return "the window did not answer within 2 s";
    return {};
}

std::string Monkey::noExceptionEscapes() { return escaped_; }

std::string Monkey::windowClosesOnlyWhenAsked() { return unaskedClose_; }

// What was typed or pasted stays in the text box until Clear or the driver replaces it.
std::string Monkey::typedTextKept() {
    const std::wstring now = readText(textEdit);
    if (textMayChange_ || !unaskedClose_.empty()) {
        boxText_ = now;
        return {};
    }
    if (now == boxText_) return {};
    return "the text box went from " + std::to_string(boxText_.size()) + " units (\"" + narrow(boxText_.substr(0, 20)) +
           "\") to " + std::to_string(now.size()) + " (\"" + narrow(now.substr(0, 20)) + "\")";
}

// While the window is active and not minimized, keys have a control to go to.
std::string Monkey::focusOnAUsableControl() {
    HWND main = window(), focus = GetFocus();
    if (IsIconic(main)) return {};
    HWND activeWindow = GetActiveWindow();
    if (!activeWindow) return "no window is active and no box is open";
    if (activeWindow != main) return {};  // the QR window: it has the keys
    if (!focus || GetParent(focus) != main) return "the focus is on " + controlName(main, focus);
    if (!IsWindowVisible(focus)) return "the focus is on hidden " + controlName(main, focus);
    if (!IsWindowEnabled(focus)) return "the focus is on disabled " + controlName(main, focus);
    return {};
}

std::string Monkey::focusBackAfterBox() { return focusProblem_; }

std::string Monkey::clickActsOnce() { return clickProblem_; }

std::string Monkey::sharingShownWhileRunning() {
    const bool running = server->running;
    const std::wstring shown = readText(linkEdit);
    if (shown != (running ? wide(server->link()) : std::wstring()))
        return "link box shows \"" + narrow(shown) + "\" while the server " + (running ? "runs" : "is stopped");
    for (HWND control : {copyLinkButton, previewButton, qrButton})
        if ((IsWindowEnabled(control) != FALSE) != running)
            return "a link control is enabled without a link or off with one";
    // An address chosen in the list by keys or the mouse is the one shared on, once
    // the list is closed.
    const LRESULT index = SendMessageW(addressCombo, CB_GETCURSEL, 0, 0);
    if (!running || addressBefore_ < 0 || index == addressBefore_ ||
        SendMessageW(addressCombo, CB_GETDROPPEDSTATE, 0, 0))
        return {};
    const std::wstring suffix = L" \u00b7 " + wide(server->address);
    const auto entry = [](LRESULT index) {
        wchar_t text[256] = {};
        if (SendMessageW(addressCombo, CB_GETLBTEXTLEN, index, 0) < 256)
            SendMessageW(addressCombo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    const auto sharedOn = [&](const std::wstring& label) {
        return label.size() >= suffix.size() && label.compare(label.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    bool offered = false;
    for (LRESULT i = 0, n = SendMessageW(addressCombo, CB_GETCOUNT, 0, 0); i < n; ++i)
        offered = offered || sharedOn(entry(i));
    const std::wstring selected = entry(index);
    if (offered && !sharedOn(selected))
        return "the address list shows \"" + narrow(selected) + "\" while sharing on " + server->address;
    return {};
}

// Each link shown before answers nothing once it changed, also after a restart on
// the same address and port.
std::string Monkey::oldLinkAnswersNothing() {
    const std::wstring shown = readText(linkEdit);
    if (shown == lastLink_) return {};
    if (!lastLink_.empty()) previousLinks_.push_back(lastLink_);
    if (previousLinks_.size() > 4) previousLinks_.pop_front();
    lastLink_ = shown;
    for (const std::wstring& previous : previousLinks_) {
        const std::optional<Link> old = parseLink(previous);
        try {
            const testing_link::Answer answer = testing_link::exchange(
                old->address, old->port, testing_link::request("GET", "/" + old->token + "/state", old->host));
            if (answer.status == 200) return "a previous link still answers: " + narrow(previous);
        } catch (const std::exception&) {
            // Nobody listens there any more.
        }
    }
    return {};
}

std::string Monkey::phoneGetsWhatIsShared() {
    if (!server->running) return {};
    const std::optional<Link> link = parseLink(readText(linkEdit));
    if (!link) return "no link to read while the server runs";
    testing_link::Answer answer;
    try {
        answer = testing_link::exchange(link->address, link->port,
                                        testing_link::request("GET", "/" + link->token + "/state", link->host));
    } catch (const std::exception& failure) {
        return std::string("the link does not answer: ") + failure.what();
    }
    const std::optional<PhoneState> state = parseState(answer.body);
    if (answer.status != 200 || !state)
        return "state answer " + std::to_string(answer.status) + ": " + answer.body.substr(0, 200);
    if (state->language != (model_.english ? "en" : "fr")) return "the phone is answered in " + state->language;
    if (state->revision < lastRevision_) return "the revision went back from " + std::to_string(lastRevision_);
    lastRevision_ = state->revision;
    if (state->text != model_.text)
        return "the phone gets a text of " + std::to_string(state->text.size()) + " bytes, the window shared " +
               std::to_string(model_.text.size());
    if (state->file != model_.fileShared)
        return state->file ? "the phone gets a file none was shared" : "the shared file is missing";
    if (state->file && (state->fileName != utf8(model_.sharedName) || state->fileSize != model_.sharedSize))
        return "the phone gets file " + state->fileName + " of " + std::to_string(state->fileSize) + " bytes";
    return {};
}

std::string Monkey::onlyCurrentModeShown() {
    for (HWND control : {addressCombo, linkEdit, copyLinkButton, previewButton, startButton, qrButton})
        if ((IsWindowVisible(control) != FALSE) == model_.bluetooth) return "a Wi-Fi control in the wrong mode";
    for (HWND control : {btPathEdit, cancelBluetoothButton, pairButton, deviceLabel, btProgress})
        if ((IsWindowVisible(control) != FALSE) != model_.bluetooth) return "a Bluetooth control in the wrong mode";
    return {};
}

std::string Monkey::noticeInInterfaceLanguage() {
    if (Ui::english != model_.english)
        return std::string("the interface is in ") + (Ui::english ? "English" : "French") + ", the user chose " +
               (model_.english ? "English" : "French");
    if (noticeFr.empty() || noticeEn.empty()) return "a notice without both languages";
    if (readText(statusLabel) != (model_.english ? noticeEn : noticeFr))
        return "the status line shows \"" + narrow(readText(statusLabel)) + "\"";
    if (Ui::diagnostic(noticeEn, true) != noticeEn) return "French in the English notice: " + narrow(noticeEn);
    return {};
}

// An in-progress notice stays only while its work goes on.
std::string Monkey::noStaleNotice() {
    if (noticeFr == L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.")
        return "\"Choisissez le telephone\" after the choice ended";
    if (noticeFr == L"Recherche de mise \u00e0 jour\u2026" && !internet_->running(remote::Action::Update))
        return "\"Recherche de mise a jour\" after the check ended";
    if (noticeFr == L"Enregistrement du soutien\u2026" && !internet_->running(remote::Action::Like))
        return "\"Enregistrement du soutien\" after the like ended";
    if (noticeFr == L"Annulation du transfert\u2026" && !IsWindowEnabled(cancelBluetoothButton))
        return "\"Annulation du transfert\" after the job ended";
    return {};
}

// Checked on a timer tick across which the job did not change between busy and not.
std::string Monkey::bluetoothControlsFollowJob() {
    const LRESULT percent = SendMessageW(btProgress, PBM_GETPOS, 0, 0);
    if (percent < 0 || percent > 100) return "progress " + std::to_string(percent);
    if (!tickAction_ || busy() != busyBefore_) return {};
    for (int id : {ControlId::wifiMode, ControlId::textSend, ControlId::fileSend, ControlId::chooseFile,
                   ControlId::removeFile, ControlId::pair})
        if ((IsWindowEnabled(GetDlgItem(window(), id)) != FALSE) == busyBefore_)
            return "button " + std::to_string(id) + (busyBefore_ ? " enabled during a job" : " disabled without a job");
    if ((IsWindowEnabled(cancelBluetoothButton) != FALSE) != busyBefore_) return "Cancel does not follow the job";
    return {};
}

// A failed job gets one box; the tick that first sees a job end shows its outcome.
std::string Monkey::jobOutcomeShownOnce() {
    const BluetoothTransfer::Snapshot job = bluetoothTransfer->snapshot();
    for (const auto& [id, count] : failureBoxes_)
        if (count > 1) return "job " + std::to_string(id) + " failure shown " + std::to_string(count) + " times";
    const bool seenEnd = job.job != 0 && !BluetoothTransfer::busy(job.state) && !IsWindowEnabled(cancelBluetoothButton);
    if (seenEnd && job.state == State::Failed && failureBoxes_[job.job] != 1) return "a failed job without its box";
    if (tickAction_ && cancelEnabledBefore_ && seenEnd && model_.bluetooth && noticeFr != job.message)
        return "the job's end is not shown: " + narrow(noticeFr);
    return {};
}

std::string Monkey::boxesInInterfaceLanguage() {
    for (const Box& box : boxes_) {
        if (box.caption != L"Tolvenaire Android") continue;
        bool known = false;
        for (const auto& [french, english] : interfaceTexts) {
            if (box.text.rfind(box.english ? english : french, 0) == 0) known = true;
            if (box.text.rfind(box.english ? french : english, 0) == 0)
                return "a box in the other language: " + narrow(box.text);
        }
        const bool frenchLeft = Ui::diagnostic(box.text, true) != box.text;
        if (box.english && frenchLeft) return "French in an English box: " + narrow(box.text);
        if (!box.english && frenchLeft) known = true;
        for (const Ui::TextPair& pair : Ui::dictionaryPairs())
            if (box.english && box.text.find(pair.english) != std::wstring::npos) known = true;
        if (!known) return "a box text the interface does not know: " + narrow(box.text);
    }
    return {};
}

std::string Monkey::resourcesWithinMargin() {
    // The counts are probed handle by handle under Wine (seconds each): after a first
    // hundred actions, then every thousand and at the end.
    if (number_ != 100 && number_ % 1000 != 0 && number_ != count_) return {};
    const Counts now{testing_support::gdiObjectCount(), testing_support::userObjectCount(),
                     testing_support::handleCount()};
    if (counted_ < 0) {
        baseline_ = now;
        counted_ = number_;
        return {};
    }
    if (now.gdi - baseline_.gdi > 24 || now.user - baseline_.user > 24 || now.handles - baseline_.handles > 64)
        return "GDI " + std::to_string(baseline_.gdi) + " -> " + std::to_string(now.gdi) + ", USER " +
               std::to_string(baseline_.user) + " -> " + std::to_string(now.user) + ", handles " +
               std::to_string(baseline_.handles) + " -> " + std::to_string(now.handles);
    return {};
}

std::optional<Violation> Monkey::checkAll() {
    using Check = std::string (Monkey::*)();
    static const std::pair<const char*, Check> invariants[] = {
        {"windowAnswers", &Monkey::windowAnswers},
        {"windowClosesOnlyWhenAsked", &Monkey::windowClosesOnlyWhenAsked},
        {"typedTextKept", &Monkey::typedTextKept},
        {"focusOnAUsableControl", &Monkey::focusOnAUsableControl},
        {"focusBackAfterBox", &Monkey::focusBackAfterBox},
        {"clickActsOnce", &Monkey::clickActsOnce},
        {"noExceptionEscapes", &Monkey::noExceptionEscapes},
        {"sharingShownWhileRunning", &Monkey::sharingShownWhileRunning},
        {"oldLinkAnswersNothing", &Monkey::oldLinkAnswersNothing},
        {"phoneGetsWhatIsShared", &Monkey::phoneGetsWhatIsShared},
        {"onlyCurrentModeShown", &Monkey::onlyCurrentModeShown},
        {"noticeInInterfaceLanguage", &Monkey::noticeInInterfaceLanguage},
        {"noStaleNotice", &Monkey::noStaleNotice},
        {"bluetoothControlsFollowJob", &Monkey::bluetoothControlsFollowJob},
        {"jobOutcomeShownOnce", &Monkey::jobOutcomeShownOnce},
        {"boxesInInterfaceLanguage", &Monkey::boxesInInterfaceLanguage},
        {"resourcesWithinMargin", &Monkey::resourcesWithinMargin},
    };
    for (const auto& [name, check] : invariants) {
        ++checks_[name];
        const auto start = Clock::now();
        const std::string problem = (this->*check)();
        spent_[name] += std::chrono::duration<double>(Clock::now() - start).count();
        if (!problem.empty()) return Violation{name, problem};
    }
    return std::nullopt;
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
            clickProblem_.clear();
            busyBefore_ = busy();
            cancelEnabledBefore_ = IsWindowEnabled(cancelBluetoothButton) != FALSE;
            watchdog.starting(number_, candidate->name);
            if (trace_) std::printf("%d %s\n", number_, candidate->name), std::fflush(stdout);
            const auto start = Clock::now();
            if (candidate->take()) chosen = candidate;
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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc % 2 == 0) {
        std::printf("usage: window_monkey SEED ACTIONS [SEED ACTIONS ...]\n");
        return 2;
    }
    testing_link::startSockets();
    int passed = 0, failed = 0;
    for (int i = 1; i + 1 < argc; i += 2) {
        Monkey monkey(std::strtoull(argv[i], nullptr, 10));
        (monkey.run(std::atoi(argv[i + 1])) ? passed : failed)++;
        std::fflush(stdout);
    }
    std::printf("window monkey: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
