#pragma once

#include <string>

// The system's text for an error code, in UTF-8, with " (code)" appended, e.g. the
// text of 10060 followed by " (10060)". "Erreur Windows (code)" when the system has
// no text. On Windows the codes are Win32/Winsock codes; natively errno values.
std::string windowsError(unsigned long code);
