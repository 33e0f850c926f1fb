#include "ui/item.h"

#include <algorithm>

#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/default_styles.h"
#include "ui/graphics_context.h"
#include "ui/item_view.h"
#include "ui/style.h"

namespace zq {
void DirtyRect::add(int32_t x, int32_t y, int32_t w, int32_t h) {
    left = std::min(left, x);
    top = std::min(top, y);
    right = std::max(right, x + w);
    bottom = std::max(bottom, y + h);
    changed = 1;
}

Style* defaultFocusedStyle() { return defaultItemStyle(); }

int alignedOffset(uint32_t layout, int lineWidth, int width) {
    if (layout & kLayoutCenter) return (lineWidth - width) / 2;
    if (layout & kLayoutRight) return lineWidth - width;
    return 0;
}

// --- life ------------------------------------------------------------------------

Item::Item() = default;

Item::Item(Style* style) : style_(style) {}

Item::Item(const CString& label, uint32_t layout, int appearanceMode, Style* style)
    : style_(style), layout_(layout), appearanceMode_(appearanceMode) {
    if (!label.isEmpty()) setLabel(label);
}

Item::~Item() {
    life_.end();
    stopTicking();
    dropView();
}

void Item::startTicking(TickerThread& ticker) {
    if (ticker_ && ticker_ != &ticker) ticker_->removeItem(this);
    ticker_ = &ticker;
    ticker.addItem(this);
}

void Item::tickerGone(TickerThread& ticker) {
    if (ticker_ == &ticker) ticker_ = nullptr;
}

void Item::leaveContainer() {
    parent_ = nullptr;
    screen_ = nullptr;
    stopTicking();
}

void Item::stopTicking() {
    if (ticker_) ticker_->removeItem(this);
    ticker_ = nullptr;
}

// --- style -----------------------------------------------------------------------

void Item::setAlignmentFromLayout() {
    alignCentre_ = (layout_ & kLayoutCenter) != 0;
    alignRight_ = (layout_ & kLayoutRight) != 0 && !alignCentre_;
    expand_ = (layout_ & kLayoutExpand) != 0;
}

// The default label style is shared by every label: a label gets a style of
// its own before its font changes.
void Item::applyLabelFont(Item& label, const FontRef& font) {
    Style* style = label.style_;
    if (style == defaultLabelStyle()) {
        style = createLabelStyle();
        label.style_ = style;
        label.styleApplied_ = false;
    }
    style->font = font;
    if (Style* focused = style->getStyleProperty(prop::kFocusedStyle)) focused->font = font;
    if (label.styleApplied_) label.setStyle(style);
}

void Item::setStyle(Style* s) {
    initialised_ = false;
    styleApplied_ = true;
    style_ = s;
    if (!s) {
        background_ = nullptr;
        border_ = nullptr;
        borderWidth_ = 0;
        return;
    }
    if (s != defaultItemStyle()) {
        layout_ = s->flags;
        setAlignmentFromLayout();
    }
    if (s->font && label_ && label_->style_) applyLabelFont(*label_, s->font);

    background_ = s->background();
    border_ = s->border();
    borderWidth_ = border_ ? border_->width() : (background_ ? background_->width() : 0);

    paddingLeft_ = s->paddingLeft;
    paddingTop_ = s->paddingTop;
    paddingRight_ = s->paddingRight;
    paddingBottom_ = s->paddingBottom;
    paddingVertical_ = s->paddingVertical;
    paddingHorizontal_ = s->paddingHorizontal;
    marginLeft_ = s->marginLeft;
    marginTop_ = s->marginTop;
    marginRight_ = s->marginRight;
    marginBottom_ = s->marginBottom;

    if (Style* focused = s->getStyleProperty(prop::kFocusedStyle)) focusedStyle_ = focused;
    if (Style* pressed = s->getStyleProperty(prop::kPressedStyle); pressed && !pressedStyle_) {
        pressedStyle_ = pressed;
        pressedStyle_->paddingLeft = sideIndent();
        pressedStyle_->paddingRight = sideIndent();
    }
    applyView(s);
    if (view_) view_->setStyle(s);
    if (s->getProperty(prop::kVisible) != 0) setVisible(true);
}

void Item::applyView(Style* s) {
    ItemView* candidate = s->getViewProperty(prop::kItemViewObject);
    if (!candidate || !candidate->isValid(this, s)) return;
    if (candidate == view_ || candidate == viewSource_) return;

    std::unique_ptr<ItemView> clone;
    ItemView* next = candidate;
    if (candidate->getItem() && candidate->getItem() != this) {
        clone = candidate->getNewInstance();
        if (!clone) return;
        next = clone.get();
    }
    next->bind(this);
    if (shown_) {
        if (view_) view_->hideNotify();
        next->showNotify();
    }
    dropView();
    view_ = next;
    ownedView_ = std::move(clone);
    viewSource_ = ownedView_ ? candidate : nullptr;
}

void Item::dropView() {
    if (view_ && view_->getItem() == this) view_->bind(nullptr);
    view_ = nullptr;
    viewSource_ = nullptr;
    ownedView_.reset();
}

void Item::setLayout(uint32_t flags) {
    if (flags == layout_) return;
    layout_ = flags;
    if (initialised_) {
        initialised_ = false;
    } else if (style_ && !styleApplied_) {
        setStyle(style_);
        layout_ = flags;
    }
    setAlignmentFromLayout();
}

Style* Item::getFocusedStyle() const {
    for (const Item* item = this; item; item = item->parent_) {
        if (item->focusedStyle_) return item->focusedStyle_;
    }
    return defaultFocusedStyle();
}

// --- label and tree ----------------------------------------------------------------

void Item::setLabel(const CString& text) {
    if (label_) {
        label_->setText(text);
    } else if (LabelMaker maker = labelMaker()) {
        label_ = maker(text, defaultLabelStyle());
        if (label_) label_->parent_ = this;
    }
    if (initialised_) requestInit();
}

CString Item::getLabel() const { return label_ ? label_->getText() : CString(); }

CString Item::getText() const { return CString(); }
void Item::setText(const CString& /*text*/) {}
void Item::setImage(ImageRef /*image*/) {}

ItemScreen* Item::getScreen() const {
    for (const Item* item = this; item; item = item->parent_) {
        if (item->screen_) return item->screen_;
    }
    return nullptr;
}

Item* Item::getItemByName(const CString& id) { return id_.equalsNoCase(id) ? this : nullptr; }

// --- layout ------------------------------------------------------------------------

void Item::initContent(int /*firstLineWidth*/, int /*lineWidth*/) {}

void Item::init(int firstLineWidth, int lineWidth) {
    // 1. A hidden item takes no room.
    if (hidden_) {
        itemWidth_ = 0;
        itemHeight_ = 0;
        return;
    }
    // 2. The style is applied on first use.
    shown_ = true;
    if (!styleApplied_) setStyle(style_ ? style_ : defaultItemStyle());

    // 3. The label is laid out first.
    int labelWidth = 0;
    int labelHeight = 0;
    if (label_) {
        if (!label_->initialised_) label_->init(firstLineWidth, lineWidth);
        labelWidth = getLabelWidth(label_->itemWidth_);
        labelHeight = label_->itemHeight_;
    }

    // 4-5. The box around the content, then the content.
    const int hBox = marginLeft_ + marginRight_ + paddingLeft_ + paddingRight_ + 2 * borderWidth_;
    contentX_ = marginLeft_ + borderWidth_ + paddingLeft_;
    contentY_ = marginTop_ + borderWidth_ + paddingTop_;
    initContent(firstLineWidth - hBox, lineWidth - hBox);

    // 6. Nothing to show but the label.
    if (contentWidth_ == 0 && contentHeight_ == 0) {
        backgroundWidth_ = 0;
        backgroundHeight_ = 0;
        itemWidth_ = labelWidth;
        itemHeight_ = labelHeight;
        initialised_ = true;
        layoutDone();
        return;
    }

    // 7-8. The label beside the content when both fit the line, else above.
    itemWidth_ = std::max(contentWidth_ + hBox, minWidth_);
    const int vBox = marginTop_ + marginBottom_ + paddingTop_ + paddingBottom_ + 2 * borderWidth_;
    int h = contentHeight_;
    const bool forcedAbove =
        label_ && ((label_->layout_ & kLayoutNewLineAfter) || (layout_ & kLayoutNewLineBefore));
    labelBeside_ = labelWidth + itemWidth_ <= lineWidth && !forcedAbove;
    if (!labelBeside_) {
        h += labelHeight;
        contentY_ += labelHeight;
    } else {
        itemWidth_ += labelWidth;
        contentX_ += labelWidth;
        if (vBox + h < labelHeight) h = labelHeight - vBox;
    }

    // 9-10. Expand to the line, never beyond it; respect the minimum height.
    if (expand_ || itemWidth_ > lineWidth) itemWidth_ = lineWidth;
    if (vBox + h < minHeight_) h = minHeight_ - vBox;
    itemHeight_ = vBox + h;

    // 11. The area background and border cover.
    const int hMargins = marginLeft_ + marginRight_;
    const int vFrame = vBox - marginTop_ - marginBottom_;
    if (labelBeside_) {
        backgroundWidth_ = itemWidth_ - hMargins - labelWidth;
        backgroundHeight_ = vFrame + h;
    } else {
        backgroundWidth_ = itemWidth_ - hMargins;
        backgroundHeight_ = vFrame - labelHeight + h;
    }
    initialised_ = true;
    layoutDone();
}

void Item::ensureLayout(int x, int leftBorder, int rightBorder) {
    const int avail = rightBorder - leftBorder;
    if (!initialised_ || avail < itemWidth_) init(rightBorder - x, avail);
}

int Item::getItemWidth(int firstLineWidth, int lineWidth) {
    if (!initialised_ || itemWidth_ > lineWidth) init(firstLineWidth, lineWidth);
    return itemWidth_;
}

int Item::getItemHeight(int firstLineWidth, int lineWidth) {
    if (!initialised_ || itemWidth_ > lineWidth) init(firstLineWidth, lineWidth);
    return itemHeight_;
}

void Item::requestInit() {
    for (Item* item = this; item; item = item->parent_) item->initialised_ = false;
    if (ItemScreen* screen = getScreen()) screen->setRelayoutNeeded();
}

// --- painting ----------------------------------------------------------------------

void Item::paint(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g, bool remember) {
    if (hidden_) return;
    if (remember) {
        lastPaintX_ = x;
        lastPaintY_ = y;
        lastPaintLeft_ = leftBorder;
        lastPaintRight_ = rightBorder;
    }
    const int avail = rightBorder - leftBorder;

    if (label_) {
        if (labelBeside_) {
            label_->paint(x, y + marginTop_, leftBorder,
                          rightBorder - contentWidth_ - paddingHorizontal_, g, true);
            const int labelWidth = getLabelWidth(label_->itemWidth_);
            x += labelWidth;
            leftBorder += labelWidth;
        } else {
            label_->paint(x, y + marginTop_, leftBorder, rightBorder, g, true);
            y += label_->itemHeight_;
        }
    }

    int contentLeft = leftBorder + marginLeft_ + borderWidth_ + paddingLeft_;
    int contentRight = rightBorder - borderWidth_ - marginRight_ - paddingRight_;
    if (avail > itemWidth_) {
        const int spare = avail - itemWidth_;
        const int offset = alignedOffset(layout_, avail, itemWidth_);
        x += offset;
        // Shrunk: the content's borders close in on the item's own width.
        if (layout_ & kLayoutShrink) {
            contentLeft += offset;
            contentRight -= alignCentre_ ? offset : (alignRight_ ? 0 : spare);
        }
    }

    paintBackground(x + marginLeft_, y + marginTop_, backgroundWidth_, backgroundHeight_, g);
    const int cx = x + marginLeft_ + borderWidth_ + paddingLeft_;
    const int cy = y + marginTop_ + borderWidth_ + paddingTop_;
    if (view_) {
        view_->paintContent(*this, cx, cy, contentLeft, contentRight, g);
    } else {
        paintContent(cx, cy, contentLeft, contentRight, g);
    }
}

void Item::paintPlaced(int parentX, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    const int x = parentX + relativeX_;
    if (isAlignedLayout(layout_)) {
        paint(x, y, x, x + itemWidth_, g, true);
    } else {
        paint(x, y, leftBorder, rightBorder, g, true);
    }
}

void Item::paintBackground(int x, int y, int w, int h, GraphicsContext& g) {
    if (background_) {
        const int b = borderWidth_;
        if (border_) {
            background_->paint(x + b, y + b, w - 2 * b, h - 2 * b, g);
        } else {
            background_->paint(x, y, w, h, g);
        }
    }
    if (border_) border_->paint(x, y, w, h, g);
}

void Item::paintContent(int /*x*/, int /*y*/, int /*leftBorder*/, int /*rightBorder*/,
                        GraphicsContext& /*g*/) {}

bool Item::animate() { return false; }
int Item::onTimer() { return 0; }

void Item::animateAll(DirtyRect& dirty) {
    if (label_) label_->animateAll(dirty);
    animateParts(dirty);
    if (!animate()) return;
    // Where it was last drawn, in screen pixels: its absolute position does
    // not follow the content's scrolling.
    const int left = std::min(lastPaintX_, lastPaintLeft_);
    const int right = std::max(lastPaintRight_, lastPaintX_ + itemWidth_);
    dirty.add(left, lastPaintY_, right - left, itemHeight_);
}

// --- geometry ----------------------------------------------------------------------

void Item::setInternalArea(int x, int y, int w, int h) {
    internalX_ = x;
    internalY_ = y;
    internalWidth_ = w;
    internalHeight_ = h;
}

int Item::getAbsoluteX() const {
    int x = relativeX_;
    if (label_ && labelBeside_ && !alignCentre_ && !alignRight_) x += contentX_;
    if (parent_ && parent_->label_.get() == this) x -= parent_->contentX_;
    for (const Item* a = parent_; a; a = a->parent_) x += a->contentX_ + a->relativeX_;
    return x;
}

int Item::getAbsoluteY() const {
    int y = relativeY_;
    if (parent_ && parent_->label_.get() == this) y -= parent_->contentY_;
    for (const Item* a = parent_; a; a = a->parent_) y += a->contentY_ + a->relativeY_;
    return y;
}

// The left margin is blank page, not the item. The row just below it and the
// column right of it are the next item's: two items side by side or stacked
// without a gap never share a pixel.
bool Item::isInItemArea(int x, int y) const {
    const int right = std::max({backgroundWidth_, itemWidth_, contentX_ + contentWidth_});
    return y >= 0 && y < itemHeight_ && x >= marginLeft_ && x < right;
}

bool Item::isInChildArea(int x, int y, const Item* child) const {
    return child && child->isInItemArea(x - child->relativeX_, y - child->relativeY_);
}

}  // namespace zq
