#include "tests/server/server_fixture.h"

namespace testing_link {

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
