#include "app/ui/labels.h"

#include <gtest/gtest.h>

#include <set>

#include "tests/ui/language_guard.h"

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

template <std::size_t N>
void expectOneTextPerControl(const std::array<Ui::ControlText, N>& table) {
    std::set<int> ids;
    for (const auto& entry : table) {
        EXPECT_TRUE(ids.insert(entry.id).second) << "id twice: " << entry.id;
        EXPECT_GE(entry.id, ControlId::wifiMode);
        EXPECT_LE(entry.id, ControlId::updateCheck);
        ASSERT_NE(entry.text.french, nullptr);
        ASSERT_NE(entry.text.english, nullptr);
        EXPECT_NE(entry.text.french[0], L'\0') << entry.id;
        EXPECT_NE(entry.text.english[0], L'\0') << entry.id;
    }
}

TEST(LabelTables, OneTextPerControl) {
    expectOneTextPerControl(Ui::fixedCaptions);
    expectOneTextPerControl(Ui::tooltips);
    expectOneTextPerControl(Ui::stateCaptions(false, true));
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
