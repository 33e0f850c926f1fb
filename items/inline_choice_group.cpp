#include "items/inline_choice_group.h"

#include <algorithm>
#include <utility>

#include "ui/default_styles.h"
#include "ui/event.h"
#include "ui/style.h"

namespace zq {
namespace {

// The command type of commands that act on the focused item.

StartupObject<CommandRef> gInlineMark([] {
    return std::make_shared<Command>(CString(u"Mark"), kCommandItem, 3);
});
StartupObject<CommandRef> gInlineUnmark([] {
    return std::make_shared<Command>(CString(u"Unmark"), kCommandItem, 3);
});

}  // namespace

CommandRef inlineMarkCommand() { return gInlineMark.get(); }
CommandRef inlineUnmarkCommand() { return gInlineUnmark.get(); }

InLineChoiceGroup::InLineChoiceGroup(const CString& label, int mode, Style* style,
                                     bool fireOnSelect)
    : ChoiceRows<InlineContainer>(label, mode, style) {
    encrypt_ = CString(u"false");
    multiple_ = mode == kChoiceMultiple;
    fireOnSelect_ = mode == kChoiceImplicit && fireOnSelect;
    mode_ = mode;
}

InLineChoiceGroup::~InLineChoiceGroup() = default;

void InLineChoiceGroup::applyStyle(Style* style) {
    Item::setStyle(style);
    setItemCommandListener(this);
}

// --- Choice -----------------------------------------------------------------------------

void InLineChoiceGroup::insert(int index, const CString& text, ImageRef image) {
    index = std::clamp(index, 0, EmptyContainer::size());
    EmptyContainer::insert(index,
                           std::make_unique<ChoiceItem>(text, std::move(image), mode_, nullptr));
    insertValueForRow(values_, index);
    if (index <= selectedIndex_) ++selectedIndex_;
}

void InLineChoiceGroup::deleteAt(int index) {
    if (index < 0 || index >= EmptyContainer::size()) return;
    if (index == focusedIndex_) {
        releaseFocus();
    } else if (index < focusedIndex_) {
        --focusedIndex_;
    }
    std::unique_ptr<Item> removed = std::move(children_[index]);
    children_.erase(children_.begin() + index);
    if (shown_) removed->hideNotify();
    removed.reset();
    removeValueForRow(values_, index);
    if (index == selectedIndex_) {
        selectedIndex_ = -1;
    } else if (index < selectedIndex_) {
        --selectedIndex_;
    }
    requestInit();
}

void InLineChoiceGroup::setSelectedIndex(int index, bool selected) {
    ChoiceItem* row = getChoiceItem(index);
    if (!row) return;
    if (multiple_) {
        row->setSelected(selected);
    } else {
        if (!selected || index == selectedIndex_) return;
        if (ChoiceItem* old = getChoiceItem(selectedIndex_)) old->setSelected(false);
        row->setSelected(true);
        selectedIndex_ = index;
        if (focused_ && initialised_) focusChild(index, row, kGameNone);
    }
    if (initialised_) initialised_ = false;
    raiseChange(this);
}

void InLineChoiceGroup::setSelectedFlags(const std::vector<int>& flags) {
    if (flags.empty() || EmptyContainer::size() == 0) return;
    const bool laidOut = initialised_;
    if (multiple_) {
        const int count = std::min(static_cast<int>(flags.size()), EmptyContainer::size());
        for (int i = 0; i < count; ++i) {
            if (ChoiceItem* row = getChoiceItem(i)) row->setSelected(flags[i] != 0);
        }
        raiseChange(nullptr);
    } else {
        auto first = std::find_if(flags.begin(), flags.end(), [](int f) { return f != 0; });
        const int index = first == flags.end() ? 0 : static_cast<int>(first - flags.begin());
        setSelectedIndex(index, true);
    }
    if (laidOut) initialised_ = false;
}

// --- events ------------------------------------------------------------------------------

// Nothing of the group is touched after the listener ran.
void InLineChoiceGroup::raiseChange(Item* source) {
    if (onChange_.isEmpty() || !changeListener_) return;
    changeListener_->onEvent(std::make_unique<Event>(onChange_, source));
}

// --- keys, pen, commands ---------------------------------------------------------------------

bool InLineChoiceGroup::keyPressed(int keyCode, int gameAction) {
    if (EmptyContainer::size() == 0) return EmptyContainer::keyPressed(keyCode, gameAction);
    if (EmptyContainer::keyPressed(keyCode, gameAction)) return true;
    Item* row = getFocusedItem();
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && row) {
        row->selectPressed();
        return true;
    }
    if (keyCode >= '1' && keyCode <= '9') {
        const int index = keyCode - '1';
        ChoiceItem* target = getChoiceItem(index);
        if (!target || !target->isInteractive()) return false;
        setSelectedIndex(index, true);
        if (fireOnSelect_) {
            fireSelectAtScreen();
        } else {
            notifyStateChanged();
        }
        selectPressed();
        return true;
    }
    return false;
}

