// Screen: soft-key commands and the popup command menu, the command row,
// key bindings and the soft keyboard.
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

namespace {

// Command types the soft keys know.
constexpr int kTypeBack = 2;
constexpr int kTypeCancel = 3;
constexpr int kTypeOk = 4;
constexpr int kTypeExit = 7;

// The first command of the smallest priority number wins.
void prefer(CommandRef& slot, const CommandRef& command) {
    if (!slot || slot->getPriority() > command->getPriority()) slot = command;
}

bool takesRightSoftKey(int type) {
    return type == kTypeBack || type == kTypeCancel || type == kTypeExit;
}

}  // namespace

// --- placing commands ------------------------------------------------------------------------

void Screen::addCommand(CommandRef command) { insertCommand(std::move(command), nullptr, true); }

void Screen::ensurePopupMenu() {
    if (popupMenu_) return;
    popupMenu_ = std::make_unique<Container>(false, popupMenuStyle());
    popupMenu_->setScreen(this);
}

bool Screen::showsCommand(const Command* command) const {
    return command == leftCommand_.get() || command == rightCommand_.get() ||
           std::any_of(commands_.begin(), commands_.end(),
                       [command](const CommandRef& c) { return c.get() == command; });
}

void Screen::insertCommand(CommandRef command, Style* entryStyle, bool repaintAfter) {
    if (!command) return;
    // The preferred commands of each kind.
    const int type = command->getCommandType();
    if (type == kTypeOk) prefer(preferredOk_, command);
    if (type == kTypeCancel) prefer(preferredCancel_, command);
    if (type == kTypeBack || type == kTypeExit) prefer(preferredBack_, command);
    // The menu exists from the first command on; a command already placed
    // stays where it is.
    ensurePopupMenu();
    if (showsCommand(command.get())) return;
    Style* style = entryStyle ? entryStyle : menuEntryStyle();

    // BACK, CANCEL and EXIT compete for the right soft key; the loser
    // of a contest goes into the menu.
    if (takesRightSoftKey(type) &&
        (!rightCommand_ || command->getPriority() < rightCommand_->getPriority())) {
        if (CommandRef loser = std::exchange(rightCommand_, nullptr)) {
            popupMenu_->add(std::make_unique<CommandItem>(loser, popupMenu_.get(), style));
            commands_.push_back(loser);
            leftCommand_ = commands_.size() == 1 ? loser : nullptr;
        }
        rightCommand_ = std::move(command);
        updateSoftKeyLabels();
        if (repaintAfter && isShown()) repaint();
        return;
    }
    // A menu entry: by priority number, or as the one left command.
    auto entry = std::make_unique<CommandItem>(command, popupMenu_.get(), style);
    if (commands_.empty() && command->getLabel().find(CString(u"确定选择")) >= 0) {
        popupMenu_->add(std::move(entry));
        commands_.push_back(command);
        leftCommand_ = std::move(command);
    } else {
        leftCommand_.reset();
        const int priority = command->getPriority();
        auto after = std::find_if(commands_.begin(), commands_.end(), [priority](const auto& c) {
            return c->getPriority() > priority;
        });
        const int index = static_cast<int>(after - commands_.begin());
        commands_.insert(after, std::move(command));
        popupMenu_->insert(index, std::move(entry));
    }
    updateSoftKeyLabels();
    if (repaintAfter && isShown()) repaint();
}

void Screen::addSubCommand(const CommandRef& command, const CommandRef& parent, Style* entryStyle,
                           bool repaintAfter) {
    if (!command) return;
    if (!parent) {
        insertCommand(command, entryStyle, repaintAfter);
        return;
    }
    if (!popupMenu_) return;
    // The parent's entry, at the top or in a submenu; each command once.
    for (const auto& item : popupMenu_->children()) {
        CommandItem* entry = asCommandItem(item.get());
        if (!entry) continue;
        CommandItem* holder =
            entry->getCommand() == parent.get() ? entry : entry->findCommandItem(parent.get());
        if (!holder) continue;
        if (!holder->findCommandItem(command.get())) holder->addSubCommand(command, entryStyle);
        return;
    }
}

// --- removing commands -----------------------------------------------------------------------

void Screen::dropCommand(const Command* command) {
    if (!command) return;
    if (preferredOk_.get() == command) preferredOk_.reset();
    if (rightCommand_.get() == command) {
        // The last BACK or CANCEL command left takes the right soft key.
        rightCommand_.reset();
        for (auto it = commands_.rbegin(); it != commands_.rend(); ++it) {
            const int type = (*it)->getCommandType();
            if (type == kTypeBack || type == kTypeCancel) {
                CommandRef next = *it;
                dropCommand(next.get());
                rightCommand_ = std::move(next);
                break;
            }
        }
        return;
    }
    auto found = std::find_if(commands_.begin(), commands_.end(),
                              [command](const CommandRef& c) { return c.get() == command; });
    if (found == commands_.end()) return;
    const int index = static_cast<int>(found - commands_.begin());
    // The entry may be the one whose command is running: keep it alive.
    const CommandRef keep = *found;
    commands_.erase(found);
    if (popupMenu_) popupMenu_->remove(index);
    if (leftCommand_.get() == command) leftCommand_.reset();
    if (menuOpen_ && commands_.empty()) setPopupMenuOpen(false);
}

