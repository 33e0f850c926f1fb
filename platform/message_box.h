// Modal message boxes, drawn by the platform over the window in the system
// font (getFont(14)): a bordered panel with the caption, the wrapped text and
// a row of buttons, centred on the screen.
//
// messageBox may be called from any thread. On the UI thread it is modal: it
// runs UI loop rounds (presenting, handling input, running posted work and
// timers) until the box is answered. From another thread the box is posted to
// the UI thread and the caller waits for the answer.
//
// How a box is answered:
// - On screen: left and right move the button focus (the first button starts
//   focused), Enter picks the focused button, clear (-8) answers Cancel, or No
//   in a Yes/No box, or OK in an OK box. A tap (pointer down and up on the
//   same button) picks that button.
// - A replay's "answer" (ScriptAnswer) answers the open box, or the next one
//   to open. An answer the box has no button for is reported on stderr and
//   the default is taken instead.
// - The default, the first button (OK or Yes), answers a box that cannot
//   wait: no UI loop runs, the loop is quitting (window closed, replay over),
//   or the UI executor has shut down.
// Every box is recorded, with its answer, in the message-box log.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/cstring.h"
#include "platform/geometry.h"

namespace zq {

enum class MessageBoxType { Ok, OkCancel, YesNo, YesNoCancel };

// The result codes the system compares answers with.
enum MessageBoxResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// Any thread; see above. Returns one of the result codes of the box's buttons.
int messageBox(const CString& text, const CString& caption, MessageBoxType type);

// The result codes of the box's buttons, left to right.
std::vector<int> messageBoxButtons(MessageBoxType type);
// The first button's code: the answer of a box that cannot open (no UI,
// no loop, or the loop already ending).
int defaultMessageBoxAnswer(MessageBoxType type);
// The answer of an open box the client closes under (the window closed, a
// script ended): the one that acts on nothing, as Escape answers, so that a box
// left open never confirms what it asks.
int closingMessageBoxAnswer(MessageBoxType type);
// "ok", "cancel", "yes", "no" (as in key scripts), or the number.
std::string messageBoxAnswerName(int result);

struct MessageBoxRecord {
    CString caption;
    CString text;
    MessageBoxType type = MessageBoxType::Ok;
    int answer = 0;
};

constexpr size_t kMaxMessageBoxLog = 256;

// Any thread. The newest kMaxMessageBoxLog boxes, oldest first.
std::vector<MessageBoxRecord> messageBoxLog();
void clearMessageBoxLog();
// Any thread. Also writes each record, as one line, to `stream` (nullptr:
// nowhere; headless runs pass stderr). The stream must stay open while set.
void setMessageBoxEcho(std::FILE* stream);

// Where the parts of a box go on a screen of `screen` pixels. A text too long
// for the screen is cut at the bottom of its rectangle.
struct MessageBoxLayout {
    Rect panel;
    Rect caption;
    Rect text;
    std::vector<Rect> buttons;  // in the order of messageBoxButtons
};
MessageBoxLayout layoutMessageBox(Size screen, const CString& text, MessageBoxType type);

}  // namespace zq
