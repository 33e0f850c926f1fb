#include "items/grid_menu_item.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/device_context.h"
#include "ui/background.h"
#include "ui/display.h"
#include "ui/event.h"
#include "ui/graphics_context.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {
namespace {

constexpr int kKeyLeftSoft = 112;
// The command type of commands that act on the focused item.
constexpr int kKeyRightSoft = 113;
constexpr int kFrameWidth = 2;

struct GridRegistry {
    std::mutex mutex;
    std::map<CString, GridMenuItem*> grids;
};

GridRegistry& registry() {
    static GridRegistry instance;
    return instance;
}

// Shared by every grid: choosing it raises the focused cell's event.
const CommandRef& gridCommand() {
    static const CommandRef command =
        std::make_shared<Command>(CString(u"确定选择"), kCommandItem, 3);
    return command;
}

// Arrow keys that come from a digit ('2', '4', '6', '8') never move the grid.
bool fromDigit(int keyCode, int gameAction) {
    switch (gameAction) {
        case kGameUp:
            return keyCode == '2';
        case kGameLeft:
            return keyCode == '4';
        case kGameRight:
            return keyCode == '6';
        case kGameDown:
            return keyCode == '8';
        case kGameFire:
            return keyCode == '5';
        default:
            return false;
    }
}

bool isArrow(int gameAction) {
    return gameAction == kGameUp || gameAction == kGameDown || gameAction == kGameLeft ||
           gameAction == kGameRight;
}

}  // namespace

GridMenuItem* findGridMenu(const CString& name) {
    GridRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    auto found = r.grids.find(name);
    return found == r.grids.end() ? nullptr : found->second;
}

GridMenuItem::GridMenuItem(std::vector<ImageRef> images, std::vector<ImageRef> overlays,
                           const CString& name, Style* style)
    : Item(CString(), 0, kAppearanceControl, style),
      name_(name),
      images_(std::move(images)),
      overlays_(std::move(overlays)) {
    overlays_.resize(images_.size());
    addCommand(gridCommand());
    setItemCommandListener(this);
    // A grid with nothing to choose takes no focus: the keys pass it by.
    if (images_.empty()) setAppearanceMode(kAppearancePlain);
    GridRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    r.grids[name_] = this;
}

GridMenuItem::~GridMenuItem() {
    GridRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    auto found = r.grids.find(name_);
    if (found != r.grids.end() && found->second == this) r.grids.erase(found);
}

void GridMenuItem::setStyle(Style* style) {
    Item::setStyle(style);
    if (!style) return;
    if (const StyleIntValue* frame = style->getIntValueProperty(prop::kGridFrameColor)) {
        frameColor_ = static_cast<Color>(frame->value);
    }
}

void GridMenuItem::setImages(std::vector<ImageRef> images) {
    if (!images_.empty()) return;
    images_ = std::move(images);
    overlays_.resize(images_.size());
    if (!images_.empty() && isVisible()) setAppearanceMode(kAppearanceControl);
    imagesChanged_ = true;
    requestInit();
}

void GridMenuItem::setCellImages(const CString& cellNumber, ImageRef image, ImageRef overlay) {
    const std::string digits = cellNumber.toUtf8();
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9' || n > cellCount()) break;
        n = n * 10 + (c - '0');
    }
    --n;
    if (n < 0 || n >= cellCount()) return;
    if (image) images_[n] = std::move(image);
    overlays_[n] = std::move(overlay);
    imagesChanged_ = true;
}

void GridMenuItem::setSelectedIndex(int index) {
    focusedIndex_ = index >= 0 && index < cellCount() ? index : 0;
}

CString GridMenuItem::valueAt(int index) const {
    return index >= 0 && index < static_cast<int>(values_.size()) ? values_[index] : CString();
}

ImageRef GridMenuItem::imageAt(int index) const {
    return index >= 0 && index < cellCount() ? images_[index] : ImageRef();
}

ImageRef GridMenuItem::overlayAt(int index) const {
    return index >= 0 && index < cellCount() ? overlays_[index] : ImageRef();
}

int GridMenuItem::cellX(int column) const {
    return kHorizontalPadding + cellPadding_ +
           column * (cellImageWidth_ + 2 * (cellPadding_ + kHorizontalPadding));
}

int GridMenuItem::cellY(int row) const {
    return verticalPadding_ + cellPadding_ +
           row * (cellImageHeight_ + 2 * (cellPadding_ + verticalPadding_));
}

