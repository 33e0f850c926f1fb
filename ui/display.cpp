#include "ui/display.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <thread>
#include <variant>

#include "platform/clock.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/displayable.h"
#include "ui/item.h"

namespace zq {

namespace {

std::atomic<Display*> liveDisplay{nullptr};

FontRef baseFont() { return getFont(screenMetrics().baseFontSize); }

// Off the Display's thread: runs `fn` on the UI thread, waits for it and
// returns true (nothing runs once the UI is gone). On it: false.
template <class F>
bool runElsewhere(std::thread::id displayThread, F&& fn) {
    if (std::this_thread::get_id() == displayThread) return false;
    try {
        runOnUiAndWait(std::forward<F>(fn));
    } catch (const UiClosedError&) {
    }
    return true;
}

// Clears a flag on every path out of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
};

}  // namespace

namespace {
constexpr uint32_t kAnimationPeriodMs = 100;
}  // namespace

Display::Display(Size clientSize) : clientSize_(clientSize) {
    Display* expected = nullptr;
    if (!liveDisplay.compare_exchange_strong(expected, this)) {
        std::fprintf(stderr, "zq: a second Display was created while one exists\n");
        std::abort();
    }
    createBackBuffer();
    ClientContext::current().setDisplayExists(true);
    // The current screen's animation step (text-field carets, multi-tap,
    // running bars). Without a UI executor there is none.
    animationTimer_ = startUiTimer(kAnimationPeriodMs, [this] {
        if (Displayable* current = getCurrent()) current->animate(tickCount());
    });
}

Display::~Display() {
    stopUiTimer(animationTimer_);
    ClientContext::current().setDisplayExists(false);
    liveDisplay.store(nullptr, std::memory_order_release);
}

Display* Display::getDisplay() { return liveDisplay.load(std::memory_order_acquire); }

void Display::setCurrent(Displayable* displayable, bool notify) {
    if (!displayable) return;
    if (runElsewhere(thread_, [&] { setCurrent(displayable, notify); })) return;
    Displayable* old = getCurrent();
    if (displayable != old) {
        if (old && notify) old->hideNotify();
        displayable->setPreviousDisplayable(old);
        current_.store(displayable, std::memory_order_release);
        // The current one is known before showNotify, so it can ask isShown.
        displayable->setDisplay(this);
        if (notify) displayable->showNotify();
    }
    displayable->setDisplay(this);
}

bool Display::isCurrent(const Displayable* displayable) const {
    return displayable && displayable == getCurrent();
}

void Display::forget(Displayable* displayable) {
    Displayable* expected = displayable;
    current_.compare_exchange_strong(expected, nullptr);
}

void Display::onInput(const InputEvent& event) {
    if (const auto* key = std::get_if<KeyDown>(&event)) {
        keyDown(key->code, key->repeatCount);
    } else if (const auto* up = std::get_if<KeyUp>(&event)) {
        keyUp(up->code);
    } else if (const auto* typed = std::get_if<CharInput>(&event)) {
        if (Displayable* current = getCurrent()) current->textTyped(CString(typed->text));
    } else if (const auto* down = std::get_if<PointerDown>(&event)) {
        if (Displayable* current = getCurrent()) current->pointerPressed(down->x, down->y);
    } else if (const auto* move = std::get_if<PointerMove>(&event)) {
        if (Displayable* current = getCurrent()) current->pointerDragged(move->x, move->y);
    } else if (const auto* release = std::get_if<PointerUp>(&event)) {
        if (Displayable* current = getCurrent()) current->pointerReleased(release->x, release->y);
    } else if (const auto* resize = std::get_if<Resize>(&event)) {
        RecursiveLock lock(paintLock_);
        clientSize_ = {std::max(resize->width, 0), std::max(resize->height, 0)};
        // Drawings kept for the old size are of no use.
        layer_.reset();
    }
}

void Display::keyDown(int keyCode, int repeatCount) {
    Displayable* current = getCurrent();
    if (!current) return;
    if (repeatCount < 2) {
        current->keyPressed(keyCode);
    } else {
        current->keyRepeated(keyCode);
    }
}

void Display::keyUp(int keyCode) {
    if (Displayable* current = getCurrent()) current->keyReleased(keyCode);
}

// --- the back buffer ------------------------------------------------------

void Display::createBackBuffer() {
    backBuffer_.resize(clientSize_.width, clientSize_.height);
    backDc_ = std::make_unique<DeviceContext>(backBuffer_);
    backDc_->selectFont(baseFont());
}

void Display::rebuildBackBuffer() {
    graphics_.reset();
    backDc_.reset();
    createBackBuffer();
    graphics_ = std::make_unique<GraphicsContext>();
    graphics_->init(clientSize_.width, clientSize_.height, backDc_.get());
}

void Display::ensureBackBuffer() {
    const bool sizeChanged =
        backBuffer_.width() != clientSize_.width || backBuffer_.height() != clientSize_.height;
    // The first paint replaces the buffer made at creation.
    if (!backBufferReady_ || !graphics_ || sizeChanged) rebuildBackBuffer();
    backBufferReady_ = true;
}

void Display::paintBackBuffer(const Rect* area) {
    Displayable* current = getCurrent();
    if (!current) return;
    ensureBackBuffer();
    {
        FlagScope painting(painting_);
        graphics_->reset();
        if (area) {
            graphics_->setClip(area->left, area->top, area->width(), area->height());
            backDc_->setClipRect(*area);
        }
        current->paint(*graphics_);
        graphics_->reset();
    }
    current->startTicker();
    // No clip set while painting survives into the next paint.
    backDc_->clearClip();
}

