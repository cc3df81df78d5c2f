#pragma once

// Reads a fuzzer's seed or regression folder for the unit tests, which replay every
// input in both builds.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/source_tree.h"

// (file name, bytes) of every regular file in fuzz/<kind>/<target>.
inline std::vector<std::pair<std::string, std::string>> fuzzInputs(const char* kind, const char* target) {
    namespace fs = std::filesystem;
    std::vector<std::pair<std::string, std::string>> inputs;
    const fs::path folder = sourceTree() / "fuzz" / kind / target;
    if (!fs::is_directory(folder)) return inputs;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file() || entry.path().filename() == "README") continue;
        std::ifstream in(entry.path(), std::ios::binary);
        inputs.emplace_back(entry.path().filename().string(),
                            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
    }
    return inputs;
}
