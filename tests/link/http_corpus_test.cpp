// Replays the fuzzer's seed corpus and every past crasher in both builds. Seeds named
// valid-* must parse, invalid-* must not; every input must leave an accepted request
// with all its properties.
#include "fuzz/http_request_properties.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int replay(const fs::path& folder) {
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const std::string head = contents(entry.path());
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

TEST(HttpCorpus, SeedsParseAsTheirNamesSay) {
    const fs::path folder = fs::path(TOLVENAIRE_FUZZ_DIR) / "corpus" / "http_request";
    ASSERT_TRUE(fs::is_directory(folder)) << folder.string();
    EXPECT_GE(replay(folder), 40);
}

TEST(HttpCorpus, PastCrashersStayHarmless) {
    const fs::path folder = fs::path(TOLVENAIRE_FUZZ_DIR) / "regressions" / "http_request";
    ASSERT_TRUE(fs::is_directory(folder)) << folder.string();
    replay(folder);
}