void Display::paint(Surface& window) {
    // One lock order: the shown screen's content lock, then the paint lock
    // (input handlers hold the first when they paint an item at once).
    Displayable* shown = getCurrent();
    std::unique_lock<RecursiveMutex> content;
    if (shown) content = std::unique_lock<RecursiveMutex>(shown->contentLock());
    RecursiveLock lock(paintLock_);
    if (window.width() != clientSize_.width || window.height() != clientSize_.height) {
        clientSize_ = {window.width(), window.height()};
    }
    if (!getCurrent()) return;
    paintBackBuffer();
    DeviceContext(window).blit(0, 0, clientSize_.width, clientSize_.height, backBuffer_, 0, 0);
}

void Display::showArea(const Rect& area) {
    if (!loop_ || area.isEmpty()) return;
    DeviceContext(loop_->backBuffer())
        .blit(area.left, area.top, area.width(), area.height(), backBuffer_, area.left, area.top);
    loop_->presentNow();
}

// --- repaints -------------------------------------------------------------

void Display::repaint() {
    if (runElsewhere(thread_, [this] { repaint(); })) return;
    // Painting again from inside a paint would nest without end; a screen
    // painted inside another's input handler would nest their locks.
    if (painting_ || (otherHasInput() && loop_)) {
        if (loop_) loop_->invalidate();
        return;
    }
    if (loop_) {
        loop_->repaintNow();
        return;
    }
    Displayable* shown = getCurrent();
    std::unique_lock<RecursiveMutex> content;
    if (shown) content = std::unique_lock<RecursiveMutex>(shown->contentLock());
    RecursiveLock lock(paintLock_);
    paintBackBuffer();
}

void Display::repaintLater() {
    if (runElsewhere(thread_, [this] { repaintLater(); })) return;
    if (loop_) {
        loop_->invalidate();
        return;
    }
    repaint();
}

void Display::repaintArea(const Rect& area) {
    if (runElsewhere(thread_, [this, area] { repaintArea(area); })) return;
    const bool sizeChanged =
        backBuffer_.width() != clientSize_.width || backBuffer_.height() != clientSize_.height;
    if (painting_ || otherHasInput() || !backBufferReady_ || !graphics_ || sizeChanged) {
        repaint();
        return;
    }
    const Rect box = area.intersected(clientRect());
    Displayable* shown = getCurrent();
    if (box.isEmpty() || !shown) return;
    std::unique_lock<RecursiveMutex> content(shown->contentLock());
    RecursiveLock lock(paintLock_);
    paintBackBuffer(&box);
    showArea(box);
}

void Display::paintItemNow(int x, int y, int w, int h, Item* item, const Rect* clip) {
    if (runElsewhere(thread_, [&] { paintItemNow(x, y, w, h, item, clip); })) return;
    RecursiveLock lock(paintLock_);
    if (!item || !graphics_ || !backDc_) return;
    {
        std::optional<ClipScope> scope;
        if (clip) scope.emplace(*graphics_, clip->left, clip->top, clip->width(), clip->height());
        item->paint(x, y, w, h, *graphics_, false);
    }
    // From (x, y) to the window's right and bottom edges, inside the window.
    Rect area{x, y, x + clientSize_.width, clientSize_.height};
    showArea(area.intersected(clientRect()));
}

void Display::repaintSoftKeysNow(Displayable* screen) {
    if (runElsewhere(thread_, [&] { repaintSoftKeysNow(screen); })) return;
    RecursiveLock lock(paintLock_);
    if (!screen || !graphics_) return;
    screen->paintLoadingBar(*graphics_);
    showArea(clientRect());
}

void Display::paintOverlayNow(int x, int y, OverlayPainter* overlay) {
    if (runElsewhere(thread_, [&] { paintOverlayNow(x, y, overlay); })) return;
    RecursiveLock lock(paintLock_);
    if (!overlay || !graphics_ || !backDc_) return;
    overlay->paint(x, y, *graphics_, 1);
    showArea(clientRect());
}

// --- the off-screen layer ---------------------------------------------------

int Display::getOffscreenLayer(int& generation, DeviceContext*& dc, GraphicsContext*& g,
                               Color background) {
    if (clientSize_.width <= 0 || clientSize_.height <= 0) {
        generation = -1;
        return -1;
    }
    if (!layer_) {
        layer_ = std::make_unique<Layer>();
        layer_->surface.resize(clientSize_.width, clientSize_.height);
        layer_->dc = std::make_unique<DeviceContext>(layer_->surface);
        layer_->dc->selectFont(baseFont());
        layer_->graphics = std::make_unique<GraphicsContext>();
        layer_->graphics->init(clientSize_.width, clientSize_.height, layer_->dc.get());
        ++layerGeneration_;
    }
    int result = 0;
    const bool stillMine =
        generation != -1 && static_cast<uint32_t>(generation) == layerGeneration_;
    if (!stillMine) {
        ++layerGeneration_;
        layer_->dc->fillRect(layer_->surface.bounds(), background);
        result = 1;
    }
    dc = layer_->dc.get();
    g = layer_->graphics.get();
    generation = static_cast<int>(layerGeneration_);
    return result;
}

// --- text measures ----------------------------------------------------------

int Display::getTextWidth(const CString& text, const Font* font) {
    if (!getDisplay()) return 0;
    if (font) return font->textWidth(text.view());
    return baseFont()->textWidth(text.view());
}

int Display::getTextHeight(const CString& /*text*/, const Font* font) {
    if (!getDisplay()) return 0;
    if (font) return font->height();
    return baseFont()->height();
}

int Display::getCharWidth(char16_t ch) { return getTextWidth(CString(ch)); }

}  // namespace zq
