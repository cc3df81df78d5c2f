#include "base/random_token.h"

#include "platform/system.h"

#include <stdexcept>

std::string randomToken() {
    static constexpr char digits[] = "0123456789abcdef";
    unsigned char bytes[16];
    if (!platform::systemRandom(bytes, sizeof bytes)) {
        platform::secureZero(bytes, sizeof bytes);
        throw std::runtime_error("Impossible de generer le lien prive.");
    }
    std::string token;
    token.reserve(2 * sizeof bytes);
    for (unsigned char byte : bytes) {
        token.push_back(digits[byte >> 4]);
        token.push_back(digits[byte & 0x0F]);
    }
    platform::secureZero(bytes, sizeof bytes);
    return token;
}
