#pragma once

// The window driver's parts: the run and its report, the actions of real input and
// the other actions, the invariants, and the peers the window talks to.

#include <windows.h>
#include <commctrl.h>

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
#include "tests/support/open_dialog_win.h"
#include "tests/support/places.h"
#include "tests/support/real_input_win.h"
#include "tests/support/temp_file.h"
namespace window_monkey {

using namespace app;
using State = BluetoothTransfer::State;
using Clock = std::chrono::steady_clock;
using testing_support::dropOf;
using testing_support::MainWindow;

constexpr unsigned long long phoneA = 0x00F00D00BEEFull, phoneB = 0x00F00D00CAFEull;

std::string narrow(const std::wstring& text);
bool isButton(HWND control);
std::string controlName(HWND main, HWND control);

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

    std::unique_ptr<ObexChannel> connect(const std::atomic<bool>& cancel);
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

std::optional<Link> parseLink(const std::wstring& shown);

// The phone's view of the state document, read strictly in its one-line form.
struct PhoneState {
    std::string language, text, fileName, fileId;
    std::uint64_t revision = 0, fileSize = 0;
    bool file = false;
};

std::optional<PhoneState> parseState(const std::string& body);

// ---------------------------------------------------------------------------

struct Violation {
    std::string invariant, detail;
};

// Every invariant, checked after each action in this order.
// clang-format off
#define TOLVENAIRE_MONKEY_INVARIANTS(X)                                                                   \
    X(windowAnswers) X(windowClosesOnlyWhenAsked) X(typedTextKept) X(focusOnAUsableControl)               \
    X(focusBackAfterBox) X(oneModalWindowAtATime) X(clickActsOnce) X(noExceptionEscapes)                  \
    X(sharingShownWhileRunning) X(oldLinkAnswersNothing) X(phoneGetsWhatIsShared) X(onlyCurrentModeShown) \
    X(noticeInInterfaceLanguage) X(noStaleNotice) X(bluetoothControlsFollowJob) X(jobOutcomeShownOnce)    \
    X(boxesInInterfaceLanguage) X(resourcesWithinMargin)
// clang-format on

class Monkey;
extern Monkey* active;

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
    void showWaitingBoxes();
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
#define TOLVENAIRE_DECLARE(name) std::string name();
    TOLVENAIRE_MONKEY_INVARIANTS(TOLVENAIRE_DECLARE)
#undef TOLVENAIRE_DECLARE

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
    TempFolder files_;
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
    std::string focusProblem_, clickProblem_, modalProblem_;

    // What the invariants remember.
    std::wstring lastLink_;
    std::deque<std::wstring> previousLinks_;
    std::uint64_t lastRevision_ = 0;
    bool tickAction_ = false;
    bool busyBefore_ = false, cancelEnabledBefore_ = false;
    int counted_ = -1;
    testing_support::WindowCounts baseline_;

    // Record.
    int number_ = 0, count_ = 0;
    std::string detail_;
    std::deque<std::string> recent_;
    std::map<std::string, int> taken_;
    std::map<std::string, int> checks_;
    std::map<std::string, double> spent_;  // seconds, per action kind and invariant
};

// The interface's own texts that warning boxes may show, French and English.
extern const Ui::TextPair interfaceTexts[9];

// The addresses the fake adapters offer now, out of all three.
extern std::vector<std::pair<std::wstring, std::string>> offeredAddresses;
extern const std::pair<std::wstring, std::string> allAddresses[3];
std::optional<std::vector<std::pair<std::wstring, std::string>>> loopbackAddresses();
std::wstring limitText(std::size_t size, bool units);

}  // namespace window_monkey
