#include "bluetooth/pairing/pairing_flow.h"

#include "base/text.h"
#include "resources/pairing_dialog_ids.h"

namespace PairingText {
const wchar_t* const couldNotStart = L"Impossible de d\u00e9marrer l\u2019appairage.";
const wchar_t* const refused = L"Refus transmis. Fin de la tentative d\u2019appairage\u2026";
const wchar_t* const notConfirmed =
    L"Windows n\u2019a pas confirm\u00e9 une association authentifi\u00e9e. Annulez la demande sur Android "
    L"et recommencez depuis le PC.";
const wchar_t* const noCode = L"\u2014";
const wchar_t* const confirmBoth = L"Votre confirmation est n\u00e9cessaire sur les deux appareils.";
const wchar_t* const confirmAndroid = L"Confirmez aussi sur Android. Appairage en cours\u2026";
const wchar_t* const confirmNotSent = L"Confirmation non transmise : annulez puis r\u00e9essayez.";
}  // namespace PairingText

namespace {
const wchar_t* const pairInSettings = L"Appairage \u00e0 terminer dans les param\u00e8tres Windows.";
}

ChallengeView PairingFlow::showChallenge(const AuthenticationChallenge& request) {
    challenge = request;
    challengePending = true;
    answered = false;
    positiveSent = false;
    PairingPrompt prompt = makePairingPrompt(request.params);
    ChallengeView view;
    view.code = prompt.comparable ? prompt.code : PairingText::noCode;
    view.instruction = prompt.instruction;
    view.progress = prompt.comparable ? PairingText::confirmBoth : pairInSettings;
    view.confirmCaption = prompt.label.empty() ? L"Confirmer" : prompt.label;
    view.confirmEnabled = prompt.comparable;
    return view;
}

void PairingFlow::answer(bool accept, unsigned long long now) {
    if (!challengePending) return;
    challengePending = false;
    answered = true;
    bool positive = accept && now < challenge.expiresAt;
    PairingResponse reply = makePairingResponse(challenge.params, positive);
    if (!reply.send) return;
    unsigned long code = authenticationPlatform().sendResponse(reply.response);
    if (code != 0 && code != pairingCancelled)
        message = L"Windows n\u2019a pas pu transmettre la confirmation Bluetooth (" + std::to_wstring(code) + L").";
    positiveSent = code == 0 && positive && !reply.response.negative;
}

ConfirmResult PairingFlow::confirm(unsigned long long now) {
    if (!challengePending || aborted || !makePairingPrompt(challenge.params).comparable) return ConfirmResult::Ignored;
    answer(true, now);
    return positiveSent ? ConfirmResult::Sent : ConfirmResult::NotSent;
}

void PairingFlow::refuseLate(const AuthenticationChallenge& request, unsigned long long now) {
    challenge = request;
    challengePending = true;
    answer(false, now);
}

void PairingFlow::cancel(unsigned long long now) {
    aborted = true;
    answer(false, now);
}

bool PairingFlow::timerCancels(unsigned long long now) const {
    if (!confirmationMode && !aborted && now - openedAt > pairingAttemptMs - 1) return true;
    return challengePending && now >= challenge.expiresAt;
}

FinishStep PairingFlow::finishStep() const {
    if (!threadFinished.load()) return FinishStep::Running;
    std::uint32_t code = result.load();
    if (!aborted && (code == pairingAlreadyDone || (code == 0 && positiveSent))) return FinishStep::CheckPairing;
    return FinishStep::Failed;
}

void PairingFlow::notPaired() {
    if (result.load() == 0 && message.empty()) message = PairingText::notConfirmed;
}

PairingOutcome pairingOutcome(long long dialogResult, const PairingFlow& flow) {
    PairingOutcome outcome;
    if (dialogResult == IDC_PAIRING_CONFIRM) {
        outcome.kind = PairingOutcome::Paired;
        return outcome;
    }
    std::uint32_t code = flow.result.load();
    if (flow.aborted || code == pairingCancelled) return outcome;  // refused or cancelled: no message
    outcome.kind = PairingOutcome::Failed;
    if (dialogResult == -1)
        outcome.error = "Fenetre de confirmation Bluetooth introuvable.";
    else if (!flow.message.empty())
        outcome.error = utf8(flow.message);
    else
        outcome.error = "Appairage non termine (Windows " + std::to_string(code) +
                        "). Annulez sur Android, puis relancez Choisir / associer dans Tolvenaire. Si une "
                        "ancienne association existe, retirez-la des deux appareils avant de recommencer.";
    return outcome;
}
