#include "bluetooth/pairing/authentication.h"

#include <atomic>
#include <stdexcept>

#include "base/random_token.h"

// Where a listener's requests go. Shared with a callback in progress, which
// holds the mutex while it posts; `closed` is set under that mutex.
struct AuthenticationRoute {
    std::mutex mutex;
    WindowHandle window = nullptr;
    unsigned long long address = 0;
    unsigned message = 0;
    bool closed = false;
};

BluetoothAuthListener::Routes& BluetoothAuthListener::routes() {
    static auto* map = new Routes();
    return *map;
}

namespace {

// A generator that keeps returning used values is as broken as one that fails.
constexpr int maxDraws = 64;

template <typename Map>
unsigned long long freshIdentifier(const Map& used) {
    unsigned long long value = 0;
    const auto draw = [](unsigned long long& key) { return authenticationPlatform().random64(key); };
    if (!drawFreshKey(used, draw, maxDraws, value)) throw std::runtime_error("Identifiant interne indisponible.");
    return value;
}

bool codeCanBeCompared(const AuthenticationParams& params) {
    return (params.method == AuthMethod::numericComparison || params.method == AuthMethod::passkeyNotification) &&
           params.numericValue < 1000000 && params.device.address != 0 &&
           params.ioCapability != IoCapability::noInputNoOutput && params.ioCapability != IoCapability::undefined;
}

}  // namespace

AuthenticationPlatform& authenticationPlatform() {
    AuthenticationPlatform* platform = AuthenticationPlatform::installed.load();
    return platform ? *platform : systemAuthenticationPlatform();
}

void setAuthenticationPlatform(AuthenticationPlatform* platform) { AuthenticationPlatform::installed.store(platform); }

AuthenticationMailbox& inbox() {
    static auto* mailbox = new AuthenticationMailbox();
    return *mailbox;  // never destroyed: outlives every listener and callback
}

void AuthenticationMailbox::dropExpired(unsigned long long now) {
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.expiresAt <= now ? entries_.erase(it) : std::next(it);
}

unsigned long long AuthenticationMailbox::post(WindowHandle window, const AuthenticationParams& params,
                                               unsigned long long now) {
    std::lock_guard<std::mutex> lock(mutex_);
    dropExpired(now);
    for (auto it = entries_.begin(); it != entries_.end();) {
        bool replaced = it->second.window == window && it->second.params.device.address == params.device.address;
        it = replaced ? entries_.erase(it) : std::next(it);
    }
    if (entries_.size() >= maxPendingRequests) return 0;
    unsigned long long id = freshIdentifier(entries_);
    entries_[id] = Entry{window, params, now + requestLifetimeMs};
    return id;
}

std::optional<AuthenticationChallenge> AuthenticationMailbox::take(WindowHandle window, unsigned long long id,
                                                                   unsigned long long now) {
    std::lock_guard<std::mutex> lock(mutex_);
    dropExpired(now);
    auto it = entries_.find(id);
    if (it == entries_.end() || it->second.window != window) return std::nullopt;
    AuthenticationChallenge challenge{it->second.params, it->second.expiresAt};
    entries_.erase(it);
    return challenge;
}

void AuthenticationMailbox::discard(WindowHandle window) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();)
        it = it->second.window == window ? entries_.erase(it) : std::next(it);
}

std::size_t AuthenticationMailbox::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

BluetoothAuthListener::BluetoothAuthListener(WindowHandle window, const BluetoothDeviceRecord& device,
                                             unsigned message) {
    {
        std::lock_guard<std::mutex> lock(routesMutex);
        identifier_ = freshIdentifier(routes());
        auto route = std::make_shared<AuthenticationRoute>();
        route->window = window;
        route->address = device.address;
        route->message = message;
        routes()[identifier_] = route;
    }
    // NOLINTNEXTLINE(performance-no-int-to-ptr): an id, never dereferenced
    void* context = reinterpret_cast<void*>(static_cast<std::uintptr_t>(identifier_));
    unsigned long result = authenticationPlatform().registerListener(device, context, handle_);
    if (result != 0) {
        {
            std::lock_guard<std::mutex> lock(routesMutex);
            routes().erase(identifier_);
        }
        throw std::runtime_error("Ecoute du code Bluetooth impossible (Windows " + std::to_string(result) + ").");
    }
}

