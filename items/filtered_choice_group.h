// FilteredChoiceGroup: the combo box. A one-line text item that shows the
// text of the chosen option (or its default text while none is chosen) and
// lets the user choose in one of three modes:
//   1  cycling with LEFT/RIGHT or the two arrow buttons at its right end;
//   2  a list screen of its own (a Form with a multiple ChoiceGroup), left
//      with "确定" (keeps the choice) or "返";
//   3  a drop-down list (the mode word "implitcit" of the markup) painted
//      under the box, or above it when there is no room below.
// A change of the shown text raises an Event with the change action to the
// change listener.
//
// Ownership: the combo box owns its option rows. Its lists (modes 2 and 3)
// borrow them: a list group is emptied back into the combo box before it
// is freed, so no row is freed twice. The list screen and the drop-down
// belong to the combo box; a list screen still shown when the combo box
// goes away is replaced on the Display first. The drop-down's background
// and border are the style's, shared, never freed by the combo box.
// UI thread only.
#pragma once

#include <memory>
#include <vector>

#include "core/string_utils.h"
#include "items/choice_item.h"
#include "items/form_field.h"
#include "items/inputable.h"
#include "items/string_item.h"
#include "ui/command.h"
#include "ui/listeners.h"

namespace zq {

class Background;
class Border;
class ChoiceGroup;
class Display;
class Form;
class ScrollBarItem;

class FilteredChoiceGroup : public StringItem,
                            public CommandListener,
                            public Inputable,
                            public FormField {
public:
    static constexpr int kArrowSize = 5;
    static constexpr int kArrowHeight = 9;
    static constexpr int kArrowGap = 2;
    static constexpr int kButtonWidth = kArrowGap + 2 * kArrowSize + 1;
    static constexpr Color kArrowColor = 0xFFFFFF;

    FilteredChoiceGroup(const CString& label, const CString& text, int mode, Style* style);
    ~FilteredChoiceGroup() override;

    // --- Item ---------------------------------------------------------------
    // Also 245 (the list screen's style), 4010/4011 (the drop-down's border
    // and background) and 4020/4021 (its scroll bar's colours).
    void setStyle(Style* style) override;
    void setImage(ImageRef /*image*/) override {}
    void initContent(int firstLineWidth, int lineWidth) override;
    void layoutDone() override;
    void paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) override;
    bool keyPressed(int keyCode, int gameAction) override;
    bool keyRepeated(int keyCode, int gameAction) override;
    bool keyReleased(int keyCode, int gameAction) override;
    bool pointerDragged(int x, int y) override;
    bool pointerPressed(int x, int y) override;
    bool pointerReleased(int x, int y) override;
    // Closes the drop-down list.
    void defocus(Style* normalStyle) override;

    // --- CommandListener: the commands of the list screen ---------------------
    void commandAction(Command* command, Displayable* source) override;

    // --- Inputable -------------------------------------------------------------
    CString getName() const override { return getFormName(); }
    void setName(const CString& name) override { setFormName(name); }
    // The value of the first chosen option; empty when none is chosen.
    CString getValue() const override;
    // Replaces the shown text only.
    void setValue(const CString& value) override;
    // No option chosen, the default text shown.
    void reset() override;

    // --- options ------------------------------------------------------------------
    // Returns the new row's index; a null row is refused (-1).
    int appendOption(std::unique_ptr<ChoiceItem> row, const CString& value);
    int getOptionCount() const { return static_cast<int>(options_.size()); }
    CString getOptionText(int index) const;
    CString getOptionValue(int index) const;
    ChoiceItem* getOption(int index) const;
    // The first chosen option; -1 when none.
    int getSelectedOption() const;
    // Ignored out of range.
    void setOptionSelected(int index, bool selected);
    // 1-based; ignored outside 1..count.
    void selectOption(int number);
    // The shown text from the chosen options; raises the change event when
    // it changed (compared without case).
    void commitSelection();

    // --- lists ------------------------------------------------------------------------
    void showListScreen(Display& display);
    void openDropDown();
    void closeDropDown() { listOpen_ = false; }
    bool isListOpen() const { return listOpen_; }
    Form* getListForm() const { return listForm_.get(); }
    ChoiceGroup* getListGroup() const { return listGroup_; }
    ScrollBarItem* getDropDown() const { return dropDown_.get(); }
    // Where the drop-down was last painted, relative to the item's origin.
    int dropDownX() const { return dropX_; }
    int dropDownY() const { return dropY_; }

    // --- attributes -------------------------------------------------------------------
    int getMode() const { return mode_; }
    const CString& getDefaultText() const { return defaultText_; }
    void setChangeListener(EventListener* listener) { changeListener_ = listener; }
    void setOnChange(const CString& action) { onChange_ = action; }
    const CString& getOnChange() const { return onChange_; }
    void setEncrypt(const CString& encrypt) { encrypt_ = encrypt; }
    CString getEncrypt() const override { return encrypt_; }
    InputKind getInputKind() const override { return InputKind::FilteredChoiceGroup; }
    Color thumbColor() const { return thumbColor_; }
    Color trackColor() const { return trackColor_; }

private:
    // Mode 1: one option on, without wrapping.
    void step(bool forward);
    // The rows a list lent, back in the combo box's hands.
    void reclaimRows();
    // The rows in option order, for a new list.
    std::vector<std::unique_ptr<ChoiceItem>> takeRows();
    int scrollRoomOfScreen() const;
    void paintText(int x, int y, int leftBorder, GraphicsContext& g);
    void paintCycleArrows(int x, int y, DeviceContext& dc) const;
    void paintDropArrow(int y, int rightBorder, DeviceContext& dc) const;
    // Lays the open drop-down list out for the box's width and the screen's
    // height: when it opens, with the box's own layout and after every event
    // it handles, so that painting only draws it.
    void layoutDropDown();
    void paintDropDown(int x, int y, GraphicsContext& g);
    // The item's own screen becomes current again.
    void returnToPage();
    void raiseChange();

    CString encrypt_;
    int dropListHeight_ = 100;
    bool listChanged_ = false;
    int mode_;
    bool listOpen_ = false;
    std::unique_ptr<Form> listForm_;
    ChoiceGroup* listGroup_ = nullptr;  // owned by the list screen or the drop-down
    Border* dropBorder_ = nullptr;
    Background* dropBackground_ = nullptr;
    Color thumbColor_ = 0x221D79;
    Color trackColor_ = 0xF7F9F9;
    Style* listScreenStyle_ = nullptr;
    std::unique_ptr<ScrollBarItem> dropDown_;
    int lastWidth_ = -1;
    int dropX_ = 0;
    int dropY_ = 0;
    std::vector<ChoiceItem*> options_;                     // option order
    std::vector<std::unique_ptr<ChoiceItem>> parkedRows_;  // rows no list holds
    std::vector<bool> ticksAtOpen_;                        // when the list screen opened
    StringArray values_;
    CString defaultText_;
    CString separator_;
    EventListener* changeListener_ = nullptr;
    CString onChange_;
    int scrollRoom_ = 0;
};

// The item command listener the page builder gives a combo box: any command
// that reaches it opens the box's list screen (mode 2).
class FilteredChoiceGroupListener : public ItemCommandListener {
public:
    void commandAction(Command* command, Item* item) override;
};

}  // namespace zq
