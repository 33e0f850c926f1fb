// Item: input, commands, focus, visibility and the events an item raises.
#include <algorithm>
#include <memory>

#include "platform/window.h"
#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/item.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {
namespace {

// The command type the clear key fires (the soft keys' cancel type).

// Emptied before each collection; the focused item's chain fills it.
std::vector<CommandRef>& sharedCommandCollection() {
    static std::vector<CommandRef> commands;
    return commands;
}

bool hasView(const Style* style) {
    return style && style->getViewProperty(prop::kItemViewObject) != nullptr;
}

}  // namespace

// --- keys and pointer ----------------------------------------------------------------

bool Item::keyPressed(int keyCode, int gameAction) {
    if (gameAction != kGameFire || keyCode == kKeyDigitFive || !isInteractive()) return false;
    return selectPressed();
}

bool Item::keyRepeated(int keyCode, int gameAction) { return keyPressed(keyCode, gameAction); }

bool Item::selectPressed() {
    pressed_ = true;
    return false;
}

void Item::selectReleased() {
    if (!pressed_) return;
    pressed_ = false;
    if (savedStyle_ && savedStyle_ != style_) {
        const bool viewGoes = hasView(style_) && !hasView(savedStyle_);
        setStyle(savedStyle_);
        if (viewGoes) dropView();
    }
    savedStyle_ = nullptr;
}

// The listener may remove the item; nothing of the item is touched after
// delivering.
void Item::deliverCommand(const CommandRef& command) {
    const CommandRef keep = command;
    if (commandListener_) {
        commandListener_->commandAction(keep.get(), this);
    } else if (ItemScreen* screen = getScreen()) {
        screen->fireCommand(keep.get());
    }
}

bool Item::keyReleased(int keyCode, int gameAction) {
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && isInteractive() && pressed_) {
        selectReleased();
        if (defaultCommand_) {
            deliverCommand(defaultCommand_);
            return true;
        }
    }
    if (keyCode == kKeyClear) {
        // The clear key fires the most urgent cancel command, yet leaves the
        // key to the container.
        CommandRef best;
        for (const CommandRef& command : commands_) {
            if (!command) break;
            if (command->getCommandType() != kCommandCancel) continue;
            if (!best || command->getPriority() < best->getPriority()) best = command;
        }
        if (best) deliverCommand(best);
    }
    return false;
}

bool Item::pointerDragged(int /*x*/, int /*y*/) { return false; }

bool Item::pointerPressed(int x, int y) { return isInItemArea(x, y) && keyPressed(-1, kGameFire); }

bool Item::pointerReleased(int x, int y) {
    return isInItemArea(x, y) && keyReleased(-1, kGameFire);
}

// --- commands ------------------------------------------------------------------------

void Item::addCommand(CommandRef command) {
    if (!command) return;
    if (std::find(commands_.begin(), commands_.end(), command) != commands_.end()) return;
    commands_.push_back(std::move(command));
    if (hidden_) {
        if (savedAppearanceMode_ == kAppearancePlain) savedAppearanceMode_ = kAppearanceInteractive;
    } else if (appearanceMode_ == kAppearancePlain) {
        appearanceMode_ = kAppearanceInteractive;
    }
    if (focused_) updateCommands();
}

void Item::removeCommand(const Command* command) {
    if (!command || commands_.empty()) return;
    const int id = command->getId();
    auto matches = [&](const CommandRef& c) {
        return c.get() == command || (id != -1 && c && c->getId() == id);
    };
    if (defaultCommand_ && matches(defaultCommand_)) defaultCommand_.reset();

    std::vector<CommandRef> removed;
    for (const CommandRef& c : commands_) {
        if (matches(c)) removed.push_back(c);
    }
    std::erase_if(commands_, matches);
    if (!focused_) return;
    if (ItemScreen* screen = getScreen()) {
        for (const CommandRef& c : removed) screen->removeCommand(c.get());
    }
}

void Item::addSubCommand(CommandRef child, CommandRef parent) {
    subCommands_.emplace_back(std::move(child), std::move(parent));
}

void Item::updateCommands() {
    std::vector<CommandRef>& shared = sharedCommandCollection();
    shared.clear();
    collectCommands(shared);
}

void Item::collectCommands(std::vector<CommandRef>& commands) {
    commands.insert(commands.end(), commands_.begin(), commands_.end());
    ItemScreen* screen = getScreen();
    if (parent_) {
        parent_->collectCommands(commands);
    } else if (screen) {
        screen->setItemCommands(commands, this);
    }
    if (!screen) return;
    for (const auto& [child, parent] : subCommands_) {
        if (child && parent) screen->addSubCommand(child, parent, nullptr, true);
    }
}

