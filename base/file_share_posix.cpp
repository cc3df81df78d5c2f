#include "base/file_share.h"

#include "base/random_token.h"
#include "base/text.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

// Natively there are no share modes: the file is only held open. The checks and
// messages follow the Windows build, where opening a folder fails outright.

const FileShare::Handle FileShare::invalidHandle = -1;

FileShare::FileShare(std::wstring path_)
    : handle(-1), path(std::move(path_)), name(fileNameOf(path)), size(0), id(randomToken()) {
    if (path.empty() || path.find(L'\0') != std::wstring::npos) throw std::runtime_error("Chemin de fichier invalide.");
    std::string bytes;
    try {
        bytes = utf8(path);
    } catch (const std::exception&) {
        throw std::runtime_error("Fichier inaccessible ou ouvert en modification.");
    }
    // O_NONBLOCK so that a named pipe is refused below instead of waiting for a writer.
    handle = open(bytes.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (handle < 0) {
        handle = -1;
        throw std::runtime_error("Fichier inaccessible ou ouvert en modification.");
    }
    struct stat status {};
    const bool statusRead = fstat(handle, &status) == 0;
    const char* refusal = nullptr;
    if (statusRead && S_ISDIR(status.st_mode))
        refusal = "Fichier inaccessible ou ouvert en modification.";
    else if (!statusRead || !S_ISREG(status.st_mode) || status.st_size < 0 ||
             fcntl(handle, F_SETFL, fcntl(handle, F_GETFL) & ~O_NONBLOCK) != 0)
        refusal = "Selectionnez un fichier local lisible.";
    if (refusal) {
        close(handle);
        handle = -1;
        throw std::runtime_error(refusal);
    }
    size = static_cast<std::uint64_t>(status.st_size);
}

FileShare::~FileShare() {
    if (handle >= 0) close(handle);
}

// Reopening through /proc gives a new open file, with its own position, on the same
// inode even if the path has since been renamed or removed, as ReOpenFile does.
FileReader::FileReader(const FileShare& share) : handle(-1) {
    const std::string self = "/proc/self/fd/" + std::to_string(share.handle);
    if (share.handle >= 0) handle = open(self.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0) {
        handle = -1;
        throw std::runtime_error("Lecture du fichier selectionne impossible.");
    }
}

FileReader::~FileReader() {
    if (handle >= 0) close(handle);
}

std::uint64_t FileReader::read(unsigned char* buffer, std::uint64_t capacity) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, 0xFFFFFFFFu));
    for (;;) {
        const ssize_t got = ::read(handle, buffer, wanted);
        if (got >= 0) return static_cast<std::uint64_t>(got);
        if (errno != EINTR) throw std::runtime_error("Lecture du fichier interrompue.");
    }
}