void GridMenuItem::initContent(int /*firstLineWidth*/, int lineWidth) {
    if (images_.empty()) {
        contentWidth_ = 0;
        contentHeight_ = 0;
        return;
    }
    cellImageWidth_ = cellImageHeight_ = 0;
    for (const ImageRef& image : images_) {
        if (!image) continue;
        cellImageWidth_ = image->width();
        cellImageHeight_ = image->height();
        break;
    }
    const int cellWidth = cellImageWidth_ + 2 * (cellPadding_ + kHorizontalPadding);
    columns_ = cellWidth > 0 ? std::max(1, lineWidth / cellWidth) : 1;
    rows_ = (cellCount() + columns_ - 1) / columns_;

    // A short grid is spread over the screen's height and a tall one squeezed.
    const int cellHeight = cellBoxHeight();
    int height = (cellHeight + 2 * kVerticalPadding) * rows_;
    verticalPadding_ = kVerticalPadding;
    if (auto* screen = dynamic_cast<Screen*>(getScreen()); screen && rows_ > 0) {
        const int d = (height - screen->usableHeight() + 4) / (2 * rows_);
        verticalPadding_ = std::max(0, kVerticalPadding - d - 1);
        height = (cellHeight + 2 * verticalPadding_) * rows_;
    }
    contentHeight_ = height;
    contentWidth_ = lineWidth;
    focusedColumn_ = focusedIndex_ % columns_;
    focusedRow_ = focusedIndex_ / columns_;
    imagesChanged_ = true;
}

void GridMenuItem::drawCell(DeviceContext& dc, int x, int y, int index) const {
    if (index < 0 || index >= cellCount()) return;
    const int px = x + cellX(index % columns_);
    const int py = y + cellY(index / columns_);
    if (const ImageRef& image = images_[index]) {
        dc.drawImageScaled(*image, Rect::fromSize(px, py, cellImageWidth_, cellImageHeight_));
    }
    if (const ImageRef& overlay = overlays_[index]) dc.drawImage(*overlay, px, py);
}

void GridMenuItem::paintContent(int x, int y, int /*leftBorder*/, int /*rightBorder*/,
                                GraphicsContext& g) {
    DeviceContext* dc = g.getDC();
    if (!dc || images_.empty()) return;
    // The layer holds the cells where they were drawn: any move, a new
    // layout or a new picture draws them again.
    if (x != paintedX_ || y != paintedY_ || imagesChanged_) {
        layerGeneration_ = -1;
        imagesChanged_ = false;
    }
    paintedX_ = x;
    paintedY_ = y;

    DeviceContext* layerDc = nullptr;
    GraphicsContext* layerGraphics = nullptr;
    // The layer is cleared to one colour and copied over the grid whole, so
    // only a grid with a flat background of its own may use it; any other
    // grid draws its cells straight, over what lies below.
    const auto* flat = dynamic_cast<const ColorBackground*>(getBackground());
    Display* display = flat ? Display::getDisplay() : nullptr;
    const int answer = display ? display->getOffscreenLayer(layerGeneration_, layerDc,
                                                            layerGraphics, flat->colour())
                               : -1;
    if (answer == 1 || answer == -1) {
        DeviceContext& target = answer == 1 ? *layerDc : *dc;
        for (int i = 0; i < cellCount(); ++i) drawCell(target, x, y, i);
    }
    // Only the grid's own rectangle comes back from the shared layer.
    if (answer != -1 && layerDc) {
        dc->blit(x, y, contentWidth_, contentHeight_, layerDc->surface(), x, y);
    }

    drawCell(*dc, x, y, focusedIndex_);
    const Pen previousPen = dc->selectPen(Pen{PenStyle::Solid, kFrameWidth, frameColor_});
    const Brush previousBrush = dc->selectBrush(Brush::hollow());
    dc->rectangle(Rect::fromSize(x + cellX(focusedIndex_ % columns_) - cellPadding_,
                                 y + cellY(focusedIndex_ / columns_) - cellPadding_, cellBoxWidth(),
                                 cellBoxHeight()));
    dc->selectBrush(previousBrush);
    dc->selectPen(previousPen);
}

