#pragma once

// Replays a fuzzer's seeds and past crashers in the unit tests, in both builds.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/source_tree.h"

// Calls check(name, bytes, seed) for every regular file of fuzz/corpus/<target>
// (seed true) and fuzz/regressions/<target> (seed false), and expects at least
// `leastSeeds` seeds and one past crasher, so that a moved folder is not taken for
// a clean run.
template <class Check>
void replayCorpus(const char* target, int leastSeeds, Check check) {
    namespace fs = std::filesystem;
    for (const char* kind : {"corpus", "regressions"}) {
        const bool seed = std::string(kind) == "corpus";
        const fs::path folder = sourceTree() / "fuzz" / kind / target;
        int count = 0;
        if (fs::is_directory(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
                std::ifstream in(entry.path(), std::ios::binary);
                const std::string name = entry.path().filename().string();
                const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
                SCOPED_TRACE(std::string(kind) + "/" + name);
                check(name, bytes, seed);
                ++count;
            }
        }
        EXPECT_GE(count, seed ? leastSeeds : 1) << kind << " of " << target;
    }
}
