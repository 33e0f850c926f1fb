// What a Screen needs of its neighbours above ui/: the text field the soft
// keyboard types into, and the application shell's shared values (the main
// window's caption, the current-screen record, the requests in flight and
// the page-timing record).
//
// The text field and the shell implement these interfaces and install or
// hand them over; ui/ includes nothing of theirs. Everything here is for the
// UI thread, except the current-screen record, which any thread may read.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class Item;
class Screen;

// A text field the soft keyboard types into; the text field implements it
// beside its Item base. The screen borrows it while the keyboard serves it.
class KeyboardTarget {
public:
    // The field as an item: backspace reaches it as keyPressed(8).
    virtual Item& keyboardItem() = 0;
    // The whole value; "清" gives the empty text.
    virtual void setValue(const CString& value) = 0;
    // Inserts at the caret, as if typed one character after another.
    virtual void insertText(const CString& text) = 0;
    virtual void typeChar(char16_t ch) = 0;
    // The caret's line, from the top of the field as last painted, in px.
    virtual int caretLineTop() const = 0;
    virtual int caretLineHeight() const = 0;

protected:
    ~KeyboardTarget() = default;
};

// The page-timing record of the page controller, in tick milliseconds.
struct PageTiming {
    uint32_t requestStart = 0;
    uint32_t lzssStart = 0;
    uint32_t lzssEnd = 0;
    uint32_t parseStart = 0;
    uint32_t parseEnd = 0;
    uint32_t insertStart = 0;
    uint32_t insertEnd = 0;
    uint32_t preprocessStart = 0;
    uint32_t preprocessEnd = 0;
    std::vector<int> netTimes;
    std::vector<int> transferSizes;
};

// The application shell as screens see it. Installed at start-up; without
// one, screens set no caption, clear nothing and draw no timing overlay.
class ScreenShell {
public:
    virtual ~ScreenShell() = default;
    // The main window's caption (a screen with a header text sets it).
    virtual void setMainCaption(const CString& text) = 0;
    // Empties the set of request ids in flight (a screen is hidden).
    virtual void clearPendingRequests() = 0;
    // Every paint's start and end stamps.
    virtual void notePaintTimes(uint32_t start, uint32_t end) = 0;
    // Fills `timing` and returns true while both the timing switch and the
    // page-shown switch are on.
    virtual bool pageTimingOverlay(PageTiming& timing) = 0;
};

// The shell and the current-screen record live in the client's context
// (ui/client_context.h).

}  // namespace zq
