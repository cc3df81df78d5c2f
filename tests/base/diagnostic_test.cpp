#include "base/diagnostic.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include "base/text.h"

#include "tests/support/language_guard.h"

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
    EXPECT_EQ(diagnostic(L"Impossible de démarrer l'appairage."),
              L"Impossible de démarrer l'appairage.");
    EXPECT_EQ(diagnostic(L"Impossible de démarrer l’appairage."), L"Could not start pairing.");
}

TEST(Diagnostic, TranslatesAKeyInsideALongerMessage) {
    LanguageGuard english(true);
    EXPECT_EQ(diagnostic(L"Connexion Bluetooth impossible : Le délai d’attente est dépassé (10060)"),
              L"Bluetooth connection failed: Le délai d’attente est dépassé (10060)");
    EXPECT_EQ(diagnostic(L"Erreur Windows 5"), L"Windows error 5");
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

TEST(Diagnostic, SpellingsOfTheEngineMatchExactly) {
    LanguageGuard english(true);
    EXPECT_EQ(diagnostic(L"Refus transmis. Fin de la tentative d’appairage…"),
              L"Refusal sent. Finishing the pairing attempt…");
    EXPECT_EQ(diagnostic(L"Telephone Android"), L"Android phone");
    EXPECT_EQ(diagnostic(L"Téléphone Android"), L"Android phone");
    EXPECT_EQ(diagnostic(L"Connexion au telephone..."), L"Connecting to your phone...");
    EXPECT_EQ(diagnostic(L"Connexion au téléphone…"), L"Connecting to your phone…");
    EXPECT_EQ(diagnostic(L"Adresse ou ports 8765 a 8785 indisponibles. Verifiez la connexion reseau."),
              L"The address or ports 8765 to 8785 are unavailable. Check your network connection.");
    EXPECT_EQ(diagnostic(L"Le telephone a refuse le transfert OBEX (code 0xC3)"),
              L"Your phone refused the OBEX transfer (code 0xC3)");
}

TEST(Diagnostic, EveryPairTranslatesItsOwnTextInASentence) {
    LanguageGuard french(false);
    for (const Ui::TextPair& pair : Ui::dictionaryPairs()) {
        const std::wstring before = L"[12] ";
        const std::wstring after = L" [34]";
        EXPECT_EQ(diagnostic(before + pair.french + after, true), before + pair.english + after)
            << "key: " << pair.french;
        EXPECT_EQ(diagnostic(pair.french, true), pair.english) << "key: " << pair.french;
    }
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
                            (static_cast<unsigned long>(*c) > 0xDFFF &&
                             static_cast<unsigned long>(*c) < 0x10000))
                    << text;
    }
    EXPECT_EQ(keys.size(), Ui::dictionarySize);
}

TEST(Diagnostic, FirstUseFromSeveralThreadsAgrees) {
    // Each test case runs in its own process natively, so this is the first call.
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
                decoded += static_cast<wchar_t>(std::stoul(std::string(text.begin() + i + 2, text.begin() + i + 6), nullptr, 16));
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
            std::fill(covered.begin() + static_cast<long>(at), covered.begin() + static_cast<long>(at + key.size()), true);
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
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(std::filesystem::path(TOLVENAIRE_SOURCE_DIR) / folder)) {
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
