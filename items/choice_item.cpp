#include "items/choice_item.h"

#include "platform/device_context.h"
#include "ui/graphics_context.h"
#include "ui/style.h"

namespace zq {
namespace {

// One horizontal run of the radio mark, relative to the mark's corner; the
// end column is not drawn.
struct MarkRun {
    int row;
    int from;
    int to;
};

constexpr MarkRun kDisc[] = {
    {2, 3, 8},  {3, 2, 9},  {4, 1, 10}, {5, 1, 10}, {6, 1, 10},
    {7, 1, 10}, {8, 1, 10}, {9, 2, 9},  {10, 3, 8},
};
// The disc less its rim: the rim is drawn as a ring, so that an option
// reads as one on a page of any colour, whatever the disc's colour.
constexpr MarkRun kInside[] = {
    {3, 3, 8}, {4, 2, 9}, {5, 2, 9}, {6, 2, 9}, {7, 2, 9}, {8, 2, 9}, {9, 3, 8},
};
constexpr MarkRun kDot[] = {
    {4, 4, 7}, {5, 3, 8}, {6, 3, 8}, {7, 3, 8}, {8, 4, 7},
};

void paintRuns(DeviceContext& dc, int x, int top, const MarkRun* runs, size_t count, Color c) {
    for (size_t i = 0; i < count; ++i) {
        const MarkRun& run = runs[i];
        dc.fillRect(Rect{x + run.from, top + run.row, x + run.to, top + run.row + 1}, c);
    }
}

}  // namespace

ChoiceItem::ChoiceItem(const CString& text, ImageRef image, int mode, Style* style)
    : IconItem(text, std::move(image), style),
      hasMark_(mode == kChoiceExclusive || mode == kChoiceMultiple),
      isCheck_(mode == kChoiceMultiple),
      kind_(mode) {
    appearanceMode_ = kAppearanceControl;
}

ChoiceItem::~ChoiceItem() = default;

void ChoiceItem::setStyle(Style* style) {
    IconItem::setStyle(style);
    if (choiceFont_) font_ = choiceFont_;
    if (!style) return;
    if (style->hasProperty(prop::kDiscColor)) {
        discColor_ = static_cast<Color>(style->getProperty(prop::kDiscColor));
    }
    if (style->hasProperty(prop::kDotColor)) {
        dotColor_ = static_cast<Color>(style->getProperty(prop::kDotColor));
    }
}

void ChoiceItem::setChoiceFont(FontRef font) {
    choiceFont_ = std::move(font);
    font_ = choiceFont_ ? choiceFont_ : (style_ ? style_->font : nullptr);
    requestInit();
}

FontRef ChoiceItem::getChoiceFont() const { return choiceFont_ ? choiceFont_ : font_; }

void ChoiceItem::initContent(int firstLineWidth, int lineWidth) {
    markTopOffset_ = 0;
    if (!hasMark_) {
        markWidth_ = 0;
        IconItem::initContent(firstLineWidth, lineWidth);
        return;
    }
    markWidth_ = paddingHorizontal_ + kMarkSize;
    IconItem::initContent(firstLineWidth - markWidth_, lineWidth - markWidth_);
    contentWidth_ += markWidth_;
    if (contentHeight_ < kMarkSize) {
        markTopOffset_ = kMarkSize - contentHeight_;
        contentHeight_ = kMarkSize;
    }
}

void ChoiceItem::paintCheck(DeviceContext& dc, int x, int top) const {
    const Pen previousPen = dc.selectPen(Pen{PenStyle::Solid, 1, outlineColor_});
    const Brush previousBrush = dc.selectBrush(Brush::solid(0xFFFFFF));
    dc.rectangle(Rect{x + 1, top + 1, x + 12, top + 12});
    dc.selectBrush(previousBrush);
    dc.selectPen(previousPen);
    if (selected_) dc.fillRect(Rect{x + 4, top + 4, x + 9, top + 9}, kCheckFill);
}

void ChoiceItem::paintRadio(DeviceContext& dc, int x, int top) const {
    paintRuns(dc, x, top, kDisc, std::size(kDisc), outlineColor_);
    paintRuns(dc, x, top, kInside, std::size(kInside), discColor_);
    if (selected_) paintRuns(dc, x, top, kDot, std::size(kDot), dotColor_);
}

void ChoiceItem::paintContent(int x, int y, int leftBorder, int rightBorder, GraphicsContext& g) {
    if (!hasMark_) {
        IconItem::paintContent(x, y, leftBorder, rightBorder, g);
        return;
    }
    if (DeviceContext* dc = g.getDC()) {
        // The mark sits on the middle of a line of the row's font.
        const int top = y + (getFontHeight() - kMarkSize) / 2;
        if (isCheck_) {
            paintCheck(*dc, x, top);
        } else {
            paintRadio(*dc, x, top);
        }
    }
    IconItem::paintContent(x + markWidth_, y + markTopOffset_, leftBorder + markWidth_, rightBorder,
                           g);
}

}  // namespace zq
