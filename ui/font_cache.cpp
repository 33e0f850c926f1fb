#include "ui/font_cache.h"

#include <mutex>

#include "ui/client_context.h"

namespace zq {
namespace {

enum class FontSlot { Style, Small, Normal, Large, Count };

struct FontSlots {
    std::mutex mutex;
    FontRef fonts[static_cast<int>(FontSlot::Count)];
};

FontSlots& slots() {
    static FontSlots instance;
    return instance;
}

int slotHeight(FontSlot slot, int base) {
    switch (slot) {
        case FontSlot::Small:
            return static_cast<int>(base * 0.83);
        case FontSlot::Large:
            return base + 1;
        default:
            return base;
    }
}

// The lock is held while the font is made, so a slot is filled once.
FontRef slotFont(FontSlot slot) {
    FontSlots& s = slots();
    std::lock_guard<std::mutex> lock(s.mutex);
    FontRef& font = s.fonts[static_cast<int>(slot)];
    if (!font) font = getFont(slotHeight(slot, screenMetrics().baseFontSize));
    return font;
}

}  // namespace

FontRef createStyleFont() { return slotFont(FontSlot::Style); }
FontRef createSmallStyleFont() { return slotFont(FontSlot::Small); }
FontRef createNormalStyleFont() { return slotFont(FontSlot::Normal); }
FontRef createLargeStyleFont() { return slotFont(FontSlot::Large); }

void releaseSharedFonts() {
    FontSlots& s = slots();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (FontRef& font : s.fonts) font.reset();
}

}  // namespace zq
