#include "ui/keyboard_base.h"

#include "ui/client_context.h"
#include "ui/graphics_context.h"

namespace zq {

bool KeyboardBase::clearText() {
    if (keyText_.isEmpty()) return false;
    keyText_.clear();
    return true;
}

void KeyboardBase::drawKey(const CString& label, const Rect& key, unsigned format,
                           GraphicsContext& g, Color fill, Color textColor, bool disabled) const {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    // The full-width minus is how the dash key is labelled.
    const bool highlighted = (!keyText_.isEmpty() && label.equalsNoCase(keyText_)) ||
                             (keyText_ == CString(u"-") && label == CString(u"－"));
    if (highlighted) {
        const ColorSettings colors = colorSettings();
        fill = colors.keyboardPressedBack;
        textColor = colors.keyboardPressedText;
    }
    dc->fillRect({key.left + 1, key.top + 1, key.right - 1, key.bottom - 1}, fill);
    if (disabled || label.isEmpty()) return;
    const Color previousColor = dc->setTextColor(textColor);
    const BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
    Rect box{key.left + 2, key.top + 2, key.right - 2, key.bottom - 2};
    dc->drawText(label.view(), box, format);
    dc->setBackgroundMode(previousMode);
    dc->setTextColor(previousColor);
}

}  // namespace zq
