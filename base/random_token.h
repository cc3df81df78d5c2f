#pragma once

#include <string>

// 32 lower-case hexadecimal digits from 16 bytes of the system's random generator:
// the private link token and the ids of shared files.
// Raises std::runtime_error "Impossible de generer le lien prive." when the generator fails.
std::string randomToken();

// Draws a key that is neither 0 nor a key of `used`, for handing a result or a request
// to a window by a key nobody can guess. `draw(key)` fills one from the random
// generator and returns false when that fails. A generator that keeps giving used
// keys is as broken as one that fails: false after `draws` tries.
template <typename Map, typename Draw>
bool drawFreshKey(const Map& used, const Draw& draw, int draws, typename Map::key_type& key) {
    for (int i = 0; i < draws; ++i) {
        if (!draw(key)) return false;
        if (key != 0 && used.count(key) == 0) return true;
    }
    return false;
}
