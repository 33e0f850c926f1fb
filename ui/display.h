// Display: the one window in which the whole user interface is drawn.
//
// It shows one current Displayable, owns the back buffer into which every
// screen paints, hands the finished frame to the window, forwards input to
// the current displayable and offers the text measures layout code uses.
//
// On the platform it is the UI loop's handler (platform/ui_loop.h): the
// loop's back buffer stands for the window. A full paint draws the current
// displayable into the Display's own back buffer and copies it into the
// window's frame; the immediate paints (paintItemNow, repaintSoftKeysNow,
// paintOverlayNow) draw into the back buffer, copy their part and present
// at once. The back buffer is built again at the first paint, whenever its
// graphics context is missing and whenever the window's size changes.
//
// Coordinates are screen pixels. There is at most one Display at a time;
// Display::getDisplay() reads it from any thread.
//
// Threads: the Display is created, used and destroyed on the UI thread (the
// thread of the UI executor; a program or test without one has only the
// thread that created the Display).
// setCurrent, repaint, paintItemNow, repaintSoftKeysNow and paintOverlayNow
// may be called from other threads: they run on the UI thread through
// runOnUiAndWait, so a worker may call them only when the UI thread can never
// be waiting for it; after the UI executor has shut down they do nothing.
// isCurrent, the paint lock and the text measures are for any thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>

#include "platform/cstring.h"
#include "platform/device_context.h"
#include "platform/font.h"
#include "platform/geometry.h"
#include "platform/surface.h"
#include "platform/threading.h"
#include "platform/ui_loop.h"
#include "ui/graphics_context.h"

namespace zq {

class Displayable;
class Item;

// Something that draws itself over the screen at once (the soft keyboard,
// the code input pad): paint at (x, y) into `g`; `flag` is 1 for these
// immediate paints.
class OverlayPainter {
public:
    virtual ~OverlayPainter() = default;
    virtual void paint(int x, int y, GraphicsContext& g, int flag) = 0;
};

class Display : public UiHandler {
public:
    // Creates the back buffer for a window of `clientSize` pixels, with the
    // base font of the screen metrics selected, and becomes the Display
    // (displayExists() turns true). A second live Display aborts.
    explicit Display(Size clientSize);
    ~Display() override;
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // The live Display, or nullptr. Any thread.
    static Display* getDisplay();

    // The loop whose window shows the frames (nullptr: none, the frames stay
    // in the back buffer). The loop must outlive the attachment.
    void attach(UiLoop* loop) { loop_ = loop; }
    UiLoop* getLoop() const { return loop_; }

    // --- the current displayable ------------------------------------------
    // Null does nothing. Another displayable: with `notify` the old one gets
    // hideNotify; the new one records the old one as its previous one and
    // becomes current; with `notify` it gets showNotify. Always (also when it
    // was current already) it is given this Display. Does not repaint.
    void setCurrent(Displayable* displayable, bool notify = true);
    Displayable* getCurrent() const { return current_.load(std::memory_order_acquire); }
    // Any thread.
    bool isCurrent(const Displayable* displayable) const;

    // --- UiHandler --------------------------------------------------------
    // Keys go to keyDown/keyUp, typed text to textTyped; pointer down,
    // move and up to the current
    // displayable's pointerPressed, pointerDragged and pointerReleased at the
    // same pixel; a Resize rebuilds the back buffer at the next paint and
    // drops the off-screen layer. Other input is the application's.
    void onInput(const InputEvent& event) override;
    // The full paint: the current displayable paints into the back buffer
    // under the paint lock, the buffer is copied into `window`, the current
    // displayable's ticker is started and the back buffer's clip is reset.
    // Without a current displayable nothing is painted.
    void paint(Surface& window) override;

    // A repeat count below 2 gives keyPressed, else keyRepeated.
    void keyDown(int keyCode, int repeatCount);
    void keyUp(int keyCode);

    // True while the press being handed on is a held key's auto-repeat: the
    // frame turns a held key's first repeats into presses, and a field that
    // must not repeat a key tells them from fresh presses by this.
    bool isHeldPress() const { return heldPress_; }
    void setHeldPress(bool held) { heldPress_ = held; }

    // True while a key or the pen is down: the frame that owns the held
    // keys and the pen says so. A reload's reply waits until it is false, so
    // that a press acts on the page it began on.
    bool isInputHeld() const { return inputHeld_; }
    void setInputHeld(bool held) { inputHeld_ = held; }

