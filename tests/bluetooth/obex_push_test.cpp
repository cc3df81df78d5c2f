#include "bluetooth/obex_push.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <numeric>
#include <utility>

#include "tests/bluetooth/scripted_channel.h"
#include "tests/support/obex_refusal.h"
#include "tests/support/patterned.h"

namespace {

using testing::_;
using testing::ElementsAre;
using testing::Pair;

// One object to push and what happened to it.
struct Push {
    Bytes data;
    std::size_t readerCalls = 0;
    std::size_t readPos = 0;
    std::size_t pieceLimit = static_cast<std::size_t>(-1);  // largest piece the reader hands out
    std::vector<std::pair<ObexPhase, unsigned long long>> progress;

    explicit Push(std::size_t size = 0) : data(patterned<Bytes>(size)) {}

    void run(ObexChannel& channel, const std::wstring& name = L"photo.jpg", const std::string& type = "image/jpeg",
             unsigned long long size = ~0ull) {
        pushObexFile(
            channel, name, size == ~0ull ? data.size() : size, type,
            [this](unsigned char* buffer, unsigned long long count) -> unsigned long long {
                ++readerCalls;
                std::size_t n =
                    std::min<std::size_t>({static_cast<std::size_t>(count), data.size() - readPos, pieceLimit});
                std::copy(data.begin() + readPos, data.begin() + readPos + n, buffer);
                readPos += n;
                return n;
            },
            [this](ObexPhase phase, unsigned long long value) { progress.emplace_back(phase, value); });
    }
};

// Scripts a full, accepted push: CONNECT answer, Continue to the offer and to every
// body packet but the last, Success to the last.
void scriptAccepted(ScriptedChannel& ch, unsigned maxPacket, const Bytes& connectHeaders, std::size_t bodyPackets) {
    ch.respond(connectResponse(maxPacket, connectHeaders));
    ch.respond(packet(0x90));
    for (std::size_t i = 1; i < bodyPackets; ++i) ch.respond(packet(0x90));
    ch.respond(packet(0xA0));
}

// Scripts the phone's answers: the CONNECT answer with its packet size, then one
// response code per request.
void scriptAnswers(ScriptedChannel& ch, unsigned maxPacket, std::initializer_list<unsigned char> codes) {
    ch.respond(connectResponse(maxPacket));
    for (unsigned char code : codes) ch.respond(packet(code));
}

unsigned length16(const Bytes& p, std::size_t at) { return (p[at] << 8) | p[at + 1]; }

// The size of each packet the client wrote.
std::vector<std::size_t> sizesOf(const ScriptedChannel& ch) {
    std::vector<std::size_t> sizes;
    for (const Bytes& packet : ch.writes) sizes.push_back(packet.size());
    return sizes;
}

// The body bytes carried by the body packets (writes 2 .. n-2), checking their framing.
Bytes bodyOf(const ScriptedChannel& ch, std::size_t idSize) {
    Bytes out;
    for (std::size_t i = 2; i + 1 < ch.writes.size(); ++i) {
        const Bytes& p = ch.writes[i];
        EXPECT_EQ(length16(p, 1), p.size());
        const std::size_t h = 3 + idSize;
        EXPECT_EQ(length16(p, h + 1), p.size() - h);
        out.insert(out.end(), p.begin() + h + 3, p.end());
    }
    return out;
}

TEST(ObexPush, EmptyObjectSendsOneEmptyEndOfBodyAndNeverReads) {
    ScriptedChannel ch;
    scriptAccepted(ch, 1024, {}, 1);
    Push push;
    push.run(ch, L"a.txt", "text/plain");

    ASSERT_EQ(ch.writes.size(), 4u);
    EXPECT_EQ(ch.writes[0], (Bytes{0x80, 0x00, 0x07, 0x10, 0x00, 0xFF, 0xFF}));
    EXPECT_EQ(ch.writes[1],
              (Bytes{0x02, 0x00, 0x25,                                                          // PUT, 37 bytes
                     0x01, 0x00, 0x0F, 0,   'a', 0,   '.', 0,   't', 0,   'x', 0,   't', 0, 0,  // Name
                     0x42, 0x00, 0x0E, 't', 'e', 'x', 't', '/', 'p', 'l', 'a', 'i', 'n', 0, 0xC3, 0, 0, 0, 0}));
    EXPECT_EQ(ch.writes[2], (Bytes{0x82, 0x00, 0x06, 0x49, 0x00, 0x03}));
    EXPECT_EQ(ch.writes[3], (Bytes{0x81, 0x00, 0x03}));
    EXPECT_EQ(push.readerCalls, 0u);
    EXPECT_THAT(push.progress, ElementsAre(Pair(ObexPhase::Connecting, 0), Pair(ObexPhase::AwaitingAcceptance, 0),
                                           Pair(ObexPhase::Sending, 0)));
}

TEST(ObexPush, SmallestPacketWithConnectionIdGives244ByteChunksAndIdEverywhere) {
    ScriptedChannel ch;
    scriptAccepted(ch, 255, connectionIdHeader, 3);
    Push push(600);
    push.pieceLimit = 100;  // the chunk must be filled from several reader calls
    push.run(ch);

    ASSERT_THAT(sizesOf(ch), ElementsAre(_, _, 255u, 255u, _, _));
    for (std::size_t i = 1; i < ch.writes.size(); ++i)
        EXPECT_EQ(Bytes(ch.writes[i].begin() + 3, ch.writes[i].begin() + 8), connectionIdHeader) << i;
    EXPECT_EQ(ch.writes[2][0], 0x02);
    EXPECT_EQ(ch.writes[2][8], 0x48);
    EXPECT_EQ(ch.writes[4][0], 0x82);
    EXPECT_EQ(ch.writes[4][8], 0x49);
    EXPECT_EQ(bodyOf(ch, 5), push.data);
    EXPECT_EQ(ch.writes[5], (Bytes{0x81, 0x00, 0x08, 0xCB, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_THAT(push.progress, ElementsAre(Pair(ObexPhase::Connecting, 0), Pair(ObexPhase::AwaitingAcceptance, 0),
                                           Pair(ObexPhase::Sending, 244), Pair(ObexPhase::Sending, 488),
                                           Pair(ObexPhase::Sending, 600)));
}

TEST(ObexPush, LargestPeerPacketStillCapsChunksAt16KiB) {
    ScriptedChannel ch;
    scriptAccepted(ch, 65535, {}, 3);
    Push push(40000);
    push.run(ch);
    EXPECT_THAT(sizesOf(ch), ElementsAre(_, _, 3u + 3u + 16384u, 3u + 3u + 16384u, 3u + 3u + 7232u, _));
    EXPECT_EQ(bodyOf(ch, 0), push.data);
}

TEST(ObexPush, SevenByteConnectAnswerMeansNoConnectionIdInAnyRequest) {
    ScriptedChannel ch;
    scriptAccepted(ch, 255, {}, 2);
    Push push(300);
    push.run(ch);
    ASSERT_EQ(ch.writes.size(), 5u);
    EXPECT_EQ(ch.writes[1][3], 0x01);      // the offer starts with the Name header
    EXPECT_EQ(ch.writes[2].size(), 255u);  // 249-byte chunk: the room of a packet without the id
    EXPECT_EQ(ch.writes[2][3], 0x48);
    EXPECT_EQ(ch.writes[3][3], 0x49);
    EXPECT_EQ(ch.writes[4], (Bytes{0x81, 0x00, 0x03}));
    EXPECT_EQ(bodyOf(ch, 0), push.data);
}

TEST(ObexPush, ConnectionIdIsFoundAmongOtherHeadersAndCopiedAsReceived) {
    ScriptedChannel ch;
    // A 1-byte header, a byte-sequence header, the id, a 4-byte header.
    Bytes headers{0x97, 0x01, 0x46, 0x00, 0x05, 0xAA, 0xBB, 0xCB, 1, 2, 3, 4, 0xC4, 9, 9, 9, 9};
    scriptAccepted(ch, 1024, headers, 1);
    Push push(5);
    push.run(ch);
    ASSERT_EQ(ch.writes.size(), 4u);
    EXPECT_EQ(Bytes(ch.writes[1].begin() + 3, ch.writes[1].begin() + 8), (Bytes{0xCB, 1, 2, 3, 4}));
    EXPECT_EQ(ch.writes[3], (Bytes{0x81, 0x00, 0x08, 0xCB, 1, 2, 3, 4}));
}

// The other broken CONNECT answers (cut short, version, flags, a packet size below
// 255, a duplicate id, headers cut or of length 2, a refusal) are seeds of the
// OBEX-answer fuzzer, replayed by FuzzCorpus.ObexAnswersEndAsTheirNamesSay.
TEST(ObexPush, ConnectAnswerEndingInsideAOneByteHeaderIsRefusedBeforeTheOffer) {
    ScriptedChannel ch;
    ch.respond(connectResponse(1024, {0x97}));
    Push push(10);
    EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch); }), "En-tete OBEX incomplet.");
    EXPECT_EQ(ch.writes.size(), 1u);
}