BluetoothAuthListener::~BluetoothAuthListener() {
    std::shared_ptr<AuthenticationRoute> route;
    {
        std::lock_guard<std::mutex> lock(routesMutex);
        auto it = routes().find(identifier_);
        if (it != routes().end()) {
            route = it->second;
            routes().erase(it);
        }
    }
    if (route) {
        std::lock_guard<std::mutex> lock(route->mutex);  // waits for a callback in progress
        route->closed = true;
        inbox().discard(route->window);
    }
    if (handle_) authenticationPlatform().unregisterListener(handle_);
}

bool BluetoothAuthListener::onAuthentication(void* context, const AuthenticationParams* params) noexcept {
    try {
        if (!params) return true;
        std::shared_ptr<AuthenticationRoute> route;
        {
            std::lock_guard<std::mutex> lock(routesMutex);
            auto it = routes().find(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(context)));
            if (it == routes().end()) return true;
            route = it->second;
        }
        std::lock_guard<std::mutex> lock(route->mutex);
        if (route->closed || params->device.address != route->address) return true;
        AuthenticationPlatform& platform = authenticationPlatform();
        unsigned long long id = inbox().post(route->window, *params, platform.now());
        if (id == 0) return true;
        if (!platform.postMessage(route->window, route->message, id, 0))
            inbox().take(route->window, id, platform.now());
    } catch (...) {
        // Nothing may escape into the Bluetooth stack; the request simply times out.
    }
    return true;
}

std::optional<AuthenticationChallenge> takeBluetoothChallenge(WindowHandle window, unsigned long long id) {
    return inbox().take(window, id, authenticationPlatform().now());
}

void discardBluetoothChallenges(WindowHandle window) { inbox().discard(window); }

void rejectBluetoothChallenge(const AuthenticationParams& params) {
    PairingResponse answer = makePairingResponse(params, false);
    if (answer.send) authenticationPlatform().sendResponse(answer.response);
}

PairingPrompt makePairingPrompt(const AuthenticationParams& params) {
    PairingPrompt prompt;
    if (!codeCanBeCompared(params)) {
        prompt.instruction =
            L"Ce mode d\u2019appairage ne fournit pas de code \u00e0 comparer. Annulez, puis associez cet "
            L"appareil dans les param\u00e8tres Bluetooth Windows.";
        return prompt;
    }
    std::wstring digits(6, L'0');
    for (std::uint32_t value = params.numericValue, i = 6; i-- > 0; value /= 10)
        digits[i] = static_cast<wchar_t>(L'0' + value % 10);
    prompt.code = digits;
    prompt.comparable = true;
    if (params.method == AuthMethod::numericComparison) {
        prompt.instruction =
            L"V\u00e9rifiez que ces six chiffres sont identiques sur votre t\u00e9l\u00e9phone. Confirmez "
            L"aussi la demande sur Android.";
        prompt.label = L"Les codes correspondent";
    } else {
        prompt.instruction =
            L"Saisissez ces six chiffres sur votre t\u00e9l\u00e9phone, puis confirmez ici apr\u00e8s les "
            L"avoir saisis.";
        prompt.label = L"Code saisi sur Android";
    }
    return prompt;
}

PairingResponse makePairingResponse(const AuthenticationParams& params, bool accept) {
    PairingResponse answer;
    if (params.method != AuthMethod::legacy && params.method != AuthMethod::numericComparison &&
        params.method != AuthMethod::passkeyNotification)
        return answer;
    answer.send = true;
    answer.response.address = params.device.address;
    answer.response.method = params.method;
    if (params.method == AuthMethod::numericComparison) answer.response.numericValue = params.numericValue;
    if (params.method == AuthMethod::passkeyNotification) answer.response.passkey = params.numericValue;
    answer.response.negative = !(accept && codeCanBeCompared(params));
    return answer;
}
