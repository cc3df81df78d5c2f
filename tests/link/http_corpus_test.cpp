// Replays the fuzzer's seed corpus and every past crasher in both builds. Seeds named
// valid-* must parse, invalid-* must not; every input must leave an accepted request
// with all its properties.
#include "fuzz/http_request_properties.h"
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

#include <string>

TEST(HttpCorpus, SeedsParseAsTheirNamesSayAndPastCrashersStayHarmless) {
    replayCorpus("http_request", 40, [](const std::string& name, const std::string& head, bool) {
        HttpRequest request;
        const bool accepted = parseHttpRequest(head, request);
        if (accepted) {
            EXPECT_STREQ(acceptedRequestFault(head, request), "");
        }
        if (name.rfind("valid-", 0) == 0 || name.rfind("invalid-", 0) == 0) {
            EXPECT_EQ(accepted, name[0] == 'v');
        }
    });
}
