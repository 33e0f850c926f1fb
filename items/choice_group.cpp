#include "items/choice_group.h"

#include <algorithm>
#include <set>
#include <utility>

#include "ui/default_styles.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/style.h"

namespace zq {
namespace {

// The command type of commands that act on the focused item.

CommandRef makeChoiceCommand(const char16_t* label) {
    return std::make_shared<Command>(CString(label), kCommandItem, 3);
}

StartupObject<CommandRef> gSelectCommand([] { return makeChoiceCommand(u"确定选择"); });
StartupObject<CommandRef> gMarkCommand([] { return makeChoiceCommand(u"Mark"); });
StartupObject<CommandRef> gUnmarkCommand([] { return makeChoiceCommand(u"Unmark"); });
StartupObject<CommandRef> gSelectAllCommand([] { return makeChoiceCommand(u"全部选中"); });
StartupObject<CommandRef> gClearAllCommand([] { return makeChoiceCommand(u"取消全选"); });

constexpr int kKeyDigitOne = '1';
constexpr int kKeyDigitNine = '9';

}  // namespace

CommandRef sharedSelectCommand() { return gSelectCommand.get(); }
CommandRef sharedMarkCommand() { return gMarkCommand.get(); }
CommandRef sharedUnmarkCommand() { return gUnmarkCommand.get(); }
CommandRef sharedSelectAllCommand() { return gSelectAllCommand.get(); }
CommandRef sharedClearAllCommand() { return gClearAllCommand.get(); }

CString optionValueAt(const StringArray& values, int index) {
    if (index < 0 || index >= static_cast<int>(values.size())) return CString();
    return values[index];
}

void insertValueForRow(StringArray& values, int index) {
    if (index >= 0 && index < static_cast<int>(values.size())) {
        values.insert(values.begin() + index, CString());
    }
}

void removeValueForRow(StringArray& values, int index) {
    if (index >= 0 && index < static_cast<int>(values.size())) values.erase(values.begin() + index);
}

std::vector<int> flagsForValues(const StringArray& values, int rowCount, const CString& text) {
    // A set of the parts keeps long values over many rows from taking
    // parts x rows comparisons.
    auto noCaseLess = [](const CString& a, const CString& b) { return a.compareNoCase(b) < 0; };
    std::set<CString, decltype(noCaseLess)> parts(noCaseLess);
    for (CString& part : splitString(text, u',')) {
        if (!part.isEmpty()) parts.insert(std::move(part));
    }
    std::vector<int> flags(std::max(rowCount, 0), 0);
    for (int i = 0; i < rowCount; ++i) {
        if (parts.count(optionValueAt(values, i)) != 0) flags[i] = 1;
    }
    return flags;
}

// --- construction ------------------------------------------------------------------

ChoiceGroup::ChoiceGroup(const CString& label, int mode, Style* style)
    : ChoiceGroup(label, mode, {}, style, false) {}

ChoiceGroup::ChoiceGroup(const CString& label, int mode,
                         std::vector<std::unique_ptr<ChoiceItem>> rows, Style* style,
                         bool fireOnSelect)
    : ChoiceRows<Container>(label, false, style, -1) {
    initGroup(mode, std::move(rows), fireOnSelect);
}

ChoiceGroup::~ChoiceGroup() = default;

void ChoiceGroup::initGroup(int mode, std::vector<std::unique_ptr<ChoiceItem>> rows,
                            bool fireOnSelect) {
    encrypt_ = CString(u"false");
    multiple_ = mode == kChoiceMultiple;
    if (mode == kChoiceImplicit && fireOnSelect) {
        fireOnSelect_ = true;
        setFocusFirst(true);
    }
    mode_ = mode;
    for (std::unique_ptr<ChoiceItem>& row : rows) appendChoiceItem(std::move(row));
    values_.clear();
    if (multiple_) {
        addCommand(sharedSelectAllCommand());
        addCommand(sharedClearAllCommand());
    }
}

std::vector<std::unique_ptr<ChoiceItem>> ChoiceGroup::buildChoiceItems(
    const StringArray& texts, const std::vector<ImageRef>& images, int mode, Style* style) {
    std::vector<std::unique_ptr<ChoiceItem>> rows;
    rows.reserve(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        rows.push_back(std::make_unique<ChoiceItem>(
            texts[i], i < images.size() ? images[i] : nullptr, mode, style));
    }
    return rows;
}

void ChoiceGroup::insertChoiceItem(int index, std::unique_ptr<ChoiceItem> row) {
    if (!row) return;
    index = std::clamp(index, 0, Container::size());
    Container::insert(index, std::move(row));
    if (index <= selectedIndex_) ++selectedIndex_;
}

void ChoiceGroup::insertOptionValue(int index, const CString& value) {
    if (index < 0) index = 0;
    if (index >= static_cast<int>(values_.size())) {
        values_.push_back(value);
    } else {
        values_.insert(values_.begin() + index, value);
    }
}

void ChoiceGroup::applyStyle(Style* style, bool ignoreBackground) {
    Container::applyStyle(style, ignoreBackground);
    if (mode_ == kChoiceExclusive && !getContainerView()) addCommand(sharedSelectCommand());
    setItemCommandListener(this);
}

std::vector<std::unique_ptr<ChoiceItem>> ChoiceGroup::releaseChoiceItems() {
    focusIndex(-1);
    std::vector<std::unique_ptr<ChoiceItem>> rows;
    for (std::unique_ptr<Item>& child : children_) {
        if (auto* row = dynamic_cast<ChoiceItem*>(child.get())) {
            child.release();
            row->setParent(nullptr);
            row->setItemCommandListener(nullptr);
            rows.emplace_back(row);
        }
    }
    children_.clear();
    focusedIndex_ = -1;
    focusedItem_ = nullptr;
    selectedIndex_ = -1;
    requestInit();
    return rows;
}

// --- Choice ----------------------------------------------------------------------------

void ChoiceGroup::insert(int index, const CString& text, ImageRef image) {
    index = std::clamp(index, 0, Container::size());
    insertChoiceItem(index, std::make_unique<ChoiceItem>(text, std::move(image), mode_, nullptr));
    insertValueForRow(values_, index);
}

void ChoiceGroup::deleteAt(int index) {
    if (!Container::remove(index)) return;
    removeValueForRow(values_, index);
    if (index == selectedIndex_) {
        selectedIndex_ = -1;
    } else if (index < selectedIndex_) {
        --selectedIndex_;
    }
}

void ChoiceGroup::setSelectedIndex(int index, bool selected) {
    ChoiceItem* row = getChoiceItem(index);
    if (!row) return;
    if (multiple_) {
        row->setSelected(selected);
    } else if (index != selectedIndex_) {
        if (ChoiceItem* old = getChoiceItem(selectedIndex_)) old->setSelected(false);
        row->setSelected(selected);
        selectedIndex_ = index;
        if (focused_) {
            focusChild(index, row, kGameNone);
        } else if (!initialised_ && mode_ == kChoiceImplicit) {
            // An implicit list shows its choice as its focused row.
            setFocusFirst(true, index);
        }
    } else {
        row->setSelected(selected);
        if (!selected) selectedIndex_ = -1;
    }
    if (initialised_) requestInit();
    raiseChange();
}

void ChoiceGroup::setSelectedFlags(const std::vector<int>& flags) {
    if (flags.empty() || Container::size() == 0) return;
    const bool laidOut = initialised_;
    if (multiple_) {
        const int count = std::min(static_cast<int>(flags.size()), Container::size());
        for (int i = 0; i < count; ++i) {
            if (ChoiceItem* row = getChoiceItem(i)) row->setSelected(flags[i] != 0);
        }
        raiseChange();
    } else {
        auto first = std::find_if(flags.begin(), flags.end(), [](int f) { return f != 0; });
        const int index = first == flags.end() ? 0 : static_cast<int>(first - flags.begin());
        setSelectedIndex(index, true);
    }
    if (laidOut) initialised_ = false;
}

void ChoiceGroup::setAllSelected(bool selected) {
    setSelectedFlags(std::vector<int>(Container::size(), selected ? 1 : 0));
}

// --- events --------------------------------------------------------------------------------

// The listener runs a page action and may replace the page: nothing of the
// group is touched after it.
void ChoiceGroup::raiseChange() {
    if (onChange_.isEmpty() || !changeListener_) return;
    changeListener_->onEvent(std::make_unique<Event>(onChange_, this));
}

// --- keys, pen, commands ------------------------------------------------------------------

bool ChoiceGroup::keyPressed(int keyCode, int gameAction) {
    if (Container::size() == 0) return Container::keyPressed(keyCode, gameAction);
    const bool taken = Container::keyPressed(keyCode, gameAction);
    if (taken) return true;
    Item* focusedRow = getFocusedItem();
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && focusedRow) {
        focusedRow->selectPressed();
        return true;
    }
    if (keyCode >= kKeyDigitOne && keyCode <= kKeyDigitNine) {
        const int index = keyCode - kKeyDigitOne;
        ChoiceItem* row = getChoiceItem(index);
        if (!row || !row->isInteractive()) return false;
        setSelectedIndex(index, true);
        if (fireOnSelect_) {
            fireSelectAtScreen();
        } else {
            notifyStateChanged();
        }
        return true;
    }
    return false;
}

