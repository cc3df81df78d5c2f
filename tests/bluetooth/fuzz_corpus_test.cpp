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
    replayCorpus("obex_response", 40, [](const std::string& name, const std::string& input, bool seed) {
        bool completed = false;
        EXPECT_STREQ(obexcheck::pushFault(bytesOf(input), input.size(), &completed), "");
        EXPECT_TRUE(!seed || completed == (name.rfind("ok-", 0) == 0)) << "completed: " << completed;
    });
}

TEST(FuzzCorpus, TextConversionsKeepTheirProperties) {
    replayCorpus("text", 25, [](const std::string&, const std::string& input, bool) {
        EXPECT_STREQ(textcheck::conversionFault(bytesOf(input), input.size()), "");
    });
}

}  // namespace
