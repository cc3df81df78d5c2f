#include "base/diagnostic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "base/text.h"

#include "tests/support/language_guard.h"
#include "tests/support/source_tree.h"

namespace {

using Ui::diagnostic;

const std::wstring pairingFailedFr =
    L"Appairage non termine (Windows 1223). Annulez sur Android, puis relancez Choisir / associer "
    L"dans Tolvenaire. Si une ancienne association existe, retirez-la des deux appareils avant de "
    L"recommencer.";
const std::wstring pairingFailedEn =
    L"Pairing did not complete (Windows 1223). Cancel on Android, then select Choose / pair in "
    L"Tolvenaire. If an old pairing exists, remove it from both devices and try again.";

TEST(Diagnostic, FollowsTheInterfaceLanguageUnlessForced) {
    {
        LanguageGuard french(false);
        EXPECT_EQ(diagnostic(L"Texte trop long."), L"Texte trop long.");
        EXPECT_EQ(diagnostic(L"Texte trop long.", true), L"Text is too long.");
    }
    {
        LanguageGuard english(true);
        EXPECT_EQ(diagnostic(L"Texte trop long."), L"Text is too long.");
        EXPECT_EQ(diagnostic(L"Texte trop long.", true), L"Text is too long.");
    }
}

TEST(Diagnostic, LeavesUncoveredTextAlone) {
    LanguageGuard english(true);
    EXPECT_EQ(diagnostic(L"Le disque est plein."), L"Le disque est plein.");
    EXPECT_EQ(diagnostic(L""), L"");
    // Matching is exact: case, accents and the typographic apostrophe all count.
    EXPECT_EQ(diagnostic(L"texte trop long."), L"texte trop long.");
    EXPECT_EQ(diagnostic(L"Impossible de démarrer l'appairage."), L"Impossible de démarrer l'appairage.");
    EXPECT_EQ(diagnostic(L"Impossible de démarrer l’appairage."), L"Could not start pairing.");
}

TEST(Diagnostic, ReplacesEveryOccurrence) {
    LanguageGuard english(true);
    EXPECT_EQ(diagnostic(L"Texte trop long. Texte trop long."), L"Text is too long. Text is too long.");
    EXPECT_EQ(diagnostic(L"Erreur Windows / Erreur Windows / Erreur Windows"),
              L"Windows error / Windows error / Windows error");
    // Back to back, with nothing between the two occurrences.
    EXPECT_EQ(diagnostic(L"ConfirmerConfirmer"), L"ConfirmConfirm");
}

TEST(Diagnostic, TranslatesBothPiecesAroundAWindowsCode) {
    {
        LanguageGuard english(true);
        EXPECT_EQ(diagnostic(pairingFailedFr), pairingFailedEn);
        EXPECT_EQ(diagnostic(pairingFailedFr, true), pairingFailedEn);
    }
    {
        LanguageGuard french(false);
        EXPECT_EQ(diagnostic(pairingFailedFr), pairingFailedFr);
        EXPECT_EQ(diagnostic(pairingFailedFr, true), pairingFailedEn);
    }
}

TEST(Diagnostic, LongerKeyGoesFirstWhereTwoKeysOverlap) {
    // Each message holds two keys sharing characters. Taking the shorter key first
    // would break the longer one and leave half of the message in French.
    LanguageGuard english(true);
    EXPECT_EQ(diagnostic(L"Texte Bluetooth vide ou trop long (4 Mo maximum). Annulez sur Android, "
                         L"puis relancez Choisir / associer dans Tolvenaire. Si une ancienne "
                         L"association existe, retirez-la des deux appareils avant de recommencer."),
              L"Bluetooth text is empty or too long (maximum 4 MiB). Cancel on Android, then select "
              L"Choose / pair in Tolvenaire. If an old pairing exists, remove it from both devices "
              L"and try again.");
    EXPECT_EQ(diagnostic(L"Erreur Windows n’a pas pu transmettre la confirmation Bluetooth (87)"),
              L"Windows error could not send the Bluetooth confirmation (87)");
}

// Every message the interface translates, with its English.
const std::pair<const wchar_t*, const wchar_t*> interfacePairs[] = {
    // Internet services
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
    // Bluetooth pairing and the pairing dialog
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
    // Bluetooth phone selection and sending
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
    // OBEX Object Push
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
    // Text, files and the link server
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
    // Windows errors
    {L"Erreur Windows", L"Windows error"},
    // Raised too: a version the update check cannot compare, the vote's thanks, the
    // transfer's own failures and the system's shortages.
    {L"Numéro de version invalide.", L"Invalid version number."},
    {L"Merci ! Votre soutien est enregistré pour cette version.",
     L"Thank you! Your like has been recorded for this version."},
    {L"Connexion Bluetooth impossible.", L"Bluetooth connection failed."},
    {L"Connexion TCP impossible : ", L"TCP connection failed: "},
    {L"Mémoire insuffisante. Fermez des programmes puis réessayez.",
     L"Not enough memory. Close some programs and try again."},
    {L"Ressources système insuffisantes. Réessayez.", L"Not enough system resources. Try again."},
};

TEST(Diagnostic, EveryMessageTranslatesAloneAndInASentence) {
    LanguageGuard french(false);
    for (const auto& [fr, en] : interfacePairs) {
        const std::wstring before = L"[12] ";
        const std::wstring after = L" [34]";
        EXPECT_EQ(diagnostic(before + fr + after, true), before + en + after) << "key: " << fr;
        EXPECT_EQ(diagnostic(fr, true), en) << "key: " << fr;
    }
    // And no other pair.
    EXPECT_EQ(Ui::dictionarySize, std::size(interfacePairs));
}

TEST(Diagnostic, DictionaryKeysNeverMeetEachOther) {
    // What makes the result independent of the order among keys of equal length and
    // keeps translated text from being translated again.
    const auto& pairs = Ui::dictionaryPairs();
    std::set<std::wstring> keys;
    for (const Ui::TextPair& pair : pairs) {
        const std::wstring french = pair.french;
        EXPECT_FALSE(french.empty());
        EXPECT_FALSE(std::wstring(pair.english).empty()) << french;
        EXPECT_TRUE(keys.insert(french).second) << "twice: " << french;
        for (const Ui::TextPair& other : pairs) {
            if (&other != &pair) {
                EXPECT_EQ(std::wstring(other.french).find(french), std::wstring::npos)
                    << french << " inside " << other.french;
            }
            EXPECT_EQ(std::wstring(other.english).find(french), std::wstring::npos)
                << french << " inside " << other.english;
        }
        // Lengths are compared in UTF-16 units on Windows and in code points natively.
        for (const wchar_t* text : {pair.french, pair.english})
            for (const wchar_t* c = text; *c; ++c)
                EXPECT_TRUE(static_cast<unsigned long>(*c) < 0xD800 ||
                            (static_cast<unsigned long>(*c) > 0xDFFF && static_cast<unsigned long>(*c) < 0x10000))
                    << text;
    }
    EXPECT_EQ(keys.size(), Ui::dictionarySize);
}

TEST(Diagnostic, FirstUseFromSeveralThreadsAgrees) {
    // Natively each case runs in a process of its own, so this is the first call and
    // the TSan build sees a race in building the dictionary. Under Wine the whole
    // program is one process and the dictionary exists already: the check is native.
    std::vector<std::wstring> results(4);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < results.size(); ++i)  // NOLINT(modernize-loop-convert): each thread takes its index
        threads.emplace_back([&results, i] { results[i] = diagnostic(pairingFailedFr, true); });
    for (auto& thread : threads) thread.join();
    for (const auto& result : results) EXPECT_EQ(result, pairingFailedEn);
}

