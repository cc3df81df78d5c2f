// The invariants, checked after every action of the driver.

#include "tests/app/window_monkey_win.h"

namespace window_monkey {

// The interface's own texts that warning boxes may show, besides the dictionary's:
// French and English, a box's text begins with one of them.
const Ui::TextPair interfaceTexts[] = {
    Ui::Refusal::notAFile,
    Ui::Refusal::emptyText,
    Ui::Refusal::noNetwork,
    Ui::Refusal::transferUnderWay,
    Ui::Refusal::clipboardUnavailable,
    Ui::Refusal::copyFailed,
    Ui::Refusal::qrWindowNotOpened,
    Ui::Refusal::fileNameNotUnicode,
    Ui::Message::browserUnavailable,
};

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

std::string Monkey::oneModalWindowAtATime() { return modalProblem_; }

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
        for (const Ui::TextPair& text : interfaceTexts) {
            if (box.text.rfind(text.in(box.english), 0) == 0) known = true;
            if (box.text.rfind(text.in(!box.english), 0) == 0)
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
    const auto now = testing_support::WindowCounts::now();
    if (counted_ < 0) {
        baseline_ = now;
        counted_ = number_;
        return {};
    }
    if (now.gdi - baseline_.gdi > 24 || now.user - baseline_.user > 24 || now.handles - baseline_.handles > 64)
        return now.since(baseline_);
    return {};
}

std::optional<Violation> Monkey::checkAll() {
    using Check = std::string (Monkey::*)();
#define TOLVENAIRE_ENTRY(name) {#name, &Monkey::name},
    static const std::pair<const char*, Check> invariants[] = {TOLVENAIRE_MONKEY_INVARIANTS(TOLVENAIRE_ENTRY)};
#undef TOLVENAIRE_ENTRY
    for (const auto& [name, check] : invariants) {
        ++checks_[name];
        const auto start = Clock::now();
        const std::string problem = (this->*check)();
        spent_[name] += std::chrono::duration<double>(Clock::now() - start).count();
        if (!problem.empty()) return Violation{name, problem};
    }
    return std::nullopt;
}

}  // namespace window_monkey
