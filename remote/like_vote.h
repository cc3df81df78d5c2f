#pragma once

#include <string>

#include "base/version.h"

// The like vote's pieces, Windows build only. Used by remote::Actions and the tests.
namespace remote {

// Under HKEY_CURRENT_USER: "VoterId" (REG_SZ) and LikeKey (REG_DWORD 1).
inline constexpr wchar_t RegistryKey[] = L"Software\\Varnix\\TolvenaireAndroid";
inline constexpr wchar_t VoterValue[] = L"VoterId";
inline constexpr wchar_t LikeKey[] = L"Like-" TOLVENAIRE_VERSION_WIDE;
// Serialises the identifier's creation between instances in one session.
inline constexpr wchar_t VoterMutex[] = L"Local\\Varnix.TolvenaireAndroid.SupportIdentity";

inline constexpr wchar_t LikeThanks[] = L"Merci ! Votre soutien est enregistré pour cette version.";

// This profile's voter identifier, "{xxxxxxxx-xxxx-4xxx-yxxx-xxxxxxxxxxxx}" in lower
// case, created and stored on first use, then always the stored one. A stored value
// of any other form is refused and left as it is. Raises std::runtime_error.
std::wstring voterId();

// Records one like of this version under this profile's identifier and then marks
// the version as liked. Raises std::runtime_error when the vote is not confirmed.
void recordLike();

}  // namespace remote