TEST(ObexPush, RefusalsOfTheOfferNoSeedHoldsEndThePushWithTheirCode) {
    // Each code with a message of its own (C1, C3, CD, CF, D3) and 10, A0, C0, C4, CB,
    // D0, FF are seeds of the answer fuzzer, replayed by FuzzCorpus.ObexAnswersEndAsTheirNamesSay.
    // Here the codes that name themselves and that no seed has: another success code,
    // a redirection, a refusal without a message of its own, codes outside the classes.
    for (unsigned char code : {0xA1, 0xB0, 0xC6, 0x00, 0x7F}) {
        const std::string message = obexRefusal(code);
        ScriptedChannel ch;
        scriptAnswers(ch, 1024, {code});
        Push push(10);
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch); }), message) << int(code);
        EXPECT_EQ(ch.writes.size(), 2u);  // no body, no DISCONNECT, no ABORT
        EXPECT_EQ(push.readerCalls, 0u);
    }
}

TEST(ObexPush, ContinueWhereSuccessIsDueFailsTheLastPacket) {
    ScriptedChannel ch;
    scriptAnswers(ch, 1024, {0x90, 0x90});
    Push push(10);
    EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch); }),
              "Le telephone a refuse le transfert OBEX (code 144).");
    EXPECT_EQ(ch.writes.size(), 3u);
    EXPECT_EQ(push.progress.size(), 2u);  // no Sending report for an unconfirmed packet
}

