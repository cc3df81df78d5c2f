#pragma once

// The current user's registry as the tests arrange and read it, apart from the
// program's own code.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

inline bool userKeyExists(const wchar_t* key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
    RegCloseKey(opened);
    return true;
}

// Removes the key and all below it; a key that is already gone is fine.
inline void deleteUserKey(const wchar_t* key) {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, key);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    ASSERT_FALSE(userKeyExists(key));
}

// Stores a value of any type and size, creating the key when it is missing.
inline void storeUserValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, type, data, size), ERROR_SUCCESS);
}

// A value exactly as the registry holds it: type and raw bytes.
struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string bytes;
};

inline StoredValue storedUserValue(const wchar_t* key, const wchar_t* name) {
    StoredValue result;
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_ANY | RRF_NOEXPAND, &result.type, buffer, &size) ==
        ERROR_SUCCESS) {
        result.present = true;
        result.bytes.assign(buffer, size);
    }
    return result;
}

}  // namespace testing_support