void ChoiceGroup::chooseFocused(bool selected) {
    const int index = focusedIndex_;
    ChoiceItem* row = getChoiceItem(index);
    if (!row) return;
    if (multiple_ && selected) {
        // A choice on a multiple group's row turns it over.
        row->setSelected(!row->isSelected());
        if (initialised_) requestInit();
        raiseChange();
    } else {
        setSelectedIndex(index, selected);
    }
}

bool ChoiceGroup::keyReleased(int keyCode, int gameAction) {
    if (gameAction != kGameFire || keyCode == kKeyDigitFive) {
        return Container::keyReleased(keyCode, gameAction);
    }
    Item* row = getFocusedItem();
    if (!row || !row->isPressed()) return true;
    row->selectReleased();
    chooseFocused(true);
    if (mode_ != kChoiceImplicit) notifyStateChanged();
    if (fireOnSelect_) fireSelectAtScreen();
    return true;
}

bool ChoiceGroup::pointerPressed(int x, int y) {
    bool taken = Container::pointerPressed(x, y);
    Item* row = getFocusedItem();
    const int px = x - contentX_;
    const int py = y - contentY_ - (scrollsItself() ? getScrollYOffset() : 0);
    const bool onFocusedRow = row && isInChildArea(px, py, row);
    if (!taken && !onFocusedRow) return false;
    penPressed_ = true;
    taken = keyPressed(-1, kGameFire) || taken;
    return taken;
}

