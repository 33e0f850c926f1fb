#include "items/filtered_choice_group.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "items/choice_group.h"
#include "items/item_text.h"
#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/form.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/screen_services.h"
#include "ui/scroll_bar.h"
#include "ui/style.h"

namespace zq {
namespace {

// A screen takes the whole display area from its corner.
void fitToDisplayArea(Screen& screen) {
    const Rect area = displayArea();
    screen.setBounds(Rect::fromSize(0, 0, screen.getWidth(), screen.getHeight()));
    screen.setSize(area.width(), area.height());
}

// Makes `target` current. The list screen never stays recorded as the
// screen before it: it may be freed while the target lives on.
void switchTo(Display& display, Displayable& target, const Displayable* listScreen, bool notify) {
    Displayable* previous = target.getPreviousDisplayable();
    display.setCurrent(&target, notify);
    target.setPreviousDisplayable(previous == listScreen ? nullptr : previous);
    ClientContext::current().setRecordedCurrentScreen(dynamic_cast<Screen*>(&target));
}

// The style's objects are shared with the list style: the list style must
// never free them.
template <class T>
std::shared_ptr<T> borrowed(T* object) {
    return std::shared_ptr<T>(object, [](T*) {});
}

// The list screen is a panel over the page (its style keeps margins): the
// page is painted under it, so that nothing of an earlier frame, such as a
// menu just closed, stays in the margins.
class ListPanelForm : public Form {
public:
    ListPanelForm(const CString& title, Style* style, const Item& box)
        : Form(title, style), box_(box) {}
    void paint(GraphicsContext& g) override {
        Screen* under = page();
        if (under && under->getWidth() > 0) under->paint(g);
        Form::paint(g);
    }
    RecursiveMutex& contentLock() override {
        Screen* under = page();
        return under ? under->contentLock() : Form::contentLock();
    }

private:
    Screen* page() const {
        auto* page = dynamic_cast<Screen*>(box_.getScreen());
        return page != this ? page : nullptr;
    }

