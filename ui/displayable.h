// Displayable: what the Display can show; Canvas: a displayable with the
// paint and input interface and the repaint requests items use.
//
// Screens (and their subclasses) derive from Canvas. A displayable is built
// by whoever builds the page, made current through Display::setCurrent and
// destroyed by its owner (the page history). It does not own its Display.
//
// Threads: everything here is for the UI thread, except isShown, the two
// locks and the repaint requests, which other threads may call (a repaint
// from a worker waits until the UI thread has painted, so a worker may ask
// only when the UI thread can never be waiting for it).
#pragma once

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"
#include "platform/threading.h"
#include "ui/weak_ref.h"

namespace zq {

class Command;
class Display;
class GraphicsContext;
class Item;

class Displayable {
public:
    Displayable() = default;
    // Deletes the adopted objects first to last; a displayable that is still
    // current on the live Display stops being current.
    virtual ~Displayable();
    Displayable(const Displayable&) = delete;
    Displayable& operator=(const Displayable&) = delete;

    // Set by Display::setCurrent on every call.
    void setDisplay(Display* display) { display_.store(display, std::memory_order_release); }
    Display* getDisplay() const { return display_.load(std::memory_order_acquire); }
    // False without a Display; else whether the Display shows this one now.
    // Any thread.
    bool isShown() const;

    // Bounds in screen pixels (half-open); all 0 until set.
    const Rect& getBounds() const { return bounds_; }
    void setBounds(const Rect& bounds) { bounds_ = bounds; }
    int getWidth() const { return bounds_.width(); }
    int getHeight() const { return bounds_.height(); }

    const CString& getTitle() const { return title_; }
    void setTitle(const CString& title) { title_ = title; }

    // The displayable that was current when this one was made current (set
    // by setCurrent, also without notification); not owned, and null once
    // it is destroyed.
    Displayable* getPreviousDisplayable() const { return previous_.get(); }
    void setPreviousDisplayable(Displayable* previous) { previous_ = refTo(previous); }

    // A reference that reads null once the displayable is destroyed.
    WeakRef<Displayable> weakRef() { return WeakRef<Displayable>(this, &life_); }
    static WeakRef<Displayable> refTo(Displayable* displayable) {
        return displayable ? displayable->weakRef() : WeakRef<Displayable>();
    }

    // Held while the screen paints and handles input (content) and while
    // the soft-key bar is painted (soft keys). Re-entrant; any thread. A
    // screen that paints another under itself shares that one's content
    // lock, so that both are taken before the paint lock, in one order.
    virtual RecursiveMutex& contentLock() { return contentLock_; }
    RecursiveMutex& softKeyLock() { return softKeyLock_; }

    // Keeps `object` until the displayable is destroyed; returns it.
    template <class T>
    T* adopt(std::unique_ptr<T> object) {
        T* raw = object.get();
        if (raw) owned_.push_back(std::make_unique<Owned<T>>(std::move(object)));
        return raw;
    }

    // --- what the Display calls --------------------------------------------
    // Paints the whole displayable into the back buffer.
    virtual void paint(GraphicsContext& g) = 0;
    virtual void paintContent(GraphicsContext& g) = 0;
    // Key codes of platform/window.h; a held key repeats through keyRepeated.
    virtual void keyPressed(int keyCode) = 0;
    virtual void keyRepeated(int keyCode) = 0;
    virtual void keyReleased(int keyCode) = 0;
    // Typed text, whole characters: never a key (112 here is 'p', not the
    // left soft key; '5' is not the phone's 5 key).
    virtual void textTyped(const CString& /*text*/) {}
    // Screen pixels.
    virtual void pointerPressed(int x, int y) = 0;
    virtual void pointerReleased(int x, int y) = 0;
    virtual void pointerDragged(int x, int y) = 0;
    // Non-zero when the command was delivered.
    virtual int handleCommand(Command* command) = 0;

    // Told by setCurrent (with notification) when it becomes current and when
    // another one replaces it.
    virtual void showNotify() {}
    virtual void hideNotify() {}
    // Called by the Display after each full paint of the current displayable.
    virtual void startTicker() {}
    // The animation step, every 100 ms on the UI thread while current
    // (`now` is the tick count).
    virtual void animate(uint32_t /*now*/) {}
    // Paints the loading progress bar for Display::repaintSoftKeysNow.
    virtual void paintLoadingBar(GraphicsContext& /*g*/) {}

protected:
    // Subclasses end their references first thing in their destructors, so
    // that nothing reaches them half destroyed.
    void endLife() { life_.end(); }

private:
    struct OwnedBase {
        virtual ~OwnedBase() = default;
    };
    template <class T>
    struct Owned : OwnedBase {
        explicit Owned(std::unique_ptr<T> p) : object(std::move(p)) {}
        std::unique_ptr<T> object;
    };

    Rect bounds_;
    CString title_;
    RecursiveMutex contentLock_;
    RecursiveMutex softKeyLock_;
    std::atomic<Display*> display_{nullptr};
    std::vector<std::unique_ptr<OwnedBase>> owned_;
    WeakRef<Displayable> previous_;
    LifeToken life_;
};

class Canvas : public Displayable {
public:
    Canvas() = default;

    void paint(GraphicsContext& /*g*/) override {}
    void paintContent(GraphicsContext& /*g*/) override {}
    void keyPressed(int /*keyCode*/) override {}
    void keyRepeated(int /*keyCode*/) override {}
    void keyReleased(int /*keyCode*/) override {}
    void pointerPressed(int /*x*/, int /*y*/) override {}
    void pointerReleased(int /*x*/, int /*y*/) override {}
    void pointerDragged(int /*x*/, int /*y*/) override {}
    int handleCommand(Command* /*command*/) override { return 0; }

    // Paints into `g` at once; the flag is for subclasses.
    virtual void paintNow(GraphicsContext& g, int /*flag*/) { paint(g); }

    // Repaints the Display's current displayable (whether or not that is this
    // one) and returns when the frame is shown. Nothing without a Display.
    // Any thread; see the header comment for workers.
    void repaint();
    // Display::repaintLater. Nothing without a Display. Any thread.
    void repaintLater();
    // Repaints one item at once (Display::paintItemNow). Nothing without a
    // Display. Any thread.
    void repaintItem(int x, int y, int w, int h, Item* item);

    // The text field's ASCII case helpers: bit 0x20 set, as a signed 8-bit
    // value (so 0xC1 gives a negative result); and c & 0x5F.
    static int toLowerAscii(int c) { return static_cast<signed char>(c | 0x20); }
    static int toUpperAscii(int c) { return c & 0x5F; }
};

}  // namespace zq
