#include "base/diagnostic.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/language.h"

namespace Ui {

namespace {

// French diagnostics raised by the engine and their English twins. A key that ends
// with a blank or begins with ")" is a piece of a message built around a code or a
// text supplied by Windows. Keys are case- and accent-exact, as the engine spells them.
constexpr std::array<TextPair, dictionarySize> pairs{{
    // Internet services: HTTPS requests, update check, like vote.
    {L"Connexion Internet indisponible.", L"Internet connection unavailable."},
    {L"Configuration de la connexion impossible.", L"Could not configure the connection."},
    {L"Configuration HTTPS impossible.", L"Could not configure the secure website connection."},
    {L"Impossible de joindre varnix. Vérifiez votre connexion Internet puis réessayez.",
     L"Could not reach Varnix. Check your Internet connection and try again."},
    {L"Le service varnix est temporairement indisponible. Réessayez plus tard.",
     L"The Varnix service is temporarily unavailable. Try again later."},
    {L"Réponse Internet interrompue.", L"The Internet response was interrupted."},
    {L"Réponse du site trop volumineuse.", L"The website response is too large."},
    {L"Impossible de préparer le soutien pour ce profil Windows.",
     L"Could not prepare a like for this Windows profile."},
    {L"Une autre fenêtre prépare un soutien. Réessayez.", L"Another window is preparing a like. Try again."},
    {L"Impossible de mémoriser le soutien pour ce profil Windows.",
     L"Could not store the like for this Windows profile."},
    {L"L’identifiant de soutien de ce profil est invalide.", L"The like identifier for this profile is invalid."},
    {L"Génération de l’identifiant impossible.", L"Could not generate an identifier."},
    {L"Impossible de conserver l’identifiant de soutien.", L"Could not save the like identifier."},
    {L"La confirmation du soutien est invalide. Réessayez plus tard.",
     L"The like confirmation is invalid. Try again later."},
    {L"Réponse de mise à jour invalide.", L"Invalid update response."},
    {L"La version publiée sur le site est invalide.", L"The version published on the website is invalid."},
    {L"Opération Internet indisponible. Réessayez.", L"Internet operation unavailable. Try again."},
    {L"Numéro de version invalide.", L"Invalid version number."},
    {L"Merci ! Votre soutien est enregistré pour cette version.",
     L"Thank you! Your like has been recorded for this version."},

    // Bluetooth pairing and the pairing dialog.
    {L"Ce mode d’appairage ne fournit pas de code à comparer. Annulez, puis associez cet appareil dans les paramètres Bluetooth Windows.",
     L"This pairing method has no code to compare. Cancel and pair this device in Windows Bluetooth settings."},
    {L"Vérifiez que ces six chiffres sont identiques sur votre téléphone. Confirmez aussi la demande sur Android.",
     L"Check that these six digits match your phone. Also confirm the request on Android."},
    {L"Saisissez ces six chiffres sur votre téléphone, puis confirmez ici après les avoir saisis.",
     L"Enter these six digits on your phone, then confirm here after entering them."},
    {L"Windows n’a pas confirmé une association authentifiée. Annulez la demande sur Android et recommencez depuis le PC.",
     L"Windows did not confirm an authenticated pairing. Cancel on Android and try again from the PC."},
    {L"). Annulez sur Android, puis relancez Choisir / associer dans Tolvenaire. Si une ancienne association existe, retirez-la des deux appareils avant de recommencer.",
     L"). Cancel on Android, then select Choose / pair in Tolvenaire. If an old pairing exists, remove it from both devices and try again."},
    {L"Confirmation sur le PC et sur Android", L"Confirm on the PC and on Android"},
    {L"Attendez le code transmis par Windows. Gardez votre telephone sur sa demande d'appairage.",
     L"Wait for the code from Windows. Keep your phone on its pairing request."},
    {L"Votre confirmation est nécessaire sur les deux appareils.", L"Your confirmation is required on both devices."},
    {L"Appairage à terminer dans les paramètres Windows.", L"Complete pairing in Windows settings."},
    {L"Refus transmis. Fin de la tentative d’appairage…", L"Refusal sent. Finishing the pairing attempt…"},
    {L"Confirmez aussi sur Android. Appairage en cours…", L"Also confirm on Android. Pairing…"},
    {L"Confirmation non transmise : annulez puis réessayez.", L"Confirmation was not sent: cancel and try again."},
    {L"Windows n’a pas pu transmettre la confirmation Bluetooth (",
     L"Windows could not send the Bluetooth confirmation ("},
    {L"Impossible de démarrer l’appairage.", L"Could not start pairing."},
    {L"Fenetre de confirmation Bluetooth introuvable.", L"Bluetooth confirmation window not found."},
    {L"Appairage non termine (Windows ", L"Pairing did not complete (Windows "},
    {L"Ecoute du code Bluetooth impossible (Windows ", L"Could not listen for the Bluetooth code (Windows "},
    {L"Appairage Bluetooth - Tolvenaire", L"Bluetooth pairing - Tolvenaire"},
    {L"En attente du code...", L"Waiting for the code..."},
    {L"Connexion au telephone...", L"Connecting to your phone..."},
    {L"Les codes correspondent", L"The codes match"},
    {L"Code saisi sur Android", L"Code entered on Android"},
    {L"Telephone Android", L"Android phone"},
    {L"Téléphone Android", L"Android phone"},
    {L"Confirmer", L"Confirm"},
    {L"Refuser", L"Reject"},
    {L"Identifiant interne indisponible.", L"Internal identifier unavailable."},

    // Bluetooth phone selection and sending.
    {L"Aucun adaptateur Bluetooth actif. Activez le Bluetooth du PC dans les parametres Windows.",
     L"No active Bluetooth adapter. Turn on Bluetooth in Windows settings."},
    {L"Selectionnez uniquement votre telephone Android. Gardez ses parametres Bluetooth ouverts pour le rendre detectable.",
     L"Select only your Android phone. Keep its Bluetooth settings open so it can be discovered."},
    {L"Delai Bluetooth depasse. Deverrouillez le telephone et acceptez le transfert.",
     L"Bluetooth timed out. Unlock your phone and accept the transfer."},
    {L"Reception refusee par le telephone. Acceptez la notification sur Android.",
     L"Your phone refused the transfer. Accept the notification on Android."},
    {L"Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez.",
     L"Your phone's Bluetooth receiver is unavailable. Unlock Android and try again."},
    {L"Bluetooth : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.",
     L"Bluetooth: maximum file size is 4 GiB minus 1 byte. Use Wi-Fi for this file."},
    {L"Fichier reçu : le téléphone a confirmé la fin du transfert.",
     L"File received: your phone confirmed the completed transfer."},
    {L"Connexion au téléphone…", L"Connecting to your phone…"},
    {L"Acceptez le fichier sur Android…", L"Accept the file on Android…"},
    {L"Envoi Bluetooth en cours…", L"Sending via Bluetooth…"},
    {L"Transfert Bluetooth annulé.", L"Bluetooth transfer cancelled."},
    {L"Démarrage du transfert impossible.", L"Could not start the transfer."},
    {L"Connexion Bluetooth interrompue : ", L"Bluetooth connection interrupted: "},
    {L"Connexion Bluetooth impossible : ", L"Bluetooth connection failed: "},
    {L"Connexion Bluetooth impossible.", L"Bluetooth connection failed."},
    {L"Connexion TCP impossible : ", L"TCP connection failed: "},
    {L"Bluetooth Windows indisponible : ", L"Windows Bluetooth unavailable: "},
    {L"Configuration Bluetooth impossible.", L"Could not configure Bluetooth."},
    {L"Protection de la connexion Bluetooth impossible : ", L"Could not secure the Bluetooth connection: "},
    {L"Recepteur de fichiers Bluetooth introuvable : ", L"Bluetooth file receiver not found: "},
    {L"Envoi Bluetooth interrompu : ", L"Bluetooth transfer interrupted: "},
    {L"Le telephone a ferme la connexion Bluetooth.", L"Your phone closed the Bluetooth connection."},
    {L"Selection Bluetooth impossible : ", L"Could not select a Bluetooth device: "},
    {L"Selectionnez un seul telephone pour ce transfert.", L"Select one phone for this transfer."},
    {L"Fichier Bluetooth absent.", L"No Bluetooth file was selected."},
    {L"Texte Bluetooth vide ou trop long (4 Mo maximum).", L"Bluetooth text is empty or too long (maximum 4 MiB)."},
    {L"Adresse Bluetooth invalide.", L"Invalid Bluetooth address."},
    {L"Un transfert Bluetooth est deja en cours.", L"A Bluetooth transfer is already in progress."},

    // OBEX Object Push.
    {L"Bluetooth OBEX : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.",
     L"Bluetooth OBEX: maximum file size is 4 GiB minus 1 byte. Use Wi-Fi for this file."},
    {L"Nom de fichier trop long pour ce recepteur Bluetooth. Raccourcissez-le.",
     L"The filename is too long for this Bluetooth receiver. Shorten it."},
    {L"En-tete Bluetooth trop long.", L"Bluetooth header is too long."},
    {L"Paquet Bluetooth trop long.", L"Bluetooth packet is too long."},
    {L"Reponse Bluetooth OBEX invalide.", L"Invalid Bluetooth OBEX response."},
    {L"Ce type de fichier est refuse par le recepteur Bluetooth Android.",
     L"Android's Bluetooth receiver refused this file type."},
    {L"Fichier trop volumineux pour le recepteur Bluetooth Android.",
     L"The file is too large for Android's Bluetooth receiver."},
    {L"Le telephone a refuse le transfert OBEX (code ", L"Your phone refused the OBEX transfer (code "},
    {L"Lecteur ou suivi OBEX absent.", L"OBEX reader or progress callback is missing."},
    {L"Nom de fichier Bluetooth invalide.", L"Invalid Bluetooth filename."},
    {L"Type de fichier Bluetooth invalide.", L"Invalid Bluetooth file type."},
    {L"Reponse de connexion OBEX incomplete.", L"Incomplete OBEX connection response."},
    {L"Version ou options OBEX non prises en charge.", L"Unsupported OBEX version or options."},
    {L"Taille de paquet OBEX invalide.", L"Invalid OBEX packet size."},
    {L"En-tete OBEX incomplet.", L"Incomplete OBEX header."},
    {L"En-tete OBEX invalide.", L"Invalid OBEX header."},
    {L"Identifiant de session OBEX duplique.", L"Duplicate OBEX session identifier."},
    {L"Lecture du fichier interrompue avant la fin.", L"File reading stopped before the end."},

    // Text, files and the link server.
    {L"Texte limite a 4 Mo en UTF-8.", L"Text is limited to 4 MiB of UTF-8."},
    {L"Texte trop long.", L"Text is too long."},
    {L"Texte Unicode invalide.", L"Invalid Unicode text."},
    {L"Conversion Unicode impossible.", L"Could not convert Unicode text."},
    {L"Texte UTF-8 invalide.", L"Invalid UTF-8 text."},
    {L"Conversion UTF-8 impossible.", L"Could not convert UTF-8 text."},
    {L"Impossible de generer le lien prive.", L"Could not generate the private link."},
    {L"Chemin de fichier invalide.", L"Invalid file path."},
    {L"Fichier inaccessible ou ouvert en modification.", L"The file is inaccessible or open for writing."},
    {L"Selectionnez un fichier local lisible.", L"Select a readable local file."},
    {L"Lecture du fichier selectionne impossible.", L"Could not read the selected file."},
    {L"Lecture du fichier interrompue.", L"File reading was interrupted."},
    {L"Adresse IPv4 locale invalide. Selectionnez une interface du PC.",
     L"Invalid local IPv4 address. Select a PC network interface."},
    {L"Creation du serveur impossible.", L"Could not create the server."},
    {L"Configuration du serveur impossible.", L"Could not configure the server."},
    {L"Adresse ou ports 8765 a 8785 indisponibles. Verifiez la connexion reseau.",
     L"The address or ports 8765 to 8785 are unavailable. Check your network connection."},

    // Windows errors and the library's own failures, as the window words them.
    {L"Erreur Windows", L"Windows error"},
    {L"Mémoire insuffisante. Fermez des programmes puis réessayez.",
     L"Not enough memory. Close some programs and try again."},
    {L"Ressources système insuffisantes. Réessayez.", L"Not enough system resources. Try again."},
}};

}  // namespace

const std::array<TextPair, dictionarySize>& dictionaryPairs() { return pairs; }

std::wstring diagnostic(const std::wstring& text, bool forceEnglish) {
    if (!forceEnglish && !english.load()) return text;

    // Longest French first, so that a whole phrase wins over any shorter key inside it.
    static const std::vector<std::pair<std::wstring, std::wstring>> dictionary = [] {
        std::vector<std::pair<std::wstring, std::wstring>> sorted;
        sorted.reserve(pairs.size());
        for (const TextPair& pair : pairs) sorted.emplace_back(pair.french, pair.english);
        std::sort(sorted.begin(), sorted.end(),
                  [](const auto& a, const auto& b) { return a.first.size() > b.first.size(); });
        return sorted;
    }();

    std::wstring result = text;
    for (const auto& [french, englishText] : dictionary) {
        std::size_t position = 0;
        while (position <= result.size()) {
            position = result.find(french, position);
            if (position == std::wstring::npos) break;
            result.replace(position, french.size(), englishText);
            position += englishText.size();
        }
    }
    return result;
}

}  // namespace Ui
