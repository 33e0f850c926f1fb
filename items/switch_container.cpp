#include "items/switch_container.h"

#include "items/inputable.h"
#include "ui/displayable.h"
#include "ui/event.h"

namespace zq {

SwitchContainer::SwitchContainer() : Container(false, nullptr) {}

SwitchContainer::~SwitchContainer() = default;

void SwitchContainer::setPanes(std::unique_ptr<Item> selector, std::unique_ptr<Item> pane1,
                               std::unique_ptr<Item> pane2, std::unique_ptr<Item> pane3) {
    selector_ = selector.get();
    selectorInput_ = dynamic_cast<Inputable*>(selector_);
    for (std::unique_ptr<Item>* pane : {&selector, &pane1, &pane2, &pane3}) {
        if (*pane) add(std::move(*pane));
    }
    update();
}

bool SwitchContainer::update() {
    if (!selector_ || !selectorInput_ || children_.empty()) return false;
    const CString value = selectorInput_->getValue();
    Item* match = nullptr;
    for (const std::unique_ptr<Item>& child : children_) {
        if (child.get() != selector_ && child->getId().equalsNoCase(value)) {
            match = child.get();
            break;
        }
    }
    if (!match) return false;
    if (currentPane_) {
        currentPane_->setVisible(false);
        if (auto* input = dynamic_cast<Inputable*>(currentPane_)) input->reset();
    }
    match->setVisible(true);
    currentPane_ = match;
    return true;
}

void SwitchContainer::onEvent(std::unique_ptr<Event> /*event*/) {
    if (!update()) return;
    if (auto* screen = dynamic_cast<Canvas*>(getScreen())) screen->repaint();
}

}  // namespace zq