bool ChoiceGroup::handleCommand(Command* command) {
    if (!command) return false;
    const bool hasFocusedRow = getFocusedItem() != nullptr;
    if ((command == sharedSelectCommand().get() || command == sharedMarkCommand().get()) &&
        hasFocusedRow) {
        setSelectedIndex(focusedIndex_, true);
        if (mode_ != kChoiceImplicit) notifyStateChanged();
        return !fireOnSelect_;
    }
    if (command == sharedUnmarkCommand().get() && hasFocusedRow) {
        setSelectedIndex(focusedIndex_, false);
        if (mode_ != kChoiceImplicit) notifyStateChanged();
        return true;
    }
    if (command == sharedSelectAllCommand().get()) {
        setAllSelected(true);
        return true;
    }
    if (command == sharedClearAllCommand().get()) {
        setAllSelected(false);
        return true;
    }
    return Container::handleCommand(command);
}

void ChoiceGroup::commandAction(Command* command, Item* item) {
    // Item::handleCommand hands the group's own commands back here through
    // the listener chain: answer once.
    if (inCommand_ || !command) return;
    if (item != this && (!item || item->getParent() != this)) return;
    inCommand_ = true;
    handleCommand(command);
    inCommand_ = false;
}

// --- Inputable --------------------------------------------------------------------------------

CString ChoiceGroup::getValue() const {
    CString value;
    bool first = true;
    for (int i = 0; i < Container::size(); ++i) {
        if (!countsAsSelected(i)) continue;
        if (!first) value += u',';
        value += optionValueAt(values_, i);
        first = false;
        if (!multiple_) break;
    }
    return value;
}

void ChoiceGroup::reset() {
    if (multiple_) {
        for (int i = 0; i < Container::size(); ++i) {
            if (ChoiceItem* row = getChoiceItem(i)) row->setSelected(false);
        }
    } else {
        if (ChoiceItem* row = getChoiceItem(selectedIndex_)) row->setSelected(false);
        selectedIndex_ = -1;
    }
    requestInit();
    notifyStateChanged();
}

// --- what both kinds of group share ----------------------------------------------------

