#pragma once

#include <string>
#include <string_view>

// The phone page, its style sheet and its script, built into the program.
// On Windows they are RCDATA resources of the executable (assets.rc); in the
// native build they are compiled in as byte arrays generated from the same files.

constexpr int pageAsset = 101;
constexpr int styleAsset = 102;
constexpr int scriptAsset = 103;

// Returns the bytes of asset `id`, exactly as stored. A missing asset raises a
// runtime error "Page Android manquante." (English interface: "Android page
// missing."); one that cannot be loaded "Page Android illisible." ("Could not
// load the Android page.").
std::string loadAsset(int id);

#ifndef _WIN32
// The assets as compiled in at build time; a null view for an unknown id.
std::string_view embeddedAsset(int id);
#endif
