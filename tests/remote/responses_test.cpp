#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "base/version.h"
#include "fuzz/remote_response_properties.h"
#include "remote/remote.h"
#include "tests/support/raised.h"

// The answer-reader fuzzer's seeds (an array, a beta, an escaped first version,
// groups of seven digits, spaced members, numeric and invalid comparisons) are
// replayed against expressions written apart by FuzzCorpus.AnswerReadersKeepTheirProperties.

namespace {

// A like is confirmed for this build's version only; near misses of it.
const std::string Own = TOLVENAIRE_VERSION;
const std::string MajorMinor =
    std::to_string(TOLVENAIRE_VERSION_MAJOR) + "." + std::to_string(TOLVENAIRE_VERSION_MINOR);
const std::string NextPatch = MajorMinor + "." + std::to_string(TOLVENAIRE_VERSION_PATCH + 1);
const std::string EscapedDot = MajorMinor + "\\u002e" + std::to_string(TOLVENAIRE_VERSION_PATCH);

const std::string InvalidResponse = "Réponse de mise à jour invalide.";
const std::string InvalidVersion = "La version publiée sur le site est invalide.";

// The outcome of parseLatest as one string: the version or the error message.
std::string outcome(const std::string& body) {
    std::string version;
    const std::string error = errorOf([&] { version = remote::parseLatest(body); });
    return error.empty() ? "version " + version : error;
}

std::string document(const std::string& application, const std::string& versionMember) {
    return "{\"application\":\"" + application + "\"," + versionMember + "}";
}

TEST(ParseLatest, AcceptsTheObjectWithBlanksAndSpacing) {
    EXPECT_EQ(outcome(" \t\r\n{\"application\": \"tolvenaireandroid\", \"version\": \"1.3.0\"}\r\n \t"),
              "version 1.3.0");
    EXPECT_EQ(outcome(document("tolvenaireandroid", "\"version\":\"1.2\"")), "version 1.2");
    // The first occurrence of a member decides.
    EXPECT_EQ(outcome(document("tolvenaireandroid", "\"version\":\"1.0.0\",\"version\":\"2.0.0\"")), "version 1.0.0");
}

TEST(ParseLatest, RefusesWhatIsNotThisProductsObject) {
    for (const std::string& body : std::vector<std::string>{
             "",
             "   \r\n\t",
             "x{\"application\":\"tolvenaireandroid\",\"version\":\"1.3.0\"}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"1.3.0\"",
             "{\"version\":\"1.3.0\"}",
             document("TolvenaireAndroid", "\"version\":\"1.3.0\""),
             document("tolvenaireandroid2", "\"version\":\"1.3.0\""),
             "{\"application\":\"tolvenaire\\u0061ndroid\",\"version\":\"1.3.0\"}",
             "{\"application\":tolvenaireandroid,\"version\":\"1.3.0\"}",
         }) {
        EXPECT_EQ(outcome(body), InvalidResponse) << body;
    }
}

TEST(ParseLatest, RefusesAPublishedVersionThatIsNotOne) {
    for (const std::string& member : std::vector<std::string>{
             "\"version\":\"v1.3.0\"",
             "\"version\":1.3",
             "\"version\":\"1.3\\u002e0\"",
             "\"version\":\"1.3.0.1\"",
             "\"version\":\"\"",
             "\"other\":\"1.3.0\"",
             "\"version\":\" 1.3.0\"",
         }) {
        EXPECT_EQ(outcome(document("tolvenaireandroid", member)), InvalidVersion) << member;
    }
}

TEST(Versions, FormIsTwoOrThreeShortDigitGroups) {
    for (const char* text : {"1.2", "1.2.0", "0.0", "01.02.03", "123456.123456.123456"}) {
        EXPECT_TRUE(remote::validVersion(text)) << text;
    }
    for (const char* text : {"", "1", "1.", ".1", "1.2.", "1..2", "1.2.3.4", "1234567.0", "1.2.1234567", "v1.3.0",
                             "1.3.0-beta", " 1.2.0", "1.2.0 ", "1.2.0\n", "1,2", "a.b"}) {
        EXPECT_FALSE(remote::validVersion(text)) << text;
    }
    EXPECT_FALSE(remote::validVersion(std::string(30, '1')));
}

TEST(Versions, CompareAsNumbersWithMissingGroupsZero) {
    EXPECT_EQ(remote::compareVersions("1.2.0", "1.10.0"), -1);
    EXPECT_EQ(remote::compareVersions("1.2.0", "1.2.1"), -1);
    EXPECT_EQ(remote::compareVersions("2.0", "1.999999.999999"), 1);
    EXPECT_EQ(remote::compareVersions("999999.999999.999999", "999999.999999.999998"), 1);
    EXPECT_EQ(remote::compareVersions("0.0", "0.0.0"), 0);
    // The running version is one the update check can compare: the same numbers
    // written with leading zeros are equal to it, its next patch is newer.
    EXPECT_EQ(remote::compareVersions(remote::VersionUtf8, "0" + std::to_string(TOLVENAIRE_VERSION_MAJOR) + ".0" +
                                                               std::to_string(TOLVENAIRE_VERSION_MINOR) + ".0" +
                                                               std::to_string(TOLVENAIRE_VERSION_PATCH)),
              0);
    EXPECT_EQ(remote::compareVersions(remote::VersionUtf8, NextPatch), -1);
    for (auto pair : {std::pair<const char*, const char*>{"1.2.0", "1.3.0-beta"}, {"", ""}}) {
        EXPECT_EQ(errorOf<std::invalid_argument>([&] { remote::compareVersions(pair.first, pair.second); }),
                  "Numéro de version invalide.")
            << pair.first << " / " << pair.second;
    }
}

TEST(Versions, DownloadPageOnlyForAValidVersion) {
    EXPECT_EQ(remote::downloadUrl("1.10.0"), L"https://localhost/download/tolvenaireandroid/1.10.0");
    EXPECT_EQ(remote::downloadUrl("1.2"), L"https://localhost/download/tolvenaireandroid/1.2");
    EXPECT_EQ(remote::downloadUrl("v1.3.0"), L"");
    EXPECT_EQ(remote::downloadUrl("1.3/../x"), L"");
    EXPECT_EQ(remote::downloadUrl(""), L"");
}

TEST(VoteResponse, AcceptsAConfirmationCountedNowOrBefore) {
    for (const std::string& body : std::vector<std::string>{
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":true}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":false}",
             " \r\n{\"added\" :\tfalse , \"version\": \"" + Own + "\", \"application\": \"tolvenaireandroid\"}\n",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\": true\n}",
             "{\"added\":maybe,\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":true}",
         }) {
        EXPECT_TRUE(remote::validVoteResponse(body)) << body;
    }
}

