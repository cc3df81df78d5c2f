#pragma once

// The help box: its text in each interface language.

#include "base/text_pair.h"

namespace Ui {

inline constexpr const wchar_t* helpEnglish =
    L"LOCAL WI-FI\n"
    L"Connect your PC and Android phone to the same network. Send text or a file, then scan the QR code on Android. Click the small QR code to enlarge it. The browser lets you copy text, save it as .txt and download the file. No Android app is needed.\n"
    L"\n"
    L"HTTP is not encrypted: use a trusted network. Anyone with the link who can reach the PC can read the content. Stop sharing revokes the link. If prompted by the firewall, allow private network access without disabling its protection.\n"
    L"\n"
    L"BLUETOOTH\n"
    L"Turn on Bluetooth and open its settings on Android. Choose / pair your phone. Compare the actual code on both devices and confirm on both. Rejection is the default; no code is invented. If Windows sends no code, cancel and try again from the PC.\n"
    L"\n"
    L"Choose the file only once. Accept its receipt on Android. Text becomes a .txt attachment to open; it is not a message and does not automatically fill the clipboard. The .txt text is prepared in memory.\n"
    L"\n"
    L"Choose the language at the very top. It is remembered for next time, without changing your content. Windows-owned dialogs and system messages follow the system language.\n"
    L"\n"
    L"\u2665 records a like for this version. ? checks for updates. These buttons contact Varnix over the Internet only on request. Likes use a random identifier stored in your Windows profile; no shared text or file is sent to the website.";

inline constexpr const wchar_t* helpFrench =
    L"WI-FI LOCAL\n"
    L"Connectez le PC et Android au m\u00eame r\u00e9seau. Envoyez un texte ou un fichier, puis scannez le QR code sur Android. Cliquez sur le petit QR pour l\u2019agrandir. Le navigateur permet de copier le texte, l\u2019enregistrer en .txt et t\u00e9l\u00e9charger le fichier. Aucune application Android n\u00e9cessaire.\n"
    L"\n"
    L"HTTP n\u2019est pas chiffr\u00e9 : utilisez un r\u00e9seau de confiance. Toute personne ayant le lien et pouvant joindre le PC peut lire le contenu. Arr\u00eater r\u00e9voque le lien. Si le pare-feu le demande, autorisez le r\u00e9seau priv\u00e9 sans d\u00e9sactiver sa protection.\n"
    L"\n"
    L"BLUETOOTH\n"
    L"Activez le Bluetooth et ouvrez ses param\u00e8tres sur Android. Choisissez / associez votre t\u00e9l\u00e9phone. Comparez le vrai code sur les deux appareils et confirmez des deux c\u00f4t\u00e9s. Refus par d\u00e9faut ; aucun code invent\u00e9. Si Windows ne transmet aucun code, annulez puis recommencez depuis le PC.\n"
    L"\n"
    L"Le fichier est choisi une seule fois. Acceptez sa r\u00e9ception sur Android. Le texte devient une pi\u00e8ce jointe .txt \u00e0 ouvrir ; il ne devient pas un message et ne remplit pas automatiquement le presse-papiers. Le texte .txt est pr\u00e9par\u00e9 en m\u00e9moire.\n"
    L"\n"
    L"La langue se choisit tout en haut et se conserve au prochain lancement. Le contenu saisi reste intact. Les fen\u00eatres et messages propres \u00e0 Windows suivent la langue du syst\u00e8me.\n"
    L"\n"
    L"\u2665 enregistre un soutien pour cette version. ? recherche une mise \u00e0 jour. Ces deux boutons contactent Varnix par Internet uniquement \u00e0 votre demande. Le soutien utilise un identifiant al\u00e9atoire conserv\u00e9 dans votre profil Windows ; aucun texte ni fichier partag\u00e9 n\u2019est envoy\u00e9 au site.";

inline constexpr TextPair helpText{helpFrench, helpEnglish};

}  // namespace Ui
