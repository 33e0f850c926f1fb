#include "app/main_frame.h"

#include <memory>
#include <string>
#include <variant>

#include "app/page_controller.h"
#include "platform/cstring.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/displayable.h"
#include "ui/image_cache.h"
#include "ui/screen.h"
#include "ui/style.h"

namespace zq {

namespace {

constexpr const char16_t* kExitQuestion = u"确认退出";

// The virtual-key codes the screens use: cancel, middle button, backspace,
// tab, clear, return, shift, control, menu, pause, caps lock, escape, space
// to down (page keys, end, home, arrows), select, execute, insert, delete,
// F1 and F2.
bool isPassedVirtualKey(int code) {
    switch (code) {
        case 3:
        case 4:
        case 8:
        case 9:
        case 12:
        case 13:
        case 16:
        case 17:
        case 18:
        case 19:
        case 20:
        case 27:
        case 41:
        case 43:
        case 45:
        case 46:
        case 112:
        case 113:
            return true;
        default:
            return code >= 32 && code <= 40;
    }
}

// Control characters (backspace, return) come with their keys, which the
// screens already get.
std::u16string withoutControls(std::u16string text) {
    std::erase_if(text, [](char16_t ch) { return ch < 32; });
    return text;
}

}  // namespace

MainFrame::MainFrame(Display& display) : display_(display) {}

MainFrame::~MainFrame() {
    display_.setInputHeld(false);
    setController(nullptr);
}

void MainFrame::setController(PageController* controller) {
    if (controller_ == controller) return;
    if (controller_) controller_->setShutdownHandler(nullptr);
    controller_ = controller;
    if (controller_) controller_->setShutdownHandler([this] { shutdown(); });
}

bool MainFrame::isPassedKey(int keyCode) {
    // The platform's clear key is the handset's Delete and Escape.
    if (keyCode == kKeyClear) return true;
    // The phone's keypad: its digits, star and hash (35 is not the End key
    // here). Typed characters come as text instead.
    if ((keyCode >= '0' && keyCode <= '9') || keyCode == kKeyStar || keyCode == kKeyHash) {
        return true;
    }
    return isPassedVirtualKey(keyCode);
}

Displayable* MainFrame::current() const { return display_.getCurrent(); }

// --- input ------------------------------------------------------------------------------

void MainFrame::onInput(const InputEvent& event) {
    // A screen the handler makes current is painted after it.
    Display::InputScope input(display_, current());
    if (const auto* down = std::get_if<KeyDown>(&event)) {
        onKeyDown(down->code, down->repeatCount);
    } else if (const auto* up = std::get_if<KeyUp>(&event)) {
        onKeyUp(up->code);
    } else if (const auto* typed = std::get_if<CharInput>(&event)) {
        onText(typed->text);
    } else if (const auto* press = std::get_if<PointerDown>(&event)) {
        Displayable* shown = current();
        pen_.reset();
        if (shown) {
            pen_ = Displayable::refTo(shown);
            noteHeldInput();
            shown->pointerPressed(press->x, press->y);
        }
    } else if (const auto* move = std::get_if<PointerMove>(&event)) {
        if (Displayable* shown = current(); shown && takesPen()) {
            shown->pointerDragged(move->x, move->y);
        }
    } else if (const auto* release = std::get_if<PointerUp>(&event)) {
        const bool taken = takesPen();
        pen_.reset();
        noteHeldInput();
        if (Displayable* shown = current(); shown && taken) {
            shown->pointerReleased(release->x, release->y);
        }
    } else if (const auto* resize = std::get_if<Resize>(&event)) {
        onResize(resize->width, resize->height);
    } else if (std::holds_alternative<FocusLost>(event)) {
        // The releases will not come: nothing is fired, and nothing waits
        // for them.
        keyOwners_.clear();
        pen_.reset();
        ++releases_;
    }
    noteHeldInput();
}

void MainFrame::noteHeldInput() { display_.setInputHeld(!keyOwners_.empty() || pen_); }

void MainFrame::paint(Surface& backBuffer) { display_.paint(backBuffer); }

void MainFrame::onKeyDown(int keyCode, int repeatCount) {
    if (!isPassedKey(keyCode) || !takesPress(keyCode, repeatCount <= 1)) return;
    Displayable* shown = current();
    // A release of the counted key since its last key-down, another key, or
    // a press the platform says is fresh, starts a new count; a key held down
    // gives two more presses before it repeats. The release of a key let go
    // while another is held (rolled keys) starts nothing.
    const bool fresh = releases_ != releasesSeen_ || repeatCount <= 1 || keyCode != countedKey_;
    if (fresh) {
        countedKey_ = keyCode;
        releasesSeen_ = releases_;
        heldPresses_ = 0;
    } else if (heldPresses_ >= 2) {
        shown->keyRepeated(keyCode);
        return;
    } else {
        ++heldPresses_;
    }
    display_.setHeldPress(!fresh);
    shown->keyPressed(keyCode);
    display_.setHeldPress(false);
}

void MainFrame::onKeyUp(int keyCode) {
    if (keyCode == countedKey_) ++releases_;
    if (!isPassedKey(keyCode) || !takesRelease(keyCode)) return;
    if (Displayable* shown = current()) shown->keyReleased(keyCode);
}

bool MainFrame::takesPress(int keyCode, bool fresh) {
    Displayable* shown = current();
    auto owner = keyOwners_.find(keyCode);
    if (fresh) {
        keyOwners_[keyCode] = Displayable::refTo(shown);
        noteHeldInput();
        return shown != nullptr;
    }
    // The repeat of a press whose hold ended (a box came, the window lost
    // the focus) goes nowhere.
    if (owner == keyOwners_.end()) return false;
    return shown && owner->second.get() == shown;
}

bool MainFrame::takesRelease(int keyCode) {
    auto owner = keyOwners_.find(keyCode);
    if (owner == keyOwners_.end()) return true;
    const bool same = owner->second.get() == current();
    keyOwners_.erase(owner);
    noteHeldInput();
    return same;
}

bool MainFrame::takesPen() const { return !pen_ || pen_->get() == current(); }

void MainFrame::onText(const std::u16string& text) {
    const std::u16string typed = withoutControls(text);
    if (typed.empty()) return;
    if (Displayable* shown = current()) shown->textTyped(CString(typed));
}

void MainFrame::onResize(int width, int height) {
    // The Display takes the new size and drops its off-screen layer.
    display_.onInput(Resize{width, height});
    if (width <= 0 || height <= 0) return;
    Screen::initMetrics(Size{width, height});
    const Rect bounds = Rect::fromSize(0, 0, width, height);
    if (Displayable* shown = current()) {
        if (auto* screen = dynamic_cast<Screen*>(shown)) screen->setSize(width, height);
        shown->setBounds(bounds);
    }
    ClientContext::current().setDisplayArea(bounds);
}

// --- commands and shut-down ----------------------------------------------------------------

bool MainFrame::onCommand(int commandId) {
    if (commandId != kExitCommand) {
        exitArmed_ = true;
        return false;
    }
    if (!exitArmed_) return false;
    exitArmed_ = false;
    if (messageBox(CString(kExitQuestion), CString(), MessageBoxType::YesNo) != kIdYes) {
        return true;
    }
    if (controller_) {
        controller_->onExitApp(CString());
    } else {
        shutdown();
    }
    return true;
}

void MainFrame::shutdown() {
    shutdownRequested_.store(true);
    if (isUiThread()) {
        quitLoop();
        return;
    }
    postToUi([this, alive = std::weak_ptr<const int>(anchor_)] {
        if (alive.lock()) quitLoop();
    });
}

void MainFrame::quitLoop() {
    UiLoop* loop = display_.getLoop();
    if (!loop) loop = UiLoop::current();
    if (loop) loop->quit(0);
}

void MainFrame::teardown() {
    freeTrackedStyles();
    clearImageCache();
}

}  // namespace zq
