#pragma once

// Files in a folder of their own under the system's temporary folder, removed with
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

// A folder of its own, removed with everything in it along with the object.
class TempFolder {
public:
    TempFolder() : path_(fresh()) {}
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Writes `content` to the file `name` inside; its path.
    std::filesystem::path write(const std::filesystem::path& name, const std::string& content) const {
        std::ofstream out(path_ / name, std::ios::binary);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        return path_ / name;
    }

private:
    static std::filesystem::path fresh() {
        std::random_device random;
        auto folder = std::filesystem::temp_directory_path() /
                      ("tolvenaire-test-" + std::to_string(random()) + "-" + std::to_string(random()));
        std::filesystem::create_directories(folder);
        return folder;
    }
    std::filesystem::path path_;
};

class TempFile {
public:
    TempFile(const std::filesystem::path& name, const std::string& content) : path_(folder_.write(name, content)) {}
    // `size` bytes of zeros, made without writing them.
    TempFile(const std::filesystem::path& name, std::uint64_t size) : path_(folder_.write(name, {})) {
        std::filesystem::resize_file(path_, size);
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
    TempFolder folder_;
    std::filesystem::path path_;
};
