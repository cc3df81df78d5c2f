#include "link/assets/assets.h"

#include <stdexcept>

#include "base/language.h"

std::string loadAsset(int id) {
    const std::string_view bytes = embeddedAsset(id);
    if (bytes.data() == nullptr) {
        throw std::runtime_error(Ui::english ? "Android page missing." : "Page Android manquante.");
    }
    return std::string(bytes);
}
