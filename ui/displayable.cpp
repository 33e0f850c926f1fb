#include "ui/displayable.h"

#include "ui/display.h"

namespace zq {

Displayable::~Displayable() {
    // Whoever borrowed this displayable finds it gone from here on.
    life_.end();
    // Adopted objects go first to last, each leaving the list before the next.
    for (std::unique_ptr<OwnedBase>& object : owned_) object.reset();
    owned_.clear();
    previous_.reset();
    // A Display that went first must not be reached through a stale pointer.
    Display* display = getDisplay();
    if (display && display == Display::getDisplay()) display->forget(this);
}

bool Displayable::isShown() const {
    Display* display = getDisplay();
    return display && display->isCurrent(this);
}

void Canvas::repaint() {
    if (Display* display = getDisplay()) display->repaint();
}

void Canvas::repaintLater() {
    if (Display* display = getDisplay()) display->repaintLater();
}

void Canvas::repaintItem(int x, int y, int w, int h, Item* item) {
    if (Display* display = getDisplay()) display->paintItemNow(x, y, w, h, item);
}

}  // namespace zq