void Screen::putSoleCommandOnLeftKey() {
    if (leftCommand_ || commands_.size() != 1) return;
    leftCommand_ = commands_.front();
    updateSoftKeyLabels();
    if (isShown()) repaint();
}

void Screen::removeCommand(Command* command) {
    dropCommand(command);
    updateSoftKeyLabels();
    if (isShown()) repaint();
}

void Screen::removeAllCommands() {
    while (!commands_.empty()) {
        const size_t before = commands_.size();
        removeCommand(commands_.front().get());
        if (commands_.size() >= before) break;
    }
}

void Screen::setItemCommands(const std::vector<CommandRef>& commands, Item* /*item*/) {
    // The earlier contribution leaves, except what the new one repeats.
    for (const CommandRef& old : itemCommands_) {
        if (std::find(commands.begin(), commands.end(), old) == commands.end()) {
            dropCommand(old.get());
        }
    }
    std::vector<CommandRef> earlier = std::move(itemCommands_);
    itemCommands_.clear();
    for (const CommandRef& command : commands) {
        if (!command) continue;
        // Commands the screen had of its own stay the screen's.
        const bool mine = std::find(earlier.begin(), earlier.end(), command) != earlier.end();
        if (showsCommand(command.get()) && !mine) continue;
        insertCommand(command, nullptr, false);
        itemCommands_.push_back(command);
    }
    updateSoftKeyLabels();
}

void Screen::removeItemCommands() {
    const std::vector<CommandRef> contributed = std::move(itemCommands_);
    itemCommands_.clear();
    for (const CommandRef& command : contributed) dropCommand(command.get());
    if (popupMenu_) {
        for (const auto& item : popupMenu_->children()) {
            if (CommandItem* entry = asCommandItem(item.get())) entry->setSubmenuOpen(false);
            item->selectReleased();
        }
    }
    updateSoftKeyLabels();
}

// --- soft keys and the menu --------------------------------------------------------------------

int Screen::handleCommand(Command* command) {
    if (content_ && content_->handleCommand(command)) return 1;
    if (!commandListener_) return 0;
    commandListener_->commandAction(command, this);
    return 1;
}

void Screen::fireCommand(Command* command) {
    if (menuOpen_) {
        setPopupMenuOpen(false);
        if (isShown()) repaint();
    }
    handleCommand(command);
}

void Screen::updateSoftKeyLabels() {
    leftLabel_.clear();
    rightLabel_.clear();
    if (popupMenu_ && popupMenu_->size() > 0) {
        leftLabel_ = !menuOpen_ && leftCommand_ ? leftCommand_->getLabel() : CString(u"菜单");
    }
    if (menuOpen_) {
        rightLabel_ = CString(u"取消");
    } else if (rightCommand_) {
        rightLabel_ = rightCommand_->getLabel();
    }
}

void Screen::setPopupMenuOpen(bool open) {
    if (open && (!popupMenu_ || popupMenu_->size() == 0)) open = false;
    if (open != menuOpen_ && popupMenu_) {
        if (open) {
            popupMenu_->showNotify();
            popupMenu_->setScrollYOffset(0, false);
            popupMenu_->focusIndex(0);
        } else {
            popupMenu_->hideNotify();
        }
    }
    menuOpen_ = open;
    onRetry(kBusyMenuOpen, open);
    updateSoftKeyLabels();
}

void Screen::setCommandItems(std::vector<std::unique_ptr<CommandItem>> items) {
    // The row in use may be the one handling the event that replaces it.
    retiredRow_ = std::move(commandRow_);
    if (items.empty()) return;
    commandRow_ = std::make_unique<InlineContainer>();
    commandRow_->setScreen(this);
    for (auto& item : items) {
        if (item) commandRow_->add(std::move(item));
    }
}

// --- key bindings ------------------------------------------------------------------------------

void Screen::addKeyBinding(const CString& name, const CString& action) {
    for (auto& [key, value] : keyBindings_) {
        if (key.equalsNoCase(name)) {
            value = action;
            return;
        }
    }
    keyBindings_.emplace_back(name, action);
}

const CString* Screen::findKeyBinding(const CString& name) const {
    for (const auto& [key, value] : keyBindings_) {
        if (key.equalsNoCase(name)) return &value;
    }
    return nullptr;
}

// --- the pressed item ----------------------------------------------------------------------------

void Screen::setPressedItem(Item* item) { pressedItem_ = item ? item->weakRef() : ItemRef(); }

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
    // A content item stays inside the content's viewport.
    const Item* top = &item;
    while (top->getParent()) top = top->getParent();
    const Rect* clip = top == content_.get() ? &contentRect_ : nullptr;
    display->paintItemNow(item.getLastPaintX(), item.getLastPaintY(), item.getLastPaintLeft(),
                          item.getLastPaintRight(), &item, clip);
}

// --- the soft keyboard ---------------------------------------------------------------------------

void Screen::openSoftKeyboard(bool show, KeyboardTarget* field, int inputModes) {
    if (!softKeyboard_) softKeyboard_ = std::make_unique<SoftKeyboard>(this);
    keyboardTarget_ = field;
    keyboardField_ = field ? field->keyboardItem().weakRef() : ItemRef();
    if (softKeyboard_->isVisible() == show && softKeyboard_->getInputMode() == inputModes) return;
    softKeyboard_->setInputMode(inputModes, true);
    softKeyboard_->setVisible(show);
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
