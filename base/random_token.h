#pragma once

#include <string>

// 32 lower-case hexadecimal digits from 16 bytes of the system's random generator:
// the private link token and the ids of shared files.
// Raises std::runtime_error "Impossible de generer le lien prive." when the generator fails.
std::string randomToken();