template <class Base>
Style* ChoiceRows<Base>::focus(Style* focusStyle, int direction) {
    Style* before = Base::focus(focusStyle, direction);
    ChoiceItem* chosen = multiple_ ? nullptr : getChoiceItem(selectedIndex_);
    if (this->focused_ && chosen && chosen->isInteractive() && this->getFocusedItem() != chosen) {
        this->focusChild(selectedIndex_, chosen, direction);
    }
    return before;
}

template <class Base>
int ChoiceRows<Base>::addChoiceItem(std::unique_ptr<ChoiceItem> row, Style* style) {
    if (!row) return -1;
    ChoiceItem* added = row.get();
    Base::add(std::move(row));
    if (style) added->setStyle(style);
    const int index = Base::size() - 1;
    if (mode_ == kChoiceExclusive && added->isSelected()) {
        if (ChoiceItem* old = getChoiceItem(selectedIndex_); old && old != added) {
            old->setSelected(false);
        }
        selectedIndex_ = index;
    }
    if (multiple_) added->setItemCommandListener(this);
    return index;
}

template <class Base>
CString ChoiceRows<Base>::getString(int index) const {
    const ChoiceItem* row = getChoiceItem(index);
    return row ? row->getText() : CString();
}

template <class Base>
ImageRef ChoiceRows<Base>::getImage(int index) const {
    const ChoiceItem* row = getChoiceItem(index);
    return row ? row->getImage() : nullptr;
}

template <class Base>
int ChoiceRows<Base>::append(const CString& text, ImageRef image) {
    return addChoiceItem(std::make_unique<ChoiceItem>(text, std::move(image), mode_, nullptr),
                         createChoiceItemStyle(0));
}

template <class Base>
void ChoiceRows<Base>::deleteAll() {
    this->clear();
    values_.clear();
    selectedIndex_ = -1;
}

template <class Base>
void ChoiceRows<Base>::set(int index, const CString& text, ImageRef image) {
    ChoiceItem* row = getChoiceItem(index);
    if (!row) return;
    row->setText(text);
    if (image) row->setImage(std::move(image));
    this->initialised_ = false;
}

template <class Base>
bool ChoiceRows<Base>::isSelected(int index) const {
    const ChoiceItem* row = getChoiceItem(index);
    return row && row->isSelected();
}

template <class Base>
bool ChoiceRows<Base>::countsAsSelected(int index) const {
    return isSelected(index) || (fireOnSelect_ && index >= 0 && index == this->focusedIndex_);
}

template <class Base>
int ChoiceRows<Base>::getSelectedIndex() const {
    if (multiple_ || Base::size() == 0) return -1;
    if (mode_ == kChoiceImplicit && fireOnSelect_ && this->focusedIndex_ >= 0)
        return this->focusedIndex_;
    return selectedIndex_;
}

template <class Base>
int ChoiceRows<Base>::getSelectedFlags(std::vector<int>& flags) const {
    const int count = std::min(static_cast<int>(flags.size()), Base::size());
    int selected = 0;
    for (int i = 0; i < count; ++i) {
        flags[i] = countsAsSelected(i) ? 1 : 0;
        selected += flags[i];
    }
    return selected;
}

template <class Base>
void ChoiceRows<Base>::setFont(int index, FontRef font) {
    if (ChoiceItem* row = getChoiceItem(index)) row->setChoiceFont(std::move(font));
}

template <class Base>
FontRef ChoiceRows<Base>::getFont(int index) const {
    const ChoiceItem* row = getChoiceItem(index);
    return row ? row->getChoiceFont() : nullptr;
}

template <class Base>
void ChoiceRows<Base>::fireSelectAtScreen() {
    const CommandRef command = sharedSelectCommand();
    if (ItemScreen* screen = this->getScreen()) screen->fireCommand(command.get());
}

template <class Base>
bool ChoiceRows<Base>::pointerReleased(int x, int y) {
    if (penPressed_) {
        penPressed_ = false;
        if (this->keyReleased(-1, kGameFire)) return true;
    }
    return Base::pointerReleased(x, y);
}

template <class Base>
void ChoiceRows<Base>::setValue(const CString& value) {
    if (value.isEmpty()) return;
    if (!multiple_) {
        for (int i = 0; i < Base::size(); ++i) {
            if (optionValueAt(values_, i).equalsNoCase(value)) {
                setSelectedIndex(i, true);
                return;
            }
        }
        return;
    }
    setSelectedFlags(flagsForValues(values_, Base::size(), value));
}

template class ChoiceRows<Container>;
template class ChoiceRows<InlineContainer>;

}  // namespace zq
