#pragma once

// What the main window tells the user, in both languages, as data: the status line's
// notices, the refusals shown in a warning box, and the texts of its other boxes and
// dialogs. Texts raised by the engine are French only and go through Ui::diagnostic.

#include <array>

#include "base/text_pair.h"
#include "base/version.h"

namespace Ui {

// Status line notices (the window keeps the pair, so a language switch re-shows it).
namespace Notice {
inline constexpr TextPair readyWifi{L"Cliquez sur Envoyer, puis scannez le QR code sur Android.",
                                    L"Click Send, then scan the QR code on Android."};
inline constexpr TextPair readyBluetooth{L"Associez le téléphone, puis acceptez le fichier sur Android.",
                                         L"Pair your phone, then accept the file on Android."};
inline constexpr TextPair textReady{L"Texte prêt. Scannez le QR code sur Android.",
                                    L"Text ready. Scan the QR code on Android."};
inline constexpr TextPair textCleared{L"Texte effacé et retiré du partage.", L"Text cleared and removed from sharing."};
inline constexpr TextPair fileSelected{L"Fichier choisi. Cliquez sur Envoyer.", L"File selected. Click Send file."};
inline constexpr TextPair fileReady{L"Fichier prêt. Téléchargez-le sur Android.",
                                    L"File ready. Download it on Android."};
inline constexpr TextPair fileRemoved{L"Fichier retiré des prochains téléchargements.",
                                      L"File removed from future downloads."};
inline constexpr TextPair sharingActive{L"Partage actif. Scannez le QR code.", L"Sharing is active. Scan the QR code."};
inline constexpr TextPair sharingStopped{L"Partage arrêté. Le lien est désactivé.",
                                         L"Sharing stopped. The link is disabled."};
inline constexpr TextPair networkChanged{L"Nouveau réseau : ouvrez le nouveau QR code.",
                                         L"Network changed: open the new QR code."};
inline constexpr TextPair networkError{L"Erreur réseau. Vérifiez la connexion puis redémarrez.",
                                       L"Network error. Check your connection and restart sharing."};
inline constexpr TextPair linkCopied{L"Lien copié dans le presse-papiers.", L"Link copied to the clipboard."};
inline constexpr TextPair choosePhone{L"Choisissez le téléphone. Comparez le code sur les deux appareils.",
                                      L"Choose your phone. Compare the code on both devices."};
inline constexpr TextPair phonePaired{L"Téléphone associé. Vous pouvez envoyer le fichier.",
                                      L"Phone paired. You can send the file."};
inline constexpr TextPair selectionCancelled{L"Sélection ou appairage annulé.", L"Selection or pairing cancelled."};
inline constexpr TextPair confirmationSent{L"Confirmation transmise. Confirmez aussi sur Android.",
                                           L"Confirmation sent. Also confirm on Android."};
inline constexpr TextPair pairingRejected{L"Appairage refusé ou annulé.", L"Pairing rejected or cancelled."};
inline constexpr TextPair cancellingTransfer{L"Annulation du transfert…", L"Cancelling the transfer…"};
inline constexpr TextPair recordingLike{L"Enregistrement du soutien…", L"Recording your like…"};
inline constexpr TextPair likeRecorded{L"Merci ! Votre soutien est enregistré.",
                                       L"Thank you! Your like has been recorded."};
inline constexpr TextPair checkingUpdates{L"Recherche de mise à jour…", L"Checking for updates…"};
// Shown once a share has waited a minute without any phone getting through to the PC.
inline constexpr TextPair noPhoneYet{
    L"Aucun téléphone n’a encore joint ce PC. Même Wi-Fi ? Pare-feu autorisant le programme ici ? Voir i.",
    L"No phone has reached this PC yet. Same Wi-Fi? Firewall allows the program on this network? See i."};
inline constexpr TextPair languageNotSaved{L"Langue changée pour cette session ; préférence non enregistrée.",
                                           L"Language changed for this session; preference could not be saved."};

// The notices of a share that waits for its phone: only these give way to noPhoneYet,
// so that it never hides what an action of the user's has just said.
inline constexpr std::array<TextPair, 5> awaitingPhone{
    {readyWifi, textReady, fileReady, sharingActive, networkChanged}};
}  // namespace Notice

// What Windows' firewall is found to block while a share waits for its phone: the
// status line's notice, the help button's box (what to do, the page in words) and
// the settings page that box offers to open.
namespace Firewall {
struct Advice {
    TextPair notice;
    TextPair details;
    const wchar_t* settings;
};
// Network & internet, where the network's properties set its profile type.
inline constexpr wchar_t networkSettings[] = L"ms-settings:network-status";
// Windows Security, whose "Firewall & network protection" lists the allowed apps.
inline constexpr wchar_t securitySettings[] = L"ms-settings:windowsdefender";

inline constexpr Advice blockedOnPublic{
    {L"Le pare-feu Windows bloque le programme sur les réseaux publics, comme ce Wi-Fi. Voir i.",
     L"Windows' firewall blocks the program on Public networks, like this Wi-Fi. See i."},
    {L"Réseau de confiance (chez vous) : Paramètres > Réseau et Internet > Propriétés > Privé.\nSinon, un "
     L"administrateur coche Public pour le programme dans les applications autorisées de Sécurité Windows.\n\n"
     L"Ouvrir les paramètres réseau ?",
     L"A network you trust (at home): Settings > Network & internet > Properties > Private.\nOtherwise an "
     L"administrator ticks Public for the program in Windows Security's allowed apps.\n\nOpen network settings?"},
    networkSettings};
inline constexpr Advice blockedOnThisType{
    {L"Le pare-feu Windows bloque le programme sur ce type de réseau. Voir i pour l’autoriser.",
     L"Windows' firewall blocks the program on this type of network. An administrator can allow it: see i."},
    {L"Un administrateur coche le type de ce réseau pour le programme : Sécurité Windows > Pare-feu et protection "
     L"du réseau > Autoriser une application via le pare-feu.\n\nOuvrir Sécurité Windows ?",
     L"An administrator ticks this network's type for the program: Windows Security > Firewall & network "
     L"protection > Allow an app through firewall.\n\nOpen Windows Security?"},
    securitySettings};
inline constexpr Advice blockAll{
    {L"Windows bloque toute connexion entrante sur ce réseau, téléphones compris. Voir i.",
     L"Windows blocks every incoming connection on this network: no phone can reach this PC. See i."},
    {L"Un administrateur décoche « Bloque toutes les connexions entrantes » : Sécurité Windows > Pare-feu et "
     L"protection du réseau > le réseau (actif).\n\nOuvrir Sécurité Windows ?",
     L"An administrator unticks \"Blocks all incoming connections\": Windows Security > Firewall & network "
     L"protection > the (active) network.\n\nOpen Windows Security?"},
    securitySettings};
inline constexpr Advice notAllowedHere{
    {L"Windows n’a pas encore autorisé le programme dans ce dossier : répondez à sa question. Voir i.",
     L"Windows has not yet allowed the program in this folder: answer its prompt. See i."},
    {L"Windows autorise un programme par son chemin complet. Relancez le partage et répondez Autoriser à Windows, "
     L"ou un administrateur l’ajoute aux applications autorisées de Sécurité Windows.\n\nOuvrir Sécurité Windows ?",
     L"Windows allows a program by its full path. Restart sharing and answer Allow to Windows' prompt, or an "
     L"administrator adds it to Windows Security's allowed apps.\n\nOpen Windows Security?"},
    securitySettings};
inline constexpr std::array<const Advice*, 4> all{{&blockedOnPublic, &blockedOnThisType, &blockAll, &notAllowedHere}};
}  // namespace Firewall

// Notices that announce an action still under way. Each is true only while its
// action runs: once a failure box closes and the action has ended, the window
// shows its ready notice instead.
enum class Pending { phoneSelection, updateCheck, like, transferCancel };

struct InProgressNotice {
    Pending action;
    TextPair text;
};

inline constexpr std::array<InProgressNotice, 4> inProgressNotices{{
    {Pending::phoneSelection, Notice::choosePhone},
    {Pending::updateCheck, Notice::checkingUpdates},
    {Pending::like, Notice::recordingLike},
    {Pending::transferCancel, Notice::cancellingTransfer},
}};

constexpr TextPair inProgress(Pending action) {
    for (const InProgressNotice& notice : inProgressNotices)
        if (notice.action == action) return notice.text;
    return {L"", L""};
}

// What a refused command or a failed step of the window says, in a warning box.
namespace Refusal {
inline constexpr TextPair emptyText{L"Saisissez un texte à envoyer.", L"Enter some text to send."};
inline constexpr TextPair noNetwork{L"Connectez le PC au même réseau que le téléphone, puis choisissez une interface.",
                                    L"Connect your PC and phone to the same network, then select an interface."};
inline constexpr TextPair notAFile{L"Choisissez un fichier lisible, pas un dossier.",
                                   L"Choose a readable file, not a folder."};
inline constexpr TextPair fileNameNotUnicode{
    L"Le nom de ce fichier contient des caractères invalides. Renommez-le puis choisissez-le à nouveau.",
    L"This file name contains invalid characters. Rename the file, then choose it again."};
inline constexpr TextPair clipboardUnavailable{L"Presse-papiers indisponible. Réessayez.",
                                               L"Clipboard unavailable. Try again."};
inline constexpr TextPair copyFailed{L"Copie impossible.", L"Could not copy."};
inline constexpr TextPair transferUnderWay{L"Attendez la fin du transfert ou annulez-le.",
                                           L"Wait for the transfer to finish or cancel it."};
inline constexpr TextPair controlNotCreated{L"Création d’une commande impossible.",
                                            L"Could not create a window control."};
inline constexpr TextPair qrWindowNotOpened{L"Ouverture du QR code impossible.", L"Could not open the QR code."};
inline constexpr TextPair windowNotRegistered{L"Création de fenêtre impossible.", L"Could not register the window."};
inline constexpr TextPair qrWindowNotRegistered{L"Création de fenêtre QR impossible.",
                                                L"Could not register the QR window."};
inline constexpr TextPair windowNotOpened{L"Ouverture de l’application impossible.",
                                          L"Could not open the application."};
inline constexpr TextPair networkingUnavailable{L"Le réseau Windows est indisponible.",
                                                L"Windows networking is unavailable."};
}  // namespace Refusal

// Texts of the window's other boxes and of the file dialog.
namespace Message {
inline constexpr TextPair helpCaption{L"Aide · Tolvenaire " TOLVENAIRE_VERSION_WIDE,
                                      L"Help · Tolvenaire " TOLVENAIRE_VERSION_WIDE};
inline constexpr TextPair upToDate{L"Votre version " TOLVENAIRE_VERSION_WIDE L" est à jour.",
                                   L"Your version " TOLVENAIRE_VERSION_WIDE L" is up to date."};
inline constexpr TextPair updateCaption{L"Mise à jour", L"Update"};
// The update offer: availableVersion, the published version, then openDownload.
inline constexpr TextPair availableVersion{L"Version disponible : ", L"Available version: "};
inline constexpr TextPair openDownload{L"\nOuvrir son téléchargement sur Varnix ?", L"\nOpen its download on Varnix?"};
// Followed by the address the browser could not open.
inline constexpr TextPair browserUnavailable{L"Impossible d’ouvrir le navigateur. Ouvrez vous-même cette adresse :\n",
                                             L"Could not open the browser. Open this address yourself:\n"};
inline constexpr TextPair chooseFileTitle{L"Choisir un fichier", L"Choose a file"};
inline constexpr TextPair allFiles{L"Tous les fichiers", L"All files"};
}  // namespace Message

}  // namespace Ui
