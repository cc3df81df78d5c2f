#pragma once

// Sends one file or one text to a paired phone on a background thread. The
// interface thread starts, cancels and polls; the worker only writes the snapshot.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/file_share.h"
#include "base/text.h"
#include "bluetooth/obex_push.h"

class BluetoothTransfer {
public:
    enum class State : std::uint32_t {
        Idle = 0,
        Connecting = 1,
        AwaitingAcceptance = 2,
        Sending = 3,
        Completed = 4,
        UserCancelled = 5,
        Failed = 6,
    };

    // A job is under way: connecting, awaiting the phone's acceptance or sending.
    static constexpr bool busy(State state) {
        return state == State::Connecting || state == State::AwaitingAcceptance || state == State::Sending;
    }

    struct Snapshot {
        State state = State::Idle;
        std::uint64_t sent = 0;   // body bytes the phone acknowledged
        std::uint64_t total = 0;  // payload size
        std::wstring message;     // French text of the state, or the failure
        std::uint64_t job = 0;    // 0 before the first job; unique to each job of the process
    };

    // What one job sends; shared by the starter and the worker.
    struct Payload {
        std::wstring name;
        std::uint64_t size = 0;
        std::shared_ptr<FileShare> file;  // empty for a text
        std::string text;                 // UTF-8 bytes of a text payload, empty for a file
        ~Payload();                       // wipes the text

        // Copies the next bytes of the text from `position` (at most `count`) and moves
        // `position` on; returns how many, 0 at the end.
        std::size_t readText(unsigned char* buffer, unsigned long long count, std::size_t& position) const;
    };

    // Opens the channel to the phone's Object Push service. The product connects
    // RFCOMM; tests hand in a channel of their own. Must watch `cancel` while it waits.
    using Connector =
        std::function<std::unique_ptr<ObexChannel>(unsigned long long address, const std::atomic<bool>& cancel)>;

    // Reads the next bytes of a file payload into the buffer (at most the capacity);
    // returns the count, 0 at the end. The product reads through a FileReader; tests
    // wrap one to see when the job sits in a read.
    using FileRead = std::function<std::uint64_t(unsigned char* buffer, std::uint64_t capacity)>;
    using FileOpener = std::function<FileRead(const FileShare&)>;

    static constexpr std::size_t maximumTextBytes = ::maximumTextBytes;
    static constexpr unsigned long long maximumAddress = 0xFFFFFFFFFFFFull;

    BluetoothTransfer();  // RFCOMM to the phone
    explicit BluetoothTransfer(Connector connector, FileOpener opener = {});
    ~BluetoothTransfer();  // cancels and joins a running job
    BluetoothTransfer(const BluetoothTransfer&) = delete;
    BluetoothTransfer& operator=(const BluetoothTransfer&) = delete;

    // Raise std::invalid_argument / std::length_error / std::runtime_error with a
    // French message and leave a running job untouched.
    void start(unsigned long long address, std::shared_ptr<FileShare> file);
    void startText(unsigned long long address, std::string text);
    void startPayload(unsigned long long address, std::shared_ptr<Payload> payload);

    // The text payload the job sends for `text` (UTF-8): a byte order mark and the
    // text, named "Texte.txt" ("Text.txt" in English). Raises std::length_error for an
    // empty text or one above 4 MiB and the errors of wide() for invalid UTF-8.
    // The given copy is wiped however this ends.
    static std::shared_ptr<Payload> textPayload(std::string text);

    // Asks the job to stop; does not wait.
    void cancel();
    Snapshot snapshot() const;

private:
    void run(unsigned long long address, std::shared_ptr<Payload> payload);
    void report(State state, std::uint64_t sent, std::wstring message);
    void finish(State state, std::wstring message);

    Connector connector;
    FileOpener opener;
    std::thread worker;
    std::atomic<bool> cancelFlag{false};
    mutable std::mutex mutex;
    State state = State::Idle;
    std::uint64_t sent = 0;
    std::uint64_t total = 0;
    std::wstring message;
    std::uint64_t job = 0;

    // Numbers jobs across every transfer object, so no two jobs of a process share one.
    static inline std::atomic<std::uint64_t> jobsStarted{0};
};
