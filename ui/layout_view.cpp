#include "ui/layout_view.h"

#include <algorithm>
#include <numeric>

#include "core/string_utils.h"
#include "ui/container.h"
#include "ui/graphics_context.h"
#include "ui/item.h"
#include "ui/style.h"

namespace zq {
namespace {

// Keypad digits that carry the arrow actions; they stay free for text entry.
constexpr int kDigitTwo = '2';
constexpr int kDigitFour = '4';
constexpr int kDigitSix = '6';
constexpr int kDigitEight = '8';

// Both spans half-open.
bool spansMeet(int a, int aLength, int b, int bLength) {
    return a < b + bLength && b < a + aLength;
}

}  // namespace

// --- ContainerView -------------------------------------------------------------------------------

ContainerView::~ContainerView() = default;

std::unique_ptr<ItemView> ContainerView::getNewInstance() const {
    return std::make_unique<ContainerView>();
}

void ContainerView::setStyle(Style* style) {
    ItemView::setStyle(style);
    if (!style || !style->hasProperty(prop::kColumnCount)) return;
    columnCount_ = std::max(1, static_cast<int>(style->getProperty(prop::kColumnCount)));
    columnMode_ = ColumnMode::Normal;
    const CString widths = style->getStringProperty(prop::kColumnWidths);
    if (widths == CString(u"equal")) {
        columnMode_ = ColumnMode::Equal;
    } else if (widths == CString(u"normal") || widths.isEmpty()) {
        columnMode_ = ColumnMode::Normal;
    } else {
        const StringArray parts = splitString(widths, u',');
        if (static_cast<int>(parts.size()) == columnCount_) {
            explicitWidths_.clear();
            for (const CString& part : parts) explicitWidths_.push_back(std::max(0, part.toInt()));
            columnMode_ = ColumnMode::Explicit;
        }
    }
}

void ContainerView::forgetFocus() { focusedIndex_ = -1; }

void ContainerView::setFocusedStyle(Style* style) {
    focusedStyle_ = style;
    focusedStyleActive_ = style != nullptr;
}

Style* ContainerView::focusItem(int index, Item* item, int direction, Style* focusedStyle) {
    focusedIndex_ = index;
    return item->focus(focusedStyle, direction);
}

void ContainerView::requestFocus(int index, Item* item) {
    if (!container_ || !item) return;
    int direction = 0;
    if (index > focusedIndex_) direction = 6;
    if (index < focusedIndex_) direction = 1;
    container_->focusChild(index, item, direction);
}

void ContainerView::takeContainerState(Container& container) {
    container_ = &container;
    focusedIndex_ = container.getFocusedIndex();
    allowCycle_ = container.getAllowCycle();
    const Container* parent = asContainerItem(container.getParent());
    if (parent && parent->size() > 1) allowCycle_ = false;
}

int ContainerView::appearanceFor(const Container& container) {
    for (const auto& child : container.children()) {
        if (child->isInteractive()) return kAppearanceControl;
    }
    return kAppearancePlain;
}

bool ContainerView::meetsClip(const Item& child, int x, int y, const GraphicsContext& g) {
    const int clipX = g.getClipX();
    const int clipY = g.getClipY();
    const bool vertical =
        spansMeet(y, child.itemHeight(), clipY, g.getClipHeight()) ||
        (child.hasInternalArea() && spansMeet(y + child.contentY() + child.internalY(),
                                              child.internalHeight(), clipY, g.getClipHeight()));
    return vertical && spansMeet(x, child.itemWidth(), clipX, g.getClipWidth());
}

void ContainerView::initContent(Container& container, int firstLineWidth, int lineWidth) {
    takeContainerState(container);
    if (columnMode_ == ColumnMode::None || container.size() < 2) {
        layoutSingleColumn(container, firstLineWidth, lineWidth);
    } else {
        layoutGrid(container, lineWidth);
    }
    container.setAppearanceMode(appearanceFor(container));
}

void ContainerView::layoutSingleColumn(Container& container, int firstLineWidth, int lineWidth) {
    horizontalMoves_ = false;
    verticalMoves_ = true;
    rowCount_ = container.size();
    columnWidths_.clear();
    const bool shrink = (container.getLayout() & kLayoutShrink) != 0;
    Item* focused = container.getFocusedItem();
    int y = 0;
    int width = 0;
    for (const auto& owned : container.children()) {
        Item* child = owned.get();
        int w = child->getItemWidth(firstLineWidth, lineWidth);
        child->setRelativePosition(alignedOffset(child->getLayout(), lineWidth, w), y);
        y += child->itemHeight() + gapVertical_;
        if (shrink && child == focused) w = 0;
        // An aligned child holds the line it is aligned in.
        width = std::max(width, isAlignedLayout(child->getLayout()) ? lineWidth : w);
    }
    if (shrink && focused) {
        const uint32_t flags = focused->getLayout();
        focused->setLayout(flags & ~kLayoutExpand);
        width = std::max(width, focused->getItemWidth(firstLineWidth, lineWidth));
        focused->setLayout(flags);
    }
    contentWidth_ = width;
    contentHeight_ = y;
}

void ContainerView::layoutGrid(Container& container, int lineWidth) {
    const auto& kids = container.children();
    const int n = static_cast<int>(kids.size());
    const int cols = std::max(1, columnCount_);
    const int available = std::max(0, lineWidth - (cols - 1) * gapHorizontal_);
    horizontalMoves_ = true;
    rowCount_ = (n + cols - 1) / cols;

    // 1. Starting widths by mode; every child measured at its column's.
    switch (columnMode_) {
        case ColumnMode::Equal:
            columnWidths_.assign(cols, available / cols);
            break;
        case ColumnMode::Explicit:
            columnWidths_ = explicitWidths_;
            break;
        default:
            columnWidths_.assign(cols, available);
            break;
    }
    columnWidths_.resize(cols, 0);
    for (int i = 0; i < n; ++i) kids[i]->init(columnWidths_[i % cols], columnWidths_[i % cols]);

    // 2. Columns fitted to their children.
    if (columnMode_ == ColumnMode::Equal && !(layout_ & kLayoutExpand)) {
        int widest = 0;
        for (const auto& child : kids) widest = std::max(widest, child->itemWidth());
        columnWidths_.assign(cols, widest);
    } else if (columnMode_ == ColumnMode::Normal) {
        std::vector<int> natural(cols, 0);
        for (int i = 0; i < n; ++i)
            natural[i % cols] = std::max(natural[i % cols], kids[i]->itemWidth());
        columnWidths_ = natural;
        const int sum = std::accumulate(natural.begin(), natural.end(), 0);
        if (sum > available) {
            // The narrow columns keep their width; the wide ones share the rest.
            const int fair = available / cols;
            int narrowSum = 0;
            int wideCount = 0;
            for (int w : natural) {
                if (w <= fair) {
                    narrowSum += w;
                } else {
                    ++wideCount;
                }
            }
            const int share = std::max(0, (available - narrowSum) / std::max(1, wideCount));
            for (int c = 0; c < cols; ++c) {
                if (natural[c] > fair) columnWidths_[c] = share;
            }
            for (int i = 0; i < n; ++i) {
                const int c = i % cols;
                if (natural[c] > fair && kids[i]->itemWidth() > share) kids[i]->init(share, share);
            }
        }
    }

    // 3. Rows, then the columns' left edges.
    contentHeight_ = placeRows(container);
    contentWidth_ =
        std::accumulate(columnWidths_.begin(), columnWidths_.end(), 0) + cols * gapHorizontal_;
    verticalMoves_ = rowCount_ >= 2;
}

int ContainerView::placeRows(Container& container) {
    const auto& kids = container.children();
    const int n = static_cast<int>(kids.size());
    const int cols = static_cast<int>(columnWidths_.size());
    int top = 0;
    int height = 0;
    for (int rowStart = 0; rowStart < n; rowStart += cols) {
        const int rowEnd = std::min(n, rowStart + cols);
        int rowHeight = 0;
        int x = 0;
        for (int i = rowStart; i < rowEnd; ++i) {
            const int column = columnWidths_[i - rowStart];
            kids[i]->setRelativePosition(
                x + alignedOffset(kids[i]->getLayout(), column, kids[i]->itemWidth()), top);
            x += columnWidths_[i - rowStart] + gapHorizontal_;
            rowHeight = std::max(rowHeight, kids[i]->itemHeight());
        }
        if (rowEnd - rowStart == cols) {
            top += rowHeight + gapVertical_;
            height = top;
        } else {
            height = top + rowHeight;
        }
    }
    return height;
}

void ContainerView::paintChildren(Container& container, int x, int y, int leftBorder,
                                  int rightBorder, GraphicsContext& g) {
    const auto& kids = container.children();
    const int cols = static_cast<int>(columnWidths_.size());
    const bool grid = horizontalMoves_ && cols > 0;
    Item* focused = container.getFocusedItem();
    auto paintOne = [&](int i) {
        Item* child = kids[i].get();
        const int cx = x + child->relativeX();
        const int cy = y + child->relativeY();
        const int left = grid ? cx : leftBorder;
        const int right = grid ? cx + columnWidths_[i % cols] : rightBorder;
        const bool meets = child->isVisible() && meetsClip(*child, cx, cy, g);
        child->setOnScreen(meets);
        if (meets) child->paintPlaced(x, cy, left, right, g);
    };
    int focusedIndex = -1;
    for (int i = 0; i < static_cast<int>(kids.size()); ++i) {
        if (kids[i].get() == focused) {
            focusedIndex = i;
        } else {
            paintOne(i);
        }
    }
    if (focusedIndex >= 0) paintOne(focusedIndex);
}

bool ContainerView::handleNavigation(int keyCode, int gameAction) {
    if (!container_) return false;
    const int n = container_->size();
    int step;
    if (gameAction == kGameRight && keyCode != kDigitSix) {
        if (!horizontalMoves_) return false;
        step = 1;
    } else if (gameAction == kGameLeft && keyCode != kDigitFour) {
        if (!horizontalMoves_) return false;
        step = -1;
    } else if (gameAction == kGameDown && keyCode != kDigitEight) {
        if (!verticalMoves_) return false;
        step = columnMode_ == ColumnMode::None ? 1 : columnCount_;
    } else if (gameAction == kGameUp && keyCode != kDigitTwo) {
        if (!verticalMoves_) return false;
        step = columnMode_ == ColumnMode::None ? -1 : -columnCount_;
    } else {
        return false;
    }
    if (n == 0) return false;

    // 1. The first candidate; past an end only when the focus may wrap.
    const int current = container_->getFocusedIndex();
    int wrapsLeft = allowCycle_ ? 1 : 0;
    int i = current < 0 ? (step > 0 ? 0 : n - 1) : current + step;
    if (i < 0 || i >= n) {
        if (wrapsLeft-- == 0) return false;
        i = ((i % n) + n) % n;
    }
    // 2. On one child at a time until an interactive one.
    const int direction = step > 0 ? 1 : -1;
    for (int tries = 0; tries < 2 * n; ++tries) {
        Item* child = container_->getItem(i);
        if (i == current) return false;
        if (child && child->isVisible() && child->isInteractive()) {
            focusedIndex_ = current;
            requestFocus(i, child);
            return true;
        }
        i += direction;
        if (i < 0 || i >= n) {
            if (wrapsLeft-- == 0) return false;
            i = direction > 0 ? 0 : n - 1;
        }
    }
    return false;
}

// --- MIDP2LayoutView
// ---------------------------------------------------------------------------------

MIDP2LayoutView::~MIDP2LayoutView() = default;

std::unique_ptr<ItemView> MIDP2LayoutView::getNewInstance() const {
    return std::make_unique<MIDP2LayoutView>();
}

void MIDP2LayoutView::initContent(Container& container, int /*firstLineWidth*/, int lineWidth) {
    takeContainerState(container);
    horizontalMoves_ = false;
    verticalMoves_ = true;
    rowWidth_ = rowHeight_ = nextRowY_ = 0;
    contentWidth_ = contentHeight_ = 0;
    rows_.clear();
    currentRow_.clear();
    for (int i = 0; i < container.size(); ++i) placeChild(container, i, lineWidth);
    closeRow(container, 0, lineWidth);
    rowCount_ = static_cast<int>(rows_.size());
    container.setAppearanceMode(appearanceFor(container));
    const uint32_t flags = container.getLayout();
    paintFromRight_ = (flags & kLayoutRight) && (flags & kLayoutExpand);
}

void MIDP2LayoutView::placeChild(Container& container, int index, int lineWidth) {
    Item* child = container.getItem(index);
    if (!child || !child->isVisible()) return;
    // 1. The first focus goes to the first interactive child, before it is
    // measured, so that its focused look is what is measured.
    if (container.isFocusFirstPending() && child->isInteractive()) {
        container.setFocusFirst(false);
        container.focusChild(index, child, 0);
    }
    // 2. An expanding child is measured at its natural width.
    const uint32_t flags = child->getLayout();
    int width;
    if (flags & kLayoutExpand) {
        child->setLayout(flags & ~kLayoutExpand);
        width = child->getItemWidth(lineWidth, lineWidth);
        child->setLayout(flags);
    } else {
        width = child->getItemWidth(lineWidth, lineWidth);
    }
    const int height = child->itemHeight();
    // 3. A line break before, or no room left.
    if ((flags & kLayoutNewLineBefore) || rowWidth_ + gapHorizontal_ + width > lineWidth) {
        closeRow(container, flags, lineWidth);
    }
    // 4. Join the row.
    if (currentRow_.empty()) {
        rowWidth_ = width;
        rowHeight_ = height;
    } else {
        rowWidth_ += width + gapHorizontal_;
        rowHeight_ = std::max(rowHeight_, height);
    }
    currentRow_.push_back(index);
    // 5. A line break after, or a child that fills the rest of the line.
    if (flags & (kLayoutNewLineAfter | kLayoutExpand)) closeRow(container, flags, lineWidth);
}

void MIDP2LayoutView::closeRow(Container& container, uint32_t flags, int lineWidth) {
    if (currentRow_.empty()) return;
    // 1.
    const int rowY = nextRowY_;
    nextRowY_ += rowHeight_ + gapVertical_;
    // 2. Expanding children take the spare width (never less than nothing).
    const int stretch = std::max(0, lineWidth - rowWidth_);
    int used = 0;
    for (size_t k = 0; k < currentRow_.size(); ++k) {
        Item* child = container.getItem(currentRow_[k]);
        if (child->getLayout() & kLayoutExpand) {
            const int w = child->itemWidth() + stretch;
            child->init(w, w);
        }
        used += child->itemWidth() + (k == 0 ? 0 : gapHorizontal_);
    }
    // 3. Aligned by the flags of the row's closer.
    const int spare = std::max(0, lineWidth - used);
    int x = 0;
    if (flags & kLayoutCenter) {
        x = spare / 2;
    } else if (flags & kLayoutRight) {
        x = spare;
    }
    const int y = (flags & kLayoutNoRowGap) ? contentHeight_ : rowY;
    int rightEnd = 0;
    for (int index : currentRow_) {
        Item* child = container.getItem(index);
        child->setRelativePosition(x, y);
        rightEnd = x + child->itemWidth();
        x = rightEnd + gapHorizontal_;
    }
    // 4.
    contentHeight_ += rowHeight_ + (rows_.empty() ? 0 : gapVertical_);
    contentWidth_ = std::max(contentWidth_, rightEnd);
    rows_.push_back(std::move(currentRow_));
    currentRow_.clear();
    rowWidth_ = 0;
    rowHeight_ = 0;
}

void MIDP2LayoutView::paintChildren(Container& container, int x, int y, int leftBorder,
                                    int rightBorder, GraphicsContext& g) {
    const int originX = paintFromRight_ ? rightBorder - contentWidth_ : x;
    Item* focused = container.getFocusedItem();
    auto paintOne = [&](Item* child) {
        const int cx = originX + child->relativeX();
        const int cy = y + child->relativeY();
        const int left = std::max(leftBorder, cx);
        const int right = std::min(rightBorder, cx + child->itemWidth());
        const bool meets = child->isVisible() && meetsClip(*child, cx, cy, g);
        child->setOnScreen(meets);
        if (meets) child->paint(cx, cy, left, right, g, true);
    };
    bool focusedInRows = false;
    for (const auto& row : rows_) {
        for (int index : row) {
            Item* child = container.getItem(index);
            if (!child) continue;
            if (child == focused) {
                focusedInRows = true;
            } else {
                paintOne(child);
            }
        }
    }
    if (focusedInRows) paintOne(focused);
}

}  // namespace zq
