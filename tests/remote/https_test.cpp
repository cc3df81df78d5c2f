// The request, the update check, the like vote and the actions against the real
// HTTPS server of tests/remote/https_server.py on 127.0.0.1:443, whose certificate
// for localhost comes from a throwaway authority trusted for the run
// (tests/remote/https_suite.sh). The services' hosts are "localhost" in this build.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/version.h"
#include "remote/actions.h"
#include "remote/like_vote.h"
#include "remote/remote.h"
#include "remote/request.h"
#include "tests/remote/message_window_win.h"
#include "tests/support/raised.h"

namespace {

// The like counter's address for this build's version, and the next patch version.
const std::wstring LikePath = L"/api/likes/tolvenaireandroid/" TOLVENAIRE_VERSION_WIDE;
const std::wstring NextPatch = std::to_wstring(TOLVENAIRE_VERSION_MAJOR) + L"." +
                               std::to_wstring(TOLVENAIRE_VERSION_MINOR) + L"." +
                               std::to_wstring(TOLVENAIRE_VERSION_PATCH + 1);

const std::string Unreachable = "Impossible de joindre varnix. Vérifiez votre connexion Internet puis réessayez.";
const std::string ServiceDown = "Le service varnix est temporairement indisponible. Réessayez plus tard.";
const std::string TooLarge = "Réponse du site trop volumineuse.";

std::string get(const std::wstring& path, const std::wstring& headers = L"") {
    return remote::request(L"localhost", path, L"GET", headers);
}

// A body as a failure message shows it: short ones whole, long ones by size.
std::string shown(const std::string& body) {
    return body.size() <= 64 ? body : std::to_string(body.size()) + " bytes starting " + body.substr(0, 16);
}

// The error message of a request, or "body:" and the (shown) body when it succeeded.
std::string outcome(const std::wstring& path, const std::wstring& host = L"localhost") {
    try {
        return "body:" + shown(remote::request(host, path, L"GET", L""));
    } catch (const std::runtime_error& error) {
        return error.what();
    }
}

std::string pattern(std::size_t size) {
    std::string text;
    while (text.size() < size) text += "0123456789abcdef";
    text.resize(size);
    return text;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) result.push_back(line);
    return result;
}

std::string headerName(const std::string& line) { return line.substr(0, line.find(':')); }

// Sets the server's answer for a service path until the next reset.
void answer(const std::wstring& path, int status, const std::wstring& body) {
    std::wstring encoded;
    for (wchar_t c : body) {
        wchar_t hex[4];
        swprintf(hex, 4, L"%%%02X", static_cast<unsigned>(c) & 0xFF);  // the bodies here are ASCII
        encoded += hex;
    }
    ASSERT_EQ(get(L"/_answer?path=" + path + L"&status=" + std::to_wstring(status) + L"&body=" + encoded), "set");
}

class Https : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(get(L"/_reset"), "reset");
        const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, remote::RegistryKey);
        ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND);
    }
};

TEST_F(Https, BodiesUpToTheCapComeBackWhole) {
    for (const wchar_t* path : {L"/size/1000", L"/size/16384", L"/stream/16384"}) {  // stream: no Content-Length
        const std::string body = get(path);
        const std::size_t size = std::wcstoul(std::wcschr(path + 1, L'/') + 1, nullptr, 10);
        EXPECT_TRUE(body == pattern(size)) << shown(body);
    }
    EXPECT_EQ(get(L"/empty"), "");
    EXPECT_EQ(get(L"/size/1"), "0");
}

TEST_F(Https, BodiesOverTheCapAreRefused) {
    EXPECT_EQ(outcome(L"/size/16385"), TooLarge);
    EXPECT_EQ(outcome(L"/stream/16385"), TooLarge);
    EXPECT_EQ(outcome(L"/size/4000000"), TooLarge);
}

TEST_F(Https, AnythingButTwoHundredIsUnavailableAndRedirectsAreNotFollowed) {
    for (int status : {301, 302, 303, 307, 308, 201, 204, 404, 500, 503}) {
        EXPECT_EQ(outcome(L"/status/" + std::to_wstring(status)), ServiceDown) << status;
    }
    // The redirect target exists and answers 200: following it would have succeeded.
    EXPECT_EQ(outcome(L"/followed"), "body:followed");
}

TEST_F(Https, TheRequestCarriesItsAgentMethodPathAndExactlyTheGivenHeaders) {
    const auto plain = lines(get(L"/echo?plain=1"));
    ASSERT_GE(plain.size(), 3u);
    EXPECT_EQ(plain[0], "GET");
    EXPECT_EQ(plain[1], "/echo?plain=1");
    std::vector<std::string> baseNames;
    for (std::size_t i = 2; i < plain.size(); ++i) baseNames.push_back(headerName(plain[i]));
    EXPECT_NE(std::find(plain.begin(), plain.end(), "User-Agent: TolvenaireAndroid/" TOLVENAIRE_VERSION), plain.end());
    EXPECT_NE(std::find(plain.begin(), plain.end(), "Host: localhost"), plain.end());
    // With no extra headers, only the client's own: agent, host, connection handling.
    for (const auto& name : baseNames) {
        EXPECT_TRUE(name == "User-Agent" || name == "Host" || name == "Connection" || name == "Content-Length") << name;
    }

    const auto posted =
        lines(remote::request(L"localhost", L"/echo", L"POST", L"X-First: one\r\nAccept: text/x-two\r\n"));
    ASSERT_GE(posted.size(), 4u);
    EXPECT_EQ(posted[0], "POST");
    EXPECT_EQ(posted[1], "/echo");
    std::vector<std::string> extra;
    for (std::size_t i = 2; i < posted.size(); ++i) {
        const std::string name = headerName(posted[i]);
        if (name != "User-Agent" && name != "Host" && name != "Connection" && name != "Content-Length") {
            extra.push_back(posted[i]);
        }
    }
    EXPECT_EQ(extra, (std::vector<std::string>{"X-First: one", "Accept: text/x-two"}));
}