TEST(ObexPush, RefusalInTheMiddleStopsTheBody) {
    ScriptedChannel ch;
    scriptAnswers(ch, 255, {0x90, 0x90, 0xD3});
    Push push(1000);
    EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch); }),
              "Recepteur Bluetooth du telephone indisponible. Deverrouillez Android et reessayez.");
    EXPECT_EQ(ch.writes.size(), 4u);
    EXPECT_EQ(push.progress.back(), std::make_pair(ObexPhase::Sending, 249ull));
}

TEST(ObexPush, ReaderThatStopsEarlyOrOverrunsEndsThePush) {
    for (std::size_t limit : {std::size_t{0}, std::size_t{1}}) {
        ScriptedChannel ch;
        scriptAnswers(ch, 1024, {0x90, 0x90, 0xA0});
        Push push(2000);
        push.data.resize(1500);  // announces 2000, delivers 1500
        if (limit == 1) {
            // Returns more than it was offered: must not be taken as data.
            EXPECT_EQ(errorOf<std::runtime_error>([&] {
                          pushObexFile(
                              ch, L"x", 2000, "a/b", [](unsigned char*, unsigned long long count) { return count + 1; },
                              [](ObexPhase, unsigned long long) {});
                      }),
                      "Lecture du fichier interrompue avant la fin.");
            EXPECT_EQ(ch.writes.size(), 2u);
            continue;
        }
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch, L"x", "a/b", 2000); }),
                  "Lecture du fichier interrompue avant la fin.");
        // First 1018-byte packet went out; the second was never sent.
        EXPECT_EQ(ch.writes.size(), 3u);
        EXPECT_EQ(push.progress.back(), std::make_pair(ObexPhase::Sending, 1018ull));
    }
}

