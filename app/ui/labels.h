#pragma once

// Captions, tooltips, painted texts and other fixed texts of the main window, in
// both languages, as data. The window's label refresh and painting apply them;
// nothing here touches a window. Notices and box texts are in notices.h.

#include <array>
#include <cstdint>
#include <string>

#include "app/ui/control_ids.h"
#include "base/language.h"
#include "base/text_pair.h"

namespace Ui {

// A text that belongs to one control, named by its command id.
struct ControlText {
    int id;
    TextPair text;
};

// Captions that never depend on the window's state, set by control id.
inline constexpr std::array<ControlText, 10> fixedCaptions{{
    {ControlId::wifiMode, {L"Wi-Fi local", L"Local Wi-Fi"}},
    {ControlId::bluetoothMode, {L"Bluetooth", L"Bluetooth"}},
    {ControlId::clearText, {L"Effacer", L"Clear"}},
    {ControlId::chooseFile, {L"Choisir…", L"Choose…"}},
    {ControlId::removeFile, {L"Retirer", L"Remove"}},
    {ControlId::copyLink, {L"Copier lien", L"Copy link"}},
    {ControlId::preview, {L"Aperçu", L"Preview"}},
    {ControlId::cancelBluetooth, {L"Annuler", L"Cancel"}},
    {ControlId::pair, {L"Choisir / associer", L"Choose / pair"}},
    {ControlId::qr, {L"Agrandir le QR code", L"Enlarge QR code"}},
}};

// Captions of the send-text, send-file and start/stop buttons for the given state.
std::array<ControlText, 3> stateCaptions(bool bluetoothMode, bool sharing);

// The two-line summary under the mode tabs (a static without command id).
TextPair modeSummary(bool bluetoothMode);

// Tooltips, one tool per control.
inline constexpr std::array<ControlText, 8> tooltips{{
    {ControlId::minimize, {L"Réduire", L"Minimize"}},
    {ControlId::close, {L"Fermer", L"Close"}},
    {ControlId::help, {L"Aide", L"Help"}},
    {ControlId::textEdit, {L"Texte à partager", L"Text to share"}},
    {ControlId::qr, {L"Cliquez pour agrandir le QR code", L"Click to enlarge the QR code"}},
    {ControlId::languageList, {L"Langue / Language", L"Langue / Language"}},
    {ControlId::like, {L"J’aime cette version · Internet", L"Like this version · Internet"}},
    {ControlId::updateCheck, {L"Rechercher une mise à jour · Internet", L"Check for updates · Internet"}},
}};

// What a screen reader calls the controls whose caption, tooltip or neighbour does
// not say what they hold. Controls with a tooltip are called by it; the others by
// their caption.
inline constexpr std::array<ControlText, 3> spokenNames{{
    {ControlId::addressList, {L"Réseau du lien", L"Network for the link"}},
    {ControlId::linkEdit, {L"Lien privé à ouvrir sur Android", L"Private link to open on Android"}},
    {ControlId::bluetoothPath, {L"Envoyé par Bluetooth", L"Sent over Bluetooth"}},
}};
inline constexpr TextPair progressName{L"Progression du transfert Bluetooth", L"Bluetooth transfer progress"};

// Header buttons carry the same glyph in both languages; set once at creation.
struct ControlGlyph {
    int id;
    const wchar_t* caption;
};
inline constexpr std::array<ControlGlyph, 5> headerGlyphs{{
    {ControlId::like, L"\u2665"},
    {ControlId::help, L"i"},
    {ControlId::updateCheck, L"?"},
    {ControlId::minimize, L"\u2212"},
    {ControlId::close, L"\u00d7"},
}};

// Items of the language list, index 0 French and index 1 English in both languages.
inline constexpr std::array<const wchar_t*, 2> languageItems{{L"Français", L"English"}};
constexpr int languageIndex(bool inEnglish) { return inEnglish ? 1 : 0; }

// Title of the enlarged QR window and the line under its code.
inline constexpr TextPair qrWindowTitle{L"Scanner avec Android", L"Scan with Android"};
inline constexpr TextPair qrWindowHint{L"Scannez avec l’appareil photo Android.", L"Scan with your Android camera."};

// The single entry of the address list when the PC has no local network address.
inline constexpr TextPair noLocalNetwork{L"Aucun réseau local", L"No local network"};

// Texts painted on the card: the panel headings, the third panel's hint and the
// connection line under the product name.
namespace Painted {
inline constexpr TextPair textHeading{L"01  TEXTE", L"01  TEXT"};
inline constexpr TextPair fileHeading{L"02  FICHIER", L"02  FILE"};
inline constexpr TextPair phoneHeading{L"03  TÉLÉPHONE", L"03  PHONE"};
inline constexpr TextPair networkHeading{L"03  RÉSEAU LOCAL", L"03  LOCAL NETWORK"};
inline constexpr TextPair bluetoothHint{L"Comparez le code des deux côtés.\nAcceptez ensuite le fichier sur Android.",
                                        L"Compare the code on both devices.\nThen accept the file on Android."};
inline constexpr TextPair sharingHint{L"Scannez sur Android.\nCliquez sur le QR pour l’agrandir.",
                                      L"Scan on Android.\nClick the QR to enlarge it."};
inline constexpr TextPair idleHint{L"Même réseau local.\nEnvoyez pour créer le lien.",
                                   L"Same local network.\nSend to create a link."};
inline constexpr TextPair connectionBluetooth{L"PC → Android · Bluetooth", L"PC → Android · Bluetooth"};
inline constexpr TextPair connectionReady{L"PC → Android · prêt", L"PC → Android · ready"};
inline constexpr TextPair connectionConnected{L"Wi-Fi · connecté", L"Wi-Fi · connected"};
inline constexpr TextPair connectionWaiting{L"Wi-Fi · en attente", L"Wi-Fi · waiting"};
}  // namespace Painted

// The third panel's heading: the phone in Bluetooth mode, the network in Wi-Fi mode.
constexpr TextPair thirdHeading(bool bluetoothMode) {
    return bluetoothMode ? Painted::phoneHeading : Painted::networkHeading;
}

// The third panel's hint: pairing in Bluetooth mode, else scanning while sharing
// runs and sending while it does not.
constexpr TextPair thirdPanelHint(bool bluetoothMode, bool sharing) {
    if (bluetoothMode) return Painted::bluetoothHint;
    return sharing ? Painted::sharingHint : Painted::idleHint;
}

// A phone counts as connected while its last page or state request is at most
// this old.
constexpr std::uint64_t connectedWindowMs = 9999;

// The connection line: the mode, and in Wi-Fi mode whether a phone asked lately.
TextPair connectionLine(bool bluetoothMode, bool serverRunning, std::uint64_t lastStatePoll, std::uint64_t now);

// The file label: the part of the path after its last "/" or "\", the whole path
// when it has neither, or the no-file text when nothing is selected.
std::wstring fileLabelText(const std::wstring& selectedPath, bool inEnglish);

// The phone label: "Phone: <name>" when a phone is chosen, else the no-phone text.
std::wstring deviceLabelText(bool phoneChosen, const std::wstring& phoneName, bool inEnglish);

// What the Bluetooth job sends: the in-memory text file, or the file's full path.
std::wstring bluetoothPathText(bool sendsText, const std::wstring& bluetoothPath, bool inEnglish);

// The like button: "♥" and enabled until a like is known for this version, then
// "♥✓" and disabled. The caller decides `liked` as likedThisSession first and only
// then asks the registry, so a like of this run needs no registry read.
struct LikeButton {
    const wchar_t* caption;
    bool enabled;
};
constexpr LikeButton likeButton(bool liked) {
    return liked ? LikeButton{L"\u2665\u2713", false} : LikeButton{L"\u2665", true};
}

}  // namespace Ui
