// Replays the fuzzer's seed corpus and every past crasher in both builds. Seeds named
// valid-* must parse, invalid-* must not; every input must leave an accepted request
// with all its properties.
#include "fuzz/http_request_properties.h"
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

#include <string>

namespace {

int replay(const char* kind) {
    int count = 0;
    for (const auto& [name, head] : fuzzInputs(kind, "http_request")) {
        HttpRequest request;
        const bool accepted = parseHttpRequest(head, request);
        if (accepted) {
            EXPECT_STREQ(acceptedRequestFault(head, request), "") << name;
        }
        if (name.rfind("valid-", 0) == 0) {
            EXPECT_TRUE(accepted) << name;
        } else if (name.rfind("invalid-", 0) == 0) {
            EXPECT_FALSE(accepted) << name;
        }
        ++count;
    }
    return count;
}

}  // namespace

TEST(HttpCorpus, SeedsParseAsTheirNamesSay) { EXPECT_GE(replay("corpus"), 40); }

TEST(HttpCorpus, PastCrashersStayHarmless) { EXPECT_GE(replay("regressions"), 1); }
