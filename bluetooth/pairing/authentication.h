#pragma once

// Pairing requests from the Bluetooth stack: the listener that receives them on
// the system's thread, the mailbox that holds them until the window takes them,
// and the two decisions made about a request (what to show, what to answer).
// No system call here: the stack, the clock, the random generator and message
// posting are reached through AuthenticationPlatform, so every rule runs and is
// tested on both builds.

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

// A window handle, opaque here (HWND on Windows).
using WindowHandle = void*;

// The device part of a system pairing request or of a picker result.
struct BluetoothDeviceRecord {
    unsigned long long address = 0;  // 48-bit Bluetooth address
    std::uint32_t classOfDevice = 0;
    bool connected = false;
    bool remembered = false;
    bool authenticated = false;
    std::wstring name;
};

namespace AuthMethod {
constexpr std::uint32_t legacy = 1;
constexpr std::uint32_t outOfBand = 2;
constexpr std::uint32_t numericComparison = 3;
constexpr std::uint32_t passkeyNotification = 4;
constexpr std::uint32_t passkey = 5;
}  // namespace AuthMethod

namespace IoCapability {
constexpr std::uint32_t displayOnly = 0;
constexpr std::uint32_t displayYesNo = 1;
constexpr std::uint32_t keyboardOnly = 2;
constexpr std::uint32_t noInputNoOutput = 3;
constexpr std::uint32_t undefined = 255;
}  // namespace IoCapability

// Full copy of one system pairing request.
struct AuthenticationParams {
    BluetoothDeviceRecord device;
    std::uint32_t method = 0;
    std::uint32_t ioCapability = IoCapability::undefined;
    std::uint32_t requirements = 0;
    std::uint32_t numericValue = 0;  // the numeric value or the passkey (one field for the system)
};

// The answer handed to the stack.
struct AuthenticationResponse {
    unsigned long long address = 0;
    std::uint32_t method = 0;
    std::uint32_t numericValue = 0;  // echoed for numeric comparison
    std::uint32_t passkey = 0;       // echoed for passkey notification
    bool negative = true;
};

struct PairingResponse {
    AuthenticationResponse response;
    bool send = false;  // false: this method gets no answer at all
};

struct PairingPrompt {
    std::wstring code;         // six digits, empty when nothing can be compared
    std::wstring instruction;  // French
    std::wstring label;        // confirm button caption (French), empty without a code
    bool comparable = false;
};

struct AuthenticationChallenge {
    AuthenticationParams params;
    unsigned long long expiresAt = 0;  // tick count in milliseconds
};

// Everything the pairing code needs from the system. The default instance talks
// to the real Bluetooth stack; tests install their own.
class AuthenticationPlatform {
public:
    virtual ~AuthenticationPlatform() = default;
    // Registers for the device's pairing requests; requests arrive at
    // BluetoothAuthListener::onAuthentication with `context`. 0 on success.
    virtual unsigned long registerListener(const BluetoothDeviceRecord& device, void* context, void*& handle) = 0;
    virtual void unregisterListener(void* handle) = 0;
    // Hands one answer to the stack; returns the system's result (0 success, 1223 cancelled).
    virtual unsigned long sendResponse(const AuthenticationResponse& response) = 0;
    virtual bool postMessage(WindowHandle window, unsigned message, unsigned long long wParam, long long lParam) = 0;
    virtual unsigned long long now() = 0;  // monotonic milliseconds
    virtual bool random64(unsigned long long& value) = 0;

private:
    friend AuthenticationPlatform& authenticationPlatform();
    friend void setAuthenticationPlatform(AuthenticationPlatform* platform);
    // The one installed for the whole process in place of the system's; null for the system's.
    static inline std::atomic<AuthenticationPlatform*> installed{nullptr};
};

AuthenticationPlatform& authenticationPlatform();
// Replaces the platform for the whole process (nullptr restores the system one).
void setAuthenticationPlatform(AuthenticationPlatform* platform);
// The system implementation (defined per build).
AuthenticationPlatform& systemAuthenticationPlatform();

constexpr std::size_t maxPendingRequests = 32;
constexpr unsigned long long requestLifetimeMs = 60000;

// Requests waiting for their window, keyed by random identifiers so that a
// stale message can never pick up a newer request.
class AuthenticationMailbox {
public:
    struct Entry {
        WindowHandle window = nullptr;
        AuthenticationParams params;
        unsigned long long expiresAt = 0;
    };

    // Returns the request identifier, 0 when refused (mailbox full). An earlier
    // request of the same window and device is replaced.
    unsigned long long post(WindowHandle window, const AuthenticationParams& params, unsigned long long now);
    // The request, only for the window it was posted for and before it expired.
    std::optional<AuthenticationChallenge> take(WindowHandle window, unsigned long long id, unsigned long long now);
    void discard(WindowHandle window);
    std::size_t pending() const;

private:
    void dropExpired(unsigned long long now);

    mutable std::mutex mutex_;
    std::map<unsigned long long, Entry> entries_;
};

// The one mailbox of the process.
AuthenticationMailbox& inbox();

struct AuthenticationRoute;

// Listens for one device's pairing requests and posts each to one window as
// `message` with the request identifier in wParam. Destroying it stops the
// listening; once the destructor returns nothing more is posted.
class BluetoothAuthListener {
public:
    BluetoothAuthListener(WindowHandle window, const BluetoothDeviceRecord& device, unsigned message);
    ~BluetoothAuthListener();
    BluetoothAuthListener(const BluetoothAuthListener&) = delete;
    BluetoothAuthListener& operator=(const BluetoothAuthListener&) = delete;

    // Entry point of the system's callback thread; never throws, always true.
    static bool onAuthentication(void* context, const AuthenticationParams* params) noexcept;

private:
    using Routes = std::map<unsigned long long, std::shared_ptr<AuthenticationRoute>>;
    // Every listener of the process, by the identifier its system callback carries;
    // never destroyed, since a late system callback may still look it up.
    static Routes& routes();
    static inline std::mutex routesMutex;  // guards routes(); released before a route's mutex is taken

    unsigned long long identifier_ = 0;
    void* handle_ = nullptr;
};

std::optional<AuthenticationChallenge> takeBluetoothChallenge(WindowHandle window, unsigned long long id);
void discardBluetoothChallenges(WindowHandle window);
void rejectBluetoothChallenge(const AuthenticationParams& params);

PairingPrompt makePairingPrompt(const AuthenticationParams& params);
PairingResponse makePairingResponse(const AuthenticationParams& params, bool accept);
