#include "remote/remote.h"
#include "remote/request.h"

namespace remote {

std::string getLatestVersion() {
    return parseLatest(request(versionHost(), L"/versionTolvenaireAndroid.json", L"GET",
                               L"Accept: application/json\r\nCache-Control: no-cache\r\n"));
}

}  // namespace remote
