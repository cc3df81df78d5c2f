#include "bluetooth/bluetooth_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "base/language.h"
#include "base/text.h"
#include "bluetooth/mime_type.h"
#include "bluetooth/socket_channel.h"
#include "bluetooth/windows_error.h"
#include "platform/system.h"
#include "tests/bluetooth/loopback_receiver.h"
#include "tests/support/eventually.h"
#include "tests/support/patterned.h"
#include "tests/support/raised.h"
#include "tests/support/temp_file.h"

namespace {

using State = BluetoothTransfer::State;
using receiver::Bytes;
using receiver::LoopbackReceiver;
using receiver::Script;

// Records the job's snapshot each time the job writes a packet, which shows the
// state the phone's side would see with every request.
class RecordingChannel : public ObexChannel {
public:
    RecordingChannel(std::unique_ptr<ObexChannel> inner_, const BluetoothTransfer* job_,
                     std::vector<BluetoothTransfer::Snapshot>* seen_)
        : inner(std::move(inner_)), job(job_), seen(seen_) {}
    void write(const unsigned char* data, unsigned long long size) override {
        seen->push_back(job->snapshot());
        inner->write(data, size);
    }
    void read(unsigned char* data, unsigned long long size) override { inner->read(data, size); }

private:
    std::unique_ptr<ObexChannel> inner;
    const BluetoothTransfer* job;
    std::vector<BluetoothTransfer::Snapshot>* seen;
};

// The job's snapshot once it reached a final state, or after `ms`.
BluetoothTransfer::Snapshot finalSnapshot(const BluetoothTransfer& job, std::uint64_t ms = 20000) {
    BluetoothTransfer::Snapshot s;
    eventually([&] { return (s = job.snapshot()).state >= State::Completed; }, std::chrono::milliseconds(ms));
    return s;
}

// A job whose channel is TCP to a loopback receiver, with the product's channel
// logic (deadlines, cancellation) and optionally shortened time-outs.
struct Rig {
    LoopbackReceiver phone;
    ChannelTimeouts timeouts;
    std::vector<unsigned long long> addresses;  // what the connector was asked for
    std::vector<BluetoothTransfer::Snapshot> seen;
    BluetoothTransfer job;

    explicit Rig(Script script, ChannelTimeouts t = {}, BluetoothTransfer::FileOpener opener = {})
        : phone(std::move(script)),
          timeouts(t),
          job(
              [this](unsigned long long address, const std::atomic<bool>& cancel) -> std::unique_ptr<ObexChannel> {
                  addresses.push_back(address);
                  return std::make_unique<RecordingChannel>(receiver::connectorTo(phone, timeouts)(address, cancel),
                                                            &job, &seen);
              },
              std::move(opener)) {}

    // Polls the snapshot until `done` holds or `ms` pass; returns the last snapshot.
    template <class Pred>
    BluetoothTransfer::Snapshot waitFor(Pred done, std::uint64_t ms = 20000) {
        BluetoothTransfer::Snapshot s;
        eventually([&] { return done(s = job.snapshot()); }, std::chrono::milliseconds(ms));
        return s;
    }
    BluetoothTransfer::Snapshot waitFinal(std::uint64_t ms = 20000) { return finalSnapshot(job, ms); }
};

// The product's FileReader with its handle swapped for the read end of a pipe that
// nobody writes to, so a read blocks like one on a stalled disk or network share
// until the platform cuts it or the writer goes. `entered` is set inside the job's
// read, past the job's own look at the cancel flag.
class StalledFile {
public:
    StalledFile() {
#ifdef _WIN32
        ok = CreatePipe(&readEnd, &writeEnd, nullptr, 0) != 0;
#else
        int ends[2];
        ok = pipe(ends) == 0;
        readEnd = ends[0];
        writeEnd = ends[1];
#endif
    }
    ~StalledFile() {
        closeWriter();
        closeHandle(readEnd);
    }
    BluetoothTransfer::FileOpener opener() {
        return [this](const FileShare& share) -> BluetoothTransfer::FileRead {
            auto reader = std::make_shared<FileReader>(share);
#ifdef _WIN32
            CloseHandle(reader->handle);
            reader->handle = readEnd;
            readEnd = INVALID_HANDLE_VALUE;
#else
            dup2(readEnd, reader->handle);
#endif
            return [this, reader](unsigned char* buffer, std::uint64_t capacity) {
                entered = true;
                return reader->read(buffer, capacity);
            };
        };
    }
    void closeWriter() { closeHandle(writeEnd); }

