#include "base/random_token.h"

#include "base/text.h"
#include "platform/system.h"

#include <stdexcept>

std::string randomToken() {
    unsigned char bytes[16];
    if (!platform::systemRandom(bytes, sizeof bytes)) {
        platform::secureZero(bytes, sizeof bytes);
        throw std::runtime_error("Impossible de generer le lien prive.");
    }
    std::string token;
    token.reserve(2 * sizeof bytes);
    for (unsigned char byte : bytes) appendHex(token, byte);
    platform::secureZero(bytes, sizeof bytes);
    return token;
}