TEST(ObexPush, FailingDisconnectDoesNotUndoACompletedPush) {
    ScriptedChannel ch;
    scriptAccepted(ch, 1024, connectionIdHeader, 1);
    ch.failWrite = 3;
    Push push(100);
    EXPECT_NO_THROW(push.run(ch));
    EXPECT_EQ(ch.writes.size(), 3u);
    EXPECT_EQ(push.progress.back(), std::make_pair(ObexPhase::Sending, 100ull));
}

TEST(ObexPush, ChannelReaderAndProgressErrorsPassThroughUnchanged) {
    struct Marker {};
    {
        ScriptedChannel ch;
        ch.failWrite = 0;
        Push push(1);
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch); }), "scripted write failure");
    }
    {
        ScriptedChannel ch;
        scriptAnswers(ch, 1024, {0x90});
        EXPECT_THROW(
            pushObexFile(
                ch, L"x", 1, "a/b", [](unsigned char*, unsigned long long) -> unsigned long long { throw Marker{}; },
                [](ObexPhase, unsigned long long) {}),
            Marker);
        EXPECT_EQ(ch.writes.size(), 2u);
    }
    {
        ScriptedChannel ch;
        ch.respond(connectResponse(1024));
        EXPECT_THROW(pushObexFile(
                         ch, L"x", 1, "a/b", [](unsigned char*, unsigned long long) { return 1ull; },
                         [](ObexPhase phase, unsigned long long) {
                             if (phase == ObexPhase::AwaitingAcceptance) throw Marker{};
                         }),
                     Marker);
        EXPECT_EQ(ch.writes.size(), 1u);  // the offer was never sent
    }
}

TEST(ObexPush, LargestObjectIsOfferedAndOneMoreByteIsRefusedBeforeSending) {
    {
        ScriptedChannel ch;
        scriptAnswers(ch, 1024, {0x90, 0xC3});  // the phone gives up after the first body packet
        Push push(2000);
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch, L"big.bin", "a/b", 4294967295ull); }),
                  "Reception refusee par le telephone. Acceptez la notification sur Android.");
        ASSERT_EQ(ch.writes.size(), 3u);
        const Bytes& offer = ch.writes[1];
        EXPECT_EQ(Bytes(offer.end() - 5, offer.end()), (Bytes{0xC3, 0xFF, 0xFF, 0xFF, 0xFF}));
        EXPECT_EQ(ch.writes[2][0], 0x02);
        EXPECT_EQ(ch.writes[2][3], 0x48);
        EXPECT_EQ(ch.writes[2].size(), 1024u);
    }
    {
        ScriptedChannel ch;
        Push push;
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch, L"big.bin", "a/b", 4294967296ull); }),
                  "Bluetooth OBEX : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.");
        EXPECT_TRUE(ch.writes.empty());
        EXPECT_TRUE(push.progress.empty());
    }
}

TEST(ObexPush, BadArgumentsAreRefusedBeforeAnyByteIsSent) {
    const std::pair<std::wstring, std::string> bad[] = {
        {L"", "a/b"}, {std::wstring(L"a\0b", 3), "a/b"}, {L"a", ""}, {L"a", std::string("text/\0plain", 11)}};
    const char* messages[] = {"Nom de fichier Bluetooth invalide.", "Nom de fichier Bluetooth invalide.",
                              "Type de fichier Bluetooth invalide.", "Type de fichier Bluetooth invalide."};
    for (std::size_t i = 0; i < 4; ++i) {
        ScriptedChannel ch;
        Push push(3);
        EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch, bad[i].first, bad[i].second); }), messages[i]);
        EXPECT_TRUE(ch.writes.empty());
        EXPECT_TRUE(push.progress.empty());
    }
    ScriptedChannel ch;
    EXPECT_EQ(errorOf<std::invalid_argument>(
                  [&] { pushObexFile(ch, L"a", 0, "a/b", nullptr, [](ObexPhase, unsigned long long) {}); }),
              "Lecteur ou suivi OBEX absent.");
    EXPECT_EQ(errorOf<std::invalid_argument>([&] {
                  pushObexFile(
                      ch, L"a", 0, "a/b", [](unsigned char*, unsigned long long) { return 1ull; }, nullptr);
              }),
              "Lecteur ou suivi OBEX absent.");
    EXPECT_TRUE(ch.writes.empty());
}

