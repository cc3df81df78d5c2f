#include "link/assets/assets.h"

#include <windows.h>

#include <stdexcept>

#include "base/language.h"

namespace {

[[noreturn]] void assetFailure(const char* french, const char* english) {
    throw std::runtime_error(Ui::english ? english : french);
}

}  // namespace

std::string loadAsset(int id) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!found) assetFailure("Page Android manquante.", "Android page missing.");
    HGLOBAL loaded = LoadResource(nullptr, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) assetFailure("Page Android illisible.", "Could not load the Android page.");
    const DWORD size = SizeofResource(nullptr, found);
    return std::string(static_cast<const char*>(bytes), size);
}
