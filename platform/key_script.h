// Key scripts: the input a replay feeds to the client (zqclient --keys FILE,
// and the headless tests).
//
// A script is UTF-8 text with one command per line. Blank lines and lines
// whose first non-blank character is '#' are ignored. After a command's
// arguments a word starting with '#' begins a comment; char and screenshot
// take the rest of the line as their argument and so have no comment.
//
//   key K            key K pressed and released (KeyDown repeat 1, KeyUp)
//   key K xN         key K held for N key-down messages with repeat counts
//                    1..N, then released (N from 1 to 1000)
//   key K xN MS      the same, MS milliseconds (1..1000) apart
//   char TEXT        each character of TEXT typed, in order, as on a
//                    desktop keyboard: it enters a field as it is
//   tap X Y          pointer down and up at screen pixel (X, Y)
//   down X Y         pointer down;  move X Y: pointer drag;  up X Y: release
//   wait MS          lets MS milliseconds (0..600000) pass while timers and
//                    posted work run
//   idle MS          waits until the client has had nothing in flight for a
//                    moment (see setBusyProbe), at most MS milliseconds
//                    (0..600000); still busy then is a failure of the replay
//   until MS FILE    waits until FILE exists (a test's signal that what the
//                    client waits for has happened), at most MS milliseconds
//                    (0..600000); still missing then is a failure of the replay
//   answer A         A is ok, cancel, yes or no: answers the message box that
//                    is open, or else the next one to open
//   screenshot FILE  saves the screen as a PNG file
//
// K is a key code (40, 13, -8, ...) or a name: left, up, right, down,
// enter (or fire), soft1 (or f1), soft2 (or f2), backspace, clear, star,
// hash. The digit codes (48 to 57), star and hash are the phone's keypad:
// in a text field they multi-tap as its input mode says.
//
// Steps run one at a time: the UI loop handles each step, and the posted
// work it causes, and repaints before the next step is taken.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/surface.h"
#include "platform/window.h"

namespace zq {

struct ScriptStep {
    enum class Kind { Input, Wait, WaitIdle, Until, Screenshot };
    Kind kind = Kind::Input;
    InputEvent event;  // Input
    int waitMs = 0;    // Wait; WaitIdle, Until: the most it waits
    std::string path;  // Screenshot; Until: the file waited for
    int line = 0;      // 1-based line of the command
};

struct ScriptError {
    int line = 0;  // 0 when the file itself could not be read
    std::string message;
};

struct KeyScript {
    std::vector<ScriptStep> steps;
    std::vector<ScriptError> errors;  // lines with errors give no steps
    bool ok() const { return errors.empty(); }
};

constexpr size_t kMaxKeyScriptBytes = 4u * 1024 * 1024;
constexpr size_t kMaxKeyScriptSteps = 1000000;

// Any thread. Every bad line is reported with its number; the good lines
// still give their steps. Never throws.
KeyScript parseKeyScript(std::string_view text);
// A file that cannot be read or holds more than kMaxKeyScriptBytes gives one
// error at line 0.
KeyScript loadKeyScript(const std::filesystem::path& path);
// "NAME:LINE: message" (or "NAME: message" for line 0).
std::string formatScriptError(const std::string& name, const ScriptError& error);

enum class ScriptEnd {
    Quit,         // every later waitEvent returns Quit
    PassThrough,  // input comes from the window below again
};

// A window backend that replays a script over another backend (which must
// outlive it). Input from the window below still arrives during the replay.
// UI thread, like every backend.
class ScriptedWindow : public WindowBackend {
public:
    ScriptedWindow(WindowBackend& inner, std::vector<ScriptStep> steps, ScriptEnd atEnd);

    Size size() const override { return inner_.size(); }
    void present(const Surface& frame) override;
    std::optional<InputEvent> waitEvent(int timeoutMs) override;
    void wake() override { inner_.wake(); }

    // Asked by an idle step: true while the client still waits for work it
    // started (a reply, a posted task). Without one the client counts as
    // idle. UI thread.
    void setBusyProbe(std::function<bool()> busy) { busy_ = std::move(busy); }

    bool finished() const { return next_ >= steps_.size(); }
    // The last frame presented (empty before the first).
    const Surface& lastFrame() const { return lastFrame_; }
    // One message for each screenshot that could not be written and each
    // idle or until step that ran out of time.
    const std::vector<std::string>& failures() const { return failures_; }

private:
    // The wait of an idle step: nullopt when the step is over.
    std::optional<int> idleWait(const ScriptStep& step, int timeoutMs);
    // The wait of an until step: nullopt when the step is over.
    std::optional<int> untilWait(const ScriptStep& step, int timeoutMs);

    WindowBackend& inner_;
    std::vector<ScriptStep> steps_;
    ScriptEnd atEnd_;
    std::function<bool()> busy_;
    size_t next_ = 0;
    bool waiting_ = false;
    std::chrono::steady_clock::time_point waitUntil_{};
    std::optional<std::chrono::steady_clock::time_point> idleSince_;
    Surface lastFrame_;
    std::vector<std::string> failures_;
};

}  // namespace zq
