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

extern template class ChoiceRows<InlineContainer>;

class InLineChoiceGroup : public ChoiceRows<InlineContainer> {
public:
    InLineChoiceGroup(const CString& label, int mode, Style* style, bool fireOnSelect = false);
    ~InLineChoiceGroup() override;

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

    void commandAction(Command* command, Item* item) override;

    // --- Inputable -------------------------------------------------------------
    CString getValue() const override;
    void reset() override;

    // --- building ----------------------------------------------------------------
    // Item::setStyle; the group answers its own commands.
    void applyStyle(Style* style);

    InputKind getInputKind() const override { return InputKind::InLineChoiceGroup; }

private:
    void raiseChange(Item* source);
};

}  // namespace zq
