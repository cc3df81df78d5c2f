#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/language.h"
#include "link/transfer_server.h"
#include "tests/server/test_client.h"
#include "tests/support/patterned.h"
#include "tests/support/temp_file.h"

namespace testing_link {

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
