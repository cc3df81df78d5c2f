#include "tests/server/server_fixture.h"

#include <atomic>
#include <chrono>
#include <fstream>

#include "base/text.h"

namespace testing_link {
namespace {

std::filesystem::path freshFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    auto folder = std::filesystem::temp_directory_path() /
                  ("linkserver-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

TempFile::TempFile(const std::filesystem::path& name, const std::string& content)
    : folder_(freshFolder()), path_(folder_ / name) {
    std::ofstream out(path_, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

TempFile::TempFile(const std::filesystem::path& name, std::uint64_t size)
    : folder_(freshFolder()), path_(folder_ / name) {
    { std::ofstream out(path_, std::ios::binary); }
    std::filesystem::resize_file(path_, size);
}

TempFile::~TempFile() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::shared_ptr<FileShare> TempFile::share() const {
#ifdef _WIN32
    return std::make_shared<FileShare>(path_.wstring());
#else
    return std::make_shared<FileShare>(wide(path_.string()));
#endif
}

std::string patterned(std::size_t size) {
    std::string bytes(size, '\0');
    std::uint32_t state = 2463534242u;
    for (char& c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = static_cast<char>(state);
    }
    return bytes;
}

void ServerTest::SetUp() {
    startSockets();
    Ui::english = false;
    server.start("127.0.0.1");
    ASSERT_TRUE(server.running.load());
}

void ServerTest::TearDown() {
    server.stop();
    Ui::english = false;
}

std::string ServerTest::host() const { return "127.0.0.1:" + std::to_string(server.port); }

std::string ServerTest::base() const { return "/" + server.token + "/"; }

Answer ServerTest::get(const std::string& path, const std::string& extra, const std::string& method) {
    return send(request(method, base() + path, host(), extra));
}

Answer ServerTest::send(const std::string& raw, const std::string& source) {
    return exchange("127.0.0.1", server.port, raw, source);
}

}  // namespace testing_link