    bool ok = false;
    std::atomic<bool> entered{false};

private:
#ifdef _WIN32
    static void closeHandle(HANDLE& h) {
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
        h = INVALID_HANDLE_VALUE;
    }
    HANDLE readEnd = INVALID_HANDLE_VALUE, writeEnd = INVALID_HANDLE_VALUE;
#else
    static void closeHandle(int& fd) {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    int readEnd = -1, writeEnd = -1;
#endif
};

Bytes utf16Name(const std::string& ascii) {
    Bytes out;
    for (char c : ascii) {
        out.push_back(0);
        out.push_back(static_cast<unsigned char>(c));
    }
    out.push_back(0);
    out.push_back(0);
    return out;
}

TEST(BluetoothJob, FileGoesThroughEveryStateAndArrivesWhole) {
    Rig rig(Script{1024, {0xCB, 0, 0, 0, 7}});
    const std::string data = patterned(100000);
    const TempFile file("releve.bin", data);
    auto share = file.share();
    rig.job.start(0x0011223344FFull, share);
    const auto end = rig.waitFinal();

    EXPECT_EQ(end.state, State::Completed) << utf8(end.message);
    EXPECT_EQ(end.message, L"Fichier reçu : le téléphone a confirmé la fin du transfert.");
    EXPECT_EQ(end.sent, 100000u);
    EXPECT_EQ(end.total, 100000u);
    const auto got = rig.phone.result();
    EXPECT_EQ(got.body, Bytes(data.begin(), data.end()));
    EXPECT_EQ(got.nameValue, utf16Name("releve.bin"));
    EXPECT_EQ(got.type, "application/octet-stream");
    EXPECT_EQ(got.length, 100000u);
    EXPECT_TRUE(got.disconnected);
    EXPECT_EQ(rig.addresses, std::vector<unsigned long long>{0x0011223344FFull});

    // CONNECT, offer, then one write per body packet, then DISCONNECT.
    const std::size_t chunk = 1024 - 6 - 5;
    const std::size_t packets = (100000 + chunk - 1) / chunk;
    ASSERT_EQ(rig.seen.size(), 2 + packets + 1);
    EXPECT_EQ(rig.seen[0].state, State::Connecting);
    EXPECT_EQ(rig.seen[0].message, L"Connexion au téléphone…");
    EXPECT_EQ(rig.seen[1].state, State::AwaitingAcceptance);
    EXPECT_EQ(rig.seen[1].message, L"Acceptez le fichier sur Android…");
    EXPECT_EQ(rig.seen[2].state, State::AwaitingAcceptance);  // first body packet: offer accepted, nothing sent yet
    for (std::size_t i = 3; i < rig.seen.size(); ++i) {
        EXPECT_EQ(rig.seen[i].state, State::Sending) << i;
        EXPECT_EQ(rig.seen[i].sent, std::min<std::uint64_t>((i - 2) * chunk, 100000)) << i;
        EXPECT_EQ(rig.seen[i].total, 100000u);
    }
    EXPECT_EQ(rig.seen.back().message, L"Envoi Bluetooth en cours…");
}

TEST(BluetoothJob, LargestTextGoesWithByteOrderMarkUnderTheLanguageName) {
    std::string text(BluetoothTransfer::maximumTextBytes, 'a');
    text.replace(0, 6, "\xC3\xA9t\xC3\xA9 ");  // valid UTF-8 with accents
    {
        Rig rig(Script{65535, {}});
        rig.job.startText(0x1, text);
        const auto end = rig.waitFinal(60000);
        EXPECT_EQ(end.state, State::Completed) << utf8(end.message);
        EXPECT_EQ(end.total, 4194307u);
        EXPECT_EQ(end.sent, 4194307u);
        const auto got = rig.phone.result();
        EXPECT_EQ(got.nameValue, utf16Name("Texte.txt"));
        EXPECT_EQ(got.type, "text/plain");
        EXPECT_EQ(got.length, 4194307u);
        ASSERT_EQ(got.body.size(), 4194307u);
        EXPECT_EQ(Bytes(got.body.begin(), got.body.begin() + 3), (Bytes{0xEF, 0xBB, 0xBF}));
        EXPECT_TRUE(Bytes(got.body.begin() + 3, got.body.end()) == Bytes(text.begin(), text.end()));
    }
    {
        Ui::english = true;
        Rig rig(Script{});
        rig.job.startText(0x1, "hi");
        Ui::english = false;
        EXPECT_EQ(rig.waitFinal().state, State::Completed);
        const auto got = rig.phone.result();
        EXPECT_EQ(got.nameValue, utf16Name("Text.txt"));
        EXPECT_EQ(got.body, (Bytes{0xEF, 0xBB, 0xBF, 'h', 'i'}));
    }
}

TEST(BluetoothJob, BadStartsAreRefusedAndNothingConnects) {
    Rig rig(Script{});
    const std::string tooLong(BluetoothTransfer::maximumTextBytes + 1, 'a');
    EXPECT_EQ(errorOf<std::length_error>([&] { rig.job.startText(1, ""); }),
              "Texte Bluetooth vide ou trop long (4 Mo maximum).");
    EXPECT_EQ(errorOf<std::length_error>([&] { rig.job.startText(1, tooLong); }),
              "Texte Bluetooth vide ou trop long (4 Mo maximum).");
    EXPECT_EQ(errorOf<std::runtime_error>([&] { rig.job.startText(1, "caf\xC3"); }), "Texte UTF-8 invalide.");
    EXPECT_EQ(errorOf<std::invalid_argument>([&] { rig.job.startText(0, "x"); }), "Adresse Bluetooth invalide.");
    EXPECT_EQ(errorOf<std::invalid_argument>([&] { rig.job.startText(0x1000000000000ull, "x"); }),
              "Adresse Bluetooth invalide.");
    EXPECT_EQ(errorOf<std::invalid_argument>([&] { rig.job.start(1, nullptr); }), "Fichier Bluetooth absent.");
    auto huge = std::make_shared<BluetoothTransfer::Payload>();
    huge->name = L"big.iso";
    huge->size = 4294967296ull;
    EXPECT_EQ(errorOf<std::runtime_error>([&] { rig.job.startPayload(1, huge); }),
              "Bluetooth : fichier limite a 4 Go moins 1 octet. Utilisez le Wi-Fi pour ce fichier.");
    EXPECT_TRUE(rig.addresses.empty());
    EXPECT_EQ(rig.job.snapshot().state, State::Idle);

    // The highest 48-bit address is a valid one.
    rig.job.startText(0xFFFFFFFFFFFFull, "x");
    EXPECT_EQ(rig.waitFinal().state, State::Completed);
    EXPECT_EQ(rig.addresses, std::vector<unsigned long long>{0xFFFFFFFFFFFFull});
}

TEST(BluetoothJob, CancelInAFileReadOrAWithheldAnswerEndsAsTheUsersCancel) {
    {
        // A cancel that lands inside a file read: the read is cut (CancelSynchronousIo
        // on Windows) or, natively, ends when the writer goes; either way it is the
        // user's own cancel, not a read failure.
        StalledFile stalled;
        ASSERT_TRUE(stalled.ok);
        Rig rig(Script{}, {}, stalled.opener());
        const TempFile file("lent.bin", patterned(5000));
        rig.job.start(0x42, file.share());
        ASSERT_TRUE(eventually([&] { return stalled.entered.load(); }));
        rig.job.cancel();
#ifdef _WIN32
        // The cancel must cut the read by itself. The first call may come just before
        // the read is pending and find nothing to cut, so it is repeated until the end.
        const auto cut = rig.waitFor(
            [&](const auto& s) {
                if (s.state < State::Completed) rig.job.cancel();
                return s.state >= State::Completed;
            },
            10000);
        EXPECT_GE(cut.state, State::Completed) << "the read was not cut";
#endif
        stalled.closeWriter();
        const auto end = rig.waitFinal();
        EXPECT_EQ(end.state, State::UserCancelled) << utf8(end.message);
        EXPECT_EQ(end.message, L"Transfert Bluetooth annulé.");
        EXPECT_EQ(end.sent, 0u);
    }
    Rig rig(Script{1024, {}, 0x90, true});
    rig.job.startText(0x42, "bonjour");
    const auto waiting =
        rig.waitFor([&](const auto& s) { return s.state == State::AwaitingAcceptance && rig.phone.offerSeen(); });
    ASSERT_EQ(waiting.state, State::AwaitingAcceptance);
    const std::uint64_t asked = platform::tickCount();
    rig.job.cancel();
    const auto end = rig.waitFinal(5000);
    const std::uint64_t took = platform::tickCount() - asked;
    RecordProperty("cancel_ms", static_cast<int>(took));
    EXPECT_EQ(end.state, State::UserCancelled);
    EXPECT_EQ(end.message, L"Transfert Bluetooth annulé.");
    // The flag is looked at every 200 ms; allow for a loaded machine.
    EXPECT_LT(took, 1000u);
    EXPECT_FALSE(rig.phone.result().disconnected);  // the connection was simply dropped
}

TEST(BluetoothJob, SecondStartWhileRunningIsRefusedAndTheFirstCompletes) {
    Rig rig(Script{1024, {}, 0x90, true});
    rig.job.startText(0x42, "premier");
    ASSERT_EQ(
        rig.waitFor([&](const auto& s) { return s.state == State::AwaitingAcceptance && rig.phone.offerSeen(); }).state,
        State::AwaitingAcceptance);
    const TempFile file("b.txt", std::string("b"));
    auto share = file.share();
    EXPECT_EQ(errorOf<std::runtime_error>([&] { rig.job.startText(0x42, "second"); }),
              "Un transfert Bluetooth est deja en cours.");
    EXPECT_EQ(errorOf<std::runtime_error>([&] { rig.job.start(0x42, share); }),
              "Un transfert Bluetooth est deja en cours.");
    EXPECT_EQ(rig.job.snapshot().state, State::AwaitingAcceptance);
    rig.phone.release();
    EXPECT_EQ(rig.waitFinal().state, State::Completed);
    const auto got = rig.phone.result();
    EXPECT_EQ(got.body, (Bytes{0xEF, 0xBB, 0xBF, 'p', 'r', 'e', 'm', 'i', 'e', 'r'}));
    EXPECT_EQ(rig.addresses.size(), 1u);
}

TEST(BluetoothJob, PhoneRefusalSilenceAndHangUpEndFailedWithTheirMessages) {
    Script hangUp;
    hangUp.closeAfterOffer = true;
    ChannelTimeouts quick;
    quick.readMs = 300;  // stands for the 90 s the user has to accept
    const struct {
        Script script;
        ChannelTimeouts timeouts;
        const wchar_t* message;
    } cases[] = {
        {Script{1024, {}, 0xC3}, {}, L"Reception refusee par le telephone. Acceptez la notification sur Android."},
        {Script{1024, {}, 0x90, true}, quick,
         L"Delai Bluetooth depasse. Deverrouillez le telephone et acceptez le transfert."},
        {hangUp, {}, L"Le telephone a ferme la connexion Bluetooth."},
    };
    for (const auto& c : cases) {
        Rig rig(c.script, c.timeouts);
        rig.job.startText(0x42, "non");
        const auto end = rig.waitFinal();
        EXPECT_EQ(end.state, State::Failed);
        EXPECT_EQ(end.message, c.message);
    }
}

TEST(BluetoothJob, CancelAfterCompletionChangesNothingAndANewJobMayStart) {
    // Each receiver serves one connection: the first job goes to address 1, the next to 2.
    LoopbackReceiver first(Script{}), second(Script{});
    const auto toFirst = receiver::connectorTo(first), toSecond = receiver::connectorTo(second);
    BluetoothTransfer job([&](unsigned long long address, const std::atomic<bool>& cancel) {
        return (address == 1 ? toFirst : toSecond)(address, cancel);
    });
    job.startText(1, "un");
    ASSERT_EQ(finalSnapshot(job).state, State::Completed);
    job.cancel();
    const auto after = job.snapshot();
    EXPECT_EQ(after.state, State::Completed);
    EXPECT_EQ(after.sent, after.total);

    // The cancel of the finished job must not reach the next one.
    job.startText(2, "deux");
    const auto end = finalSnapshot(job);
    EXPECT_EQ(end.state, State::Completed) << utf8(end.message);
    EXPECT_EQ(second.result().body, (Bytes{0xEF, 0xBB, 0xBF, 'd', 'e', 'u', 'x'}));
}

TEST(BluetoothJob, DestroyingARunningJobCancelsAndJoinsIt) {
    LoopbackReceiver phone(Script{1024, {}, 0x90, true});
    {
        BluetoothTransfer job(receiver::connectorTo(phone));
        job.startText(0x42, "adieu");
        ASSERT_TRUE(eventually([&] { return phone.offerSeen(); }));
    }  // must return, not wait for the 90 s read deadline
    EXPECT_TRUE(phone.result().body.empty());
}

TEST(BluetoothJob, TypeFollowsTheNameExtension) {
    EXPECT_EQ(mimeTypeFor(L"NOTES.TXT"), "text/plain");
    EXPECT_EQ(mimeTypeFor(L"journal.LoG"), "text/plain");
    EXPECT_EQ(mimeTypeFor(L"README"), "application/octet-stream");
    EXPECT_EQ(mimeTypeFor(L"archive.txt.gz") == "text/plain", false);
    EXPECT_EQ(mimeTypeFor(L"trailing."), "application/octet-stream");

    EXPECT_TRUE(acceptableContentType("image/svg+xml"));
    EXPECT_TRUE(acceptableContentType("a/" + std::string(125, 'b')));   // 127 bytes
    EXPECT_FALSE(acceptableContentType("a/" + std::string(126, 'b')));  // 128 bytes
    EXPECT_FALSE(acceptableContentType("text/plain; charset=utf-8"));
    EXPECT_FALSE(acceptableContentType("image/ jpeg"));
    EXPECT_FALSE(acceptableContentType("imagejpeg"));
    EXPECT_FALSE(acceptableContentType(""));
    EXPECT_FALSE(acceptableContentType("caf\xC3\xA9/x"));

    // And the job really sends it.
    Rig rig(Script{});
    const TempFile file("RAPPORT.TXT", std::string("ok"));
    auto share = file.share();
    rig.job.start(0x42, share);
    ASSERT_EQ(rig.waitFinal().state, State::Completed);
    EXPECT_EQ(rig.phone.result().type, "text/plain");
}

TEST(BluetoothJob, WithoutRfcommTheProductRoadFailsAtSocketCreation) {
    ASSERT_TRUE(platform::startSockets());  // as the program does at start-up
    BluetoothTransfer job;
    job.startText(0x0011223344FFull, "test");
    eventually([&] { return job.snapshot().state >= State::Completed; });
    const auto s = job.snapshot();
    EXPECT_EQ(s.state, State::Failed);
    const std::string message = utf8(s.message);
    RecordProperty("message", message);  // the system's text, for whoever reads the report
#ifdef _WIN32
    // A PC without a Bluetooth stack: Wine answers WSAEPROTONOSUPPORT, Windows may
    // answer WSAEAFNOSUPPORT.
    const std::vector<std::string> codes{" (10043)", " (10047)"};
#else
    const std::vector<std::string> codes{" (" + std::to_string(EAFNOSUPPORT) + ")"};
#endif
    const std::string prefix = "Bluetooth Windows indisponible : ";
    ASSERT_GT(message.size(), prefix.size() + codes[0].size()) << message;
    EXPECT_EQ(message.substr(0, prefix.size()), prefix);
    const std::string ending = message.substr(message.size() - codes[0].size());
    EXPECT_NE(std::find(codes.begin(), codes.end(), ending), codes.end()) << message;
}

TEST(WindowsError, SystemTextThenCodeInParentheses) {
#ifdef _WIN32
    const unsigned long known = 2;  // ERROR_FILE_NOT_FOUND, which Wine has a text for
#else
    const unsigned long known = ENOENT;
#endif
    const std::string text = windowsError(known);
    const std::string suffix = " (" + std::to_string(known) + ")";
    ASSERT_GT(text.size(), suffix.size());
    EXPECT_EQ(text.substr(text.size() - suffix.size()), suffix);
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
    EXPECT_NE(text.substr(0, 14), "Erreur Windows");
    EXPECT_EQ(windowsError(987654321ul), "Erreur Windows (987654321)");
}

}  // namespace
