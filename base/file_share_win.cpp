#include "base/file_share.h"

#include "base/random_token.h"

#include <windows.h>

#include <algorithm>
#include <stdexcept>

const FileShare::Handle FileShare::invalidHandle = INVALID_HANDLE_VALUE;

FileShare::FileShare(std::wstring path_)
    : handle(INVALID_HANDLE_VALUE), path(std::move(path_)), name(fileNameOf(path)), size(0), id(randomToken()) {
    if (path.empty() || path.find(L'\0') != std::wstring::npos) throw std::runtime_error("Chemin de fichier invalide.");
    // Read-only sharing: nobody may write or delete the file while it is shared.
    handle = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("Fichier inaccessible ou ouvert en modification.");
    LARGE_INTEGER length{};
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileSizeEx(handle, &length) || length.QuadPart < 0 ||
        !GetFileInformationByHandle(handle, &information) ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        throw std::runtime_error("Selectionnez un fichier local lisible.");
    }
    size = static_cast<std::uint64_t>(length.QuadPart);
}

FileShare::~FileShare() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

FileReader::FileReader(const FileShare& share)
    : handle(ReOpenFile(share.handle, GENERIC_READ, FILE_SHARE_READ, FILE_FLAG_SEQUENTIAL_SCAN)) {
    if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("Lecture du fichier selectionne impossible.");
}

FileReader::~FileReader() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
}

std::uint64_t FileReader::read(unsigned char* buffer, std::uint64_t capacity) {
    DWORD got = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(capacity, 0xFFFFFFFFu));
    if (!ReadFile(handle, buffer, wanted, &got, nullptr)) throw std::runtime_error("Lecture du fichier interrompue.");
    return got;
}
