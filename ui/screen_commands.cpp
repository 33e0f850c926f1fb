// Screen: its command API (placement is the soft-key bar's), firing
// commands, key bindings, the pressed item and the soft keyboard.
#include <algorithm>
#include <utility>

#include "platform/window.h"
#include "ui/code_input_pad.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/empty_container.h"
#include "ui/screen.h"
#include "ui/soft_keyboard.h"

namespace zq {

// --- placing commands ------------------------------------------------------------------------

void Screen::addCommand(CommandRef command) { insertCommand(std::move(command), nullptr, true); }

void Screen::insertCommand(CommandRef command, Style* entryStyle, bool repaintAfter) {
    if (softKeys_.insertCommand(std::move(command), entryStyle) && repaintAfter && isShown()) {
        repaint();
    }
}

void Screen::addSubCommand(const CommandRef& command, const CommandRef& parent, Style* entryStyle,
                           bool repaintAfter) {
    if (!command) return;
    if (!parent) {
        insertCommand(command, entryStyle, repaintAfter);
        return;
    }
    softKeys_.addSubCommand(command, parent, entryStyle);
}

// --- removing commands -----------------------------------------------------------------------

void Screen::putSoleCommandOnLeftKey() {
    if (softKeys_.putSoleCommandOnLeftKey() && isShown()) repaint();
}

void Screen::removeCommand(Command* command) {
    softKeys_.dropCommand(command);
    softKeys_.updateLabels();
    if (isShown()) repaint();
}

void Screen::removeAllCommands() {
    const std::vector<CommandRef>& commands = softKeys_.commands();
    while (!commands.empty()) {
        const size_t before = commands.size();
        removeCommand(commands.front().get());
        if (commands.size() >= before) break;
    }
}

void Screen::setItemCommands(const std::vector<CommandRef>& commands, Item* /*item*/) {
    softKeys_.setItemCommands(commands);
}

void Screen::removeItemCommands() { softKeys_.removeItemCommands(); }

// --- firing commands ---------------------------------------------------------------------------

int Screen::handleCommand(Command* command) {
    if (getContent() && getContent()->handleCommand(command)) return 1;
    if (!commandListener_) return 0;
    commandListener_->commandAction(command, this);
    return 1;
}

void Screen::fireCommand(Command* command) {
    if (softKeys_.isMenuOpen()) {
        setPopupMenuOpen(false);
        if (isShown()) repaint();
    }
    handleCommand(command);
}

void Screen::setCommandItems(std::vector<std::unique_ptr<CommandItem>> items) {
    softKeys_.setCommandItems(std::move(items));
}

// --- key bindings ------------------------------------------------------------------------------

void Screen::addKeyBinding(const CString& name, const CString& action) {
    keyBindings_[name] = action;
}

const CString* Screen::findKeyBinding(const CString& name) const {
    auto found = keyBindings_.find(name);
    return found == keyBindings_.end() ? nullptr : &found->second;
}

// --- the pressed item ----------------------------------------------------------------------------

void Screen::setPressedItem(Item* item) {
    pressedItem_ = item ? item->weakRef() : ItemRef();
    pressedAtPaint_ = paintCount_;
}

Item* Screen::getPressedItem() const {
    Item* item = pressedItem_.get();
    return holdsItem(item) ? item : nullptr;
}

bool Screen::holdsItem(const Item* item) const {
    return item && item->getScreen() == static_cast<const ItemScreen*>(this);
}

void Screen::repaintItemNow(Item& item) {
    Display* display = getDisplay();
    if (!display || !isShown() || !holdsItem(&item)) return;
    display->paintItemNow(item.getLastPaintX(), item.getLastPaintY(), item.getLastPaintLeft(),
                          item.getLastPaintRight(), &item, viewportOf(item));
}

const Rect* Screen::viewportOf(const Item& item) const {
    // A content item stays inside the content's viewport.
    const Item* top = &item;
    while (top->getParent()) top = top->getParent();
    return top == getContent() ? &contentRect() : nullptr;
}

// --- the soft keyboard ---------------------------------------------------------------------------

void Screen::openSoftKeyboard(bool show, KeyboardTarget* field, int inputModes) {
    if (!softKeyboard_) softKeyboard_ = std::make_unique<SoftKeyboard>(this);
    keyboardTarget_ = field;
    keyboardField_ = field ? field->keyboardItem().weakRef() : ItemRef();
    // The code pad stands over the bottom of the screen, where the field's
    // keyboard opens: the field the person moved to comes first.
    if (show && codeInputPad_ && codeInputPad_->isVisible()) codeInputPad_->setVisible(false);
    if (softKeyboard_->isVisible() == show && softKeyboard_->getInputMode() == inputModes) return;
    softKeyboard_->setInputMode(inputModes, true);
    softKeyboard_->setVisible(show);
}

void Screen::keepKeyboardPad(const Screen& left) {
    const SoftKeyboard* before = left.softKeyboard_.get();
    if (!softKeyboard_ || !softKeyboard_->isVisible() || !before || !before->isVisible()) return;
    // The page was drawn with the pad the field opened on: the taps go by
    // the pad now in force, so that is the one shown.
    if (softKeyboard_->showPadOf(*before)) softKeyboard_->repaint();
}

KeyboardTarget* Screen::getKeyboardTarget() const {
    return holdsItem(keyboardField_.get()) ? keyboardTarget_ : nullptr;
}

void Screen::openCodeInputPad(EventListener* listener, const CString& addressTemplate, bool show) {
    if (!codeInputPad_) codeInputPad_ = std::make_unique<CodeInputPad>(this);
    codeInputPad_->open(listener, addressTemplate);
    codeInputPad_->setVisible(show);
}

void Screen::onData(const CString& text) {
    KeyboardTarget* field = getKeyboardTarget();
    if (!field || text.isEmpty()) return;
    if (text == CString(u"删除") || text == CString(u"退格")) {
        field->keyboardItem().keyPressed(kKeyBackspace, kGameNone);
    } else if (text == CString(u"清") || text == CString(u"清除")) {
        field->setValue(CString());
    } else if (text.length() > 1) {
        field->insertText(text);
    } else {
        field->typeChar(text[0]);
    }
}

void Screen::onFailure() { setLayoutFailed(); }

void Screen::onRetry(uint32_t bits, bool on) {
    if (on) {
        busyFlags_.fetch_or(bits);
    } else {
        busyFlags_.fetch_and(~bits);
    }
}

}  // namespace zq
