#include "ui/alert_screen.h"

#include <atomic>
#include <utility>

#include "platform/clock.h"
#include "ui/client_context.h"
#include "ui/container.h"
#include "ui/default_styles.h"
#include "ui/display.h"
#include "ui/font_cache.h"
#include "ui/item.h"
#include "ui/screen_services.h"

namespace zq {
namespace {

// Labels that sort before this one (without case) do not close an alert.
constexpr char16_t kCloseLabel[] = u"ok";

// The current screen takes the whole display area, from its corner.
void fitCurrentScreenToDisplay(Display& display) {
    auto* screen = dynamic_cast<Screen*>(display.getCurrent());
    if (!screen) return;
    const Rect area = displayArea();
    screen->setBounds(Rect::fromSize(0, 0, screen->getWidth(), screen->getHeight()));
    screen->setSize(area.width(), area.height());
}

// The title heads the alert in the alert's own text colour, in bold.
std::unique_ptr<Item> makeTitleItem(const CString& title, const Style* alertStyle) {
    MessageItemMaker maker = messageItemMaker();
    if (title.isEmpty() || !maker) return nullptr;
    Style* style = createTextStyle();
    if (alertStyle) style->color = alertStyle->color;
    const FontRef base = alertStyle && alertStyle->font ? alertStyle->font : createStyleFont();
    style->font = getFont(base->height(), static_cast<int>(FontWeight::Bold));
    return maker(title, nullptr, style);
}

}  // namespace

AlertScreen::AlertScreen(const CString& title, const CString& text, ImageRef image, int /*type*/,
                         Style* style)
    : Screen(title, style, true) {
    titleItem_ = makeTitleItem(title, style);
    if (titleItem_) setHeaderItem(titleItem_.get());
    if (!text.isEmpty() || image) {
        Style* textStyle = createTextStyle();
        applyStyleClass(textStyle, u"text");
        if (MessageItemMaker maker = messageItemMaker()) {
            messageItem_ = getContent()->add(maker(text, std::move(image), textStyle));
        }
    }
    okCommand_ = sharedOkCommand();
    addCommand(okCommand_);
    setCommandListener(this);
}

AlertScreen::~AlertScreen() {
    endLife();
    stopTimeoutTimer();
}

// --- commands ------------------------------------------------------------------------

void AlertScreen::addCommand(CommandRef command) {
    Screen::removeCommand(okCommand_.get());
    Screen::addCommand(std::move(command));
    ++commandCount_;
    if (commandCount_ > 1) setTimeout(kNoTimeout);
    putSoleCommandOnLeftKey();
}

void AlertScreen::removeCommand(Command* command) {
    Screen::removeCommand(command);
    if (commandCount_ == 1) {
        commandCount_ = 0;
    } else if (commandCount_ > 1) {
        --commandCount_;
    }
    // An alert is never left without a way to close it.
    if (getCommands().empty() && !getRightCommand()) Screen::addCommand(okCommand_);
    putSoleCommandOnLeftKey();
}

void AlertScreen::commandAction(Command* command, Displayable* /*source*/) {
    if (!command || compareNoCase(command->getLabel().view(), kCloseLabel) < 0) return;
    close();
}

// --- showing and closing --------------------------------------------------------------

void AlertScreen::setReturnTarget(Displayable* target) {
    if (target != this) returnTo_ = refTo(target);
}

void AlertScreen::setTimeout(int32_t ms) {
    timeout_ = ms;
    if (timeout_ <= 0) {
        stopTimeoutTimer();
    } else if (isShown()) {
        startTimeoutTimer();
    }
}

void AlertScreen::showNotify() {
    showTime_ = tickCount();
    if (!returnTo_.get()) setReturnTarget(getPreviousDisplayable());
    Screen::showNotify();
    if (timeout_ > 0) startTimeoutTimer();
}

void AlertScreen::hideNotify() {
    stopTimeoutTimer();
    Screen::hideNotify();
}

void AlertScreen::animate(uint32_t now) {
    Screen::animate(now);
    if (timeout_ > 0 && isShown() && tickDiff(now, showTime_) > timeout_) {
        commandAction(okCommand_.get(), this);
    }
}

void AlertScreen::startTimeoutTimer() {
    if (timer_ != 0) return;
    timer_ = startUiTimer(kTimeoutStepMs, [this] { animate(tickCount()); });
}

void AlertScreen::stopTimeoutTimer() {
    if (timer_ == 0) return;
    stopUiTimer(timer_);
    timer_ = 0;
}

void AlertScreen::close() {
    stopTimeoutTimer();
    Displayable* target = returnTo_.get();
    returnTo_.reset();
    if (!target) target = getPreviousDisplayable();
    Display* display = getDisplay() ? getDisplay() : Display::getDisplay();
    if (!target || target == this || !display) return;
    display->setCurrent(target, true);
    ClientContext::current().setRecordedCurrentScreen(dynamic_cast<Screen*>(target));
    fitCurrentScreenToDisplay(*display);
    display->repaint();
}

void setCurrentAlert(Display& display, AlertScreen& alert, Displayable* returnTo) {
    Displayable* target = returnTo ? returnTo : display.getCurrent();
    if (target) alert.setReturnTarget(target);
    display.setCurrent(&alert, true);
    fitCurrentScreenToDisplay(display);
    ClientContext::current().setRecordedCurrentScreen(&alert);
    display.repaint();
}

}  // namespace zq
