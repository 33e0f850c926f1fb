// Choice groups: the block-level ChoiceGroup (one option row per line) and
// the Choice interface it shares with the inline group
// (items/inline_choice_group.h).
//
// A group holds ChoiceItem rows and, index-aligned with them, the value each
// row submits. Exclusive groups (mode 1) keep one selected row
// (selectedIndex mirrors it), multiple groups (mode 2) any number, implicit
// lists (mode 3, the combo box's lists) take the focused row as their
// selection when asked to fire on select. A change of the selection raises
// an Event carrying the group's change action to its change listener.
//
// As a form field (Inputable) the group submits the values of its selected
// rows joined with ","; the values list stays aligned with the rows when
// rows are inserted or deleted, and a row without a value submits "".
//
// The shared commands are compared by identity, never by label: pages use
// "确定选择" for many commands of their own.
//
// Ownership: the group owns its rows (Container children); listeners are
// borrowed. UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "core/string_utils.h"
#include "items/choice_item.h"
#include "items/form_field.h"
#include "items/inputable.h"
#include "platform/font.h"
#include "platform/image.h"
#include "ui/command.h"
#include "ui/container.h"
#include "ui/listeners.h"

namespace zq {

// The contract of a choice control. Indexes outside 0..size()-1 are ignored:
// getters give 0, null, -1 or empty, setters do nothing.
class Choice {
public:
    virtual ~Choice() = default;
    virtual int size() const = 0;
    virtual CString getString(int index) const = 0;
    virtual ImageRef getImage(int index) const = 0;
    // A row of the group's mode in the default row style; its index.
    virtual int append(const CString& text, ImageRef image) = 0;
    virtual void insert(int index, const CString& text, ImageRef image) = 0;
    virtual void deleteAt(int index) = 0;
    virtual void deleteAll() = 0;
    // Replaces the text, and the picture when one is given.
    virtual void set(int index, const CString& text, ImageRef image) = 0;
    virtual bool isSelected(int index) const = 0;
    virtual int getSelectedIndex() const = 0;
    // Fills flags[i] (0 or 1) for the rows the array has room for; returns
    // the count of 1 entries.
    virtual int getSelectedFlags(std::vector<int>& flags) const = 0;
    virtual void setSelectedIndex(int index, bool selected) = 0;
    virtual void setSelectedFlags(const std::vector<int>& flags) = 0;
    virtual void setFitPolicy(int /*policy*/) {}
    virtual int getFitPolicy() const { return 1; }
    // The row's text and mark take the font.
    virtual void setFont(int index, FontRef font) = 0;
    virtual FontRef getFont(int index) const = 0;
};

// The shared commands of choice groups (type 8, priority 3), made on first
// use and again after freeTrackedStyles.
CommandRef sharedSelectCommand();     // "确定选择"
CommandRef sharedMarkCommand();       // "Mark"
CommandRef sharedUnmarkCommand();     // "Unmark"
CommandRef sharedSelectAllCommand();  // "全部选中"
CommandRef sharedClearAllCommand();   // "取消全选"

// The value of row `index`; empty when the list has none for it.
CString optionValueAt(const StringArray& values, int index);
// The value list after inserting (removing) the row at `index`: entries
// from `index` on move with their rows.
void insertValueForRow(StringArray& values, int index);
void removeValueForRow(StringArray& values, int index);
// Which rows a multiple group's value text selects: one flag per row, set
// when a ","-separated part equals the row's value (without case). Empty
// parts select nothing.
std::vector<int> flagsForValues(const StringArray& values, int rowCount, const CString& text);

// What a list group and an inline group share: rows of ChoiceItem with one
// value each, the Choice operations on them, the selection and the form
// field. `Base` is the container the rows sit in (Container or
// InlineContainer).
template <class Base>
class ChoiceRows : public Base,
                   public Choice,
                   public ItemCommandListener,
                   public Inputable,
                   public FormField {
public:
    using Base::Base;

    bool pointerReleased(int x, int y) override;
    // An exclusive group takes the focus on its chosen row.
    Style* focus(Style* focusStyle, int direction) override;

    // --- Choice (the rest is each group's own) ---------------------------------
    int size() const override { return Base::size(); }
    CString getString(int index) const override;
    ImageRef getImage(int index) const override;
    int append(const CString& text, ImageRef image) override;
    void deleteAll() override;
    void set(int index, const CString& text, ImageRef image) override;
    bool isSelected(int index) const override;
    int getSelectedIndex() const override;
    int getSelectedFlags(std::vector<int>& flags) const override;
    void setFont(int index, FontRef font) override;
    FontRef getFont(int index) const override;

    // --- Inputable and FormField --------------------------------------------------
    CString getName() const override { return this->getFormName(); }
    void setName(const CString& name) override { this->setFormName(name); }
    void setValue(const CString& value) override;
    void setEncrypt(const CString& encrypt) { encrypt_ = encrypt; }
    CString getEncrypt() const override { return encrypt_; }

    // --- rows -------------------------------------------------------------------------
    // Adds a row (styled when `style` is given); an exclusive group takes a
    // row that arrives selected as its selection. Returns its index.
    int addChoiceItem(std::unique_ptr<ChoiceItem> row, Style* style);
    int appendChoiceItem(std::unique_ptr<ChoiceItem> row) {
        return addChoiceItem(std::move(row), nullptr);
    }
    void addOptionValue(const CString& value) { values_.push_back(value); }
    const StringArray& getValues() const { return values_; }
    // Null for an index outside the rows.
    ChoiceItem* getChoiceItem(int index) const {
        return index < 0 ? nullptr : dynamic_cast<ChoiceItem*>(this->getItem(index));
    }

    // --- attributes -----------------------------------------------------------------
    int getMode() const { return mode_; }
    bool isMultiple() const { return multiple_; }
    bool firesOnSelect() const { return fireOnSelect_; }
    void setChangeListener(EventListener* listener) { changeListener_ = listener; }
    void setOnChange(const CString& action) { onChange_ = action; }
    const CString& getOnChange() const { return onChange_; }

protected:
    // Whether row `index` counts as chosen: selected, or the focused row of
    // a group that fires on select.
    bool countsAsSelected(int index) const;
    void fireSelectAtScreen();

    int mode_ = kChoiceExclusive;
    bool multiple_ = false;
    StringArray values_;
    EventListener* changeListener_ = nullptr;
    CString onChange_;
    CString encrypt_;
    int selectedIndex_ = -1;
    bool fireOnSelect_ = false;
    bool penPressed_ = false;
    bool inCommand_ = false;
};

extern template class ChoiceRows<Container>;

class ChoiceGroup : public ChoiceRows<Container> {
public:
    // An empty group of `mode`.
    ChoiceGroup(const CString& label, int mode, Style* style);
    // A group of ready rows; with fireOnSelect (mode 3 only) the focused row
    // counts as selected and choosing fires the select command.
    ChoiceGroup(const CString& label, int mode, std::vector<std::unique_ptr<ChoiceItem>> rows,
                Style* style, bool fireOnSelect = false);
    ~ChoiceGroup() override;

