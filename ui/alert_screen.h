// AlertScreen: a message shown over the current page that returns to it
// when the user confirms (or, with a timeout, by itself).
//
// The alert shows its title in bold above the page area (the header item),
// its text (and picture) as one message item, and the shared OK command ("确定") as its soft key
// until a caller adds commands of its own. Any command whose label does not sort before "ok"
// (compared without case) closes it: the return target becomes current again. The alert is not
// deleted by closing; its owner releases it.
//
// An alert always shows a command: removing the last one brings the OK
// command back. A single command stands on a soft key of its own (the left
// one unless it is a BACK, CANCEL or EXIT command), so one key closes the
// alert; with more, the left soft key opens the menu.
//
// The title and message items come from the installed maker (the page
// items install one that makes an IconItem); without a maker the alert has
// neither.
//
// Ownership: the alert owns its title item and its message item (through
// its content); the
// return target, styles and commands are borrowed or shared. The return
// target and the previous displayable are weak: a page destroyed under the
// alert (recycled by the history, replaced by a new page) is not returned
// to; closing then goes to nothing and leaves the alert shown. UI thread.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/cstring.h"
#include "platform/image.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/command.h"
#include "ui/screen.h"

namespace zq {

class Display;
class Item;
class Style;

class AlertScreen : public Screen, public CommandListener {
public:
    // The timeout once a caller's command replaced the OK command.
    static constexpr int32_t kNoTimeout = -2;
    // How often a shown alert with a timeout checks the time, in ms.
    static constexpr uint32_t kTimeoutStepMs = 100;

    // With a text or a picture the alert gets a message item in the text
    // style with the style sheets' "text" class applied. `type` (error,
    // warning, question) is the shell's and not used here.
    AlertScreen(const CString& title, const CString& text, ImageRef image, int type, Style* style);
    ~AlertScreen() override;

    // The caller's command replaces the OK command; from the second one on
    // (the OK command counts as the first) the timeout is switched off.
    void addCommand(CommandRef command);
    // Lowers the count; when no command is left shown, the OK command comes
    // back.
    void removeCommand(Command* command) override;
    // Commands counted by addCommand, the OK command included.
    int commandCount() const { return commandCount_; }

    // Milliseconds from showing to closing by itself; 0 or less: never.
    void setTimeout(int32_t ms);
    int32_t getTimeout() const { return timeout_; }

    // Where closing returns to; borrowed, and forgotten when it is
    // destroyed first. The alert itself is ignored.
    void setReturnTarget(Displayable* target);
    Displayable* getReturnTarget() const { return returnTo_.get(); }
    // Null when the alert has neither text nor picture.
    Item* getMessageItem() const { return messageItem_; }
    // The title in the alert's text colour and bold; null without a title.
    Item* getTitleItem() const { return titleItem_.get(); }

    // Notes the time and, without a return target, takes the displayable
    // that was current before; starts the timeout.
    void showNotify() override;
    void hideNotify() override;
    // The screen's animation step; past the timeout the OK command closes
    // the alert.
    void animate(uint32_t now) override;

    // CommandListener: a label at or after "ok" (without case) closes the
    // alert; others are left to the screen's other listeners.
    void commandAction(Command* command, Displayable* source) override;

private:
    void startTimeoutTimer();
    void stopTimeoutTimer();
    void close();

    WeakRef<Displayable> returnTo_;
    int32_t timeout_ = 0;
    uint32_t showTime_ = 0;
    Item* messageItem_ = nullptr;
    std::unique_ptr<Item> titleItem_;
    int commandCount_ = 0;
    CommandRef okCommand_;
    UiTimerId timer_ = 0;
};

// Shows `alert` on `display` over what is current: the return target is
// `returnTo`, else the current displayable (never the alert itself; a
// target recorded before stays). The alert is made current with
// notification, sized to the display area and repainted.
void setCurrentAlert(Display& display, AlertScreen& alert, Displayable* returnTo);

}  // namespace zq
