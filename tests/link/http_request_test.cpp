#include "link/http_request.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

// Many more heads, both sides of the limits of 16,384 bytes, 2,048-byte targets,
// 16-byte methods and 64 lines among them, are seeds of the request fuzzer, which
// HttpCorpus.SeedsParseAsTheirNamesSayAndPastCrashersStayHarmless replays in both builds.

namespace {

const std::string ok = "GET / HTTP/1.1\r\nHost: a\r\n\r\n";

std::string withHeaders(const std::string& lines) { return "GET / HTTP/1.1\r\nHost: a\r\n" + lines + "\r\n"; }

std::string withTarget(const std::string& target) { return "GET " + target + " HTTP/1.1\r\nHost: a\r\n\r\n"; }

std::string withMethod(const std::string& method) { return method + " / HTTP/1.1\r\nHost: a\r\n\r\n"; }

bool parses(const std::string& head) {
    HttpRequest request;
    return parseHttpRequest(head, request);
}

}  // namespace

TEST(HttpRequest, ParsesAMinimalRequestAndLowersFieldNames) {
    HttpRequest request;
    ASSERT_TRUE(parseHttpRequest(
        "GET /tok/state?x=1 HTTP/1.1\r\nHost: 10.0.0.2:8765\r\nIf-None-Match: \"3-fr\"\r\n\r\n", request));
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/tok/state?x=1");
    EXPECT_EQ(request.fields.size(), 2u);
    EXPECT_EQ(request.header("host"), "10.0.0.2:8765");
    EXPECT_EQ(request.header("if-none-match"), "\"3-fr\"");
    EXPECT_EQ(request.header("Host"), "");  // callers ask in lower case
    EXPECT_EQ(request.header("accept"), "");
}

TEST(HttpRequest, MethodIsATokenInItsOwnCaseAndTheVersionExact) {
    HttpRequest request;
    ASSERT_TRUE(parseHttpRequest(withMethod("get"), request));
    EXPECT_EQ(request.method, "get");
    EXPECT_FALSE(parses("GET / HTTP/1.10\r\nHost: a\r\n\r\n"));
    EXPECT_FALSE(parses("GET /  HTTP/1.1\r\nHost: a\r\n\r\n"));
    EXPECT_FALSE(parses("GET /\r\nHost: a\r\n\r\n"));
    EXPECT_TRUE(parses(withMethod("M-!#$%&'*+.^_`|~")));
    EXPECT_FALSE(parses(withMethod("GE\"T")));
}

TEST(HttpRequest, TargetIsAnAbsolutePathOfVisibleAsciiUpTo2048Bytes) {
    EXPECT_TRUE(parses(withTarget("/a%20b?c=d&e=~!")));
    EXPECT_FALSE(parses(withTarget("/a\x7F")));
    EXPECT_FALSE(parses(withTarget("/a\tb")));
    EXPECT_FALSE(parses(withTarget("*")));
}

TEST(HttpRequest, ValuesAreTrimmedOfSpacesAndTabsOnly) {
    HttpRequest request;
    ASSERT_TRUE(parseHttpRequest(withHeaders("X-Pad:  abc\t\r\nX-Inner: a \t b\r\nX-Empty:\r\nX-Obs: caf\xC3\xA9\r\n"),
                                 request));
    EXPECT_EQ(request.header("x-pad"), "abc");
    EXPECT_EQ(request.header("x-inner"), "a \t b");
    EXPECT_EQ(request.header("x-empty"), "");
    EXPECT_EQ(request.fields.count("x-empty"), 1u);
    EXPECT_EQ(request.header("x-obs"), "caf\xC3\xA9");
    EXPECT_EQ(trim(" \t a b \t "), "a b");
    EXPECT_EQ(trim("\r a \n"), "\r a \n");
    EXPECT_EQ(trim(" \t "), "");
}

TEST(HttpRequest, RefusesControlBytesBareLineEndsAndFolding) {
    EXPECT_FALSE(parses(withHeaders("X: ab\r\r\n")));
    EXPECT_FALSE(parses(withHeaders(std::string("X: a\0b\r\n", 8))));
    EXPECT_FALSE(parses("GET / HTTP/1.1\r\n Host: a\r\n\r\n"));
}

