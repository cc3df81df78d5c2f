#pragma once

// A file in a folder of its own under the system's temporary folder, removed with
// the object; the folder's name is drawn at random, so tests running side by side
// (each natively in its own process) never share one.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>

#include "base/file_share.h"
#include "base/text.h"

class TempFile {
public:
    TempFile(const std::filesystem::path& name, const std::string& content) : TempFile(name) {
        std::ofstream out(path_, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    // `size` bytes of zeros, made without writing them.
    TempFile(const std::filesystem::path& name, std::uint64_t size) : TempFile(name) {
        { std::ofstream out(path_, std::ios::binary); }
        std::filesystem::resize_file(path_, size);
    }
    ~TempFile() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::wstring wpath() const {
#ifdef _WIN32
        return path_.wstring();
#else
        return wide(path_.string());
#endif
    }
    std::shared_ptr<FileShare> share() const { return std::make_shared<FileShare>(wpath()); }

private:
    explicit TempFile(const std::filesystem::path& name) : folder_(freshFolder()), path_(folder_ / name) {}
    static std::filesystem::path freshFolder() {
        std::random_device random;
        auto folder = std::filesystem::temp_directory_path() /
                      ("tolvenaire-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(folder);
        return folder;
    }

    std::filesystem::path folder_;
    std::filesystem::path path_;
};
