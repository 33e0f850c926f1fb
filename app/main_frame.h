// MainFrame: the program's top-level window. It stands between the UI loop
// and the Display: it filters the phone's keys and gives them press, repeat
// and release meaning, turns typed characters into key presses, hands pen
// input on, follows rotations of the screen, asks before
// the exit command ends the program and ends the UI when the exit routine
// has saved the files.
//
// Wiring (app/client_run.cpp):
//     Display display(clientSize);
//     MainFrame frame(display);              // wraps the Display
//     UiLoop loop(executor, window, frame);  // the frame is the loop's handler
//     display.attach(&loop);
//     ... create the PageController ...
//     frame.setController(controller.get()); // installs the shut-down handler
//     int code = loop.run();                 // ends when the exit routine ran
//     frame.setController(nullptr);
//     controller.reset();                    // the pages go first,
//     frame.teardown();                      // then the shared styles
// The frame keeps references only: the Display and the controller must
// outlive it (or be detached with setController(nullptr)).
//
// Input (platform/window.h codes; a key code the frame passes on reaches the
// Display's current displayable unchanged):
// - Keys: fire, backspace, clear (-8), the arrows, the two soft keys, the
//   other control keys of kPassedKeys and the phone's keypad (digits, '*',
//   '#') pass; letters are dropped here because they arrive as CharInput.
//   A keypad key is the phone's key (multi-tap in a field); a digit typed
//   on the desktop arrives as text, never as a key.
// - A held key gives three keyPressed calls and keyRepeated from the fourth
//   key-down message on. Key-down messages of one key are counted between
//   its releases with no timing; a KeyDown with repeat count 1, or of another
//   key, is a fresh press and starts the count again as a release would. While the second
//   and third presses are handed on, the Display's isHeldPress() is true.
// - A held key belongs to the displayable its fresh press reached until it
//   is released: its repeats and its release reach only that one, and only
//   while it is current. The key that closed an alert, or was held while an
//   alert closed by itself, never reaches the page beneath.
// - While a key or the pen is down, Display::isInputHeld() is true: a
//   reload's reply waits for the release (app/auto_refresh.h), so a press
//   acts on the page it began on, never on the one a reload put in its
//   place. A FocusLost ends every hold without a release: nothing fires.
// - Typed text reaches the displayable whole as textTyped, never as key
//   codes: 'p' and 'q' are not the soft keys, '(' is not DOWN. Control
//   characters are dropped (their keys came as keys). A space arrives only
//   as a character.
// - Pen down, drag and up reach the current displayable where they are:
//   our window maps the pointer onto the phone's screen itself. Like a held
//   key, the pen belongs to the displayable its down reached until it is
//   lifted.
// - A Resize rebuilds the Display's buffer, updates the screen metrics
//   (landscape flag) and the display area, and resizes the current screen.
//
// UI thread, except shutdown() (any thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/cstring.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "ui/weak_ref.h"

namespace zq {

class Display;
class Displayable;
class PageController;

class MainFrame : public UiHandler {
public:
    // The command the window's close (OK) button sends.
    static constexpr int kExitCommand = 1;

    explicit MainFrame(Display& display);
    ~MainFrame() override;
    MainFrame(const MainFrame&) = delete;
    MainFrame& operator=(const MainFrame&) = delete;

    // The controller whose "exitapp" action the exit command runs; the
    // frame becomes its shut-down handler. Null detaches (and removes the
    // handler from the previous controller).
    void setController(PageController* controller);

    // True for the virtual-key codes passed on to the screens.
    static bool isPassedKey(int keyCode);

    // --- UiHandler ------------------------------------------------------------
    void onInput(const InputEvent& event) override;
    void paint(Surface& backBuffer) override;

    // --- the frame's message handlers -----------------------------------------
    void onKeyDown(int keyCode, int repeatCount);
    void onKeyUp(int keyCode);
    void onText(const std::u16string& text);
    void onResize(int width, int height);

    // Command routing. kExitCommand, while armed, asks "确认退出" (Yes/No)
    // and on Yes runs the controller's "exitapp" action (without a
    // controller: shutdown()). Asking disarms, whatever the answer; any other
    // command arms again. Returns true when the question was asked.
    bool onCommand(int commandId);

    // The exit routine's last step (PageController::saveSettings calls it
    // after the files are written): the UI loop ends with code 0. From a
    // worker it is posted to the UI thread.
    void shutdown();
    bool shutdownRequested() const { return shutdownRequested_.load(); }

    // Releases the shared styles, commands and the image cache. Call after
    // the loop has ended and every screen is gone.
    void teardown();

private:
    Displayable* current() const;
    // Whether a key-down (fresh or an auto-repeat) goes to the current
    // displayable, and whether a release does; see the key ownership above.
    bool takesPress(int keyCode, bool fresh);
    bool takesRelease(int keyCode);
    // Whether a pen drag or lift goes to the current displayable.
    bool takesPen() const;
    // Tells the Display whether a key or the pen is down.
    void noteHeldInput();
    void quitLoop();

    Display& display_;
    PageController* controller_ = nullptr;
    bool exitArmed_ = true;
    // Release serial number, and the one the previous key-down saw.
    int countedKey_ = 0;
    uint32_t releases_ = 0;
    uint32_t releasesSeen_ = 0;
    int heldPresses_ = 0;
    // Each key down: the displayable its fresh press reached.
    std::map<int, WeakRef<Displayable>> keyOwners_;
    // While the pen is down: the displayable it went down on.
    std::optional<WeakRef<Displayable>> pen_;
    std::atomic<bool> shutdownRequested_{false};
    // Work posted by shutdown() runs only while the frame lives.
    std::shared_ptr<const int> anchor_ = std::make_shared<const int>(0);
};

}  // namespace zq
