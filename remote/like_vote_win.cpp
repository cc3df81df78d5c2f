// The like vote: the profile's voter identifier, the vote request and the marker.
#include "remote/like_vote.h"

#include <windows.h>

#include <stdexcept>

#include "base/text.h"
#include "platform/system.h"
#include "remote/remote.h"
#include "remote/request.h"

namespace remote {
namespace {

constexpr DWORD MutexWaitMs = 5000;
constexpr DWORD VoterBufferUnits = 80;

// Owns an open registry key.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() {
        if (key_) RegCloseKey(key_);
    }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    // Creates or opens RegistryKey under the current user with `rights`.
    bool open(REGSAM rights) {
        return RegCreateKeyExW(HKEY_CURRENT_USER, RegistryKey, 0, nullptr, 0, rights, nullptr, &key_, nullptr) ==
               ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// Holds the named mutex once acquired: released and closed whatever happens next.
class Guard {
public:
    explicit Guard(HANDLE mutex) : mutex_(mutex) {}
    ~Guard() {
        ReleaseMutex(mutex_);
        CloseHandle(mutex_);
    }
    Guard(const Guard&) = delete;
    Guard& operator=(const Guard&) = delete;

private:
    HANDLE mutex_;
};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in lower-case hexadecimal, checked by hand:
// std::regex would cost the executable tens of kilobytes.
bool wellFormed(const std::wstring& id) {
    if (id.size() != 38 || id.front() != L'{' || id.back() != L'}') return false;
    for (std::size_t at = 1; at < 37; ++at) {
        const wchar_t c = id[at];
        const bool dash = at == 9 || at == 14 || at == 19 || at == 24;
        if (dash ? c != L'-' : !((c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f'))) return false;
    }
    return true;
}

// A random version-4 UUID in braces, lower case.
std::wstring newVoterId() {
    unsigned char bytes[16];
    if (!platform::systemRandom(bytes, sizeof bytes)) fail("Génération de l’identifiant impossible.");
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);
    std::wstring id = L"{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) id += L'-';
        appendHex(id, bytes[i]);
    }
    id += L'}';
    SecureZeroMemory(bytes, sizeof bytes);
    return id;
}

}  // namespace

std::wstring voterId() {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, VoterMutex);
    if (!mutex) fail("Impossible de préparer le soutien pour ce profil Windows.");
    const DWORD waited = WaitForSingleObject(mutex, MutexWaitMs);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        fail("Une autre fenêtre prépare un soutien. Réessayez.");
    }
    Guard guard(mutex);

    RegKey key;
    if (!key.open(KEY_QUERY_VALUE | KEY_SET_VALUE)) fail("Impossible de mémoriser le soutien pour ce profil Windows.");

    wchar_t stored[VoterBufferUnits] = {};
    DWORD size = sizeof stored;
    const LSTATUS read = RegGetValueW(key.get(), nullptr, VoterValue, RRF_RT_REG_SZ, nullptr, stored, &size);
    if (read == ERROR_SUCCESS) {
        std::wstring id(stored);
        if (!wellFormed(id)) fail("L’identifiant de soutien de ce profil est invalide.");
        return id;
    }
    // Only a missing value is created. A value of another type or too long is a
    // malformed identifier like any other: replacing it would give this profile a
    // second identity and a second vote.
    if (read == ERROR_UNSUPPORTED_TYPE || read == ERROR_MORE_DATA) {
        fail("L’identifiant de soutien de ce profil est invalide.");
    }
    if (read != ERROR_FILE_NOT_FOUND) fail("Impossible de mémoriser le soutien pour ce profil Windows.");

    std::wstring id = newVoterId();
    if (RegSetValueExW(key.get(), VoterValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                       static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        fail("Impossible de conserver l’identifiant de soutien.");
    }
    return id;
}

void recordLike() {
    const std::wstring id = voterId();
    const std::string body = request(likesHost(), std::wstring(L"/api/likes/tolvenaireandroid/") + Version, L"POST",
                                     L"X-TolvenaireAndroid-Voter: " + id + L"\r\nAccept: application/json\r\n");
    if (!validVoteResponse(body)) fail("La confirmation du soutien est invalide. Réessayez plus tard.");

    // The service has counted the like; a marker that cannot be written only means
    // the button is offered again at the next start.
    RegKey key;
    if (key.open(KEY_SET_VALUE)) {
        const DWORD liked = 1;
        RegSetValueExW(key.get(), LikeKey, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&liked), sizeof liked);
    }
}

bool alreadyLiked() {
    DWORD value = 0;
    DWORD size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER, RegistryKey, LikeKey, RRF_RT_REG_DWORD, nullptr, &value, &size) ==
               ERROR_SUCCESS &&
           value == 1;
}

}  // namespace remote
