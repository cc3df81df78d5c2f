#pragma once

// The decisions of the pairing dialog, apart from its window: when a shown
// request may be confirmed, what answer goes out, when the attempt ends and how
// it ends. The dialog applies the texts and ends itself as told; answers go
// through AuthenticationPlatform::sendResponse. Control ids are those of
// resources/pairing_dialog_ids.h.

#include <atomic>
#include <cstdint>
#include <string>

#include "bluetooth/pairing/authentication.h"

constexpr std::uint32_t pairingPending = 997;      // the system's I/O-pending code
constexpr std::uint32_t pairingCancelled = 1223;   // the system's "cancelled" code
constexpr std::uint32_t pairingAlreadyDone = 259;  // "no more items": nothing was left to pair
constexpr std::uint32_t pairingNotStarted = 8;     // "not enough memory": no listener or no thread
constexpr unsigned long long pairingAttemptMs = 90000;

// Texts for the controls when a request is shown (French; the dialog translates).
struct ChallengeView {
    std::wstring code;            // IDC_PAIRING_CODE
    std::wstring instruction;     // IDC_PAIRING_INSTRUCTION
    std::wstring progress;        // IDC_PAIRING_PROGRESS
    std::wstring confirmCaption;  // IDC_PAIRING_CONFIRM
    bool confirmEnabled = false;
};

// What a click on the confirm button did.
enum class ConfirmResult { Ignored, Sent, NotSent };

// Where the attempt stands once the timer has applied its cancellations.
enum class FinishStep {
    Running,       // the pairing thread has not returned
    CheckPairing,  // re-read the device: end with IDC_PAIRING_CONFIRM when authenticated,
                   // else notPaired() and IDC_PAIRING_REFUSE
    Failed,        // notPaired() and end with IDC_PAIRING_REFUSE
};

// How authenticateBluetoothInApp ends.
struct PairingOutcome {
    enum Kind { Paired, NotPaired, Failed } kind = NotPaired;
    std::string error;  // UTF-8, for Failed
};

class PairingFlow {
public:
    explicit PairingFlow(bool confirmationMode) : confirmationMode(confirmationMode) {}

    // Written by the pairing thread, read on the timer.
    std::atomic<bool> threadFinished{false};
    std::atomic<std::uint32_t> result{pairingPending};

    const bool confirmationMode;
    bool challengePending = false;
    bool aborted = false;
    bool positiveSent = false;
    bool answered = false;  // an answer to the shown request was handed to the stack (or had none)
    AuthenticationChallenge challenge;
    unsigned long long openedAt = 0;
    std::wstring message;  // French failure text raised after the dialog

    ChallengeView showChallenge(const AuthenticationChallenge& request);
    // Answers the shown request: positive only when `accept` and the request has
    // not expired at `now` and a code can be compared.
    void answer(bool accept, unsigned long long now);
    ConfirmResult confirm(unsigned long long now);
    // A request reached the dialog after the user refused: refuse it at once.
    void refuseLate(const AuthenticationChallenge& request, unsigned long long now);
    void cancel(unsigned long long now);
    // Whether the timer refuses and ends the attempt now: a pairing attempt not yet
    // refused has run for 90 s, or the request shown has expired.
    bool timerCancels(unsigned long long now) const;
    FinishStep finishStep() const;
    // The thread ended without an authenticated pairing.
    void notPaired();
};

// `dialogResult`: the id the dialog ended with, or -1 when it could not be shown.
PairingOutcome pairingOutcome(long long dialogResult, const PairingFlow& flow);

// Texts of the progress line, shared with the dialog.
namespace PairingText {
extern const wchar_t* const couldNotStart;
extern const wchar_t* const refused;
extern const wchar_t* const notConfirmed;
extern const wchar_t* const noCode;
extern const wchar_t* const confirmBoth;
extern const wchar_t* const confirmAndroid;
extern const wchar_t* const confirmNotSent;
}  // namespace PairingText
