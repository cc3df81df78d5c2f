#include "platform/system.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/random.h>

namespace platform {

std::uint64_t tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

bool systemRandom(unsigned char* buffer, std::size_t length) {
    while (length > 0) {
        ssize_t got = getrandom(buffer, length, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        buffer += got;
        length -= static_cast<std::size_t>(got);
    }
    return true;
}

void secureZero(void* buffer, std::size_t length) { explicit_bzero(buffer, length); }

void cancelThreadIo(std::thread&) {}

}  // namespace platform
