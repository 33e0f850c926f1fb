// The window the client draws into and the input it receives: one
// interface, an SDL2 backend and a headless (in-memory) backend.
//
// Coordinates are screen pixels of the frame the client paints: (0,0) is the
// top-left pixel of the screen, whatever scale the window is shown at.
// A backend is created, used and destroyed on the UI thread; only wake()
// may be called from other threads.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <variant>

#include "platform/geometry.h"
#include "platform/surface.h"

namespace zq {

// The handset's key codes as screens receive them. Digit keys and '*', '#'
// are their character codes.
enum KeyCode : int {
    kKeyClear = -8,
    kKeyBackspace = 8,
    kKeyEnter = 13,  // fire
    kKeyHash = '#',
    kKeyStar = '*',
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeySoftLeft = 112,   // F1
    kKeySoftRight = 113,  // F2
};

// A key went down. repeatCount is 1 for the first press and counts up
// (2, 3, ...) while the key is held and repeats.
struct KeyDown {
    int code = 0;
    int repeatCount = 1;
    friend bool operator==(const KeyDown&, const KeyDown&) = default;
};
struct KeyUp {
    int code = 0;
    friend bool operator==(const KeyUp&, const KeyUp&) = default;
};
// Typed text: a key's character or what an input method committed, in
// whole characters (a surrogate pair never arrives split). Never a key: a
// typed 'p' (112) is not the left soft key, nor '(' (40) DOWN, nor a typed
// '5' the phone's 5 key.
struct CharInput {
    std::u16string text;
    friend bool operator==(const CharInput&, const CharInput&) = default;
};
struct PointerDown {
    int x = 0;
    int y = 0;
    friend bool operator==(const PointerDown&, const PointerDown&) = default;
};
// Sent only while the pointer is down (a pen drag).
struct PointerMove {
    int x = 0;
    int y = 0;
    friend bool operator==(const PointerMove&, const PointerMove&) = default;
};
struct PointerUp {
    int x = 0;
    int y = 0;
    friend bool operator==(const PointerUp&, const PointerUp&) = default;
};
// The screen has a new size; the next frame should have it.
struct Resize {
    int width = 0;
    int height = 0;
    friend bool operator==(const Resize&, const Resize&) = default;
};
// The window lost the input focus: the keys and the pointer that were down
// will send no release.
struct FocusLost {
    friend bool operator==(const FocusLost&, const FocusLost&) = default;
};
// The window was closed or the replay has ended.
struct Quit {
    friend bool operator==(const Quit&, const Quit&) = default;
};
// A replay's answer for a message box (a result code of message_box.h).
struct ScriptAnswer {
    int result = 0;
    friend bool operator==(const ScriptAnswer&, const ScriptAnswer&) = default;
};

using InputEvent = std::variant<KeyDown, KeyUp, CharInput, PointerDown, PointerMove, PointerUp,
                                Resize, FocusLost, Quit, ScriptAnswer>;

class WindowBackend {
public:
    virtual ~WindowBackend() = default;

    // The size of the screen in pixels; frames should have this size.
    virtual Size size() const = 0;
    // Shows `frame` (copied; the caller keeps it). A frame of another size is
    // scaled or cut to fit.
    virtual void present(const Surface& frame) = 0;
    // The next input event. Waits up to `timeoutMs` (0: do not wait, -1: no
    // limit) for one; nullopt when the time ran out or wake() was called.
    virtual std::optional<InputEvent> waitEvent(int timeoutMs) = 0;
    // Any thread: makes a waitEvent that is waiting, or the next one, return.
    virtual void wake() = 0;
};

// An in-memory screen. Input comes from pushEvent (tests) or from a
// ScriptedWindow placed over it (key_script.h).
class HeadlessWindow : public WindowBackend {
public:
    explicit HeadlessWindow(Size size);

    Size size() const override { return size_; }
    void present(const Surface& frame) override;
    std::optional<InputEvent> waitEvent(int timeoutMs) override;
    void wake() override;

    // Any thread: queues an event for waitEvent.
    void pushEvent(const InputEvent& event);
    // The last frame presented (black before the first). UI thread.
    const Surface& screen() const { return screen_; }

private:
    Size size_;
    Surface screen_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<InputEvent> events_;
    bool woken_ = false;
};

// How a phone-sized screen sits in a desktop window: magnified by a whole
// number (sharp pixels) and centred. A point of the window maps back to the
// screen pixel under it.
struct WindowZoom {
    int zoom = 1;
    int offsetX = 0;
    int offsetY = 0;
    Point toScreen(int x, int y, Size screen) const;
};
// The zoom a new window opens at: 2 on a desktop over 1000 pixels tall, 1
// otherwise, and never more than fits `desktop` (its usable area).
int initialWindowZoom(Size screen, Size desktop);
// The largest whole zoom of `screen` that fits `window`, at least 1.
WindowZoom fitWindowZoom(Size screen, Size window);

// The SDL2 window of `size` pixels with a software framebuffer. nullptr when
// SDL has no video driver or the window cannot be made; `error` then says
// why. Only one SDL window may exist at a time.
std::unique_ptr<WindowBackend> createSdlWindow(Size size, const std::string& title,
                                               std::string* error);

}  // namespace zq
