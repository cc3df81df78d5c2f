#include "app/ui/labels.h"

#include "base/file_share.h"

namespace Ui {

std::array<ControlText, 3> stateCaptions(bool bluetoothMode, bool sharing) {
    return {{
        {ControlId::textSend,
         bluetoothMode ? TextPair{L"Envoyer en .txt", L"Send as .txt"} : TextPair{L"Envoyer le texte", L"Send text"}},
        {ControlId::fileSend, {L"Envoyer", L"Send file"}},
        {ControlId::start, sharing ? TextPair{L"Arrêter", L"Stop sharing"} : TextPair{L"Démarrer", L"Start sharing"}},
    }};
}

TextPair modeSummary(bool bluetoothMode) {
    if (bluetoothMode)
        return {L"Fichiers à accepter sur Android.\nTexte envoyé en pièce jointe .txt.",
                L"Accept files on Android.\nText is sent as a .txt attachment."};
    return {L"Texte et fichiers · HTTP non chiffré.\nRéseau de confiance uniquement.",
            L"Text + files · Unencrypted HTTP.\nTrusted networks only."};
}

TextPair connectionLine(bool bluetoothMode, bool serverRunning, std::uint64_t lastStatePoll, std::uint64_t now) {
    if (bluetoothMode) return Painted::connectionBluetooth;
    if (!serverRunning) return Painted::connectionReady;
    // A poll stamped after `now` (clock read races) is simply recent.
    const bool recent = lastStatePoll != 0 && (now < lastStatePoll || now - lastStatePoll <= connectedWindowMs);
    return recent ? Painted::connectionConnected : Painted::connectionWaiting;
}

std::wstring fileLabelText(const std::wstring& selectedPath, bool inEnglish) {
    if (selectedPath.empty()) return TextPair{L"Aucun fichier sélectionné", L"No file selected"}.in(inEnglish);
    return fileNameOf(selectedPath);
}

std::wstring deviceLabelText(bool phoneChosen, const std::wstring& phoneName, bool inEnglish) {
    if (!phoneChosen) return TextPair{L"Aucun téléphone sélectionné", L"No phone selected"}.in(inEnglish);
    return TextPair{L"Téléphone : ", L"Phone: "}.in(inEnglish) + phoneName;
}

std::wstring bluetoothPathText(bool sendsText, const std::wstring& bluetoothPath, bool inEnglish) {
    if (sendsText) return TextPair{L"Texte.txt · en mémoire", L"Text.txt · in memory"}.in(inEnglish);
    return bluetoothPath;
}

}  // namespace Ui
