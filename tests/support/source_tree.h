#pragma once

#include <filesystem>

// The folder of the sources, as the test program reaches it (under Wine through drive Z:).
// It lives in one small generated source: a path in the compile commands would make
// every clone miss the compiler cache.
std::filesystem::path sourceTree();
