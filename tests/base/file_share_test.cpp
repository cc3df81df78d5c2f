#include "base/file_share.h"
#include "base/random_token.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#endif

#include "tests/support/raised.h"

namespace fs = std::filesystem;

namespace {

// A fresh folder per test, removed afterwards.
class FileShareTest : public testing::Test {
protected:
    void SetUp() override {
        folder = fs::temp_directory_path() / ("tolvenaire-share-" + randomToken());
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    fs::path write(const std::string& name, const std::string& content) {
        fs::path file = folder / name;
        std::ofstream(file, std::ios::binary) << content;
        return file;
    }
    fs::path folder;
};

std::string readAll(FileReader& reader, std::uint64_t piece) {
    std::string data;
    std::vector<unsigned char> buffer(piece);
    for (int rounds = 0; rounds < 100000; ++rounds) {
        const std::uint64_t got = reader.read(buffer.data(), buffer.size());
        if (got == 0) break;
        data.append(reinterpret_cast<const char*>(buffer.data()), got);
    }
    return data;
}

}  // namespace

TEST(RandomToken, GivesThirtyTwoLowerCaseHexDigitsWithBothNibbles) {
    std::set<std::string> seen;
    std::set<char> digits;
    for (int i = 0; i < 64; ++i) {
        const std::string token = randomToken();
        ASSERT_EQ(token.size(), 32u);
        ASSERT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
        seen.insert(token);
        // Even positions are high nibbles, odd positions low ones: both must vary.
        for (std::size_t k = 0; k < token.size(); k += 2) digits.insert(token[k]);
    }
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(digits.size(), 16u);
}

TEST(FileName, IsWhatFollowsTheLastSeparatorOfEitherKind) {
    EXPECT_EQ(fileNameOf(L"C:\\Users\\ana\\photo.jpg"), L"photo.jpg");
    EXPECT_EQ(fileNameOf(L"/home/ana/notes.txt"), L"notes.txt");
    EXPECT_EQ(fileNameOf(L"C:\\mixed/dir\\last"), L"last");
    EXPECT_EQ(fileNameOf(L"C:/mixed\\dir/last"), L"last");
    EXPECT_EQ(fileNameOf(L"alone.txt"), L"alone.txt");
    EXPECT_EQ(fileNameOf(L"C:\\folder\\"), L"");
}

TEST_F(FileShareTest, OpensARegularFileAndRecordsItsFacts) {
    const fs::path file = write("report.pdf", "0123456789");
    FileShare share(file.wstring());
    EXPECT_NE(share.handle, FileShare::invalidHandle);
    EXPECT_EQ(share.path, file.wstring());
    EXPECT_EQ(share.name, L"report.pdf");
    EXPECT_EQ(share.size, 10u);
    ASSERT_EQ(share.id.size(), 32u);
    EXPECT_EQ(share.id.find_first_not_of("0123456789abcdef"), std::string::npos);

    FileShare again(file.wstring());
    EXPECT_NE(again.id, share.id);
}

TEST_F(FileShareTest, AcceptsAnEmptyFile) {
    FileShare share(write("empty.bin", "").wstring());
    EXPECT_EQ(share.size, 0u);
    FileReader reader(share);
    unsigned char byte;
    EXPECT_EQ(reader.read(&byte, 1), 0u);
}

TEST_F(FileShareTest, RefusesBadPathsMissingFilesAndFolders) {
    EXPECT_EQ(errorOf([] { FileShare share(L""); }), "Chemin de fichier invalide.");
    const std::wstring withNul = (folder / "a").wstring() + std::wstring(1, L'\0') + L"b";
    EXPECT_EQ(errorOf([&] { FileShare share(withNul); }), "Chemin de fichier invalide.");
    EXPECT_EQ(errorOf([&] { FileShare share((folder / "missing.txt").wstring()); }),
              "Fichier inaccessible ou ouvert en modification.");
    EXPECT_EQ(errorOf([&] { FileShare share(folder.wstring()); }), "Fichier inaccessible ou ouvert en modification.");
}

TEST_F(FileShareTest, TwoReadersReadTheWholeFileIndependently) {
    std::string content;
    for (int i = 0; i < 70000; ++i) content.push_back(static_cast<char>('a' + i % 26));
    FileShare share(write("data.bin", content).wstring());
    FileReader first(share), second(share);
    unsigned char head[100];
    ASSERT_EQ(first.read(head, sizeof head), 100u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(head), 100), content.substr(0, 100));
    // The second reader starts at 0 although the first has moved on, and vice versa.
    EXPECT_EQ(readAll(second, 4096), content);
    EXPECT_EQ(readAll(first, 65536), content.substr(100));
    FileReader third(share);
    EXPECT_EQ(readAll(third, 7), content);
}

#ifdef _WIN32

TEST_F(FileShareTest, AFileOpenForWritingElsewhereIsRefused) {
    const fs::path file = write("busy.txt", "draft");
    HANDLE writer = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(errorOf([&] { FileShare share(file.wstring()); }), "Fichier inaccessible ou ouvert en modification.");
    CloseHandle(writer);
    EXPECT_NO_THROW(FileShare share(file.wstring()));
}

TEST_F(FileShareTest, NobodyCanWriteOrDeleteASharedFile) {
    const fs::path file = write("held.txt", "original");
    {
        FileShare share(file.wstring());
        HANDLE writer = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        if (writer != INVALID_HANDLE_VALUE) CloseHandle(writer);
        EXPECT_FALSE(DeleteFileW(file.wstring().c_str()));
        // Other readers are welcome.
        HANDLE reader = CreateFileW(file.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(reader, INVALID_HANDLE_VALUE);
        if (reader != INVALID_HANDLE_VALUE) CloseHandle(reader);
    }
    // Released with the share.
    EXPECT_TRUE(DeleteFileW(file.wstring().c_str()));
}

#else

TEST_F(FileShareTest, RefusesNamedPipesAndDevicesWithoutWaiting) {
    const fs::path pipe = folder / "pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    // Opening a pipe for reading would wait for a writer forever.
    EXPECT_EQ(errorOf([&] { FileShare share(pipe.wstring()); }), "Selectionnez un fichier local lisible.");
    EXPECT_EQ(errorOf([] { FileShare share(L"/dev/null"); }), "Selectionnez un fichier local lisible.");
}

TEST_F(FileShareTest, ReadersKeepTheSharedFileAfterItIsRenamedOrRemoved) {
    const fs::path file = write("moving.txt", "kept content");
    FileShare share(file.wstring());
    fs::rename(file, folder / "moved.txt");
    FileReader first(share);
    EXPECT_EQ(readAll(first, 64), "kept content");
    // A new file under the old name must not be what the share serves.
    write("moving.txt", "impostor");
    fs::remove(folder / "moved.txt");
    FileReader second(share);
    EXPECT_EQ(readAll(second, 64), "kept content");
}

#endif
