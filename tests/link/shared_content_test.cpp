#include "link/transfer_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#include "tests/support/raised.h"

TEST(SharedContent, StartsEmptyAtRevisionZero) {
    TransferServer server("<html>", "body{}", "void 0;");
    const SharedContent content = server.snapshot();
    ASSERT_NE(content.text, nullptr);
    EXPECT_EQ(*content.text, "");
    EXPECT_EQ(content.file, nullptr);
    EXPECT_EQ(content.revision, 0u);
}

TEST(SharedContent, EveryCallRaisesTheRevisionEvenWithoutChange) {
    TransferServer server("", "", "");
    server.setText("bonjour");
    server.setText("bonjour");
    EXPECT_EQ(server.snapshot().revision, 2u);
    EXPECT_EQ(*server.snapshot().text, "bonjour");
    server.setFile(nullptr);
    const SharedContent content = server.snapshot();
    EXPECT_EQ(content.revision, 3u);
    EXPECT_EQ(content.file, nullptr);
    EXPECT_EQ(*content.text, "bonjour");
}

TEST(SharedContent, SnapshotsKeepTheirTextAfterItIsReplaced) {
    TransferServer server("", "", "");
    server.setText("first");
    const SharedContent before = server.snapshot();
    server.setText("second");
    EXPECT_EQ(*before.text, "first");
    EXPECT_EQ(before.revision, 1u);
    EXPECT_EQ(*server.snapshot().text, "second");
}

TEST(SharedContent, TextIsLimitedToFourMebibytesAndAFailureChangesNothing) {
    TransferServer server("", "", "");
    server.setText("before");
    std::string limit(TransferServer::maximumTextBytes, 'a');
    EXPECT_EQ(limit.size(), 4194304u);
    // A multi-byte character right at the end must be accepted whole.
    limit.replace(limit.size() - 2, 2, "\xC3\xA9");
    server.setText(limit);
    EXPECT_EQ(server.snapshot().text->size(), 4194304u);
    EXPECT_EQ(server.snapshot().revision, 2u);

    server.setText("before");
    EXPECT_EQ(errorOf<std::length_error>([&] { server.setText(std::string(4194305, 'a')); }),
              "Texte limite a 4 Mo en UTF-8.");
    EXPECT_EQ(server.snapshot().revision, 3u);
    EXPECT_EQ(*server.snapshot().text, "before");
}

TEST(SharedContent, InvalidUtf8TextIsRefusedAndChangesNothing) {
    TransferServer server("", "", "");
    server.setText("kept");
    EXPECT_THROW(server.setText("bad \xC3("), std::runtime_error);
    EXPECT_EQ(server.snapshot().revision, 1u);
    EXPECT_EQ(*server.snapshot().text, "kept");
}

TEST(SharedContent, TextAndRevisionAreAlwaysSeenTogether) {
    TransferServer server("", "", "");
    constexpr int changes = 2000;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 1; i <= changes; ++i) server.setText(std::to_string(i));
        done = true;
    });
    int mismatches = 0;
    std::uint64_t last = 0;
    for (int reads = 0; reads < 1000000 && !done; ++reads) {
        const SharedContent content = server.snapshot();
        if (content.revision < last) ++mismatches;  // never goes back
        last = content.revision;
        if (content.revision > 0 && *content.text != std::to_string(content.revision)) ++mismatches;
    }
    writer.join();
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(server.snapshot().revision, static_cast<std::uint64_t>(changes));
}

TEST(PrivateLink, AddressPortAndToken) {
    TransferServer server("page", "style", "script");
    server.address = "192.168.1.20";
    server.port = 8765;
    server.token = "0123456789abcdef0123456789abcdef";
    EXPECT_EQ(server.link(), "http://192.168.1.20:8765/0123456789abcdef0123456789abcdef/");
    server.address = "10.0.0.1";
    server.port = 65535;
    server.token = "t";
    EXPECT_EQ(server.link(), "http://10.0.0.1:65535/t/");
}
