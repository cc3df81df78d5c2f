// The one HTTPS exchange every Internet action uses, over WinHTTP.
#include "remote/request.h"

#include <windows.h>
#include <winhttp.h>

#include <stdexcept>

#include "remote/remote.h"

namespace remote {
namespace {

constexpr char Unavailable[] = "Connexion Internet indisponible.";
constexpr char Unreachable[] = "Impossible de joindre varnix. Vérifiez votre connexion Internet puis réessayez.";
constexpr char ServiceDown[] = "Le service varnix est temporairement indisponible. Réessayez plus tard.";

constexpr int ResolveTimeoutMs = 5000;
constexpr int ConnectTimeoutMs = 5000;
constexpr int SendTimeoutMs = 8000;
constexpr int ReceiveTimeoutMs = 8000;
constexpr DWORD ReadChunkBytes = 1024;

// Owns one WinHTTP handle (session, connection or request).
class HttpHandle {
public:
    explicit HttpHandle(HINTERNET handle) : handle_(handle) {}
    ~HttpHandle() {
        if (handle_) WinHttpCloseHandle(handle_);
    }
    HttpHandle(const HttpHandle&) = delete;
    HttpHandle& operator=(const HttpHandle&) = delete;

    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

private:
    HINTERNET handle_;
};

}  // namespace

std::string request(const std::wstring& host, const std::wstring& path, const std::wstring& method,
                    const std::wstring& headers) {
    const std::wstring agent = std::wstring(L"TolvenaireAndroid/") + Version;
    // Declared session, connection, request: destroyed request first, session last,
    // on every path out of this function.
    HttpHandle session(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) fail(Unavailable);
    if (!WinHttpSetTimeouts(session.get(), ResolveTimeoutMs, ConnectTimeoutMs, SendTimeoutMs, ReceiveTimeoutMs)) {
        fail("Configuration de la connexion impossible.");
    }
    HttpHandle connection(WinHttpConnect(session.get(), host.c_str(), INTERNET_DEFAULT_HTTPS_PORT, 0));
    if (!connection) fail(Unavailable);
    HttpHandle exchange(WinHttpOpenRequest(connection.get(), method.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!exchange) fail(Unavailable);

    // The receive time-out also bounds the wait for the answer's head: Wine applies
    // only this option there (90 s by default), not the per-read time-out above.
    DWORD headWait = ReceiveTimeoutMs;
    if (!WinHttpSetOption(exchange.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headWait, sizeof headWait)) {
        fail("Configuration de la connexion impossible.");
    }

    // A redirect comes back as such and then fails the status test below.
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!WinHttpSetOption(exchange.get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy)) {
        fail("Configuration HTTPS impossible.");
    }

    // The extra headers are ours and short; their length is in characters.
    const bool extra = !headers.empty();
    if (!WinHttpSendRequest(exchange.get(), extra ? headers.c_str() : WINHTTP_NO_ADDITIONAL_HEADERS,
                            extra ? static_cast<DWORD>(headers.size()) : 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
        fail(Unreachable);
    }
    if (!WinHttpReceiveResponse(exchange.get(), nullptr)) fail(Unreachable);

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!WinHttpQueryHeaders(exchange.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX) ||
        status != 200) {
        fail(ServiceDown);
    }

    std::string body;
    char chunk[ReadChunkBytes];
    // Ends at the first empty read; bounded by the size cap and the receive time-out.
    for (;;) {
        DWORD got = 0;
        if (!WinHttpReadData(exchange.get(), chunk, ReadChunkBytes, &got)) fail("Réponse Internet interrompue.");
        if (got == 0) break;
        if (body.size() + got > MaxResponseBytes) fail("Réponse du site trop volumineuse.");
        body.append(chunk, got);
    }
    return body;
}

}  // namespace remote
