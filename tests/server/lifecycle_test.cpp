// Start and stop of the link server, its ports, and the limits that keep one host
// or a flood of silent connections from tying it up.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_fixture.h"
#include "tests/support/eventually.h"
#include "tests/support/raised.h"

namespace testing_link {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

const char* const addressMessage = "Adresse IPv4 locale invalide. Selectionnez une interface du PC.";
const char* const portsMessage = "Adresse ou ports 8765 a 8785 indisponibles. Verifiez la connexion reseau.";

std::string stateRequest(const TransferServer& server) {
    return request("GET", "/" + server.token + "/state", server.address + ":" + std::to_string(server.port));
}

// No server answers the request: the port is closed, or its server does not know the token.
bool linkIsDead(std::uint16_t port, const std::string& raw) {
    try {
        return exchange("127.0.0.1", port, raw).status == 404;
    } catch (const std::runtime_error&) {
        return true;  // refused: nothing listens there any more
    }
}

// Asks for the state until it is answered or `limit` passes; refused attempts are retried.
bool answeredWithin(const TransferServer& server, Clock::duration limit, const std::string& source) {
    return eventually(
        [&] {
            int status = 0;
            // A connection refused by a full backlog is tried again.
            errorOf([&] {
                Client client("127.0.0.1", server.port, source);
                client.send(stateRequest(server));
                bool closed = false;
                status = parseAnswer(client.receiveAll(milliseconds(500), &closed)).status;
            });
            return status == 200;
        },
        std::chrono::duration_cast<milliseconds>(limit));
}

// Shares the file and opens one download of it per source that the client does not
// read, waiting until each head arrives, which proves a worker is busy with it.
std::vector<std::unique_ptr<Client>> stalledDownloads(TransferServer& server, const TempFile& file,
                                                      std::initializer_list<const char*> sources) {
    auto share = file.share();
    server.setFile(share);
    const std::string id = share->id;
    std::vector<std::unique_ptr<Client>> clients;
    for (const char* source : sources) {
        auto client = std::make_unique<Client>("127.0.0.1", server.port, source, true);
        client->send(request("GET", "/" + server.token + "/file/" + id, "127.0.0.1:" + std::to_string(server.port)));
        std::string first = client->receive(1, seconds(10));
        EXPECT_EQ(first, "H") << "download from " << source << " was not served";
        clients.push_back(std::move(client));
    }
    return clients;
}

TEST(ServerLifecycle, NewServerIsStoppedAndStopIsHarmless) {
    TransferServer server("p", "s", "j");
    EXPECT_FALSE(server.running.load());
    EXPECT_EQ(server.port, 0);
    EXPECT_EQ(server.token, "");
    EXPECT_EQ(server.snapshot().revision, 0u);
    EXPECT_EQ(*server.snapshot().text, "");
    server.stop();
    EXPECT_FALSE(server.running.load());
}

TEST(ServerLifecycle, RefusesAddressesThatAreNotOneLocalIpv4Address) {
    TransferServer server("p", "s", "j");
    for (const char* bad : {"0.0.0.0", "224.0.0.1", "239.1.2.3", "255.255.255.255", "localhost", "", "127.0.0", "::1",
                            "127.0.0.1 ", "1.2.3.4.5"}) {
        EXPECT_EQ(errorOf([&] { server.start(bad); }), addressMessage) << bad;
        EXPECT_FALSE(server.running.load()) << bad;
    }
}

TEST(ServerLifecycle, StartIsIdempotentAndEveryRestartDrawsANewToken) {
    startSockets();
    TransferServer server("p", "s", "j");
    server.setText("kept");
    server.start("127.0.0.1");
    ASSERT_TRUE(server.running.load());
    const std::string token = server.token;
    const std::uint16_t port = server.port;
    EXPECT_EQ(token.size(), 32u);
    EXPECT_GE(port, 8765);
    EXPECT_LE(port, 8785);

    server.start("127.0.0.1");
    EXPECT_EQ(server.token, token);
    EXPECT_EQ(server.port, port);
    // The PC's own connection (a Preview) is no phone; another host's is
    // (linkserver_peers_tests, in namespaces).
    EXPECT_EQ(exchange("127.0.0.1", port, stateRequest(server)).status, 200);
    EXPECT_FALSE(server.reached.load());

    const std::string oldRequest = stateRequest(server);
    server.stop();
    EXPECT_FALSE(server.running.load());
    server.stop();
    server.start("127.0.0.1");
    ASSERT_TRUE(server.running.load());
    EXPECT_NE(server.token, token);
    EXPECT_EQ(server.lastStatePoll.load(), 0u);
    EXPECT_FALSE(server.reached.load());
    EXPECT_EQ(*server.snapshot().text, "kept");
    EXPECT_EQ(server.snapshot().revision, 1u);
    // The restart may take the same port or, where the system keeps it a while after
    // the server's own closes, the next free one: the old link is dead either way.
    EXPECT_GE(server.port, 8765);
    EXPECT_LE(server.port, 8785);
    EXPECT_TRUE(linkIsDead(port, oldRequest)) << "old link on its own port " << port;
    const std::string oldTokenHere = request("GET", "/" + token + "/state", "127.0.0.1:" + std::to_string(server.port));
    EXPECT_TRUE(linkIsDead(server.port, oldTokenHere)) << "old token on the new port " << server.port;
    EXPECT_EQ(exchange("127.0.0.1", server.port, stateRequest(server)).status, 200);
}

// On a loopback address of its own, so that link servers of other runs on 127.0.0.1
// cannot take the ports this test counts on.
TEST(ServerLifecycle, TakesTheFirstFreePortFrom8765UpAndFailsWhenAllAreTaken) {
    startSockets();
    const std::string where = "127.0.0.77";
    {
        TransferServer server("p", "s", "j");
        server.start(where);
        EXPECT_EQ(server.port, 8765);
    }
    {
        PortHolder first(where, 8765), second(where, 8766);
        ASSERT_TRUE(first.held() && second.held());
        TransferServer server("p", "s", "j");
        server.start(where);
        EXPECT_EQ(server.port, 8767);
        EXPECT_EQ(exchange(where, server.port, stateRequest(server)).status, 200);
    }
    std::vector<std::unique_ptr<PortHolder>> holders;
    for (int port = 8765; port <= 8785; ++port) {
        holders.push_back(std::make_unique<PortHolder>(where, static_cast<std::uint16_t>(port)));
        ASSERT_TRUE(holders.back()->held()) << port;
    }
    TransferServer server("p", "s", "j");
    EXPECT_EQ(errorOf([&] { server.start(where); }), portsMessage) << "started on port " << server.port;
    EXPECT_FALSE(server.running.load());
    holders.pop_back();  // frees 8785 only
    server.start(where);
    EXPECT_EQ(server.port, 8785);
}

class ServerLimits : public ServerTest {};

TEST_F(ServerLimits, FourthConnectionFromOneAddressIsClosedWhileAnotherAddressIsServed) {
    std::vector<std::unique_ptr<Client>> phone;
    phone.reserve(3);
    for (int i = 0; i < 3; ++i) phone.push_back(std::make_unique<Client>("127.0.0.1", server.port, "127.0.0.2"));
    Client fourth("127.0.0.1", server.port, "127.0.0.2");
    fourth.send(stateRequest(server));
    EXPECT_TRUE(fourth.closedWithoutAnswer(seconds(3)));
    EXPECT_EQ(send(stateRequest(server), "127.0.0.3").status, 200);

    // Once the three are gone, their address is welcome again.
    phone.clear();
    EXPECT_TRUE(answeredWithin(server, seconds(3), "127.0.0.2"));
}

// Downloads from `count` sources, three per address from 127.0.0.`first` on, that the
// clients do not read: none ends while the test holds it.
std::vector<std::unique_ptr<Client>> unreadDownloads(const TransferServer& server, const std::string& id, int count,
                                                     int first) {
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < count; ++i) {
        const std::string source = "127.0.0." + std::to_string(first + i / 3);
        clients.push_back(std::make_unique<Client>("127.0.0.1", server.port, source, true));
        clients.back()->send(
            request("GET", "/" + server.token + "/file/" + id, server.address + ":" + std::to_string(server.port)));
    }
    return clients;
}