    // --- Item ---------------------------------------------------------------
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    bool handleCommand(Command* command) override;

    // --- Choice ---------------------------------------------------------------
    void insert(int index, const CString& text, ImageRef image) override;
    void deleteAt(int index) override;
    void setSelectedIndex(int index, bool selected) override;
    void setSelectedFlags(const std::vector<int>& flags) override;

    // --- ItemCommandListener: commands of the group itself --------------------
    void commandAction(Command* command, Item* item) override;

    // --- Inputable -------------------------------------------------------------
    CString getValue() const override;
    void reset() override;

    // --- building ----------------------------------------------------------------
    // One row of `mode` per text, with the picture of the same index when
    // there is one, in `style`.
    static std::vector<std::unique_ptr<ChoiceItem>> buildChoiceItems(
        const StringArray& texts, const std::vector<ImageRef>& images, int mode, Style* style);
    // A row and its value go in as a pair: insertChoiceItem, then
    // insertOptionValue at the same index (Choice::insert gives the new row
    // an empty value itself).
    void insertChoiceItem(int index, std::unique_ptr<ChoiceItem> row);
    void insertOptionValue(int index, const CString& value);
    // Container::applyStyle; an exclusive group without a view gets the
    // select command.
    void applyStyle(Style* style, bool ignoreBackground);
    void setAllSelected(bool selected);
    // Hands every row back (the combo box lends its rows to its lists);
    // the focus is dropped first and the group is empty afterwards.
    std::vector<std::unique_ptr<ChoiceItem>> releaseChoiceItems();

    // --- attributes -----------------------------------------------------------------
    InputKind getInputKind() const override { return InputKind::ChoiceGroup; }

private:
    void initGroup(int mode, std::vector<std::unique_ptr<ChoiceItem>> rows, bool fireOnSelect);
    void raiseChange();
    // A choice by the user on the focused row (FIRE release, "Mark").
    void chooseFocused(bool selected);
};

}  // namespace zq