TEST(VoteResponse, RefusesAnotherVersionApplicationOrFlag) {
    for (const std::string& body : std::vector<std::string>{
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + NextPatch + "\",\"added\":true}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + MajorMinor + "\",\"added\":true}",
             "{\"application\":\"otherapp\",\"version\":\"" + Own + "\",\"added\":true}",
             "{\"version\":\"" + Own + "\",\"added\":true}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\"}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":\"true\"}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":1}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":truex}",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + EscapedDot + "\",\"added\":true}",
             "[{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":true}]",
             "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own + "\",\"added\":true]",
             "",
         }) {
        EXPECT_FALSE(remote::validVoteResponse(body)) << body;
    }
}

// Documents cut into by random pieces, against the fuzzer's oracle.
TEST(Responses, GeneratedDocumentsKeepTheAnswerProperties) {
    const std::vector<std::string> pieces = {"{",
                                             "}",
                                             "\"",
                                             "\\",
                                             ":",
                                             ",",
                                             " ",
                                             "\t",
                                             "\n",
                                             "\r",
                                             "\v",
                                             "\f",
                                             "x",
                                             "1",
                                             ".",
                                             "2",
                                             "0",
                                             "\"application\"",
                                             "\"tolvenaireandroid\"",
                                             "\"version\"",
                                             "\"" + Own + "\"",
                                             "\"1.10\"",
                                             "\"added\"",
                                             "true",
                                             "false",
                                             "tolvenaireandroid",
                                             Own,
                                             "\"v1.3\"",
                                             "\"1234567.1\"",
                                             "\"1.2.3.4\""};
    // Well-formed members, cut into by random pieces.
    const std::vector<std::string> members = {"\"version\":",
                                              "\"" + Own + "\"",
                                              "\"1.10\"",
                                              "\"added\":",
                                              "true",
                                              "false",
                                              ",",
                                              "\"version\":\"" + Own + "\"",
                                              "\"added\": true",
                                              "\"added\":false"};
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
    std::uniform_int_distribution<std::size_t> member(0, members.size() - 1);
    std::uniform_int_distribution<int> length(0, 12);
    int objects = 0;
    int accepted = 0;
    int votes = 0;
    for (int i = 0; i < 3000; ++i) {
        std::string body;
        const bool shaped = i % 3 != 0;
        if (shaped) body = "{\"application\":\"tolvenaireandroid\",";
        for (int n = length(random); n > 0; --n)
            body += shaped && n % 2 ? members[member(random)] : pieces[pick(random)];
        if (shaped) body += "}";
        ASSERT_STREQ(remotecheck::responseFault(body), "") << body;
        const std::string result = outcome(body);
        objects += result != InvalidResponse;
        accepted += result.rfind("version ", 0) == 0;
        votes += remote::validVoteResponse(body);
    }
    // The generator must reach the later rules, or the comparison proves little.
    EXPECT_GT(objects, 500);
    EXPECT_GT(accepted, 50);
    EXPECT_GT(votes, 10);
}

// Answers run on an action's thread; a long value or a long run of blanks inside
// the 16 KiB an answer may have must not exhaust that thread's stack.
TEST(Responses, LongValuesAndBlanksOnAWorkerThread) {
    const std::string longVersion = document("tolvenaireandroid", "\"version\":\"" + std::string(16000, '1') + "\"");
    const std::string longOther =
        "{\"note\":\"" + std::string(16000, 'a') + "\",\"application\":\"tolvenaireandroid\",\"version\":\"1.3.1\"}";
    const std::string longVote = "{\"application\":\"tolvenaireandroid\",\"version\":\"" + Own +
                                 "\",\"added\":" + std::string(15000, ' ') + "true" + std::string(1000, '\t') + "}";
    std::string first, second;
    bool vote = false;
    std::thread worker([&] {
        first = outcome(longVersion);
        second = outcome(longOther);
        vote = remote::validVoteResponse(longVote);
    });
    worker.join();
    EXPECT_EQ(first, InvalidVersion);
    EXPECT_EQ(second, "version 1.3.1");
    EXPECT_TRUE(vote);
}

}  // namespace
