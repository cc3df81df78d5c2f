#include "link/assets/assets.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "base/language.h"
#include "tests/support/raised.h"
#include "tests/support/source_tree.h"

namespace {

std::string sourceFile(const char* name) {
    std::ifstream in(sourceTree() / "link" / "assets" / name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct LanguageReset {
    ~LanguageReset() { Ui::english = false; }
};

}  // namespace

// The page must reach the phone byte for byte: no newline conversion, no
// truncation, no terminating zero, each file under its own number.
TEST(Assets, AreTheSourceFilesByteForByte) {
    const std::string page = sourceFile("page.html");
    const std::string style = sourceFile("style.css");
    const std::string script = sourceFile("app.js");
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(loadAsset(pageAsset), page);
    EXPECT_EQ(loadAsset(styleAsset), style);
    EXPECT_EQ(loadAsset(scriptAsset), script);
    // UTF-8 without byte order mark: the server announces charset=utf-8.
    EXPECT_NE(page.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(page.find("Prêt à télécharger"), std::string::npos);
}

TEST(Assets, MissingAssetIsReportedInTheInterfaceLanguage) {
    LanguageReset reset;
    Ui::english = false;
    EXPECT_EQ(errorOf([] { loadAsset(100); }), "Page Android manquante.");
    EXPECT_EQ(errorOf([] { loadAsset(104); }), "Page Android manquante.");
    Ui::english = true;
    EXPECT_EQ(errorOf([] { loadAsset(104); }), "Android page missing.");
}

#ifdef _WIN32
#include <windows.h>

// The application links its own resource script (icon, dialog, manifest) next
// to the page's; both sets must survive the link.
TEST(Assets, CoexistWithAnotherResourceScript) {
    HRSRC other = FindResourceW(nullptr, MAKEINTRESOURCEW(200), MAKEINTRESOURCEW(10));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(SizeofResource(nullptr, other), 5u);
    EXPECT_EQ(loadAsset(pageAsset), sourceFile("page.html"));
}
#endif
