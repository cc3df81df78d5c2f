#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "base/file_share.h"
#include "base/language.h"
#include "link/transfer_server.h"
#include "tests/server/test_client.h"

namespace testing_link {

// A file in a fresh temporary folder, removed with the object.
class TempFile {
public:
    TempFile(const std::filesystem::path& name, const std::string& content);
    // A file of `size` bytes that holds nothing but zeros, made without writing them.
    TempFile(const std::filesystem::path& name, std::uint64_t size);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::shared_ptr<FileShare> share() const;

private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

// Bytes that differ from piece to piece, so a reordered or repeated piece shows.
std::string patterned(std::size_t size);

// A started server on 127.0.0.1 serving three small assets, in French.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string host() const;
    std::string base() const;  // "/" + token + "/"
    Answer get(const std::string& path, const std::string& extra = std::string(), const std::string& method = "GET");
    Answer send(const std::string& raw, const std::string& source = "127.0.0.1");

    TransferServer server{"<p>page</p>", "p{color:red}", "void 0;"};
};

}  // namespace testing_link
