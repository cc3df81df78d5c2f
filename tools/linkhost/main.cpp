// linkhost: runs the link server from the command line for tests, benchmarks and
// manual checks. Prints the private link on the first line (and its QR code when
// the output is a terminal), then obeys commands read from standard input until it
// ends or the process is interrupted.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <deque>
#include <exception>
#include <iostream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/diagnostic.h"
#include "base/file_share.h"
#include "base/language.h"
#include "base/text.h"
#include "link/assets/assets.h"
#include "link/local_addresses.h"
#include "link/transfer_server.h"
#include "platform/socket.h"
#include "tools/linkhost/terminal_qr.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::atomic<bool> interrupted{false};

extern "C" void onSignal(int) { interrupted = true; }

constexpr const char* usage =
    "usage: linkhost [--address A] [--text T | --text-file F] [--file P] [--english] [--no-qr]\n"
    "       linkhost --help\n";

constexpr const char* help =
    "Serves the private link to the phone page from this computer.\n"
    "\n"
    "  --address A     IPv4 address of a local interface (default: the likeliest one)\n"
    "  --text T        shared text (\\n for a line feed)\n"
    "  --text-file F   shared text, read from a file\n"
    "  --file P        shared file\n"
    "  --english       answer the phone in English (default French)\n"
    "  --no-qr         no QR code in the terminal\n"
    "\n"
    "The first line of output is the link. When the output is a terminal, the link's\n"
    "QR code follows, to scan with the phone.\n"
    "\n"
    "Commands, one per line on standard input:\n"
    "  text T          share text T (\\n for a line feed; 'text ' shares an empty text)\n"
    "  file P          share the file at path P\n"
    "  nofile          stop sharing the file\n"
    "  english         answer in English\n"
    "  french          answer in French\n"
    "  stop            stop serving; the link no longer works\n"
    "  start           serve again under a new link, printed as a new line\n"
    "The end of input (Ctrl+D; Ctrl+Z then Enter on Windows), Ctrl+C or SIGTERM stops and exits.\n";

struct Options {
    std::string address;
    bool hasText = false;
    std::string text;
    std::string textFile;
    std::string file;
    bool english = false;
    bool qr = true;
    bool help = false;
};

bool parseOptions(const std::vector<std::string>& args, Options& options) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--english" || name == "--no-qr" || name == "--help") {
            if (name == "--english") options.english = true;
            if (name == "--no-qr") options.qr = false;
            if (name == "--help") options.help = true;
            continue;
        }
        if (name != "--address" && name != "--text" && name != "--text-file" && name != "--file") return false;
        if (i + 1 >= args.size()) return false;
        const std::string& value = args[++i];
        if (name == "--address") {
            if (!options.address.empty() || value.empty()) return false;
            options.address = value;
        } else if (name == "--text") {
            if (options.hasText || !options.textFile.empty()) return false;
            options.hasText = true;
            options.text = value;
        } else if (name == "--text-file") {
            if (options.hasText || !options.textFile.empty() || value.empty()) return false;
            options.textFile = value;
        } else {
            if (!options.file.empty() || value.empty()) return false;
            options.file = value;
        }
    }
    return true;
}

// Reads a whole file through the same checks as a shared file, so a bad path
// reports the system's own message.
std::string readWholeFile(const std::string& path) {
    FileShare share(wide(path));
    FileReader reader(share);
    std::string bytes;
    std::vector<unsigned char> piece(65536);
    for (;;) {
        std::uint64_t got = reader.read(piece.data(), piece.size());
        if (got == 0) break;
        bytes.append(reinterpret_cast<const char*>(piece.data()), static_cast<std::size_t>(got));
    }
    return bytes;
}

bool showQr = false;

// The link alone on its line, for scripts; then its QR code for a person.
void printLink(const TransferServer& server) {
    std::string line = server.link() + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    if (showQr) writeToTerminal(terminalQr(server.link()));
}

