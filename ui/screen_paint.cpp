// Screen: the paint (layout pending first, then the frame, the overlays and
// the soft-key bar), loading, and being shown and hidden.
#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/clock.h"
#include "platform/device_context.h"
#include "platform/threading.h"
#include "ui/background.h"
#include "ui/border.h"
#include "ui/client_context.h"
#include "ui/code_input_pad.h"
#include "ui/command_item.h"
#include "ui/container.h"
#include "ui/display.h"
#include "ui/empty_container.h"
#include "ui/event.h"
#include "ui/font_cache.h"
#include "ui/graphics_context.h"
#include "ui/image_cache.h"
#include "ui/listeners.h"
#include "ui/screen.h"
#include "ui/screen_paint_support.h"
#include "ui/scroll_bar.h"
#include "ui/soft_keyboard.h"

namespace zq {

using screen_paint::FunctionOverlay;
using screen_paint::TextScope;

// --- the paint ---------------------------------------------------------------------

void Screen::paint(GraphicsContext& g) {
    // Whatever layout is pending runs before anything is drawn (the page,
    // the command row, then the open menu): painting itself never lays
    // out. A screen without a size paints nothing.
    lastGraphics_ = &g;
    const uint32_t paintStart = tickCount();
    if (!layoutValid_) {
        if (getWidth() <= 0 || getHeight() <= 0) return;
        applySize(getWidth(), getHeight());
    } else if (relayoutNeeded_ || (getContent() && !getContent()->isInitialised())) {
        layout(0, 0, width_, usableHeight_);
    }
    softKeys_.layoutRow(width_);

    // Input and the ticker wait until the frame is painted.
    RecursiveLock lock(contentLock());
    // The new layout keeps the focus on a control the user sees.
    content_.settleFocus(ScreenContent::ViewMove::None);
    softKeys_.layoutMenu();
    paintFrame(g);
    painter_.paintTipBox(g, tipText_, usableHeight_, width_, fullHeight_);
    paintSoftKeyboard(g);
    softKeys_.paintMenu(g);
    if (softKeyBarShown_ || softKeys_.isMenuOpen()) softKeys_.paint(g);
    if (isLoading()) softKeys_.paintLoadingBar(g, loading_);
    ScreenPainter::paintTimingOverlay(g, paintStart, width_);
    // The code pad stands over the menu and the bar.
    paintCodeInputPad(g);
    paintPressedItem(g);
    ++paintCount_;
}

void Screen::paintPressedItem(GraphicsContext& g) {
    // A press that one paint has shown is drawn once more, over everything,
    // by the next; the pen's lift then finds nothing left to redraw.
    Item* item = getPressedItem();
    if (!item || paintCount_ == pressedAtPaint_) return;
    pressedItem_.reset();
    std::optional<ClipScope> clip;
    if (const Rect* viewport = viewportOf(*item)) {
        clip.emplace(g, viewport->left, viewport->top, viewport->width(), viewport->height());
    }
    item->paint(item->getLastPaintX(), item->getLastPaintY(), item->getLastPaintLeft(),
                item->getLastPaintRight(), g, false);
}

void Screen::paintFrame(GraphicsContext& g) {
    const Rect frame = pageFrame();
    painter_.paintBackground(g, frame);
    // The header text is the main window's caption.
    if (!headerText_.isEmpty()) {
        if (ScreenShell* shell = screenShell()) shell->setMainCaption(headerText_);
    }
    // Header item.
    if (headerItem_) {
        headerItem_->setRelativePosition(frame.left, frame.top);
        headerItem_->paint(frame.left, frame.top, frame.left, frame.right, g, true);
    }
    // The loading animation.
    if (isLoading() && loading_.image()) {
        if (DeviceContext* dc = g.getDC()) dc->drawImage(*loading_.image(), 0, 0);
    }
    // Content.
    paintContent(g);
    // Marquee.
    if (marquee_) {
        marquee_->paint(marqueeRect_.left, marqueeRect_.top, marqueeRect_.left, marqueeRect_.right,
                        g, true);
    }
    content_.paintScrollBar(g);
    painter_.paintBorder(g, frame);
}

void Screen::paintContent(GraphicsContext& g) { content_.paint(g); }

Rect Screen::pageFrame() const {
    const int border = borderWidth();
    int x = marginLeft_ + border;
    int y = marginTop_ + border;
    const int innerWidth = width_ - marginLeft_ - marginRight_ - 2 * border;
    int width = innerWidth;
    int height = displayAreaHeight_ - marginBottom_ - softKeyBarHeight_ - marginTop_ - 2 * border -
                 getStatusLineHeight();
    if (getContent() && content_.fitsWidth()) {
        width = getContent()->itemWidth();
        if (content_.alignsRight()) {
            x += innerWidth - width;
        } else if (content_.alignsCentre()) {
            x += (innerWidth - width) / 2;
        }
    }
    if (getContent() && content_.fitsHeight()) {
        height = std::min(content_.height(), contentRect().height());
        if (content_.alignsBottom()) {
            y = usableHeight_ - marginBottom_ - height - 1;
        } else if (content_.alignsVCentre()) {
            y = (usableHeight_ - marginTop_ - marginBottom_ - height) / 2;
        }
    }
    return Rect::fromSize(x, y, std::max(width, 0), std::max(height, 0));
}

void Screen::paintSoftKeyboard(GraphicsContext& g) {
    if (!softKeyboard_ || !softKeyboard_->isVisible()) return;
    // Below the caret line of the field being typed into while that lies in
    // the upper half, else at the top; without a focused field, on the bar.
    int y = usableHeight_;
    int above = 1;
    KeyboardTarget* field = getKeyboardTarget();
    if (field && field->keyboardItem().isFocused()) {
        const int fieldY = field->keyboardItem().getLastPaintY();
        const int lineTop = field->caretLineTop();
        const int lineHeight = field->caretLineHeight();
        above = 0;
        y = lineTop + lineHeight / 2 + fieldY <= usableHeight_ / 2 ? fieldY + lineTop + lineHeight
                                                                   : 0;
    }
    softKeyboard_->paint(y, width_, g, above);
}

void Screen::paintCodeInputPad(GraphicsContext& g) {
    if (codeInputPad_ && codeInputPad_->isVisible())
        codeInputPad_->paint(usableHeight_, width_, g, 0);
}

void Screen::redrawSoftKeyBarNow() {
    Display* display = getDisplay();
    if (!display || !isShown() || width_ <= 0) return;
    // An unfilled or hidden bar shows the page beneath: only a paint of the
    // whole screen puts that back.
    if (!softKeyBarShown_ || !softKeys_.fillsBar()) {
        repaint();
        return;
    }
    FunctionOverlay overlay([this](GraphicsContext& g) {
        softKeys_.paint(g);
        paintCodeInputPad(g);
    });
    display->paintOverlayNow(0, 0, &overlay);
}

// --- loading -------------------------------------------------------------------------

void Screen::startLoading(bool blockInput, bool cancelAllowed, int requestId,
                          std::function<void()> onCancel) {
    loading_.start(blockInput, cancelAllowed, requestId, std::move(onCancel));
    addLoadingProgress(2, requestId);
}

void Screen::addLoadingProgress(int delta, int requestId) {
    if (loading_.addProgress(delta, requestId)) repaintLoadingBar();
}

void Screen::setLoadingProgress(int percent, int requestId) {
    if (loading_.setProgress(percent, requestId)) repaintLoadingBar();
}

void Screen::repaintLoadingBar() {
    Display* display = getDisplay();
    if (display && isShown()) display->repaintSoftKeysNow(this);
}

bool Screen::stopLoading(int requestId) {
    if (!loading_.stop(requestId)) return false;
    // The progress fill and the cancel mark go with the load.
    redrawSoftKeyBarNow();
    return true;
}

void Screen::cancelLoading() {
    // The action may belong to a page that the cancel takes away.
    std::function<void()> action = loading_.takeCancelAction();
    stopLoading(LoadingState::kAnyRequest);
    if (action) action();
}

void Screen::paintLoadingBar(GraphicsContext& g) {
    softKeys_.paintLoadingBar(g, loading_);
    paintCodeInputPad(g);
}

// --- shown and hidden ------------------------------------------------------------------

void Screen::showNotify() {
    softKeys_.dropPictures();
    softKeys_.invalidateMenuLayout();
    if (eventListener_ && !getTitle().isEmpty()) {
        eventListener_->onEvent(std::make_unique<FormEvent>(CString(u"Form"), getTitle()));
    }
    // Every item's state change now reaches the shown screen.
    ClientContext::current().setStateChangeScreen(this);
    // Shown again by the shell that showed it last: nothing changes.
    if (recordedCurrentScreen() == this && isShown()) return;
    tipText_.clear();
    loading_.clear();
    if (marquee_) marquee_->showNotify();
    if (!layoutValid_) {
        const Rect area = displayArea();
        setBounds(Rect::fromSize(getBounds().left, getBounds().top, area.width(), area.height()));
        applySize(area.width(), area.height());
    }
    if (getContent()) {
        getContent()->showNotify();
        // Styles applied on showing change sizes: lay out before painting.
        if (layoutValid_ && !getContent()->isInitialised()) relayoutNeeded_ = true;
    }
}

void Screen::hideNotify() {
    ClientContext& context = ClientContext::current();
    context.forgetRecordedScreen(this);
    if (context.stateChangeScreen() == this) context.setStateChangeScreen(nullptr);
    if (marquee_) marquee_->hideNotify();
    stopTicker();
    if (getContent()) getContent()->hideNotify();
    loading_.clear();
    pressedItem_.reset();
    if (ScreenShell* shell = screenShell()) shell->clearPendingRequests();
}

}  // namespace zq
