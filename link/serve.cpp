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

struct Refusal {
    int status;
    const char* french;
    const char* english;
};

constexpr Refusal tooLarge{431, "Requete trop longue", "Request too large"};
constexpr Refusal invalid{400, "Requete invalide", "Invalid request"};
constexpr Refusal originRefused{403, "Origine refusee", "Origin refused"};
constexpr Refusal readOnly{405, "Lecture uniquement", "Read only"};
constexpr Refusal badLink{404, "Lien invalide ou expire", "Invalid or expired link"};
constexpr Refusal crossOrigin{403, "Acces inter-origines refuse", "Cross-origin access refused"};
constexpr Refusal unavailable{404, "Element indisponible", "Item unavailable"};

void refuse(NetworkConnection& connection, const Refusal& refusal, bool headOnly,
            const std::string& extra = std::string()) {
    response(connection, refusal.status, plain, Ui::english.load() ? refusal.english : refusal.french, headOnly, extra);
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
// complete, 431 when it grew past the limit first, -1 when the client is given up.
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
    }
}

}  // namespace

void TransferServer::serve(const Client& client) {
    NetworkConnection connection{client.socket, &running, client.acceptedAt + connectionLifetimeMs};
    std::string received;
    int outcome = readHead(connection, running, client.acceptedAt, received);
    if (outcome < 0) return;
    if (outcome == 431) {
        refuse(connection, tooLarge, false);
        return;
    }
    std::size_t end = received.find("\r\n\r\n") + 4;
    HttpRequest request;
    if (end != received.size() || !parseHttpRequest(std::string_view(received).substr(0, end), request)) {
        refuse(connection, invalid, false);
        return;
    }
    const bool headOnly = request.method == "HEAD";

    const std::string expectedHost = address + ":" + std::to_string(port);
    const std::string origin = request.header("origin");
    if (request.header("host") != expectedHost || (!origin.empty() && origin != "http://" + expectedHost)) {
        refuse(connection, originRefused, headOnly);
        return;
    }
    if (request.method != "GET" && !headOnly) {
        refuse(connection, readOnly, false, "Allow: GET, HEAD\r\n");
        return;
    }
    const std::string& target = request.target;
    if (target.size() < token.size() + 2 || target[token.size() + 1] != '/' ||
        !constantTimeEqual(std::string_view(target).substr(1, token.size()), token)) {
        refuse(connection, badLink, headOnly);
        return;
    }
    std::string path = target.substr(token.size() + 2);
    path = path.substr(0, path.find('?'));

    const std::string site = request.header("sec-fetch-site");
    const bool navigation = path.empty() && request.header("sec-fetch-mode") == "navigate" &&
                            request.header("sec-fetch-dest") == "document";
    if (!site.empty() && site != "same-origin" && site != "none" && !navigation) {
        refuse(connection, crossOrigin, headOnly);
        return;
    }

    if (path.empty()) {
        lastStatePoll = platform::tickCount();
        response(connection, 200, "text/html; charset=utf-8", page, headOnly, "");
        return;
    }
    if (path == "style.css") {
        response(connection, 200, "text/css; charset=utf-8", style, headOnly, "");
        return;
    }
    if (path == "app.js") {
        response(connection, 200, "text/javascript; charset=utf-8", script, headOnly, "");
        return;
    }

    const SharedContent content = snapshot();
    const bool english = Ui::english.load();
    if (path == "state") {
        lastStatePoll = platform::tickCount();
        const std::string etag = "\"" + std::to_string(content.revision) + (english ? "-en" : "-fr") + "\"";
        const std::string etagLine = "ETag: " + etag + "\r\n";
        if (request.header("if-none-match") == etag) {
            headers(connection, 304, "application/json", 0, etagLine);
            return;
        }
        response(connection, 200, "application/json; charset=utf-8", stateDocument(content, english), headOnly,
                 etagLine);
        return;
    }
    if (path == "text") {
        std::string body = "\xEF\xBB\xBF" + *content.text;
        response(connection, 200, "text/plain; charset=utf-8", body, headOnly,
                 english ? "Content-Disposition: attachment; filename=\"text.txt\"\r\n"
                         : "Content-Disposition: attachment; filename=\"texte.txt\"\r\n");
        return;
    }
    if (content.file && path == "file/" + content.file->id) {
        const FileShare& file = *content.file;
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
        return;
    }
    refuse(connection, unavailable, headOnly);
}
