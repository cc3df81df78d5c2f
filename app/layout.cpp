#include "app/layout.h"

#include <algorithm>

namespace app {

int toPixels(double units, double scale) {
    return static_cast<int>(units * scale + 0.5);  // NOLINT(bugprone-incorrect-roundings): never negative
}

Box toPixels(const Box& units, double scale) {
    return {toPixels(units.left, scale), toPixels(units.top, scale), toPixels(units.right, scale),
            toPixels(units.bottom, scale)};
}

double fittedScale(int dpi, int workAreaHeight) {
    double scale = dpi / 96.0;
    const double fitting = (workAreaHeight - workAreaSpare) / static_cast<double>(baseHeight);
    return std::min(scale, fitting);
}

bool inDragBand(int clientY, double scale) {
    return clientY > toPixels(Area::dragBand.top, scale) && clientY < toPixels(Area::dragBand.bottom, scale);
}

Box qrModuleBox(const Box& area, int modules, int x, int y) {
    const long long side = std::min(area.right - area.left, area.bottom - area.top);
    const long long total = modules + 2 * qrQuietZone;
    auto edge = [&](int origin, int index) { return origin + static_cast<int>((index + qrQuietZone) * side / total); };
    return {edge(area.left, x), edge(area.top, y), edge(area.left, x + 1), edge(area.top, y + 1)};
}

int addressToKeep(const std::vector<std::pair<std::wstring, std::string>>& entries, const std::string& previous) {
    int choice = 0;
    if (previous.empty()) return choice;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].second == previous) choice = static_cast<int>(i);
    }
    return choice;
}

}  // namespace app
