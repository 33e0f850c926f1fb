#include <algorithm>

#include "platform/window.h"

namespace zq {
namespace {

// A desktop taller than this gets a doubled phone screen: at 1x it is tiny.
constexpr int kTallDesktop = 1000;

}  // namespace

int initialWindowZoom(Size screen, Size desktop) {
    int zoom = desktop.height > kTallDesktop ? 2 : 1;
    while (zoom > 1 &&
           (screen.width * zoom > desktop.width || screen.height * zoom > desktop.height)) {
        --zoom;
    }
    return zoom;
}

WindowZoom fitWindowZoom(Size screen, Size window) {
    WindowZoom fit;
    if (screen.width > 0 && screen.height > 0) {
        fit.zoom =
            std::max(1, std::min(window.width / screen.width, window.height / screen.height));
    }
    fit.offsetX = std::max(0, (window.width - screen.width * fit.zoom) / 2);
    fit.offsetY = std::max(0, (window.height - screen.height * fit.zoom) / 2);
    return fit;
}

Point WindowZoom::toScreen(int x, int y, Size screen) const {
    const int sx = (x - offsetX) / std::max(1, zoom);
    const int sy = (y - offsetY) / std::max(1, zoom);
    return {std::clamp(sx, 0, std::max(0, screen.width - 1)),
            std::clamp(sy, 0, std::max(0, screen.height - 1))};
}

}  // namespace zq