TEST(HttpRequest, FieldNamesAreTokensBeforeAColon) {
    EXPECT_FALSE(parses(withHeaders("X Y: a\r\n")));
    EXPECT_FALSE(parses(withHeaders("X(: a\r\n")));
    HttpRequest request;
    ASSERT_TRUE(parseHttpRequest(withHeaders("X-ODD-~name: a:b\r\n"), request));
    EXPECT_EQ(request.header("x-odd-~name"), "a:b");  // the first colon separates
}

TEST(HttpRequest, RepeatedNamesAreRefusedWhateverTheirCaseOrValue) {
    EXPECT_FALSE(parses(withHeaders("Accept: a\r\naccept: b\r\n")));
}

TEST(HttpRequest, NeedsANonEmptyHostAndNoBody) {
    EXPECT_FALSE(parses("GET / HTTP/1.1\r\nHost:\r\n\r\n"));
    EXPECT_FALSE(parses("GET / HTTP/1.1\r\nHost: \t \r\n\r\n"));
    EXPECT_TRUE(parses(withHeaders("Content-Length:  0 \r\n")));
    EXPECT_FALSE(parses(withHeaders("Content-Length:\r\n")));
    EXPECT_FALSE(parses(withHeaders("Transfer-Encoding: identity\r\n")));
    EXPECT_FALSE(parses(withHeaders("Transfer-Encoding:\r\n")));
    EXPECT_FALSE(parses(withHeaders("Expect:\r\n")));
}

TEST(HttpRequest, TheHeadMustEndExactlyAtItsBlankLine) {
    EXPECT_FALSE(parses(ok + "\r\n"));
    EXPECT_FALSE(parses("GET / HTTP/1.1\r\n\r\nHost: a\r\n\r\n"));
    EXPECT_FALSE(parses(""));
    // No prefix of a valid head is itself a valid head.
    const std::string full = "GET /tok/ HTTP/1.1\r\nHost: a\r\nAccept: */*\r\n\r\n";
    for (std::size_t length = 0; length < full.size(); ++length) EXPECT_FALSE(parses(full.substr(0, length))) << length;
    EXPECT_TRUE(parses(full));
}

TEST(HttpRequest, HeadIsAtMost16384Bytes) {
    const std::string prefix = "GET / HTTP/1.1\r\nHost: a\r\nX-Fill: ";
    const std::string suffix = "\r\n\r\n";
    const std::string exact = prefix + std::string(16384 - prefix.size() - suffix.size(), 'f') + suffix;
    ASSERT_EQ(exact.size(), 16384u);
    EXPECT_TRUE(parses(exact));
    const std::string over = prefix + std::string(16385 - prefix.size() - suffix.size(), 'f') + suffix;
    EXPECT_FALSE(parses(over));
}

TEST(HttpRequest, StartsFromAnEmptyRequestEveryTime) {
    HttpRequest request;
    ASSERT_TRUE(parseHttpRequest(withHeaders("Accept: a\r\n"), request));
    ASSERT_TRUE(parseHttpRequest("HEAD /b HTTP/1.0\r\nHost: b\r\n\r\n", request));
    EXPECT_EQ(request.method, "HEAD");
    EXPECT_EQ(request.target, "/b");
    EXPECT_EQ(request.fields.size(), 1u);
    EXPECT_EQ(request.header("accept"), "");
    EXPECT_FALSE(parseHttpRequest("junk", request));
    EXPECT_TRUE(request.method.empty());
    EXPECT_TRUE(request.fields.empty());
}

TEST(TokenCharacter, IsExactlyTheTcharSet) {
    const std::string expected = "!#$%&'*+-.^_`|~0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    std::string found;
    for (int c = 0; c < 256; ++c)
        if (tokenCharacter(static_cast<char>(c))) found.push_back(static_cast<char>(c));
    std::string sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(found, sorted);
}