void complain(const std::string& message) {
    std::string line = "linkhost: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// The engine's messages are French; the dictionary gives their English form.
void complain(const std::exception& failure) {
    std::string message = failure.what();
    try {
        message = utf8(Ui::diagnostic(wide(message)));
    } catch (const std::exception&) {
        // keep the message as raised
    }
    complain(message);
}

// Without --address: the likeliest address of a local network interface. With none,
// start refuses the empty address with its own message.
std::string defaultAddress() {
    LocalAddressList addresses = localAddresses();
    return addresses.empty() ? std::string() : addresses.front().second;
}

// Lines from standard input, read on their own thread so that a signal is seen
// even while no line comes.
class LineSource {
public:
    LineSource() : reader_([this] { run(); }) { reader_.detach(); }

    // Waits for the next line; false when input has ended or the process is interrupted.
    bool next(std::string& line) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!interrupted.load()) {
            if (!lines_.empty()) {
                line = std::move(lines_.front());
                lines_.pop_front();
                return true;
            }
            if (ended_) return false;
            ready_.wait_for(lock, std::chrono::milliseconds(100));
        }
        return false;
    }

private:
    void run() {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
            ready_.notify_one();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        ended_ = true;
        ready_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::string> lines_;
    bool ended_ = false;
    std::thread reader_;
};

std::string unescapeLineFeeds(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void obey(TransferServer& server, const std::string& line) {
    const auto space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
    const bool bare = space == std::string::npos;
    try {
        if (word == "text" && !bare) {
            server.setText(unescapeLineFeeds(rest));
        } else if (word == "file" && !rest.empty()) {
            server.setFile(std::make_shared<FileShare>(wide(rest)));
        } else if (line == "nofile") {
            server.setFile(nullptr);
        } else if (line == "english") {
            Ui::english = true;
        } else if (line == "french") {
            Ui::english = false;
        } else if (line == "stop") {
            server.stop();
        } else if (line == "start") {
            server.start(server.address);
            printLink(server);
        } else {
            complain("unknown command: " + line);
        }
    } catch (const std::exception& failure) {
        complain(failure);
    }
}

int run(const std::vector<std::string>& args) {
    Options options;
    if (!parseOptions(args, options)) {
        std::fputs(usage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(help, stdout);
        return 0;
    }
    Ui::english = options.english;
    showQr = options.qr && terminalCanShowQr();
    if (!platform::startSockets()) {
        complain(std::runtime_error("Creation du serveur impossible."));
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::unique_ptr<TransferServer> server;
    try {
        server = std::make_unique<TransferServer>(loadAsset(pageAsset), loadAsset(styleAsset), loadAsset(scriptAsset));
        if (options.hasText) server->setText(unescapeLineFeeds(options.text));
        if (!options.textFile.empty()) server->setText(readWholeFile(options.textFile));
        if (!options.file.empty()) server->setFile(std::make_shared<FileShare>(wide(options.file)));
        std::string address = options.address.empty() ? defaultAddress() : options.address;
        server->start(address);
    } catch (const std::exception& failure) {
        complain(failure);
        return 1;
    }
    printLink(*server);
    LineSource input;
    std::string line;
    while (input.next(line)) obey(*server, line);
    server->stop();
    server.reset();
    platform::stopSockets();
    return 0;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    // Commands are UTF-8 bytes and the link line must end in a bare line feed.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::vector<std::string> args;
    try {
        for (int i = 1; i < argc; ++i) args.push_back(utf8(argv[i]));
    } catch (const std::exception&) {
        std::fputs(usage, stderr);
        return 2;
    }
    int code = run(args);
    std::fflush(stdout);
    // The line reader may still block in a read of standard input.
    std::_Exit(code);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int code = run(args);
    std::fflush(stdout);
    std::fflush(stderr);
    // The line reader may still block in a read of standard input.
    std::_Exit(code);
}
#endif
