// The two service hosts, chosen when the program is built (remote/CMakeLists.txt).
#include "remote/remote.h"

#if !defined(TOLVENAIRE_VERSION_HOST) || !defined(TOLVENAIRE_LIKES_HOST)
#error "The service host names are set by the build."
#endif

namespace remote {

const wchar_t* versionHost() { return L"" TOLVENAIRE_VERSION_HOST; }
const wchar_t* likesHost() { return L"" TOLVENAIRE_LIKES_HOST; }

}  // namespace remote
