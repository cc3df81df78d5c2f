// Replays the seeds and past crashers of the OBEX-answer and text-conversion fuzzers
// in both builds: under Wine the conversions are the system's, natively our own.
#include "fuzz/obex_response_properties.h"
#include "fuzz/text_properties.h"
#include "tests/support/corpus.h"

#include <gtest/gtest.h>

namespace {

const std::uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const std::uint8_t*>(s.data()); }

// Seeds named ok-* are pushes the phone confirms; every other seed must fail.
TEST(FuzzCorpus, ObexAnswersEndAsTheirNamesSay) {
    int seeds = 0;
    int regressions = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const auto& [name, input] : fuzzInputs(kind, "obex_response")) {
            bool completed = false;
            EXPECT_STREQ(obexcheck::pushFault(bytesOf(input), input.size(), &completed), "") << kind << "/" << name;
            if (std::string(kind) == "corpus") {
                EXPECT_EQ(completed, name.rfind("ok-", 0) == 0) << name;
                ++seeds;
            } else {
                ++regressions;
            }
        }
    }
    EXPECT_GE(seeds, 40);
    EXPECT_GE(regressions, 1);
}

TEST(FuzzCorpus, TextConversionsKeepTheirProperties) {
    int seeds = 0;
    int regressions = 0;
    for (const char* kind : {"corpus", "regressions"}) {
        for (const auto& [name, input] : fuzzInputs(kind, "text")) {
            EXPECT_STREQ(textcheck::conversionFault(bytesOf(input), input.size()), "") << kind << "/" << name;
            (std::string(kind) == "corpus" ? seeds : regressions) += 1;
        }
    }
    EXPECT_GE(seeds, 25);
    EXPECT_GE(regressions, 1);
}

}  // namespace