    // --- repaints -----------------------------------------------------------
    // Paints the current displayable and shows the frame at once. Asked for
    // during a paint, or while another displayable handles input (see
    // InputScope), it marks the window for a repaint once that is over.
    void repaint();
    // One full paint once the UI loop's step has run what is waiting: many
    // calls before it (pictures arriving together) give one layout and one
    // paint. Without a loop it is repaint().
    void repaintLater();
    // Marks `target` as the displayable that handles an input event for the
    // scope's life. Its handler holds its content lock; painting another
    // displayable it made current then would take that one's lock inside
    // it, and closing that one would take the two the other way.
    class InputScope {
    public:
        InputScope(Display& display, Displayable* target)
            : display_(display), outer_(display.inputTarget_) {
            display_.inputTarget_ = target;
        }
        ~InputScope() { display_.inputTarget_ = outer_; }
        InputScope(const InputScope&) = delete;
        InputScope& operator=(const InputScope&) = delete;

    private:
        Display& display_;
        Displayable* outer_;
    };

    // Paints the current displayable with everything outside `area` clipped
    // away and shows only `area`. Before the first full paint, during a
    // paint and after the window changed size it is a full repaint.
    void repaintArea(const Rect& area);
    // Paints `item` at (x, y) through Item::paint(x, y, w, h, g, 0) and shows
    // the back buffer from (x, y) to the right and bottom edges of the window.
    // With `clip` nothing outside it is drawn. Nothing before the first full
    // paint or without an item.
    void paintItemNow(int x, int y, int w, int h, Item* item, const Rect* clip = nullptr);
    // The screen paints its loading bar into the back buffer; the whole
    // buffer is shown. Nothing before the first full paint or without one.
    void repaintSoftKeysNow(Displayable* screen);
    // The overlay paints at (x, y) with flag 1; the whole buffer is shown.
    void paintOverlayNow(int x, int y, OverlayPainter* overlay);

    // --- the shared off-screen layer (UI thread) --------------------------
    // A second window-size buffer that items draw costly parts into once.
    // `generation` is the caller's own word, initially -1. Returns 0 when the
    // caller drew the layer last (its drawing is still there), 1 when the
    // layer was cleared to `background` and must be drawn again, -1 when no
    // layer can exist (generation becomes -1; dc and g are left alone). On
    // 0 and 1, dc and g get the layer's and generation the layer's current
    // generation.
    int getOffscreenLayer(int& generation, DeviceContext*& dc, GraphicsContext*& g,
                          Color background);

    // --- the back buffer (UI thread) --------------------------------------
    DeviceContext* getBackBufferDC() { return backDc_.get(); }
    // Null until the first full paint has built it.
    GraphicsContext* getBackBufferGraphics() { return graphics_.get(); }
    // The window's size as the Display knows it.
    Size getClientSize() const { return clientSize_; }
    // Serialises the full paint with the immediate paints. Re-entrant.
    RecursiveMutex& paintLock() { return paintLock_; }

    // --- text measures (any thread) ---------------------------------------
    // In `font`, or the base font of the screen metrics when null. 0 while no
    // Display exists.
    static int getTextWidth(const CString& text, const Font* font = nullptr);
    // The font's cell height (one line), whatever the text.
    static int getTextHeight(const CString& text, const Font* font = nullptr);
    static int getCharWidth(char16_t ch);

private:
    friend class Displayable;
    void forget(Displayable* displayable);
    // A displayable other than the current one handles input (InputScope).
    bool otherHasInput() const { return inputTarget_ && inputTarget_ != getCurrent(); }

    struct Layer {
        Surface surface;
        std::unique_ptr<DeviceContext> dc;
        std::unique_ptr<GraphicsContext> graphics;
    };

    void createBackBuffer();
    void rebuildBackBuffer();
    // Builds the back buffer again when it is not ready for the window size.
    void ensureBackBuffer();
    // With `area`, only that part of the back buffer is drawn.
    void paintBackBuffer(const Rect* area = nullptr);
    // Copies `area` of the back buffer into the window and shows it.
    void showArea(const Rect& area);
    Rect clientRect() const { return Rect::fromSize(0, 0, clientSize_.width, clientSize_.height); }

    const std::thread::id thread_ = std::this_thread::get_id();
    std::atomic<Displayable*> current_{nullptr};
    UiLoop* loop_ = nullptr;
    Size clientSize_;
    RecursiveMutex paintLock_;
    Surface backBuffer_;
    std::unique_ptr<DeviceContext> backDc_;
    std::unique_ptr<GraphicsContext> graphics_;
    bool backBufferReady_ = false;
    bool painting_ = false;
    Displayable* inputTarget_ = nullptr;
    bool heldPress_ = false;
    bool inputHeld_ = false;
    std::unique_ptr<Layer> layer_;
    uint32_t layerGeneration_ = 0;
    int animationTimer_ = 0;
};

}  // namespace zq
