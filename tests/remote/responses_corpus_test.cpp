// Replays the seeds and past crashers of the answer-reader fuzzer in both builds.
#include "fuzz/remote_response_properties.h"
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

TEST(FuzzCorpus, AnswerReadersKeepTheirProperties) {
    int seeds = 0;
    int regressions = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const auto& [name, input] : fuzzInputs(kind, "remote_response")) {
            EXPECT_STREQ(remotecheck::responseFault(input), "") << kind << "/" << name;
            (std::string(kind) == "corpus" ? seeds : regressions) += 1;
        }
    }
    EXPECT_GE(seeds, 15);
    EXPECT_GE(regressions, 1);
}
