#pragma once

#include <string>

// The MIME type sent with an object, from its name: no dot gives
// "application/octet-stream"; .txt and .log (any case) give "text/plain"; other
// extensions take the system's registered content type when it is a plain token.
std::string mimeTypeFor(const std::wstring& name);

// True for 1..127 bytes containing "/" and only letters, digits and !#$&^_.+-/.
bool acceptableContentType(const std::string& type);

// The system's "Content Type" for an extension such as ".png"; empty when none.
// Natively there is no registry and the answer is always empty.
std::string registeredContentType(const std::wstring& extension);
