// Answers one connection of the link server: reads the head, checks where it comes
// from and whether it carries the token, and serves the page, assets, state, text or file.

#include <string>
#include <string_view>
#include <vector>

#include "base/file_share.h"
#include "base/language.h"
#include "base/text.h"
#include "link/http_request.h"
#include "link/network_connection.h"
#include "link/transfer_server.h"
#include "platform/system.h"

namespace {

constexpr std::uint64_t connectionLifetimeMs = 1800000;
constexpr std::uint64_t headTimeMs = 5000;
constexpr std::size_t headLimit = maximumHeadBytes;
constexpr std::size_t headPiece = 4096;
constexpr std::size_t filePiece = 65536;

const char* const plain = "text/plain";

// A refusal: its status, its plain text in both languages, an extra header line, and
// whether a HEAD request still gets the text (the head-level refusals are sent before
// the method is known; 405 always carries its reason).
struct Refusal {
    int status;
    const char* french;
    const char* english;
    const char* extraHeader;
    bool textForHead;
};

constexpr Refusal tooLarge{431, "Requete trop longue", "Request too large", "", true};
constexpr Refusal invalid{400, "Requete invalide", "Invalid request", "", true};
constexpr Refusal originRefused{403, "Origine refusee", "Origin refused", "", false};
constexpr Refusal readOnly{405, "Lecture uniquement", "Read only", "Allow: GET, HEAD\r\n", true};
constexpr Refusal badLink{404, "Lien invalide ou expire", "Invalid or expired link", "", false};
constexpr Refusal crossOrigin{403, "Acces inter-origines refuse", "Cross-origin access refused", "", false};
constexpr Refusal unavailable{404, "Element indisponible", "Item unavailable", "", false};

void refuse(NetworkConnection& connection, const Refusal& refusal, bool headOnly) {
    response(connection, refusal.status, plain, Ui::english.load() ? refusal.english : refusal.french,
             headOnly && !refusal.textForHead, refusal.extraHeader);
}

std::string stateDocument(const SharedContent& content, bool english) {
    std::string json = "{\"language\":";
    json += english ? "\"en\"" : "\"fr\"";
    json += ",\"revision\":" + std::to_string(content.revision);
    json += ",\"text\":" + jsonString(*content.text);
    json += ",\"file\":";
    if (!content.file) {
        json += "null";
    } else {
        json += "{\"name\":" + jsonString(utf8(content.file->name));
        json += ",\"size\":" + std::to_string(content.file->size);
        json += ",\"id\":" + jsonString(content.file->id) + "}";
    }
    return json + "}";
}

// Fills `head` with the bytes through the first blank line. Returns 0 when the head is
// complete, 431 when it grew past the limit first, 400 when its first byte cannot start
// a request line, -1 when the client is given up.
int readHead(NetworkConnection& connection, const std::atomic<bool>& running, std::uint64_t acceptedAt,
             std::string& head) {
    char piece[headPiece];
    for (;;) {
        // The limit counts the bytes before the end of the head; bytes after a head of
        // lawful size are refused later as a body.
        const std::size_t end = head.size() >= 4 ? head.find("\r\n\r\n") : std::string::npos;
        if (end != std::string::npos && end + 4 <= headLimit) return 0;
        if (head.size() > headLimit) return 431;
        if (!running.load()) return -1;
        if (platform::tickCount() - acceptedAt > headTimeMs - 1) return -1;
        auto got = connection.read(reinterpret_cast<unsigned char*>(piece), sizeof piece, acceptedAt + headTimeMs);
        if (got <= 0) return -1;
        head.append(piece, static_cast<std::size_t>(got));
        // A request line starts with a method, a token; no more bytes can mend another
        // first byte. Chrome's HTTPS-first setting opens with a TLS ClientHello (0x16)
        // here, which would otherwise hold a worker for the whole head time.
        if (!tokenCharacter(head.front())) return 400;
    }
}

// Reads and parses the one request of the connection. False when the client
// is given up (nothing is sent); otherwise `refusal` is the 431 or 400 to send, or null
// for a parsed request.
bool readRequest(NetworkConnection& connection, const std::atomic<bool>& running, std::uint64_t acceptedAt,
                 HttpRequest& request, const Refusal*& refusal) {
    std::string received;
    const int outcome = readHead(connection, running, acceptedAt, received);
    if (outcome < 0) return false;
    if (outcome > 0) {
        refusal = outcome == 431 ? &tooLarge : &invalid;
        return true;
    }
    // A byte after the head is a body or a second request: neither is served.
    const std::size_t end = received.find("\r\n\r\n") + 4;
    if (end != received.size() || !parseHttpRequest(std::string_view(received).substr(0, end), request))
        refusal = &invalid;
    return true;
}

// The checks, in this order: host and origin, method, token, fetch metadata.
// Returns the refusal to send, or null with `path` set to what follows the token,
// without its query.
const Refusal* refusalFor(const HttpRequest& request, const std::string& expectedHost, const std::string& token,
                          std::string& path) {
    const std::string origin = request.header("origin");
    if (request.header("host") != expectedHost || (!origin.empty() && origin != "http://" + expectedHost))
        return &originRefused;
    if (request.method != "GET" && request.method != "HEAD") return &readOnly;
    const std::string& target = request.target;
    if (target.size() < token.size() + 2 || target[token.size() + 1] != '/' ||
        !constantTimeEqual(std::string_view(target).substr(1, token.size()), token))
        return &badLink;
    path = target.substr(token.size() + 2);
    path = path.substr(0, path.find('?'));

    // Only the page itself may be opened from another site (a link followed from elsewhere).
    const std::string site = request.header("sec-fetch-site");
    const bool navigation = path.empty() && request.header("sec-fetch-mode") == "navigate" &&
                            request.header("sec-fetch-dest") == "document";
    if (!site.empty() && site != "same-origin" && site != "none" && !navigation) return &crossOrigin;
    return nullptr;
}

// The file's head, then its bytes in pieces from a reader of its own, until the end,
// a short read, a failed write or a stop.
void sendFile(NetworkConnection& connection, const FileShare& file, bool headOnly, const std::atomic<bool>& running) {
    FileReader reader(file);
    const std::string disposition = "Content-Disposition: attachment; filename=\"fichier\"; filename*=UTF-8''" +
                                    urlEncode(utf8(file.name)) + "\r\n";
    if (!headers(connection, 200, "application/octet-stream", file.size, disposition) || headOnly) return;
    std::vector<unsigned char> buffer(filePiece);
    std::uint64_t remaining = file.size;
    while (running.load() && remaining > 0) {
        std::uint64_t want = remaining < filePiece ? remaining : filePiece;
        std::uint64_t got = reader.read(buffer.data(), want);
        if (got == 0) break;
        if (!connection.write(buffer.data(), got)) break;
        remaining -= got;
    }
}

// The text as a file: the UTF-8 byte order mark, then the text.
void sendText(NetworkConnection& connection, const std::string& text, bool english, bool headOnly) {
    const std::string body = "\xEF\xBB\xBF" + text;
    response(connection, 200, "text/plain; charset=utf-8", body, headOnly,
             english ? "Content-Disposition: attachment; filename=\"text.txt\"\r\n"
                     : "Content-Disposition: attachment; filename=\"texte.txt\"\r\n");
}

}  // namespace

