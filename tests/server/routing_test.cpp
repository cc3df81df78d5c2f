// The link server's answers over real sockets: routes, checks in their order,
// refusals with their exact bodies, the state's ETag, HEAD and downloads.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_fixture.h"

namespace testing_link {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct Row {
    int status;
    const char* french;
    const char* english;
};

const Row tooLarge{431, "Requete trop longue", "Request too large"};
const Row invalid{400, "Requete invalide", "Invalid request"};
const Row originRefused{403, "Origine refusee", "Origin refused"};
const Row readOnly{405, "Lecture uniquement", "Read only"};
const Row badLink{404, "Lien invalide ou expire", "Invalid or expired link"};
const Row crossOrigin{403, "Acces inter-origines refuse", "Cross-origin access refused"};
const Row unavailable{404, "Element indisponible", "Item unavailable"};

// Checks one refusal in the current language; `headOnly` when the body must be absent.
void checkRefusal(const Answer& answer, const Row& row, bool headOnly = false);
#define expectRefusal(...)          \
    do {                            \
        SCOPED_TRACE(#__VA_ARGS__); \
        checkRefusal(__VA_ARGS__);  \
    } while (false)

void checkRefusal(const Answer& answer, const Row& row, bool headOnly) {
    ASSERT_TRUE(answer.complete) << answer.head;
    EXPECT_EQ(answer.status, row.status) << answer.head;
    EXPECT_EQ(answer.field("content-type"), "text/plain");
    const std::string body = Ui::english.load() ? row.english : row.french;
    EXPECT_EQ(answer.field("content-length"), std::to_string(body.size()));
    EXPECT_EQ(answer.field("connection"), "close");
    EXPECT_EQ(answer.body, headOnly ? std::string() : body);
}

class Routing : public ServerTest {};

TEST_F(Routing, PageAndAssetsCarryTheirTypesAndOnlyThePageCountsAsAVisit) {
    Answer page = get("");
    EXPECT_EQ(page.status, 200);
    EXPECT_EQ(page.field("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(page.body, "<p>page</p>");
    EXPECT_EQ(page.field("content-length"), "11");
    EXPECT_NE(server.lastStatePoll.load(), 0u);

    server.stop();
    server.start("127.0.0.1");
    ASSERT_EQ(server.lastStatePoll.load(), 0u);
    Answer style = get("style.css");
    EXPECT_EQ(style.status, 200);
    EXPECT_EQ(style.field("content-type"), "text/css; charset=utf-8");
    EXPECT_EQ(style.body, "p{color:red}");
    Answer script = get("app.js");
    EXPECT_EQ(script.field("content-type"), "text/javascript; charset=utf-8");
    EXPECT_EQ(script.body, "void 0;");
    EXPECT_EQ(server.lastStatePoll.load(), 0u) << "assets are not visits";
    // A refused page request is not a visit either.
    expectRefusal(send(request("GET", base(), "127.0.0.1:1")), originRefused);
    EXPECT_EQ(server.lastStatePoll.load(), 0u);
    get("state");
    EXPECT_NE(server.lastStatePoll.load(), 0u);
}

TEST_F(Routing, EveryRefusalHasItsBodyInBothLanguages) {
    for (bool english : {false, true}) {
        SCOPED_TRACE(english ? "english" : "french");
        Ui::english = english;
        expectRefusal(send("GET " + base() + " HTTP/2.0\r\nHost: " + host() + "\r\n\r\n"), invalid);
        expectRefusal(send(request("GET", base(), host()) + "x"), invalid);
        expectRefusal(send(request("GET", base(), "evil.example:80")), originRefused);
        expectRefusal(send(request("PUT", base(), host())), readOnly);
        expectRefusal(get("", "", "DELETE"), readOnly);
        expectRefusal(send(request("GET", "/" + std::string(32, '0') + "/", host())), badLink);
        expectRefusal(get("state", "Sec-Fetch-Site: cross-site\r\n"), crossOrigin);
        expectRefusal(get("nothing-here"), unavailable);
        expectRefusal(send("GET " + base() + " HTTP/1.1\r\nHost: " + host() + "\r\nX: " + std::string(17000, 'a')),
                      tooLarge);
    }
}

TEST_F(Routing, MethodRefusalNamesTheAllowedMethods) {
    Answer answer = get("", "", "POST");
    EXPECT_EQ(answer.status, 405);
    EXPECT_EQ(answer.field("allow"), "GET, HEAD");
    EXPECT_NE(answer.head.find("\r\nAllow: GET, HEAD\r\n"), std::string::npos);
    // The method check is case-sensitive: a lower-case get is not a GET.
    EXPECT_EQ(get("", "", "get").status, 405);
}

TEST_F(Routing, HostIsCheckedBeforeMethodAndMustMatchExactly) {
    expectRefusal(send(request("POST", base(), "evil.example")), originRefused);
    expectRefusal(send(request("POST", "/nope", "127.0.0.1:1")), originRefused);
    expectRefusal(send(request("GET", base(), "127.0.0.1")), originRefused);
    expectRefusal(send(request("GET", base(), "127.0.0.1:" + std::to_string(server.port + 1))), originRefused);
    expectRefusal(send(request("GET", base(), "LOCALHOST:" + std::to_string(server.port))), originRefused);
    expectRefusal(send(request("GET", base(), host() + ".")), originRefused);
    // A bad origin with a good host is refused; a matching origin or none passes.
    expectRefusal(get("", "Origin: http://evil.example\r\n"), originRefused);
    expectRefusal(get("", "Origin: https://" + host() + "\r\n"), originRefused);
    EXPECT_EQ(get("", "Origin: http://" + host() + "\r\n").status, 200);
    EXPECT_EQ(get("", "Origin:\r\n").status, 200);
    // Host comes before the token too.
    expectRefusal(send(request("GET", "/wrong/", "evil.example")), originRefused);
}

TEST_F(Routing, TokenMustBeExactAndFollowedBySlash) {
    const std::string& token = server.token;
    ASSERT_EQ(token.size(), 32u);
    expectRefusal(send(request("GET", "/" + token, host())), badLink);
    expectRefusal(send(request("GET", "/", host())), badLink);
    expectRefusal(send(request("GET", "/" + token + "x/", host())), badLink);
    expectRefusal(send(request("GET", "/" + token.substr(1) + "/", host())), badLink);
    for (std::size_t position : {std::size_t{0}, std::size_t{15}, std::size_t{31}}) {
        std::string wrong = token;
        wrong[position] = wrong[position] == 'a' ? 'b' : 'a';
        expectRefusal(send(request("GET", "/" + wrong + "/", host())), badLink);
    }
    std::string upper = token;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (upper != token) expectRefusal(send(request("GET", "/" + upper + "/", host())), badLink);
    // HEAD gets the same refusal without its body.
    expectRefusal(send(request("HEAD", "/" + token, host())), badLink, true);
}

TEST_F(Routing, PathsMatchExactlyAndQueriesAreCutOff) {
    EXPECT_EQ(get("state?x=1&y=2").status, 200);
    EXPECT_EQ(get("?cache=1").body, "<p>page</p>");
    EXPECT_EQ(get("app.js?v=3").body, "void 0;");
    expectRefusal(get("State"), unavailable);
    expectRefusal(get("state/"), unavailable);
    expectRefusal(get("style.css/"), unavailable);
    expectRefusal(get("/state"), unavailable);
    expectRefusal(get("texts"), unavailable);
    expectRefusal(get("file"), unavailable);
}

TEST_F(Routing, FetchMetadataRefusesCrossSiteExceptPageNavigation) {
    const std::string navigation =
        "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\nSec-Fetch-Dest: document\r\n";
    EXPECT_EQ(get("", navigation).status, 200);
    expectRefusal(get("state", navigation), crossOrigin);
    expectRefusal(get("", "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: no-cors\r\nSec-Fetch-Dest: document\r\n"),
                  crossOrigin);
    expectRefusal(get("", "Sec-Fetch-Site: cross-site\r\nSec-Fetch-Mode: navigate\r\nSec-Fetch-Dest: iframe\r\n"),
                  crossOrigin);
    expectRefusal(get("style.css", "Sec-Fetch-Site: same-site\r\n"), crossOrigin);
    expectRefusal(get("text", "Sec-Fetch-Site: same-site\r\n", "HEAD"), crossOrigin, true);
    EXPECT_EQ(get("state", "Sec-Fetch-Site: same-origin\r\n").status, 200);
    EXPECT_EQ(get("app.js", "Sec-Fetch-Site: none\r\n").status, 200);
    EXPECT_EQ(get("state", "Sec-Fetch-Site:\r\n").status, 200);
    // The token check comes before fetch metadata.
    expectRefusal(send(request("GET", "/x/state", host(), "Sec-Fetch-Site: cross-site\r\n")), badLink);
}

TEST_F(Routing, HeadLimitsAndTrailingBytes) {
    // A head of exactly 16,384 bytes is read and served.
    const std::string start = "GET " + base() + "state HTTP/1.1\r\nHost: " + host() + "\r\nX-Pad: ";
    const std::string padded = start + std::string(16384 - start.size() - 4, 'p') + "\r\n\r\n";
    ASSERT_EQ(padded.size(), 16384u);
    EXPECT_EQ(send(padded).status, 200);
    // One byte more is too large, even though the head ends in it.
    const std::string over = start + std::string(16385 - start.size() - 4, 'p') + "\r\n\r\n";
    expectRefusal(send(over), tooLarge);
    // Too large is answered with its body even to HEAD, whose request was never parsed.
    expectRefusal(send("HEAD " + base() + " HTTP/1.1\r\nX: " + std::string(20000, 'h')), tooLarge);
    // Any byte after the head is refused, whatever Content-Length says; a zero length alone passes.
    expectRefusal(send(request("GET", base() + "state", host(), "Content-Length: 0\r\n") + "\r\n"), invalid);
    expectRefusal(send(request("GET", base() + "state", host()) + request("GET", base(), host())), invalid);
    EXPECT_EQ(get("state", "Content-Length: 0\r\n").status, 200);
    // A head of lawful size followed by bytes that pass the limit is a body, not an oversized head.
    const std::string shorter = start + std::string(16000 - start.size() - 4, 'p') + "\r\n\r\n";
    expectRefusal(send(shorter + std::string(1000, 'b')), invalid);
    // Bad grammar is 400 and is answered with its body to HEAD too.
    expectRefusal(send("HEAD " + base() + " HTTP/1.1\r\n\r\n"), invalid);
}

TEST_F(Routing, HeadSentOneByteAtATimeIsServed) {
    Client client("127.0.0.1", server.port);
    const std::string raw = request("GET", base() + "state", host());
    for (char c : raw) ASSERT_TRUE(client.send(std::string(1, c)));
    bool closed = false;
    Answer answer = parseAnswer(client.receiveAll(seconds(10), &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ(answer.status, 200);
}

TEST_F(Routing, StateDocumentListsLanguageRevisionTextAndFile) {
    server.setText("a \"quoted\"\n\\ line\t€");
    Answer state = get("state");
    ASSERT_EQ(state.status, 200);
    EXPECT_EQ(state.field("content-type"), "application/json; charset=utf-8");
    const std::uint64_t revision = server.snapshot().revision;
    EXPECT_EQ(state.body, "{\"language\":\"fr\",\"revision\":" + std::to_string(revision) +
                              ",\"text\":\"a \\\"quoted\\\"\\u000a\\\\ line\\u0009€\",\"file\":null}");
    EXPECT_EQ(state.field("etag"), "\"" + std::to_string(revision) + "-fr\"");
    EXPECT_EQ(state.field("content-length"), std::to_string(state.body.size()));

    TempFile file("notes v2.bin", std::string("12345"));
    auto share = file.share();
    server.setFile(share);
    Ui::english = true;
    Answer withFile = get("state");
    EXPECT_EQ(withFile.body, "{\"language\":\"en\",\"revision\":" + std::to_string(revision + 1) +
                                 ",\"text\":\"a \\\"quoted\\\"\\u000a\\\\ line\\u0009€\",\"file\":{\"name\":"
                                 "\"notes v2.bin\",\"size\":5,\"id\":\"" +
                                 share->id + "\"}}");
    EXPECT_EQ(withFile.field("etag"), "\"" + std::to_string(revision + 1) + "-en\"");
}

TEST_F(Routing, EtagFollowsRevisionAndLanguageAndOnlyAnExactMatchGets304) {
    server.setText("one");
    const std::string first = get("state").field("etag");
    ASSERT_FALSE(first.empty());

    Answer unchanged = get("state", "If-None-Match: " + first + "\r\n");
    EXPECT_EQ(unchanged.status, 304);
    EXPECT_EQ(unchanged.body, "");
    EXPECT_EQ(unchanged.field("etag"), first);
    EXPECT_EQ(unchanged.field("content-type"), "application/json");
    EXPECT_EQ(unchanged.fields.count("content-length"), 0u);

    // Near misses are not matches.
    for (const std::string& near :
         {"W/" + first, first + ", \"0-fr\"", first.substr(1, first.size() - 2), std::string("*")}) {
        EXPECT_EQ(get("state", "If-None-Match: " + near + "\r\n").status, 200) << near;
    }

    server.setText("one");  // same text, still a change
    Answer afterText = get("state", "If-None-Match: " + first + "\r\n");
    EXPECT_EQ(afterText.status, 200);
    const std::string second = afterText.field("etag");
    EXPECT_NE(second, first);
    EXPECT_EQ(get("state", "If-None-Match: " + second + "\r\n").status, 304);

    Ui::english = true;
    Answer afterLanguage = get("state", "If-None-Match: " + second + "\r\n");
    EXPECT_EQ(afterLanguage.status, 200);
    EXPECT_NE(afterLanguage.field("etag"), second);
    EXPECT_NE(afterLanguage.body.find("\"language\":\"en\""), std::string::npos);
    EXPECT_EQ(get("state", "If-None-Match: " + afterLanguage.field("etag") + "\r\n").status, 304);
}

TEST_F(Routing, HeadGivesTheLengthOfGetWithoutBody) {
    server.setText("héllo");
    for (const std::string& path :
         {std::string(), std::string("style.css"), std::string("state"), std::string("text")}) {
        SCOPED_TRACE(path);
        Answer full = get(path);
        Answer head = get(path, "", "HEAD");
        EXPECT_EQ(head.status, 200);
        EXPECT_TRUE(head.complete);
        EXPECT_EQ(head.body, "");
        EXPECT_EQ(head.field("content-length"), std::to_string(full.body.size()));
        EXPECT_EQ(head.field("content-type"), full.field("content-type"));
    }
}

TEST_F(Routing, TextDownloadIsByteOrderMarkThenText) {
    Answer empty = get("text");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "\xEF\xBB\xBF");
    EXPECT_EQ(empty.field("content-length"), "3");
    EXPECT_EQ(empty.field("content-type"), "text/plain; charset=utf-8");
    EXPECT_EQ(empty.field("content-disposition"), "attachment; filename=\"texte.txt\"");

    server.setText("ligne 1\nligne 2 — fin");
    Ui::english = true;
    Answer text = get("text");
    EXPECT_EQ(text.body, "\xEF\xBB\xBFligne 1\nligne 2 — fin");
    EXPECT_EQ(text.field("content-disposition"), "attachment; filename=\"text.txt\"");
}

TEST_F(Routing, FileDownloadsByteForByteUnderItsEncodedName) {
    const std::string content = patterned(3 * 65536 + 1234);
    TempFile file(std::filesystem::u8path("r\xC3\xA9sum\xC3\xA9 v1~.txt"), content);
    auto share = file.share();
    server.setFile(share);

    Answer head = get("file/" + share->id, "", "HEAD");
    EXPECT_EQ(head.status, 200);
    EXPECT_EQ(head.body, "");
    EXPECT_EQ(head.field("content-length"), std::to_string(content.size()));

    Answer download = get("file/" + share->id);
    EXPECT_EQ(download.status, 200);
    EXPECT_EQ(download.field("content-type"), "application/octet-stream");
    EXPECT_EQ(download.field("content-length"), std::to_string(content.size()));
    EXPECT_EQ(download.field("content-disposition"),
              "attachment; filename=\"fichier\"; filename*=UTF-8''r%C3%A9sum%C3%A9%20v1%7E.txt");
    EXPECT_TRUE(download.body == content) << "body of " << download.body.size() << " bytes differs";

    expectRefusal(get("file/" + share->id + "x"), unavailable);
    expectRefusal(get("file/" + std::string(32, '0')), unavailable);
    expectRefusal(get("file/"), unavailable);
    server.setFile(nullptr);
    expectRefusal(get("file/" + share->id), unavailable);
    expectRefusal(get("file/" + share->id, "", "HEAD"), unavailable, true);
}

TEST_F(Routing, EmptyFileDownloadsAsEmptyBody) {
    TempFile file("empty.bin", std::string());
    auto share = file.share();
    server.setFile(share);
    Answer download = get("file/" + share->id);
    EXPECT_EQ(download.status, 200);
    EXPECT_TRUE(download.complete);
    EXPECT_EQ(download.field("content-length"), "0");
    EXPECT_EQ(download.body, "");
}

TEST_F(Routing, ReplacedFileRefusesOldIdWhileItsRunningDownloadCompletes) {
    const std::string oldContent = patterned(8 * 1024 * 1024);
    TempFile oldFile("old.bin", oldContent);
    TempFile newFile("new.bin", std::string("new"));
    auto oldShare = oldFile.share();
    const std::string oldId = oldShare->id;
    server.setFile(oldShare);

    Client slow("127.0.0.1", server.port, "127.0.0.1", true);
    ASSERT_TRUE(slow.send(request("GET", base() + "file/" + oldId, host())));
    std::string received = slow.receive(4096, seconds(10));
    ASSERT_FALSE(received.empty());

    auto newShare = newFile.share();
    server.setFile(newShare);
    oldShare.reset();  // the running download must keep the file alive on its own
    expectRefusal(get("file/" + oldId), unavailable);
    EXPECT_EQ(get("file/" + newShare->id).body, "new");

    bool closed = false;
    received += slow.receiveAll(seconds(60), &closed);
    EXPECT_TRUE(closed);
    Answer answer = parseAnswer(received);
    EXPECT_EQ(answer.status, 200);
    EXPECT_TRUE(answer.body == oldContent) << "got " << answer.body.size() << " bytes";
}

}  // namespace
}  // namespace testing_link