TEST_F(Https, ACertificateForAnotherNameOrNoServerIsUnreachable) {
    // The certificate names localhost only.
    EXPECT_EQ(outcome(L"/size/10", L"127.0.0.1"), Unreachable);
    // Nothing listens on 127.0.0.2.
    EXPECT_EQ(outcome(L"/size/10", L"127.0.0.2"), Unreachable);
}

TEST_F(Https, AServerThatNeverAnswersTimesOut) {
    const ULONGLONG began = GetTickCount64();
    EXPECT_EQ(outcome(L"/silent"), Unreachable);
    const ULONGLONG waited = GetTickCount64() - began;
    std::printf("a silent server was given up after %llu ms\n", waited);
    // The receive time-out, not some other failure, ended it.
    EXPECT_GE(waited, 7500u);
    EXPECT_LT(waited, 20000u);
}

TEST_F(Https, UpdateCheckEndToEnd) {
    EXPECT_EQ(remote::getLatestVersion(), "1.10.0");
    const auto request = lines(get(L"/_last"));
    ASSERT_GE(request.size(), 2u);
    EXPECT_EQ(request[0], "GET");
    EXPECT_EQ(request[1], "/versionTolvenaireAndroid.json");
    EXPECT_NE(std::find(request.begin(), request.end(), "Accept: application/json"), request.end());
    EXPECT_NE(std::find(request.begin(), request.end(), "Cache-Control: no-cache"), request.end());

    answer(L"/versionTolvenaireAndroid.json", 200, L"{\"application\":\"tolvenaireandroid\",\"version\":\"v1.3.0\"}");
    EXPECT_EQ(errorOf([] { remote::getLatestVersion(); }), "La version publiée sur le site est invalide.");
    answer(L"/versionTolvenaireAndroid.json", 302, L"");
    EXPECT_EQ(errorOf([] { remote::getLatestVersion(); }), ServiceDown);
}

TEST_F(Https, VoteSendsTheProfilesIdentifierAndMarksTheVersion) {
    EXPECT_FALSE(remote::alreadyLiked());
    remote::recordLike();
    EXPECT_TRUE(remote::alreadyLiked());
    const std::wstring id = remote::voterId();
    const auto request = lines(get(L"/_last"));
    ASSERT_GE(request.size(), 2u);
    EXPECT_EQ(request[0], "POST");
    EXPECT_EQ(request[1], "/api/likes/tolvenaireandroid/" TOLVENAIRE_VERSION);
    EXPECT_NE(
        std::find(request.begin(), request.end(), "X-TolvenaireAndroid-Voter: " + std::string(id.begin(), id.end())),
        request.end());
    EXPECT_NE(std::find(request.begin(), request.end(), "Accept: application/json"), request.end());

    // A second vote ("already counted") goes out under the same identifier.
    answer(LikePath, 200,
           L"{\"application\":\"tolvenaireandroid\",\"version\":\"" TOLVENAIRE_VERSION_WIDE L"\",\"added\":false}");
    remote::recordLike();
    const auto again = lines(get(L"/_last"));
    EXPECT_NE(std::find(again.begin(), again.end(), "X-TolvenaireAndroid-Voter: " + std::string(id.begin(), id.end())),
              again.end());
}

TEST_F(Https, AnUnconfirmedVoteLeavesTheVersionUnliked) {
    answer(LikePath, 200, L"{\"application\":\"tolvenaireandroid\",\"version\":\"" + NextPatch + L"\",\"added\":true}");
    EXPECT_EQ(errorOf([] { remote::recordLike(); }), "La confirmation du soutien est invalide. Réessayez plus tard.");
    EXPECT_FALSE(remote::alreadyLiked());
    answer(LikePath, 500, L"{}");
    EXPECT_EQ(errorOf([] { remote::recordLike(); }), ServiceDown);
    EXPECT_FALSE(remote::alreadyLiked());
}

// The real actions, notified through a message-only window.
TEST_F(Https, ActionsRunTheRealServices) {
    MessageWindow window;
    ASSERT_NE(window.get(), nullptr);
    answer(L"/versionTolvenaireAndroid.json", 500, L"");
    remote::Actions actions(window.get());
    ASSERT_TRUE(actions.start(remote::Action::Update));
    ASSERT_TRUE(actions.start(remote::Action::Like));
    const auto keys = window.keys(2, 30000);
    ASSERT_EQ(keys.size(), 2u);
    for (const std::uint64_t key : keys) {
        const auto result = actions.take(key);
        ASSERT_TRUE(result.has_value());
        if (result->action == remote::Action::Update) {
            EXPECT_FALSE(result->ok);
            EXPECT_EQ(result->message, L"Le service varnix est temporairement indisponible. Réessayez plus tard.");
        } else {
            EXPECT_TRUE(result->ok);
            EXPECT_EQ(result->message, L"Merci ! Votre soutien est enregistré pour cette version.");
        }
    }
    EXPECT_TRUE(remote::alreadyLiked());
}

}  // namespace