TEST(ObexPush, NameGoesAsUtf16WithSurrogatePairsBeyondTheBmp) {
    EXPECT_EQ(obexName(L"\u00e9t\u00e9 \U0001F600.txt"),
              (Bytes{0x00, 0xE9, 0x00, 't',  0x00, 0xE9, 0x00, ' ',  0xD8, 0x3D, 0xDE,
                     0x00, 0x00, '.',  0x00, 't',  0x00, 'x',  0x00, 't',  0x00, 0x00}));
    EXPECT_EQ(obexName(L"\U0010FFFF"), (Bytes{0xDB, 0xFF, 0xDF, 0xFF, 0, 0}));

    ScriptedChannel ch;
    scriptAccepted(ch, 1024, {}, 1);
    Push push(4);
    push.run(ch, L"\u00c9l\u00e8ve \U0001D11E.bin", "application/octet-stream");
    const Bytes& offer = ch.writes[1];
    const Bytes expected{0x01, 0x00, 0x1D, 0x00, 0xC9, 0x00, 'l',  0x00, 0xE8, 0x00, 'v',  0x00, 'e',  0x00, ' ',
                         0xD8, 0x34, 0xDD, 0x1E, 0x00, '.',  0x00, 'b',  0x00, 'i',  0x00, 'n',  0x00, 0x00};
    EXPECT_EQ(Bytes(offer.begin() + 3, offer.begin() + 3 + expected.size()), expected);
}

TEST(ObexPush, OfferLargerThanThePeerPacketIsRefusedBeforeItIsSent) {
    // Offer for a 255-byte peer: name header 3 + 2n + 2, type 3 + 5, length 5, prefix 3.
    // n = 117 gives exactly 255 bytes; n = 118 two bytes too many.
    for (std::size_t n : {std::size_t{117}, std::size_t{118}}) {
        ScriptedChannel ch;
        scriptAccepted(ch, 255, {}, 1);
        Push push(1);
        const std::wstring name(n, L'n');
        if (n == 117) {
            push.run(ch, name, "ab/c");
            EXPECT_EQ(ch.writes[1].size(), 255u);
        } else {
            EXPECT_EQ(errorOf<std::runtime_error>([&] { push.run(ch, name, "ab/c"); }),
                      "Nom de fichier trop long pour ce recepteur Bluetooth. Raccourcissez-le.");
            EXPECT_EQ(ch.writes.size(), 1u);
        }
    }
}

TEST(ObexPacket, LimitsOfHeadersPacketsAndResponses) {
    Bytes p;
    EXPECT_EQ(errorOf<std::runtime_error>([&] { variableHeader(p, 0x46, Bytes(65533)); }),
              "En-tete Bluetooth trop long.");
    EXPECT_TRUE(p.empty());
    variableHeader(p, 0x46, Bytes(65532, 7));
    EXPECT_EQ(p.size(), 65535u);
    EXPECT_EQ(length16(p, 1), 65535u);

    ScriptedChannel ch;
    EXPECT_EQ(errorOf<std::runtime_error>([&] { exchange(ch, 0x02, Bytes(65533)); }), "Paquet Bluetooth trop long.");
    EXPECT_TRUE(ch.writes.empty());

    ch.respond({0xA0, 0x00, 0x02});
    EXPECT_EQ(errorOf<std::runtime_error>([&] { exchange(ch, 0x02, {}); }), "Reponse Bluetooth OBEX invalide.");

    ch.respond(packet(0x90, {1, 2, 3, 4}));
    ch.respond(packet(0xA0));  // must stay for the next exchange
    EXPECT_EQ(exchange(ch, 0x02, Bytes(65532)), packet(0x90, {1, 2, 3, 4}));
    EXPECT_EQ(ch.writes.back().size(), 65535u);
    EXPECT_EQ(exchange(ch, 0x02, {}), packet(0xA0));
}

}  // namespace