    const Item& box_;
};

}  // namespace

FilteredChoiceGroup::FilteredChoiceGroup(const CString& label, const CString& text, int mode,
                                         Style* style)
    : StringItem(label, text, kAppearanceControl, style),
      encrypt_(u"false"),
      mode_(mode),
      defaultText_(text),
      separator_(u";") {}

FilteredChoiceGroup::~FilteredChoiceGroup() {
    // A list screen still shown must not stay current once it is freed.
    if (!listForm_) return;
    Display* display = listForm_->getDisplay();
    if (!display) display = Display::getDisplay();
    if (!display || !display->isCurrent(listForm_.get())) return;
    // The page may be going away with us: it is made current without
    // being told, and is not sized.
    Displayable* target = dynamic_cast<Displayable*>(getScreen());
    if (!target) target = listForm_->getPreviousDisplayable();
    if (target && target != listForm_.get()) switchTo(*display, *target, listForm_.get(), false);
}

// --- options ---------------------------------------------------------------------------

int FilteredChoiceGroup::appendOption(std::unique_ptr<ChoiceItem> row, const CString& value) {
    if (!row) return -1;
    values_.push_back(value);
    row->setParent(this);
    options_.push_back(row.get());
    parkedRows_.push_back(std::move(row));
    listChanged_ = true;
    return getOptionCount() - 1;
}

ChoiceItem* FilteredChoiceGroup::getOption(int index) const {
    if (index < 0 || index >= getOptionCount()) return nullptr;
    return options_[index];
}

CString FilteredChoiceGroup::getOptionText(int index) const {
    const ChoiceItem* row = getOption(index);
    return row ? row->getText() : CString();
}

CString FilteredChoiceGroup::getOptionValue(int index) const {
    return optionValueAt(values_, getOption(index) ? index : -1);
}

int FilteredChoiceGroup::getSelectedOption() const {
    for (int i = 0; i < getOptionCount(); ++i) {
        if (options_[i]->isSelected()) return i;
    }
    return -1;
}

void FilteredChoiceGroup::setOptionSelected(int index, bool selected) {
    ChoiceItem* row = getOption(index);
    if (!row) return;
    if (ChoiceItem* old = getOption(getSelectedOption())) old->setSelected(false);
    row->setSelected(selected);
    commitSelection();
}

void FilteredChoiceGroup::selectOption(int number) {
    if (number < 1 || number > getOptionCount()) return;
    setOptionSelected(number - 1, true);
    setText(getOptionText(number - 1));
}

void FilteredChoiceGroup::commitSelection() {
    CString text;
    for (ChoiceItem* row : options_) {
        if (!row->isSelected()) continue;
        text += row->getText();
        if (mode_ != kChoiceMultiple) break;
        text += separator_;
    }
    if (text.isEmpty()) text = defaultText_;
    if (text.equalsNoCase(text_)) return;
    setText(text);
    raiseChange();
}

// The listener runs a page action; nothing of the item is used after it.
void FilteredChoiceGroup::raiseChange() {
    if (onChange_.isEmpty() || !changeListener_) return;
    changeListener_->onEvent(std::make_unique<Event>(onChange_, this));
}

void FilteredChoiceGroup::step(bool forward) {
    const int count = getOptionCount();
    if (count == 0) return;
    const int current = getSelectedOption();
    int next = -1;
    if (forward) {
        if (current < count - 1) next = current + 1;
    } else if (current >= 1) {
        next = current - 1;
    }
    if (next >= 0) setOptionSelected(next, true);
}

// --- Inputable ----------------------------------------------------------------------------

CString FilteredChoiceGroup::getValue() const {
    if (mode_ != kChoiceMultiple) {
        const int selected = getSelectedOption();
        return selected < 0 ? CString() : getOptionValue(selected);
    }
    // Every ticked option, as a multiple choice group sends them.
    CString value;
    bool first = true;
    for (int i = 0; i < getOptionCount(); ++i) {
        if (!options_[i]->isSelected()) continue;
        if (!first) value += u',';
        value += getOptionValue(i);
        first = false;
    }
    return value;
}

void FilteredChoiceGroup::setValue(const CString& value) { text_ = value; }

void FilteredChoiceGroup::reset() {
    for (ChoiceItem* row : options_) row->setSelected(false);
    setValue(defaultText_);
    requestInit();
    notifyStateChanged();
}

// --- style and layout ---------------------------------------------------------------------

void FilteredChoiceGroup::setStyle(Style* style) {
    StringItem::setStyle(style);
    if (!style) return;
    if (Style* screenStyle = style->getStyleProperty(prop::kComboPanelStyle)) {
        listScreenStyle_ = screenStyle;
        if (listForm_) listForm_->setStyle(screenStyle);
    }
    if (Border* border = style->getBorderProperty(prop::kDropBorder)) dropBorder_ = border;
    if (Background* back = style->getBackgroundProperty(prop::kDropBackground)) {
        dropBackground_ = back;
    }
    if (style->hasProperty(prop::kThumbColor)) {
        thumbColor_ = static_cast<Color>(style->getProperty(prop::kThumbColor));
    }
    if (style->hasProperty(prop::kTrackColor)) {
        trackColor_ = static_cast<Color>(style->getProperty(prop::kTrackColor));
    }
}

void FilteredChoiceGroup::initContent(int firstLineWidth, int lineWidth) {
    if (mode_ == kChoiceMultiple) {
        StringItem::initContent(firstLineWidth, lineWidth);
        return;
    }
    StringItem::initContent(firstLineWidth - kButtonWidth, lineWidth - kButtonWidth);
    contentWidth_ += kButtonWidth;
}

void FilteredChoiceGroup::layoutDone() { layoutDropDown(); }

// --- painting -------------------------------------------------------------------------------

int FilteredChoiceGroup::scrollRoomOfScreen() const {
    auto* screen = dynamic_cast<Screen*>(getScreen());
    if (!screen || !screen->getContent()) return 0;
    return screen->getContent()->itemHeight() > screen->contentRect().height() ? 10 : 0;
}

void FilteredChoiceGroup::paintText(int x, int y, int leftBorder, GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    const FontRef font = effectiveFont();
    const int lineHeight = font->height();
    const int stepY = getFontHeight() + paddingVertical_;
    bool first = true;
    for (const CString& line : lines_) {
        const int left = first ? x : leftBorder;
        const Rect box{left, y, left + font->textWidth(line.view()), y + lineHeight};
        drawItemText(*dc, line, box, font, textColor_, kTextWordBreak | kTextVCenter);
        y += stepY;
        first = false;
    }
}

void FilteredChoiceGroup::paintCycleArrows(int x, int y, DeviceContext& dc) const {
    const int itemLeft = x - contentX_;
    const int top = y + (contentHeight_ - kArrowHeight) / 2;
    const int leftArrow = itemLeft + itemWidth_ - 2 * (kArrowSize + 1) - scrollRoom_ / 2;
    const int rightArrow = itemLeft + itemWidth_ - scrollRoom_ / 2 - kArrowSize;
    for (int k = 0; k < kArrowSize; ++k) {
        const int from = top + k;
        const int to = top + 2 * kArrowSize - 1 - k;
        const int lx = leftArrow + kArrowSize - 1 - k;
        dc.fillRect(Rect{lx, from, lx + 1, to}, kArrowColor);
        dc.fillRect(Rect{rightArrow + k, from, rightArrow + k + 1, to}, kArrowColor);
    }
}

void FilteredChoiceGroup::paintDropArrow(int y, int rightBorder, DeviceContext& dc) const {
    const int left = rightBorder - kButtonWidth + (kButtonWidth - (2 * kArrowSize - 1)) / 2;
    const int top = contentHeight_ > kArrowSize ? y + (contentHeight_ - kArrowSize) / 2 : y;
    for (int k = 0; k < kArrowSize; ++k) {
        dc.fillRect(Rect{left + k, top + k, left + 2 * kArrowSize - 1 - k, top + k + 1},
                    textColor_);
    }
}

void FilteredChoiceGroup::layoutDropDown() {
    if (!listOpen_ || !dropDown_) return;
    auto* screen = dynamic_cast<Screen*>(getScreen());
    const Rect visible = screen ? screen->contentRect() : displayArea();
    const int height = std::max(0, (visible.height() - contentHeight_ + 10) / 2);
    if (itemWidth_ != lastWidth_ || height != dropListHeight_) {
        lastWidth_ = itemWidth_;
        dropListHeight_ = height;
        dropDown_->setViewportHeight(height);
        dropDown_->requestFullInit();
    }
    dropDown_->ensureLayout(0, 0, itemWidth_);
}

void FilteredChoiceGroup::paintDropDown(int x, int y, GraphicsContext& g) {
    if (!dropDown_->isInitialised()) return;
    auto* screen = dynamic_cast<Screen*>(getScreen());
    const Rect visible = screen ? screen->contentRect() : displayArea();
    const int itemLeft = x - contentX_;
    const int itemTop = y - contentY_;
    int dropTop = itemTop + itemHeight_;
    if (dropTop + dropDown_->itemHeight() > visible.bottom) {
        dropTop = itemTop - dropDown_->itemHeight();
    }
    dropX_ = 0;
    dropY_ = dropTop - itemTop;
    dropDown_->paint(itemLeft, dropTop, itemLeft, itemLeft + itemWidth_, g);
}

void FilteredChoiceGroup::paintContent(int x, int y, int leftBorder, int rightBorder,
                                       GraphicsContext& g) {
    paintText(x, y, leftBorder, g);
    DeviceContext* dc = g.getDC();
    if (!dc) return;
    if (mode_ == kChoiceExclusive) {
        scrollRoom_ = scrollRoomOfScreen();
        paintCycleArrows(x, y, *dc);
    } else if (mode_ == kChoiceImplicit) {
        paintDropArrow(y, rightBorder, *dc);
        if (listOpen_ && dropDown_) paintDropDown(x, y, g);
    }
}

// --- lists ------------------------------------------------------------------------------------

void FilteredChoiceGroup::reclaimRows() {
    if (!listGroup_) return;
    for (std::unique_ptr<ChoiceItem>& row : listGroup_->releaseChoiceItems()) {
        row->setParent(this);
        parkedRows_.push_back(std::move(row));
    }
    listGroup_ = nullptr;
}

std::vector<std::unique_ptr<ChoiceItem>> FilteredChoiceGroup::takeRows() {
    std::unordered_map<const ChoiceItem*, std::unique_ptr<ChoiceItem>*> parked;
    for (std::unique_ptr<ChoiceItem>& row : parkedRows_) parked.emplace(row.get(), &row);
    std::vector<std::unique_ptr<ChoiceItem>> rows;
    rows.reserve(options_.size());
    for (ChoiceItem* option : options_) {
        auto held = parked.find(option);
        if (held != parked.end()) rows.push_back(std::move(*held->second));
    }
    std::erase_if(parkedRows_, [](const auto& row) { return row == nullptr; });
    return rows;
}

void FilteredChoiceGroup::openDropDown() {
    if (mode_ != kChoiceImplicit) return;
    listOpen_ = true;
    if (!listChanged_ && dropDown_) {
        // The list opens on the current choice, however it was made.
        if (const int selected = getSelectedOption(); selected >= 0) {
            listGroup_->setSelectedIndex(selected, true);
            listGroup_->focusIndex(selected);
        }
        layoutDropDown();
        return;
    }
    reclaimRows();
    dropDown_.reset();
    auto group = std::make_unique<ChoiceGroup>(CString(), kChoiceImplicit, takeRows(), nullptr);
    group->setFocusFirst(true);
    group->setAllowCycle(true);
    ChoiceGroup* raw = group.get();
    Style* style = createComboListStyle();
    if (dropBackground_) style->setBackground(borrowed(dropBackground_));
    if (dropBorder_) style->setBorder(borrowed(dropBorder_));
    raw->setSelectedIndex(getSelectedOption(), true);
    const int barWidth = static_cast<int>(10 * screenMetrics().scale);
    dropDown_ = std::make_unique<ScrollBarItem>(barWidth, std::move(group), style);
    dropDown_->setColors(trackColor_, thumbColor_);
    dropDown_->setViewportHeight(dropListHeight_);
    dropDown_->setParent(this);
    listGroup_ = raw;
    lastWidth_ = -1;
    listChanged_ = false;
    layoutDropDown();
}

void FilteredChoiceGroup::showListScreen(Display& display) {
    if (mode_ != kChoiceMultiple) return;
    // 1. The screen, once.
    if (!listForm_) {
        listForm_ = std::make_unique<ListPanelForm>(getLabel(), createFormStyle(), *this);
        if (listScreenStyle_) listForm_->setStyle(listScreenStyle_);
        listForm_->addCommand(sharedOkCommand());
        listForm_->addCommand(sharedBackCommand());
        listForm_->setCommandListener(this);
    }
    // 2. A new list when the options changed since the last one.
    if (listChanged_ || !listGroup_) {
        setText(defaultText_);
        if (listGroup_) {
            Container* content = listForm_->getContent();
            const int index = content ? content->indexOfChild(listGroup_) : -1;
            reclaimRows();
            if (index >= 0) content->remove(index);
        }
        auto group = std::make_unique<ChoiceGroup>(CString(), mode_, takeRows(),
                                                   createChoiceGroupStyle(), true);
        group->setFocusFirst(true);
        listGroup_ = group.get();
        if (Container* content = listForm_->getContent()) content->setFocusFirst(true);
        listForm_->append(std::move(group));
        listChanged_ = false;
    }
    // 3. Shown in the display area; the ticks are kept for a way back that
    // does not confirm them.
    ticksAtOpen_.clear();
    for (const ChoiceItem* row : options_) ticksAtOpen_.push_back(row->isSelected());
    display.setCurrent(listForm_.get(), true);
    ClientContext::current().setRecordedCurrentScreen(listForm_.get());
    fitToDisplayArea(*listForm_);
    display.repaint();
}

void FilteredChoiceGroup::returnToPage() {
    Display* display = listForm_ ? listForm_->getDisplay() : nullptr;
    if (!display) display = Display::getDisplay();
    auto* page = dynamic_cast<Displayable*>(getScreen());
    if (!display || !page) return;
    switchTo(*display, *page, listForm_.get(), true);
    if (auto* screen = dynamic_cast<Screen*>(page)) fitToDisplayArea(*screen);
    display->repaint();
}

void FilteredChoiceGroup::commandAction(Command* command, Displayable* source) {
    if (!command || !listForm_ || source != listForm_.get()) return;
    if (command == sharedOkCommand().get() || command == sharedSelectCommand().get()) {
        commitSelection();
    } else if (ticksAtOpen_.size() == options_.size()) {
        // Without a confirmation the ticks go back to what the box shows.
        for (size_t i = 0; i < options_.size(); ++i) options_[i]->setSelected(ticksAtOpen_[i]);
    }
    returnToPage();
}

void FilteredChoiceGroupListener::commandAction(Command* /*command*/, Item* item) {
    auto* box = dynamic_cast<FilteredChoiceGroup*>(item);
    Display* display = Display::getDisplay();
    if (box && display) box->showListScreen(*display);
}

// --- keys and pen -------------------------------------------------------------------------------

bool FilteredChoiceGroup::keyPressed(int keyCode, int gameAction) {
    if (mode_ == kChoiceExclusive) {
        if (gameAction != kGameLeft && gameAction != kGameRight) return false;
        step(gameAction == kGameRight);
        commitSelection();
        return true;
    }
    if (mode_ == kChoiceImplicit && listOpen_ && dropDown_) {
        const bool used = dropDown_->keyPressed(keyCode, gameAction);
        layoutDropDown();
        return used;
    }
    if (gameAction == kGameFire && keyCode != kKeyDigitFive) return selectPressed();
    return Item::keyPressed(keyCode, gameAction);
}

bool FilteredChoiceGroup::keyRepeated(int keyCode, int gameAction) {
    if (mode_ == kChoiceImplicit && listOpen_ && dropDown_) {
        const bool used = dropDown_->keyRepeated(keyCode, gameAction);
        layoutDropDown();
        return used;
    }
    return Item::keyRepeated(keyCode, gameAction);
}

bool FilteredChoiceGroup::keyReleased(int keyCode, int gameAction) {
    if (gameAction == kGameFire && keyCode != kKeyDigitFive && pressed_) {
        selectReleased();
        if (mode_ == kChoiceMultiple) {
            if (Display* display = Display::getDisplay()) showListScreen(*display);
        } else if (mode_ == kChoiceImplicit && !listOpen_) {
            openDropDown();
        }
        return true;
    }
    if (mode_ == kChoiceImplicit && listOpen_ && dropDown_) {
        if (!dropDown_->keyReleased(keyCode, gameAction)) return false;
        listOpen_ = false;
        commitSelection();
        return true;
    }
    return Item::keyReleased(keyCode, gameAction);
}

bool FilteredChoiceGroup::pointerPressed(int x, int y) {
    if (options_.empty()) return false;
    if (!isInItemArea(x, y) && listOpen_ && dropDown_) {
        const bool used = dropDown_->pointerPressed(x - dropX_, y - dropY_);
        layoutDropDown();
        return used;
    }
    return Item::pointerPressed(x, y);
}

bool FilteredChoiceGroup::pointerDragged(int x, int y) {
    if (options_.empty()) return false;
    if (!isInItemArea(x, y) && listOpen_ && dropDown_) {
        dropDown_->pointerDragged(x - dropX_, y - dropY_);
        layoutDropDown();
        if (auto* screen = dynamic_cast<Screen*>(getScreen())) screen->repaint();
    }
    return false;
}

bool FilteredChoiceGroup::pointerReleased(int x, int y) {
    if (options_.empty()) return false;
    if (isInItemArea(x, y)) {
        if (mode_ != kChoiceExclusive) return Item::pointerReleased(x, y);
        const int edge = itemWidth_ - scrollRoom_ / 2 - paddingRight_;
        if (x <= edge - kButtonWidth) return Item::pointerReleased(x, y);
        step(x >= edge - kArrowSize);
        commitSelection();
        return true;
    }
    if (listOpen_ && dropDown_) {
        if (dropDown_->pointerReleased(x - dropX_, y - dropY_)) {
            listOpen_ = false;
            commitSelection();
            return true;
        }
    }
    return Item::pointerReleased(x, y);
}

void FilteredChoiceGroup::defocus(Style* normalStyle) {
    listOpen_ = false;
    Item::defocus(normalStyle);
}

}  // namespace zq
