// The UI loop: waits for input on the window, hands it to the client, runs
// the work posted to the UI thread and its timers, and repaints.
//
// Everything here runs on the UI thread. The loop owns the back buffer, a
// surface of the window's size into which the handler paints the whole
// screen; overlays (message boxes) are drawn over a copy of it, so the
// client's picture stays intact below them.
//
// Input goes to the topmost overlay when one is open (a modal box), else to
// the handler. A held key belongs to the receiver of its first press until
// it is released: its auto-repeats and its release go only there, and only
// while that one is still on top. So the key that answered a box stays the
// box's, and neither its repeats nor its release reach the page below; a
// box that opened while a key was held gets neither the repeats nor the
// release of a press it never saw. A FocusLost ends every hold and goes to
// the handler, box or not; the first box to open gives the handler one too,
// for the releases of its holds go to the box. A Quit always ends run() once the
// overlays have closed; it is delivered like other input. A ScriptAnswer
// with no overlay open is kept for the next message box (takeScriptAnswer).
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "platform/surface.h"
#include "platform/ui_executor.h"
#include "platform/window.h"

namespace zq {

class UiHandler {
public:
    virtual ~UiHandler() = default;
    virtual void onInput(const InputEvent& event) = 0;
    // Paints the whole screen into `backBuffer` (the window's size).
    virtual void paint(Surface& backBuffer) = 0;
};

// A modal input grab that draws over the screen.
class UiOverlay {
public:
    virtual ~UiOverlay() = default;
    virtual void onInput(const InputEvent& event) = 0;
    // Draws over `screen`, a copy of the back buffer.
    virtual void paintOver(Surface& screen) = 0;
};

class UiLoop {
public:
    // The executor, window and handler must outlive the loop. The loop makes
    // postToUi wake the window while it exists.
    UiLoop(UiExecutor& executor, WindowBackend& window, UiHandler& handler);
    ~UiLoop();
    UiLoop(const UiLoop&) = delete;
    UiLoop& operator=(const UiLoop&) = delete;

    // Paints once, then runs rounds until a Quit or quit(). Returns the code
    // given to quit(), 0 after a Quit from the window.
    int run();
    void quit(int exitCode = 0);
    bool quitRequested() const { return quit_; }

    // One round: posted tasks and due timers, a pending repaint, then a wait
    // of up to `maxWaitMs` (-1: until something happens) for one input event,
    // which is dispatched. Nested modal loops call it until they are done.
    void runOnce(int maxWaitMs = -1);

    // The handler repaints before the next wait.
    void invalidate() { dirty_ = true; }
    // The handler repaints and the frame is shown, at once.
    void repaintNow();
    // Shows the back buffer, with the overlays over it, at once.
    void presentNow();

    Surface& backBuffer() { return backBuffer_; }
    WindowBackend& window() { return window_; }

    // The overlay gets the input until it is removed; both present at once.
    void pushOverlay(UiOverlay* overlay);
    void popOverlay(UiOverlay* overlay);
    // True while a modal box (or another overlay) is open.
    bool overlayOpen() const { return !overlays_.empty(); }
    // A scripted answer that arrived while no box was open, oldest first.
    std::optional<int> takeScriptAnswer();

    // The loop that exists on this thread (the newest), or nullptr.
    static UiLoop* current();

private:
    void dispatch(const InputEvent& event);
    int waitBudget(int maxWaitMs) const;
    // Who takes input now: 0 the handler, else the top overlay's number.
    uint64_t receiver() const { return overlays_.empty() ? 0 : overlays_.back().serial; }
    // False for an auto-repeat or a release whose press went to another
    // receiver.
    bool takePress(const KeyDown& down);
    bool takeRelease(int keyCode);

    struct OpenOverlay {
        UiOverlay* overlay;
        uint64_t serial;  // never reused, unlike the overlay's address
    };

    UiExecutor& executor_;
    WindowBackend& window_;
    UiHandler& handler_;
    UiLoop* previous_;
    Surface backBuffer_;
    Surface composed_;
    std::vector<OpenOverlay> overlays_;
    uint64_t nextSerial_ = 1;
    // Held key code -> the receiver its first press went to.
    std::map<int, uint64_t> pressedKeys_;
    std::deque<int> scriptAnswers_;
    bool dirty_ = true;
    bool presented_ = false;  // a frame has been shown
    bool quit_ = false;
    int exitCode_ = 0;
};

}  // namespace zq