// Takes the first byte of each download that has one; how many have started in all.
std::size_t started(std::vector<std::unique_ptr<Client>>& downloads, std::vector<bool>& begun) {
    begun.resize(downloads.size());
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        if (!begun[i]) begun[i] = downloads[i]->receive(1, milliseconds(3)) == "H";
    }
    return static_cast<std::size_t>(std::count(begun.begin(), begun.end(), true));
}

TEST_F(ServerLimits, DownloadsBeyondTheLaneWaitTheirTurnPagesDoNotAndTheTotalIsBounded) {
    constexpr std::size_t streamed = 32;  // downloads sent at once
    constexpr std::size_t total = 128;    // connections open at once
    TempFile big("big.bin", std::uint64_t{256} * 1024 * 1024);
    auto share = big.share();
    server.setFile(share);
    auto downloads = unreadDownloads(server, share->id, streamed + 1, 20);
    std::vector<bool> begun;
    ASSERT_TRUE(eventually([&] { return started(downloads, begun) == streamed; }, seconds(20)))
        << started(downloads, begun) << " downloads started";
    // One more waits with nothing sent, neither refused nor reset.
    EXPECT_EQ(started(downloads, begun), streamed);
    const auto waiting = static_cast<std::size_t>(std::find(begun.begin(), begun.end(), false) - begun.begin());
    EXPECT_FALSE(downloads[waiting]->closedWithoutAnswer(milliseconds(300)));

    // A phone's poll does not queue behind them.
    const auto before = Clock::now();
    Client poll("127.0.0.1", server.port, "127.0.0.2");
    poll.send(stateRequest(server));
    EXPECT_EQ(parseAnswer(poll.receiveAll(seconds(1))).status, 200);
    EXPECT_LT(Clock::now() - before, seconds(1));

    // Waiting downloads count: with the total open, one more connection is closed.
    auto more = unreadDownloads(server, share->id, static_cast<int>(total - streamed - 1), 40);
    Client beyond("127.0.0.1", server.port, "127.0.0.3");
    beyond.send(stateRequest(server));
    EXPECT_TRUE(beyond.closedWithoutAnswer(seconds(5)));

    // A download that ends gives its turn to the first one waiting.
    downloads[waiting == 0 ? 1 : 0].reset();
    EXPECT_TRUE(eventually([&] { return downloads[waiting]->receive(1, milliseconds(3)) == "H"; }, seconds(10)));
    downloads.clear();
    more.clear();
    EXPECT_TRUE(answeredWithin(server, seconds(10), "127.0.0.3"));
}

