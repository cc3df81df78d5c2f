#include "app/ui/labels.h"

#include <gtest/gtest.h>

#include "app/ui/notices.h"

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/support/language_guard.h"

namespace {

TEST(FileLabel, ShowsTheNameAfterTheLastSeparator) {
    EXPECT_EQ(Ui::fileLabelText(L"C:\\Users\\Léa\\Documents\\rapport final.pdf", false), L"rapport final.pdf");
    EXPECT_EQ(Ui::fileLabelText(L"\\\\serveur\\partage/dossier/photo.jpg", true), L"photo.jpg");
    EXPECT_EQ(Ui::fileLabelText(L"D:/a\\b/c\\notes.txt", true), L"notes.txt");
}

TEST(FileLabel, PathWithoutSeparatorIsShownWhole) {
    EXPECT_EQ(Ui::fileLabelText(L"C:notes.txt", false), L"C:notes.txt");
    EXPECT_EQ(Ui::fileLabelText(L"notes", true), L"notes");
}

TEST(FileLabel, NoFileInBothLanguages) {
    EXPECT_EQ(Ui::fileLabelText(L"", false), L"Aucun fichier sélectionné");
    EXPECT_EQ(Ui::fileLabelText(L"", true), L"No file selected");
}

TEST(DeviceLabel, NamesTheChosenPhone) {
    EXPECT_EQ(Ui::deviceLabelText(true, L"Pixel 7", false), L"Téléphone : Pixel 7");
    EXPECT_EQ(Ui::deviceLabelText(true, L"Pixel 7", true), L"Phone: Pixel 7");
    // A chosen phone with an empty name is still a chosen phone.
    EXPECT_EQ(Ui::deviceLabelText(true, L"", true), L"Phone: ");
    EXPECT_EQ(Ui::deviceLabelText(false, L"Pixel 7", false), L"Aucun téléphone sélectionné");
    EXPECT_EQ(Ui::deviceLabelText(false, L"", true), L"No phone selected");
}

TEST(BluetoothPath, TextInMemoryOrTheFullPath) {
    EXPECT_EQ(Ui::bluetoothPathText(true, L"C:\\x\\a.bin", false), L"Texte.txt · en mémoire");
    EXPECT_EQ(Ui::bluetoothPathText(true, L"", true), L"Text.txt · in memory");
    EXPECT_EQ(Ui::bluetoothPathText(false, L"C:\\x\\a.bin", false), L"C:\\x\\a.bin");
    EXPECT_EQ(Ui::bluetoothPathText(false, L"C:\\x\\a.bin", true), L"C:\\x\\a.bin");
}

const Ui::ControlText& captionOf(const std::array<Ui::ControlText, 3>& captions, int id) {
    for (const auto& caption : captions)
        if (caption.id == id) return caption;
    ADD_FAILURE() << "no caption for " << id;
    return captions.front();
}

TEST(StateCaptions, FollowModeAndSharing) {
    // The send button follows the mode alone, the start button the sharing alone.
    for (const bool bluetooth : {false, true}) {
        for (const bool sharing : {false, true}) {
            const auto captions = Ui::stateCaptions(bluetooth, sharing);
            const auto& send = captionOf(captions, 104).text;
            const auto& file = captionOf(captions, 106).text;
            const auto& start = captionOf(captions, 108).text;
            EXPECT_STREQ(send.french, bluetooth ? L"Envoyer en .txt" : L"Envoyer le texte") << bluetooth << sharing;
            EXPECT_STREQ(send.english, bluetooth ? L"Send as .txt" : L"Send text") << bluetooth << sharing;
            EXPECT_STREQ(file.french, L"Envoyer");
            EXPECT_STREQ(file.english, L"Send file");
            EXPECT_STREQ(start.french, sharing ? L"Arr\u00eater" : L"D\u00e9marrer") << bluetooth << sharing;
            EXPECT_STREQ(start.english, sharing ? L"Stop sharing" : L"Start sharing") << bluetooth << sharing;
        }
    }
}

TEST(ModeSummary, TwoLinesPerMode) {
    EXPECT_STREQ(Ui::modeSummary(false).french,
                 L"Texte et fichiers \u00b7 HTTP non chiffr\u00e9.\nR\u00e9seau de confiance uniquement.");
    EXPECT_STREQ(Ui::modeSummary(false).english, L"Text + files \u00b7 Unencrypted HTTP.\nTrusted networks only.");
    EXPECT_STREQ(Ui::modeSummary(true).french,
                 L"Fichiers \u00e0 accepter sur Android.\nTexte envoy\u00e9 en pi\u00e8ce jointe .txt.");
    EXPECT_STREQ(Ui::modeSummary(true).english, L"Accept files on Android.\nText is sent as a .txt attachment.");
}

TEST(LikeButton, DoneStateIsDisabledInBothLanguages) {
    constexpr auto open = Ui::likeButton(false);
    constexpr auto done = Ui::likeButton(true);
    EXPECT_STREQ(open.caption, L"\u2665");
    EXPECT_TRUE(open.enabled);
    EXPECT_STREQ(done.caption, L"\u2665\u2713");
    EXPECT_FALSE(done.enabled);
}

// The connection line in one language.
std::wstring line(bool english, bool bluetoothMode, bool serverRunning, std::uint64_t lastStatePoll,
                  std::uint64_t now) {
    return Ui::connectionLine(bluetoothMode, serverRunning, lastStatePoll, now).in(english);
}

TEST(ConnectionLine, FollowsModeServerAndLastPoll) {
    const std::uint64_t now = 1000000;
    EXPECT_EQ(line(false, true, true, now, now), L"PC \u2192 Android \u00b7 Bluetooth");
    EXPECT_EQ(line(true, false, false, now, now), L"PC \u2192 Android \u00b7 ready");
    EXPECT_EQ(line(false, false, false, now, now), L"PC \u2192 Android \u00b7 pr\u00eat");
    EXPECT_EQ(line(true, false, true, 0, now), L"Wi-Fi \u00b7 waiting");
    EXPECT_EQ(line(true, false, true, now - 9999, now), L"Wi-Fi \u00b7 connected");
    EXPECT_EQ(line(false, false, true, now - 9999, now), L"Wi-Fi \u00b7 connect\u00e9");
    EXPECT_EQ(line(true, false, true, now - 10000, now), L"Wi-Fi \u00b7 waiting");
    EXPECT_EQ(line(false, false, true, now - 10000, now), L"Wi-Fi \u00b7 en attente");
    // A poll stamped just after the clock was read is recent, not ancient.
    EXPECT_EQ(line(true, false, true, now + 5, now), L"Wi-Fi \u00b7 connected");
}

struct ExpectedPair {
    const Ui::TextPair& pair;
    const wchar_t* french;
    const wchar_t* english;
};

void expectPairs(const std::vector<ExpectedPair>& expected) {
    for (const ExpectedPair& row : expected) {
        EXPECT_STREQ(row.pair.french, row.french);
        EXPECT_STREQ(row.pair.english, row.english);
    }
}

TEST(NoticeTable, StatusLineTextsInBothLanguages) {
    using namespace Ui::Notice;
    expectPairs({
        {readyWifi, L"Cliquez sur Envoyer, puis scannez le QR code sur Android.",
         L"Click Send, then scan the QR code on Android."},
        {readyBluetooth, L"Associez le t\u00e9l\u00e9phone, puis acceptez le fichier sur Android.",
         L"Pair your phone, then accept the file on Android."},
        {textReady, L"Texte pr\u00eat. Scannez le QR code sur Android.", L"Text ready. Scan the QR code on Android."},
        {textCleared, L"Texte effac\u00e9 et retir\u00e9 du partage.", L"Text cleared and removed from sharing."},
        {fileSelected, L"Fichier choisi. Cliquez sur Envoyer.", L"File selected. Click Send file."},
        {fileReady, L"Fichier pr\u00eat. T\u00e9l\u00e9chargez-le sur Android.",
         L"File ready. Download it on Android."},
        {fileRemoved, L"Fichier retir\u00e9 des prochains t\u00e9l\u00e9chargements.",
         L"File removed from future downloads."},
        {sharingActive, L"Partage actif. Scannez le QR code.", L"Sharing is active. Scan the QR code."},
        {sharingStopped, L"Partage arr\u00eat\u00e9. Le lien est d\u00e9sactiv\u00e9.",
         L"Sharing stopped. The link is disabled."},
        {networkChanged, L"Nouveau r\u00e9seau : ouvrez le nouveau QR code.",
         L"Network changed: open the new QR code."},
        {networkError, L"Erreur r\u00e9seau. V\u00e9rifiez la connexion puis red\u00e9marrez.",
         L"Network error. Check your connection and restart sharing."},
        {linkCopied, L"Lien copi\u00e9 dans le presse-papiers.", L"Link copied to the clipboard."},
        {choosePhone, L"Choisissez le t\u00e9l\u00e9phone. Comparez le code sur les deux appareils.",
         L"Choose your phone. Compare the code on both devices."},
        {phonePaired, L"T\u00e9l\u00e9phone associ\u00e9. Vous pouvez envoyer le fichier.",
         L"Phone paired. You can send the file."},
        {selectionCancelled, L"S\u00e9lection ou appairage annul\u00e9.", L"Selection or pairing cancelled."},
        {confirmationSent, L"Confirmation transmise. Confirmez aussi sur Android.",
         L"Confirmation sent. Also confirm on Android."},
        {pairingRejected, L"Appairage refus\u00e9 ou annul\u00e9.", L"Pairing rejected or cancelled."},
        {cancellingTransfer, L"Annulation du transfert\u2026", L"Cancelling the transfer\u2026"},
        {recordingLike, L"Enregistrement du soutien\u2026", L"Recording your like\u2026"},
        {likeRecorded, L"Merci ! Votre soutien est enregistr\u00e9.", L"Thank you! Your like has been recorded."},
        {checkingUpdates, L"Recherche de mise \u00e0 jour\u2026", L"Checking for updates\u2026"},
        {noPhoneYet,
         L"Aucun t\u00e9l\u00e9phone n\u2019a encore joint ce PC. M\u00eame Wi-Fi ? Pare-feu autorisant le programme "
         L"ici ? Voir i.",
         L"No phone has reached this PC yet. Same Wi-Fi? Firewall allows the program on this network? See i."},
        {languageNotSaved, L"Langue chang\u00e9e pour cette session ; pr\u00e9f\u00e9rence non enregistr\u00e9e.",
         L"Language changed for this session; preference could not be saved."},
    });
}

TEST(NoticeTable, RefusalsAndBoxTexts) {
    expectPairs({
        {Ui::Refusal::emptyText, L"Saisissez un texte \u00e0 envoyer.", L"Enter some text to send."},
        {Ui::Refusal::noNetwork,
         L"Connectez le PC au m\u00eame r\u00e9seau que le t\u00e9l\u00e9phone, puis choisissez une interface.",
         L"Connect your PC and phone to the same network, then select an interface."},
        {Ui::Refusal::notAFile, L"Choisissez un fichier lisible, pas un dossier.",
         L"Choose a readable file, not a folder."},
        {Ui::Refusal::clipboardUnavailable, L"Presse-papiers indisponible. R\u00e9essayez.",
         L"Clipboard unavailable. Try again."},
        {Ui::Refusal::copyFailed, L"Copie impossible.", L"Could not copy."},
        {Ui::Refusal::transferUnderWay, L"Attendez la fin du transfert ou annulez-le.",
         L"Wait for the transfer to finish or cancel it."},
        {Ui::Refusal::controlNotCreated, L"Cr\u00e9ation d\u2019une commande impossible.",
         L"Could not create a window control."},
        {Ui::Refusal::qrWindowNotOpened, L"Ouverture du QR code impossible.", L"Could not open the QR code."},
        {Ui::Refusal::windowNotRegistered, L"Cr\u00e9ation de fen\u00eatre impossible.",
         L"Could not register the window."},
        {Ui::Refusal::qrWindowNotRegistered, L"Cr\u00e9ation de fen\u00eatre QR impossible.",
         L"Could not register the QR window."},
        {Ui::Refusal::windowNotOpened, L"Ouverture de l\u2019application impossible.",
         L"Could not open the application."},
        {Ui::Refusal::networkingUnavailable, L"Le r\u00e9seau Windows est indisponible.",
         L"Windows networking is unavailable."},
        {Ui::Message::helpCaption, L"Aide \u00b7 Tolvenaire " TOLVENAIRE_VERSION_WIDE,
         L"Help \u00b7 Tolvenaire " TOLVENAIRE_VERSION_WIDE},
        {Ui::Message::upToDate, L"Votre version " TOLVENAIRE_VERSION_WIDE L" est \u00e0 jour.",
         L"Your version " TOLVENAIRE_VERSION_WIDE L" is up to date."},
        {Ui::Message::updateCaption, L"Mise \u00e0 jour", L"Update"},
        {Ui::Message::availableVersion, L"Version disponible : ", L"Available version: "},
        {Ui::Message::openDownload, L"\nOuvrir son t\u00e9l\u00e9chargement sur Varnix ?",
         L"\nOpen its download on Varnix?"},
        {Ui::Message::chooseFileTitle, L"Choisir un fichier", L"Choose a file"},
        {Ui::Message::allFiles, L"Tous les fichiers", L"All files"},
    });
}

// Texts of the window's own, which the checks above do not pin down: an English text
// with a French letter or word in it was left untranslated.
TEST(NoticeTable, TheWindowsOwnTextsAreTranslated) {
    for (const Ui::TextPair& pair :
         {Ui::Refusal::fileNameNotUnicode, Ui::Message::browserUnavailable, Ui::qrWindowHint, Ui::noLocalNetwork}) {
        const std::wstring english = L" " + std::wstring(pair.english) + L" ";
        EXPECT_EQ(english.find_first_of(L"\u00e0\u00e2\u00e7\u00e8\u00e9\u00ea\u00ee\u00f4\u00f9\u00fb"),
                  std::wstring::npos)
            << english;
        for (const wchar_t* word : {L" le ", L" la ", L" les ", L" des ", L" du ", L" et ", L" sur ", L" puis "})
            EXPECT_EQ(english.find(word), std::wstring::npos) << english;
        EXPECT_STRNE(pair.french, pair.english);
    }
}

TEST(PaintedTexts, HeadingsAndHintsFollowTheMode) {
    expectPairs({
        {Ui::Painted::textHeading, L"01  TEXTE", L"01  TEXT"},
        {Ui::Painted::fileHeading, L"02  FICHIER", L"02  FILE"},
    });
    const Ui::TextPair phone = Ui::thirdHeading(true);
    const Ui::TextPair network = Ui::thirdHeading(false);
    const Ui::TextPair bluetoothHint = Ui::thirdPanelHint(true, true);
    const Ui::TextPair sharingHint = Ui::thirdPanelHint(false, true);
    const Ui::TextPair idleHint = Ui::thirdPanelHint(false, false);
    expectPairs({
        {phone, L"03  T\u00c9L\u00c9PHONE", L"03  PHONE"},
        {network, L"03  R\u00c9SEAU LOCAL", L"03  LOCAL NETWORK"},
        {bluetoothHint, L"Comparez le code des deux c\u00f4t\u00e9s.\nAcceptez ensuite le fichier sur Android.",
         L"Compare the code on both devices.\nThen accept the file on Android."},
        {sharingHint, L"Scannez sur Android.\nCliquez sur le QR pour l\u2019agrandir.",
         L"Scan on Android.\nClick the QR to enlarge it."},
        {idleHint, L"M\u00eame r\u00e9seau local.\nEnvoyez pour cr\u00e9er le lien.",
         L"Same local network.\nSend to create a link."},
    });
    EXPECT_STREQ(Ui::thirdPanelHint(true, false).english, bluetoothHint.english) << "Bluetooth mode ignores sharing";
}

struct Expected {
    int id;
    const wchar_t* french;
    const wchar_t* english;
};

// Each table must hold exactly the expected rows, one per control, texts exact.
template <std::size_t N>
void expectTable(const std::array<Ui::ControlText, N>& table, const std::vector<Expected>& expected) {
    EXPECT_EQ(table.size(), expected.size());
    std::set<int> ids;
    for (const auto& entry : table) EXPECT_TRUE(ids.insert(entry.id).second) << "id twice: " << entry.id;
    for (const Expected& row : expected) {
        const auto found = std::find_if(table.begin(), table.end(), [&](const auto& e) { return e.id == row.id; });
        if (found == table.end()) {
            ADD_FAILURE() << "no text for control " << row.id;
            continue;
        }
        EXPECT_STREQ(found->text.french, row.french) << row.id;
        EXPECT_STREQ(found->text.english, row.english) << row.id;
    }
}

TEST(LabelTables, CaptionsAndTooltipsAreTheInterfaceTexts) {
    expectTable(Ui::fixedCaptions, {
                                       {101, L"Wi-Fi local", L"Local Wi-Fi"},
                                       {102, L"Bluetooth", L"Bluetooth"},
                                       {117, L"Effacer", L"Clear"},
                                       {105, L"Choisir\u2026", L"Choose\u2026"},
                                       {107, L"Retirer", L"Remove"},
                                       {110, L"Copier lien", L"Copy link"},
                                       {111, L"Aper\u00e7u", L"Preview"},
                                       {113, L"Annuler", L"Cancel"},
                                       {114, L"Choisir / associer", L"Choose / pair"},
                                       {121, L"Agrandir le QR code", L"Enlarge QR code"},
                                   });
    expectTable(Ui::tooltips,
                {
                    {118, L"R\u00e9duire", L"Minimize"},
                    {119, L"Fermer", L"Close"},
                    {116, L"Aide", L"Help"},
                    {103, L"Texte \u00e0 partager", L"Text to share"},
                    {121, L"Cliquez pour agrandir le QR code", L"Click to enlarge the QR code"},
                    {120, L"Langue / Language", L"Langue / Language"},
                    {122, L"J\u2019aime cette version \u00b7 Internet", L"Like this version \u00b7 Internet"},
                    {123, L"Rechercher une mise \u00e0 jour \u00b7 Internet", L"Check for updates \u00b7 Internet"},
                });
}

TEST(LabelTables, CurrentPicksTheInterfaceLanguage) {
    {
        LanguageGuard english(true);
        EXPECT_STREQ(Ui::current(Ui::qrWindowTitle), L"Scan with Android");
    }
    LanguageGuard french(false);
    EXPECT_STREQ(Ui::current(Ui::qrWindowTitle), L"Scanner avec Android");
    EXPECT_EQ(Ui::languageIndex(true), 1);
    EXPECT_STREQ(Ui::languageItems[Ui::languageIndex(false)], L"Français");
}

}  // namespace
