#include "platform/system.h"

#include <windows.h>
#include <bcrypt.h>
#include <pthread.h>

#include <algorithm>
#include <limits>

namespace platform {

std::uint64_t tickCount() { return GetTickCount64(); }

bool systemRandom(unsigned char* buffer, std::size_t length) {
    while (length > 0) {
        ULONG piece = static_cast<ULONG>(std::min<std::size_t>(length, std::numeric_limits<ULONG>::max()));
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, buffer, piece, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) return false;
        buffer += piece;
        length -= piece;
    }
    return true;
}

void secureZero(void* buffer, std::size_t length) { SecureZeroMemory(buffer, length); }

void cancelThreadIo(std::thread& thread) {
    // With winpthreads native_handle() is a pthread_t, not a Win32 handle.
    if (!thread.joinable()) return;
    HANDLE handle = reinterpret_cast<HANDLE>(pthread_gethandle(thread.native_handle()));
    if (handle) CancelSynchronousIo(handle);  // fails harmlessly when nothing is pending
}

}  // namespace platform