TEST_F(ServerLimits, StopDuringFourDownloadsReturnsPromptlyAndCutsThem) {
    TempFile big("big.bin", std::uint64_t{256} * 1024 * 1024);
    auto downloads = stalledDownloads(server, big, {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.5"});
    const auto before = Clock::now();
    server.stop();
    const auto took = std::chrono::duration_cast<milliseconds>(Clock::now() - before);
    EXPECT_LT(took.count(), 1500) << "stop took " << took.count() << " ms";
    EXPECT_FALSE(server.running.load());
    for (auto& download : downloads) {
        bool closed = false;
        std::string rest = download->receiveAll(seconds(20), &closed);
        EXPECT_TRUE(closed);
        EXPECT_LT(rest.size(), std::size_t{256} * 1024 * 1024) << "the body should be cut short";
    }
    EXPECT_THROW(Client("127.0.0.1", server.port), std::runtime_error) << "nobody listens after stop";
}

TEST_F(ServerLimits, TlsClientHelloIsRefusedAtOnceAndItsWorkerServesAgain) {
    // The first bytes of openssl s_client's ClientHello (record, handshake, version, then
    // its random): what Chrome sends first when it tries HTTPS on the link's port.
    const std::string hello("\x16\x03\x01\x01\x24\x01\x00\x01\x20\x03\x03\x6d\xb3\xb4\x1c\x83", 16);
    // A silent connection, given up only at its head time-out, holds one worker and
    // stands as the clock: every hello must be answered while it is still open.
    Client silent("127.0.0.1", server.port, "127.0.0.2");
    std::vector<std::unique_ptr<Client>> hellos;
    for (int address = 3; address <= 11; ++address) {
        hellos.push_back(std::make_unique<Client>("127.0.0.1", server.port, "127.0.0." + std::to_string(address)));
        hellos.back()->send(hello);
    }
    // Nine hellos on the seven other workers: the last two are served only by a worker
    // freed from an earlier one.
    for (auto& client : hellos) {
        bool closed = false;
        const Answer answer = parseAnswer(client->receiveAll(seconds(10), &closed));
        EXPECT_TRUE(closed);
        EXPECT_EQ(answer.status, 400) << answer.head;
    }
    EXPECT_FALSE(silent.closedWithoutAnswer(milliseconds(50))) << "a hello was held until the head time-out";
}

TEST_F(ServerLimits, FloodOfSilentConnectionsDelaysButDoesNotStarveAPhone) {
    std::vector<std::unique_ptr<Client>> flood;
    for (int address = 2; address <= 9; ++address) {
        for (int i = 0; i < 3; ++i) {
            flood.push_back(std::make_unique<Client>("127.0.0.1", server.port, "127.0.0." + std::to_string(address)));
        }
    }
    const auto before = Clock::now();
    EXPECT_TRUE(answeredWithin(server, seconds(6), "127.0.0.1")) << "no answer within 6 s under the flood";
    const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - before).count();
    RecordProperty("waited_ms", static_cast<int>(waited));

    flood.clear();
    // Fully responsive again: four phones at once are all answered on their first try.
    std::vector<std::unique_ptr<Client>> phones;
    for (int address = 10; address < 14; ++address) {
        phones.push_back(std::make_unique<Client>("127.0.0.1", server.port, "127.0.0." + std::to_string(address)));
        phones.back()->send(stateRequest(server));
    }
    for (auto& phone : phones) {
        EXPECT_EQ(parseAnswer(phone->receiveAll(seconds(5))).status, 200);
    }
}

}  // namespace
}  // namespace testing_link