bool GridMenuItem::moveFocus(int gameAction) {
    const int lastColumn = columns_ - 1;
    const int lastRow = std::max(0, rows_ - 1);
    int& column = focusedColumn_;
    int& row = focusedRow_;
    // DOWN where no cell lies below and UP from the top row leave the grid,
    // so the keys reach the items around it.
    if (gameAction == kGameDown && column + columns_ * (row + 1) >= cellCount()) return false;
    if (gameAction == kGameUp && row == 0) return false;
    switch (gameAction) {
        case kGameLeft:
            if (--column < 0) {
                column = lastColumn;
                if (--row < 0) row = lastRow;
            }
            break;
        case kGameRight:
            if (++column > lastColumn) {
                column = 0;
                if (++row > lastRow) row = 0;
            }
            break;
        case kGameDown:
            ++row;
            break;
        case kGameUp:
            --row;
            break;
        default:
            return false;
    }
    focusedIndex_ = column + columns_ * row;
    if ((gameAction == kGameLeft || gameAction == kGameUp) && focusedIndex_ >= cellCount()) {
        focusedIndex_ = cellCount() - 1;
        column = focusedIndex_ % columns_;
        row = focusedIndex_ / columns_;
    }
    return true;
}

void GridMenuItem::updateFocusArea() {
    if (focusedIndex_ >= cellCount()) focusedIndex_ = focusedColumn_ = focusedRow_ = 0;
    setInternalArea(contentX_ + cellX(focusedColumn_) - cellPadding_,
                    contentY_ + cellY(focusedRow_) - cellPadding_, cellBoxWidth(), cellBoxHeight());
}

bool GridMenuItem::keyPressed(int keyCode, int gameAction) {
    if (keyCode == kKeyLeftSoft || keyCode == kKeyRightSoft) return false;
    bool handled = false;
    if (isArrow(gameAction) && !fromDigit(keyCode, gameAction)) {
        handled = cellCount() > 0 && moveFocus(gameAction);
    } else if (gameAction == kGameFire && !fromDigit(keyCode, gameAction)) {
        selectPressed();
        handled = true;
    } else {
        handled = Item::keyPressed(keyCode, gameAction);
    }
    if (cellCount() > 0) updateFocusArea();
    return handled;
}

bool GridMenuItem::keyReleased(int keyCode, int gameAction) {
    if (keyCode == kKeyLeftSoft || keyCode == kKeyRightSoft) {
        Item::keyReleased(keyCode, gameAction);
        return false;
    }
    if (isArrow(gameAction) && !fromDigit(keyCode, gameAction)) return false;
    if (gameAction == kGameFire && !fromDigit(keyCode, gameAction) && isFocused()) {
        selectReleased();
        raiseCellEvent();
        return true;
    }
    return Item::keyReleased(keyCode, gameAction);
}

void GridMenuItem::raiseCellEvent() {
    if (!listener_ || cellCount() == 0) return;
    listener_->onEvent(
        std::make_unique<Event>(name_, CString(u"List"), valueAt(focusedIndex_), this));
}

void GridMenuItem::commandAction(Command* command, Item* /*item*/) {
    if (command && command == gridCommand().get()) raiseCellEvent();
}

int GridMenuItem::columnAt(int x) const {
    int x0 = kHorizontalPadding + leftOffset_;
    for (int c = 0; c < columns_; ++c) {
        if (x >= x0 && x <= x0 + cellBoxWidth()) return c;
        x0 += 2 * kHorizontalPadding + cellBoxWidth();
    }
    return -1;
}

int GridMenuItem::rowAt(int y) const {
    int y0 = verticalPadding_ + topOffset_;
    for (int r = 0; r < rows_; ++r) {
        if (y >= y0 && y <= y0 + cellBoxHeight()) return r;
        y0 += 2 * verticalPadding_ + cellBoxHeight();
    }
    return -1;
}

bool GridMenuItem::pointerPressed(int x, int y) {
    if (!isInItemArea(x, y)) return false;
    const int column = columnAt(x - contentX_);
    const int row = rowAt(y - contentY_);
    if (column < 0 || row < 0) return false;
    const int index = column + columns_ * row;
    if (index >= cellCount()) return false;
    focusedIndex_ = index;
    focusedColumn_ = pressedColumn_ = column;
    focusedRow_ = pressedRow_ = row;
    return keyPressed(-1, kGameFire);
}

bool GridMenuItem::pointerReleased(int x, int y) {
    if (!isInItemArea(x, y)) return false;
    const int column = columnAt(x - contentX_);
    const int row = rowAt(y - contentY_);
    if (column < 0 || row < 0 || column != pressedColumn_ || row != pressedRow_) return false;
    pressedColumn_ = pressedRow_ = -1;
    return keyReleased(-1, kGameFire);
}

}  // namespace zq