TransferServer::Download TransferServer::serve(const Client& client) {
    NetworkConnection connection{client.socket, &running, client.acceptedAt + connectionLifetimeMs};
    HttpRequest request;
    const Refusal* refusal = nullptr;
    if (!readRequest(connection, running, client.acceptedAt, request, refusal)) return {};
    std::string path;
    if (!refusal) refusal = refusalFor(request, address + ":" + std::to_string(port), token, path);
    if (refusal) {
        refuse(connection, *refusal, request.method == "HEAD");
        return {};
    }
    return route(connection, request, path);
}

TransferServer::Download TransferServer::route(NetworkConnection& connection, const HttpRequest& request,
                                               const std::string& path) {
    const bool headOnly = request.method == "HEAD";
    if (path.empty()) {
        lastStatePoll = platform::tickCount();
        response(connection, 200, "text/html; charset=utf-8", page, headOnly, "");
        return {};
    }
    if (path == "style.css") {
        response(connection, 200, "text/css; charset=utf-8", style, headOnly, "");
        return {};
    }
    if (path == "app.js") {
        response(connection, 200, "text/javascript; charset=utf-8", script, headOnly, "");
        return {};
    }

    // One snapshot answers the rest, whatever the user changes meanwhile.
    const SharedContent content = snapshot();
    const bool english = Ui::english.load();
    if (path == "state") {
        lastStatePoll = platform::tickCount();
        const std::string etag = "\"" + std::to_string(content.revision) + (english ? "-en" : "-fr") + "\"";
        const std::string etagLine = "ETag: " + etag + "\r\n";
        if (request.header("if-none-match") == etag) {
            headers(connection, 304, "application/json", 0, etagLine);
            return {};
        }
        response(connection, 200, "application/json; charset=utf-8", stateDocument(content, english), headOnly,
                 etagLine);
        return {};
    }
    // A download runs as long as the phone takes to receive it: the lane sends it, and
    // a HEAD, which ends at once, is answered here.
    if (path == "text") {
        if (!headOnly) return Download{{}, nullptr, content.text, english};
        sendText(connection, *content.text, english, true);
        return {};
    }
    if (content.file && path == "file/" + content.file->id) {
        if (!headOnly) return Download{{}, content.file, nullptr, english};
        sendFile(connection, *content.file, true, running);
        return {};
    }
    refuse(connection, unavailable, headOnly);
    return {};
}

void TransferServer::stream(const Download& download) {
    NetworkConnection connection{download.client.socket, &running, download.client.acceptedAt + connectionLifetimeMs};
    if (download.file) {
        sendFile(connection, *download.file, false, running);
    } else {
        sendText(connection, *download.text, download.english, false);
    }
}
