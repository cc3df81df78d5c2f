#include "app/ui/labels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "tests/support/language_guard.h"

namespace {

TEST(FileLabel, ShowsTheNameAfterTheLastSeparator) {
    EXPECT_EQ(Ui::fileLabelText(L"C:\\Users\\Léa\\Documents\\rapport final.pdf", false),
              L"rapport final.pdf");
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
    const auto wifiStopped = Ui::stateCaptions(false, false);
    EXPECT_STREQ(captionOf(wifiStopped, ControlId::textSend).text.english, L"Send text");
    EXPECT_STREQ(captionOf(wifiStopped, ControlId::textSend).text.french, L"Envoyer le texte");
    EXPECT_STREQ(captionOf(wifiStopped, ControlId::start).text.english, L"Start sharing");
    EXPECT_STREQ(captionOf(wifiStopped, ControlId::start).text.french, L"Démarrer");

    const auto bluetoothSharing = Ui::stateCaptions(true, true);
    EXPECT_STREQ(captionOf(bluetoothSharing, ControlId::textSend).text.english, L"Send as .txt");
    EXPECT_STREQ(captionOf(bluetoothSharing, ControlId::textSend).text.french, L"Envoyer en .txt");
    EXPECT_STREQ(captionOf(bluetoothSharing, ControlId::start).text.english, L"Stop sharing");
    EXPECT_STREQ(captionOf(bluetoothSharing, ControlId::start).text.french, L"Arrêter");
    EXPECT_STREQ(captionOf(bluetoothSharing, ControlId::fileSend).text.english, L"Send file");
    EXPECT_STREQ(captionOf(wifiStopped, ControlId::fileSend).text.french, L"Envoyer");
}

TEST(ModeSummary, TwoLinesPerMode) {
    EXPECT_STREQ(Ui::modeSummary(false).english, L"Text + files · Unencrypted HTTP.\nTrusted networks only.");
    EXPECT_STREQ(Ui::modeSummary(true).french,
                 L"Fichiers à accepter sur Android.\nTexte envoyé en pièce jointe .txt.");
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
std::wstring line(bool english, bool bluetoothMode, bool serverRunning, std::uint64_t lastStatePoll, std::uint64_t now) {
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
    expectTable(Ui::tooltips, {
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