// The literals of one source file that become messages shown to the user: those in
// a statement that raises or reports, and the named sentence constants. A statement
// that picks its text by Ui::english is bilingual already.
std::vector<std::wstring> raisedLiterals(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string source = buffer.str();
    static const std::regex literal(R"re((L?)"((?:[^"\\\n]|\\.)*)")re");
    static const std::regex raising(R"(throw |fail\(|_error\(|invalid_argument\(|outcome\.error|message = )");
    static const std::regex constant(R"((^|\s)(const wchar_t\* const|constexpr (w?char_t|char)) \w+(\[\])? = $)");
    std::vector<std::wstring> found;
    std::size_t previousEnd = std::string::npos;  // end of the last literal kept
    for (auto it = std::sregex_iterator(source.begin(), source.end(), literal); it != std::sregex_iterator(); ++it) {
        const std::size_t at = static_cast<std::size_t>(it->position());
        const std::size_t lineStart = source.find_last_of('\n', at) + 1;
        if (source.compare(lineStart, 1, "#") == 0) continue;  // include lines and the like
        const bool continued = previousEnd != std::string::npos &&
                               source.find_first_not_of(" \n", previousEnd) == at;  // "a" "b" is one literal
        const std::size_t start = source.find_last_of(";{}", at) + 1;
        const std::size_t end = source.find_first_of(";{}", at);
        const std::string statement = source.substr(start, end - start);
        const std::string before = source.substr(start, at - start);
        const bool named = std::regex_search(before, constant) && (*it)[2].str().find(' ') != std::string::npos;
        if (!continued && (statement.find("Ui::english ?") != std::string::npos ||
                           (!named && !std::regex_search(statement, raising)))) {
            previousEnd = std::string::npos;
            continue;
        }
        const std::wstring text = wide((*it)[2].str());
        std::wstring decoded;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != L'\\' || i + 1 == text.size()) {
                decoded += text[i];
            } else if (text[i + 1] == L'u' && i + 5 < text.size()) {
                decoded += static_cast<wchar_t>(
                    std::stoul(std::string(text.begin() + i + 2, text.begin() + i + 6), nullptr, 16));
                i += 5;
            } else {
                decoded += text[i + 1] == L'n' ? L'\n' : text[i + 1];
                ++i;
            }
        }
        if (continued)
            found.back() += decoded;
        else
            found.push_back(decoded);
        previousEnd = at + static_cast<std::size_t>(it->length());
    }
    return found;
}

// Letters of `text` that no dictionary key covers.
std::wstring uncoveredLetters(const std::wstring& text) {
    std::vector<bool> covered(text.size(), false);
    for (const Ui::TextPair& pair : Ui::dictionaryPairs()) {
        const std::wstring key = pair.french;
        for (std::size_t at = text.find(key); at != std::wstring::npos; at = text.find(key, at + 1))
            std::fill(covered.begin() + static_cast<long>(at), covered.begin() + static_cast<long>(at + key.size()),
                      true);
    }
    std::wstring letters;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        const bool letter = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c >= 0xC0;
        if (letter && !covered[i]) letters += c;
    }
    return letters;
}

TEST(Diagnostic, EveryMessageTheEngineRaisesHasAnEnglishTwin) {
    std::size_t messages = 0;
    for (const char* folder : {"link", "bluetooth", "remote", "platform"}) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(sourceTree() / folder)) {
            const std::string extension = entry.path().extension().string();
            if (extension != ".cpp" && extension != ".h") continue;
            for (const std::wstring& message : raisedLiterals(entry.path())) {
                ++messages;
                EXPECT_EQ(uncoveredLetters(message), L"")
                    << entry.path().string() << ": \"" << utf8(message) << "\" has no English twin";
            }
        }
    }
    EXPECT_GT(messages, 80u) << "the sources were not found or not read";
}

}  // namespace
