#pragma once

#include <string>
#include <string_view>

#include "base/version.h"

// The two Internet services of the program: the update check against the version
// site and the like vote on the like counter. Both are run off the interface thread
// by remote::Actions (remote/actions.h). Failures are raised with French messages.
namespace remote {

// The running program's version, for the interface (wide) and for the wire (UTF-8).
inline constexpr wchar_t Version[] = TOLVENAIRE_VERSION_WIDE;
inline constexpr char VersionUtf8[] = TOLVENAIRE_VERSION;

// Host names of the version site and of the like counter (which also serves the
// download pages). Fixed when the program is built; see remote/CMakeLists.txt.
const wchar_t* versionHost();
const wchar_t* likesHost();

// True for two or three dot-separated groups of 1 to 6 decimal digits, at most 24
// characters ("1.2", "1.10.0"); "v1.3.0" and "1.3.0-beta" are not versions.
bool validVersion(std::string_view text);

// -1, 0 or 1 as a is older than, equal to or newer than b, comparing the groups as
// numbers with missing groups taken as 0 ("1.2" equals "1.2.0", "1.10.0" is newer
// than "1.2.0"). Raises std::invalid_argument "Numéro de version invalide." when
// either is not a valid version.
int compareVersions(std::string_view a, std::string_view b);

// The published version named by a version document (at most 16 KiB of UTF-8).
// Raises std::runtime_error "Réponse de mise à jour invalide." when the body is not
// an object describing this product, and "La version publiée sur le site est
// invalide." when its "version" is missing or not a valid version.
std::string parseLatest(std::string_view body);

// The download page of a version on the like counter's site, or an empty string
// when the version is not valid.
std::wstring downloadUrl(std::string_view version);

// True when the like counter's answer confirms a like of this version of this
// product, whether counted now ("added": true) or already counted before (false).
bool validVoteResponse(std::string_view body);

// Windows build only: they reach the Internet or the current user's registry.

// Fetches the version document and returns its validated version (blocking, at most
// the time-outs of one request).
std::string getLatestVersion();

// True when this profile has already recorded a like for this version.
bool alreadyLiked();

}  // namespace remote
