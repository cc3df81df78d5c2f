// Replays the seeds and past crashers of the answer-reader fuzzer in both builds.
#include "fuzz/remote_response_properties.h"
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

TEST(FuzzCorpus, AnswerReadersKeepTheirProperties) {
    replayCorpus("remote_response", 15, [](const std::string&, const std::string& input, bool) {
        EXPECT_STREQ(remotecheck::responseFault(input), "");
    });
}