bool Item::handleCommand(Command* command) {
    if (commands_.empty() || !commandListener_ || !command) return false;
    const bool sub = std::any_of(subCommands_.begin(), subCommands_.end(),
                                 [&](const auto& pair) { return pair.first.get() == command; });
    const bool own = std::any_of(commands_.begin(), commands_.end(),
                                 [&](const CommandRef& c) { return c.get() == command; });
    if (!sub && !own) return false;
    commandListener_->commandAction(command, this);
    return true;
}

// --- focus -----------------------------------------------------------------------------

Style* Item::focus(Style* focusStyle, int /*direction*/) {
    if (ItemScreen* screen = getScreen()) screen->setTipText(tipText_);
    Style* old = style_;
    if (!styleApplied_) setStyle(style_ ? style_ : defaultItemStyle());
    Style* next = focusedStyle_ ? focusedStyle_ : (focusStyle ? focusStyle : getFocusedStyle());
    setStyle(next);
    focused_ = true;
    if (!commands_.empty()) updateCommands();
    fireFocusAction();
    return old ? old : defaultItemStyle();
}

void Item::defocus(Style* normalStyle) {
    ItemScreen* screen = getScreen();
    if (screen) screen->setTipText(CString());
    if (pressed_) selectReleased();
    if (normalStyle) {
        setStyle(normalStyle);
    } else {
        background_ = nullptr;
        border_ = nullptr;
        style_ = nullptr;
    }
    focused_ = false;
    if (!commands_.empty() && screen) screen->removeItemCommands();
    fireLeaveAction();
}

void Item::showNotify() { shown_ = true; }

void Item::hideNotify() {
    onScreen_ = false;
    shown_ = false;
    if (pressed_) selectReleased();
}

// --- visibility --------------------------------------------------------------------------

void Item::setVisible(bool visible) {
    if (visible != hidden_) return;
    // The state changes first, so that the container no longer finds a hidden
    // item interactive and a shown one can be measured.
    if (visible) {
        appearanceMode_ = savedAppearanceMode_;
        hidden_ = false;
    } else {
        savedAppearanceMode_ = appearanceMode_;
        savedHeight_ = itemHeight_;
        appearanceMode_ = kAppearancePlain;
        hidden_ = true;
    }
    if (ItemContainer* container = parent_ ? parent_->asContainer() : nullptr) {
        correctParentScroll(*container, visible);
    }
    requestInit();
}

void Item::correctParentScroll(ItemContainer& container, bool visible) {
    const int index = container.indexOfChild(this);
    if (focused_) {
        // One still taking the focus is left to its container.
        if (visible || container.getFocusedItem() != this) return;
        if (ItemScreen* screen = getScreen()) screen->removeItemCommands();
        if (!container.focusClosestItem(index)) return;
        const int newFocus = container.getFocusedIndex();
        if (newFocus > index) {
            const int offset =
                container.getScrollYOffset() + parent_->paddingVertical_ + itemHeight_;
            container.setScrollYOffset(std::min(0, offset), false);
        } else if (newFocus < index && newFocus >= 0) {
            container.scrollToItem(kGameUp, container.getFocusedItem());
        }
        return;
    }
    if (index < 0 || index >= container.getFocusedIndex()) return;

    // Content above the focused child grows or shrinks: move the offset with
    // it so that what is visible stays put.
    const int offset = container.getScrollYOffset();
    if (visible) {
        if (offset != 0) {
            int height = savedHeight_;
            if (height == 0) {
                init(parent_->contentWidth_, parent_->contentWidth_);
                height = itemHeight_;
            }
            container.setScrollYOffset(offset - height, false);
        }
    } else {
        container.setScrollYOffset(std::min(0, offset + itemHeight_), false);
    }
    for (Item* item = this; item; item = item->parent_) {
        if (item->hasInternalArea()) item->internalY_ += itemHeight_;
    }
}

// --- events and state ------------------------------------------------------------------

void Item::fireFocusAction() {
    if (eventListener_ && !focusAction_.isEmpty()) {
        eventListener_->onEvent(std::make_unique<Event>(focusAction_));
    }
}

void Item::fireLeaveAction() {
    if (eventListener_ && !leaveAction_.isEmpty()) {
        eventListener_->onEvent(std::make_unique<Event>(leaveAction_));
    }
}

void Item::notifyStateChanged() {
    if (stateListener_) stateListener_->itemStateChanged(this);
    ItemScreen* screen = stateChangeScreen() ? stateChangeScreen() : getScreen();
    if (screen) screen->itemStateChanged(this);
}

}  // namespace zq
