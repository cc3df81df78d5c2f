// obexpush: pushes one file or one text to an OBEX Object Push receiver over TCP,
// with the client and the channel deadlines the Bluetooth job uses.
//   obexpush --tcp HOST:PORT [--name NAME] [--type MIME] [--stats] FILE
//   obexpush --tcp HOST:PORT --text TEXT [--english] [--stats]
// Exit status: 0 when the receiver confirmed the object, 1 on failure (its message
// on standard error), 2 on bad arguments.

#include <chrono>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/file_share.h"
#include "base/language.h"
#include "base/text.h"
#include "bluetooth/bluetooth_transfer.h"
#include "bluetooth/mime_type.h"
#include "bluetooth/obex_push.h"
#include "bluetooth/socket_channel.h"
#include "platform/socket.h"

namespace {

const char* const usage =
    "usage: obexpush --tcp HOST:PORT [--name NAME] [--type MIME] [--stats] FILE\n"
    "       obexpush --tcp HOST:PORT --text TEXT [--english] [--stats]\n"
    "HOST is a dotted IPv4 address.\n";

struct Options {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    std::optional<std::wstring> name, text, file;
    std::optional<std::string> type;
    bool english = false;
    bool stats = false;
};

// Counts what crosses the wire, for --stats.
class CountingChannel : public ObexChannel {
public:
    explicit CountingChannel(std::unique_ptr<ObexChannel> inner_) : inner(std::move(inner_)) {}
    void write(const unsigned char* data, unsigned long long size) override {
        inner->write(data, size);
        written += size;
        ++requests;
    }
    void read(unsigned char* data, unsigned long long size) override {
        inner->read(data, size);
        readBytes += size;
    }
    unsigned long long written = 0, readBytes = 0, requests = 0;

private:
    std::unique_ptr<ObexChannel> inner;
};

bool parseEndpoint(const std::string& text, Options& options) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon + 1 >= text.size() || text.size() - colon > 6) return false;
    unsigned long port = 0;
    for (std::size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        port = port * 10 + static_cast<unsigned long>(text[i] - '0');
    }
    if (port == 0 || port > 65535) return false;
    options.port = static_cast<std::uint16_t>(port);
    return platform::parseIPv4(text.substr(0, colon), options.address);
}

// Arguments as UTF-8 (the native command line) or as wide text (Windows).
std::optional<Options> parse(const std::vector<std::wstring>& args) {
    Options options;
    bool endpoint = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::wstring& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == L"--tcp" && hasValue) {
            std::string value;
            try {
                value = utf8(args[++i]);
            } catch (const std::exception&) {
                return std::nullopt;
            }
            if (!parseEndpoint(value, options)) return std::nullopt;
            endpoint = true;
        } else if (a == L"--name" && hasValue) {
            options.name = args[++i];
        } else if (a == L"--type" && hasValue) {
            try {
                options.type = utf8(args[++i]);
            } catch (const std::exception&) {
                return std::nullopt;
            }
        } else if (a == L"--text" && hasValue) {
            options.text = args[++i];
        } else if (a == L"--english") {
            options.english = true;
        } else if (a == L"--stats") {
            options.stats = true;
        } else if (a.size() > 1 && a[0] == L'-' && a != L"-") {  // NOLINT(bugprone-branch-clone): order matters
            return std::nullopt;
        } else if (!options.file) {
            options.file = a;
        } else {
            return std::nullopt;
        }
    }
    if (!endpoint || options.text.has_value() == options.file.has_value()) return std::nullopt;
    if (options.text && (options.name || options.type)) return std::nullopt;
    return options;
}

int run(const Options& options) {
    Ui::english = options.english;
    if (!platform::startSockets()) {
        std::fputs("Winsock indisponible.\n", stderr);
        return 1;
    }
    try {
        std::shared_ptr<BluetoothTransfer::Payload> payload;
        std::unique_ptr<FileShare> share;
        std::unique_ptr<FileReader> file;
        std::size_t textPosition = 0;
        if (options.text) {
            payload = BluetoothTransfer::textPayload(utf8(*options.text));
        } else {
            share = std::make_unique<FileShare>(*options.file);
            file = std::make_unique<FileReader>(*share);
            payload = std::make_shared<BluetoothTransfer::Payload>();
            payload->name = options.name ? *options.name : share->name;
            payload->size = share->size;
        }
        const std::string type = options.type ? *options.type : mimeTypeFor(payload->name);

        const auto begin = std::chrono::steady_clock::now();
        CountingChannel channel(connectTcpChannel(options.address, options.port, nullptr));
        int lastPercent = -1;
        pushObexFile(
            channel, payload->name, payload->size, type,
            [&](unsigned char* buffer, unsigned long long count) -> unsigned long long {
                if (file) return file->read(buffer, count);
                return payload->readText(buffer, count, textPosition);
            },
            [&](ObexPhase phase, unsigned long long value) {
                if (phase == ObexPhase::Connecting) std::fputs("obexpush: connecting\n", stderr);
                if (phase == ObexPhase::AwaitingAcceptance) std::fputs("obexpush: awaiting acceptance\n", stderr);
                if (phase != ObexPhase::Sending) return;
                const int percent = payload->size ? static_cast<int>(value * 100 / payload->size) : 100;
                if (percent == lastPercent && value != payload->size) return;
                lastPercent = percent;
                std::fprintf(stderr, "obexpush: sent %llu of %llu bytes (%d %%)\n", value,
                             static_cast<unsigned long long>(payload->size), percent);
            });
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        std::fputs("obexpush: the receiver confirmed the object\n", stderr);
        if (options.stats) {
            // One request per write (the final DISCONNECT has no answer).
            const unsigned long long exchanges = channel.requests > 0 ? channel.requests - 1 : 0;
            std::printf(
                "payload_bytes=%llu\nwire_bytes_sent=%llu\nwire_bytes_received=%llu\n"
                "requests=%llu\nseconds=%.6f\nthroughput_MiBps=%.3f\nmean_exchange_ms=%.4f\n",
                static_cast<unsigned long long>(payload->size), channel.written, channel.readBytes, channel.requests,
                seconds, payload->size / seconds / 1048576.0,
                exchanges ? seconds * 1000.0 / static_cast<double>(exchanges) : 0.0);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

int mainWith(const std::vector<std::wstring>& args) {
    const std::optional<Options> options = parse(args);
    if (!options) {
        std::fputs(usage, stderr);
        return 2;
    }
    return run(*options);
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::wstring> args(argv + 1, argv + argc);
    return mainWith(args);
}
#else
int main(int argc, char** argv) {
    std::vector<std::wstring> args;
    for (int i = 1; i < argc; ++i) {
        try {
            args.push_back(wide(argv[i]));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 2;
        }
    }
    return mainWith(args);
}
#endif
