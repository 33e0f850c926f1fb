// InLineChoiceGroup: a choice group whose option rows flow side by side
// inside a line (InlineContainer) instead of one per line. It keeps the
// Choice and Inputable contracts of ChoiceGroup (items/choice_group.h)
// except where noted:
//   - a multiple group submits each chosen value followed by "," (the last
//     one too: servers read that form);
//   - outside multiple mode, unselecting does nothing, so "Unmark" and
//     reset leave the selection;
//   - it has its own "Mark" and "Unmark" commands and no select-all ones.
//
// Ownership: the group owns its rows; listeners are borrowed. UI thread.
#pragma once

#include <memory>
#include <vector>

#include "core/string_utils.h"
#include "items/choice_group.h"
#include "items/choice_item.h"
#include "items/form_field.h"
#include "items/inputable.h"
#include "ui/empty_container.h"
#include "ui/listeners.h"

namespace zq {

// The inline group's own "Mark" and "Unmark" (type 8, priority 3).
CommandRef inlineMarkCommand();
CommandRef inlineUnmarkCommand();

class InLineChoiceGroup : public InlineContainer,
                          public Choice,
                          public ItemCommandListener,
                          public Inputable,
                          public FormField {
public:
    InLineChoiceGroup(const CString& label, int mode, Style* style, bool fireOnSelect = false);
    ~InLineChoiceGroup() override;

    // --- Item ---------------------------------------------------------------
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    bool handleCommand(Command* command) override;

    // --- Choice ---------------------------------------------------------------
    int size() const override { return EmptyContainer::size(); }
    CString getString(int index) const override;
    ImageRef getImage(int index) const override;
    int append(const CString& text, ImageRef image) override;
    void insert(int index, const CString& text, ImageRef image) override;
    void deleteAt(int index) override;
    void deleteAll() override;
    void set(int index, const CString& text, ImageRef image) override;
    bool isSelected(int index) const override;
    int getSelectedIndex() const override;
    int getSelectedFlags(std::vector<int>& flags) const override;
    void setSelectedIndex(int index, bool selected) override;
    void setSelectedFlags(const std::vector<int>& flags) override;
    void setFont(int index, FontRef font) override;
    FontRef getFont(int index) const override;

    void commandAction(Command* command, Item* item) override;

    // --- Inputable -------------------------------------------------------------
    CString getName() const override { return getFormName(); }
    void setName(const CString& name) override { setFormName(name); }
    CString getValue() const override;
    void setValue(const CString& value) override;
    void reset() override;

    // --- building ----------------------------------------------------------------
    int addChoiceItem(std::unique_ptr<ChoiceItem> row, Style* style);
    int appendChoiceItem(std::unique_ptr<ChoiceItem> row) {
        return addChoiceItem(std::move(row), nullptr);
    }
    void addOptionValue(const CString& value) { values_.push_back(value); }
    const StringArray& getValues() const { return values_; }
    ChoiceItem* getChoiceItem(int index) const;
    // Item::setStyle; the group answers its own commands.
    void applyStyle(Style* style);

    int getMode() const { return mode_; }
    bool isMultiple() const { return multiple_; }
    void setChangeListener(EventListener* listener) { changeListener_ = listener; }
    void setOnChange(const CString& action) { onChange_ = action; }
    const CString& getOnChange() const { return onChange_; }
    void setEncrypt(const CString& encrypt) { encrypt_ = encrypt; }
    CString getEncrypt() const override { return encrypt_; }
    InputKind getInputKind() const override { return InputKind::InLineChoiceGroup; }

private:
    bool countsAsSelected(int index) const;
    void raiseChange(Item* source);
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

}  // namespace zq
