#pragma once

#include <cstdint>
#include <string>

// One file chosen for sharing, validated and held open for its whole lifetime.
// On Windows the handle allows only other readers, so while a FileShare exists no
// program can write or delete the file and `size` stays true. Not copyable: hold it
// through a shared pointer so that a download in progress keeps the file open.
class FileShare {
public:
#ifdef _WIN32
    using Handle = void*;  // HANDLE; INVALID_HANDLE_VALUE when not open
#else
    using Handle = int;  // file descriptor; -1 when not open
#endif
    static const Handle invalidHandle;

    // Raises std::runtime_error with a French message: "Chemin de fichier invalide."
    // (empty path or NUL inside), "Fichier inaccessible ou ouvert en modification."
    // (cannot be opened, held open for writing, a folder), "Selectionnez un fichier
    // local lisible." (not a regular disk file, size or information unreadable).
    explicit FileShare(std::wstring path);
    ~FileShare();
    FileShare(const FileShare&) = delete;
    FileShare& operator=(const FileShare&) = delete;

    Handle handle;
    std::wstring path;   // exactly as given
    std::wstring name;   // after the last '/' or '\'; the whole path without either
    std::uint64_t size;  // read once at opening
    std::string id;      // 32 lower-case hexadecimal digits naming the file in links
};

// An independent reader over a share, with its own handle and its own position
// starting at 0, so concurrent downloads never disturb each other.
class FileReader {
public:
    // Raises std::runtime_error "Lecture du fichier selectionne impossible.".
    explicit FileReader(const FileShare& share);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // Reads up to `capacity` bytes; returns the count, 0 at end of file.
    // Raises std::runtime_error "Lecture du fichier interrompue." when the read fails.
    std::uint64_t read(unsigned char* buffer, std::uint64_t capacity);

    FileShare::Handle handle;
};

// The characters after the last '/' or '\' of a path; the whole path when it has neither.
std::wstring fileNameOf(const std::wstring& path);