bool InLineChoiceGroup::keyReleased(int keyCode, int gameAction) {
    if (gameAction != kGameFire || keyCode == kKeyDigitFive) {
        return EmptyContainer::keyReleased(keyCode, gameAction);
    }
    Item* focusedRow = getFocusedItem();
    if (!focusedRow || !focusedRow->isPressed()) return true;
    focusedRow->selectReleased();
    if (multiple_) {
        if (ChoiceItem* row = getChoiceItem(focusedIndex_)) {
            row->setSelected(!row->isSelected());
            initialised_ = false;
            raiseChange(nullptr);
        }
    } else {
        setSelectedIndex(focusedIndex_, true);
    }
    if (mode_ != kChoiceImplicit) notifyStateChanged();
    if (fireOnSelect_) fireSelectAtScreen();
    return true;
}

bool InLineChoiceGroup::pointerPressed(int x, int y) {
    bool taken = EmptyContainer::pointerPressed(x, y);
    Item* row = getFocusedItem();
    const bool onFocusedRow = row && isInChildArea(x - contentX_, y - contentY_, row);
    if (!taken && !onFocusedRow) return false;
    penPressed_ = true;
    taken = keyPressed(-1, kGameFire) || taken;
    return taken;
}

bool InLineChoiceGroup::handleCommand(Command* command) {
    if (!command) return false;
    const bool hasFocusedRow = getFocusedItem() != nullptr;
    if ((command == sharedSelectCommand().get() || command == inlineMarkCommand().get()) &&
        hasFocusedRow) {
        setSelectedIndex(focusedIndex_, true);
        if (mode_ != kChoiceImplicit) notifyStateChanged();
        return !fireOnSelect_;
    }
    if (command == inlineUnmarkCommand().get() && hasFocusedRow) {
        setSelectedIndex(focusedIndex_, false);
        if (mode_ != kChoiceImplicit) notifyStateChanged();
        return true;
    }
    return EmptyContainer::handleCommand(command);
}

void InLineChoiceGroup::commandAction(Command* command, Item* item) {
    if (inCommand_ || !command) return;
    if (item != this && (!item || item->getParent() != this)) return;
    inCommand_ = true;
    handleCommand(command);
    inCommand_ = false;
}

// --- Inputable --------------------------------------------------------------------------------

CString InLineChoiceGroup::getValue() const {
    CString value;
    for (int i = 0; i < EmptyContainer::size(); ++i) {
        if (!countsAsSelected(i)) continue;
        value += optionValueAt(values_, i);
        if (!multiple_) break;
        value += u',';
    }
    return value;
}

void InLineChoiceGroup::reset() {
    for (int i = 0; i < EmptyContainer::size(); ++i) setSelectedIndex(i, false);
    requestInit();
    notifyStateChanged();
}

}  // namespace zq
