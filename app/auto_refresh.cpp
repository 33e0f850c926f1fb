#include "app/auto_refresh.h"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "app/page_controller.h"
#include "app/page_history.h"
#include "charts/chart.h"
#include "items/text_field.h"
#include "market/large_cap_index.h"
#include "platform/clock.h"
#include "platform/ui_loop.h"
#include "ui/display.h"
#include "ui/screen.h"

namespace zq {

std::optional<int32_t> parseRefreshSeconds(const CString& argument) {
    CString text = argument;
    text.trim();
    int i = 0;
    const int n = text.length();
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    if (i >= n || text[i] < u'0' || text[i] > u'9') return std::nullopt;
    int64_t value = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        value =
            std::min<int64_t>(value * 10 + (text[i] - u'0'), std::numeric_limits<int32_t>::max());
    }
    return static_cast<int32_t>(negative ? -value : value);
}

CString withoutPageParams(const CString& url) {
    CString out = url;
    for (int from = 0;;) {
        const int at = out.find(CString(u"pageid="), from);
        if (at < 1) return out;
        const char16_t before = out[at - 1];
        int end = at + 7;
        auto digits = [&] {
            const int start = end;
            if (end < out.length() && out[end] == u'-') ++end;
            while (end < out.length() && out[end] >= u'0' && out[end] <= u'9') ++end;
            return end > start;
        };
        const CString screen(u"&screenid=");
        if ((before != u'?' && before != u'&') || !digits() ||
            out.mid(end, screen.length()) != screen) {
            from = at + 1;
            continue;
        }
        end += screen.length();
        if (!digits()) {
            from = at + 1;
            continue;
        }
        // "?pageid=..&screenid=..&rest" keeps "?rest"; "&pageid=.." goes whole.
        if (before == u'?' && end < out.length() && out[end] == u'&') ++end;
        const int cut = before == u'?' && end < out.length() ? at : at - 1;
        out = out.left(cut) + out.mid(end);
        from = cut;
    }
}

int refreshMode(const CString& refreshType, const CString& rememberedMode) {
    const bool modeTwo = rememberedMode.equalsNoCase(CString(u"2"));
    if (refreshType.equalsNoCase(CString(u"2"))) return 0;
    if (refreshType.equalsNoCase(CString(u"1"))) return modeTwo ? 0 : 2;
    if (modeTwo) return 0;
    if (rememberedMode.equalsNoCase(CString(u"1"))) return 2;
    return 1;
}

std::optional<KeptPage> AutoRefresh::keepForReload(const CancelFlag& flag) const {
    PageEntry* entry = controller_.currentEntry();
    if (!isReload(flag) || !entry || entry->screenId != reloadScreenId_) return std::nullopt;
    return KeptPage::of(*entry);
}

bool AutoRefresh::waitsForUser(const CancelFlag& flag, PageEntry& /*entry*/) {
    // A local page's reply comes inside the reload, before its flag would
    // be known.
    if (reloading_ && flag) reloadFlag_ = flag;
    if (!isReload(flag) || !busyWithInput()) return false;
    if (flag != waitingFlag_) {
        waitingFlag_ = flag;
        waitingSince_ = tickCount();
    }
    // A reply held past the page's period no longer shows the page as it
    // is: it gives way to the next reload, due once the user pauses or lets
    // go.
    const int64_t period = periodOf(controller_.currentScreenId());
    if (flag && period > 0 && ticksSince(waitingSince_) >= period * kTickMs) {
        flag->store(1);
        if (Screen* screen = controller_.currentScreen()) screen->stopLoading(reloadId_);
        for (auto& [id, countdown] : countdowns_) {
            if (countdown.screenId == reloadScreenId_ && countdown.slow) countdown.remaining = 1;
        }
    }
    return true;
}

int64_t AutoRefresh::periodOf(int screenId) const {
    int64_t period = 0;
    for (const auto& [id, countdown] : countdowns_) {
        if (countdown.screenId != screenId || !countdown.slow || countdown.seconds <= 0) continue;
        period = period > 0 ? std::min(period, countdown.seconds) : countdown.seconds;
    }
    return period;
}

// --- countdowns ---------------------------------------------------------------------------

void AutoRefresh::start(int32_t seconds) {
    const int screenId = controller_.currentScreenId();
    if (screenId < 0) return;
    // A countdown of nothing still waits for the next round, so an onload
    // "refresh(0)" never reloads inside the load that ran it.
    const int64_t count = std::max<int64_t>(seconds, 0);
    arm(Countdown{screenId, count, count, seconds > 0}, seconds > 0 ? kTickMs : 1);
}

void AutoRefresh::arm(Countdown countdown, uint32_t intervalMs) {
    // The timer needs its own id inside its callback.
    auto slot = std::make_shared<UiTimerId>(0);
    *slot = startUiTimer(intervalMs, [this, slot] { tick(*slot); });
    if (*slot == 0) return;
    countdowns_[*slot] = countdown;
}

bool AutoRefresh::held() const {
    // The page's menu, a screen over the page (an alert, the speed test) or
    // a message box: the user is busy with it, and a reload would take it.
    // A request still loading for the page (the user's own) wins: a reload
    // sent now would take the page and leave its reply nothing to replace.
    Screen* screen = controller_.currentScreen();
    if (screen && (screen->getBusyFlags() != 0 || screen->isLoading())) return true;
    Display* display = Display::getDisplay();
    if (display && screen && display->getCurrent() != screen) return true;
    UiLoop* loop = UiLoop::current();
    return (loop && loop->overlayOpen()) || busyWithInput();
}

bool AutoRefresh::busyWithInput() const {
    const Display* display = Display::getDisplay();
    return (display && display->isInputHeld()) || editing();
}

bool AutoRefresh::editing() const {
    Screen* screen = controller_.currentScreen();
    auto* field = dynamic_cast<TextField*>(screen ? focusedLeaf(*screen) : nullptr);
    // The value, caret and input mode go over to the reloaded page; a
    // letter still being chosen would not, nor a key on its way.
    return field && field->isEditable() &&
           (field->hasPendingChar() || ticksSince(screen->lastKeyTime()) < kTypingPauseMs);
}

void AutoRefresh::stopAll() {
    std::vector<UiTimerId> ids;
    for (const auto& entry : countdowns_) ids.push_back(entry.first);
    countdowns_.clear();
    for (UiTimerId id : ids) stopUiTimer(id);
}

void AutoRefresh::tick(UiTimerId id) {
    auto found = countdowns_.find(id);
    if (found == countdowns_.end()) {
        stopUiTimer(id);
        return;
    }
    Countdown& countdown = found->second;
    if (controller_.currentScreenId() != countdown.screenId) {
        countdowns_.erase(found);
        stopUiTimer(id);
        return;
    }
    if (held()) {
        // A countdown that was due at once looks again each second.
        if (countdown.remaining == 0 && !countdown.slow) {
            Countdown waiting = countdown;
            waiting.slow = true;
            countdowns_.erase(found);
            stopUiTimer(id);
            arm(waiting, kTickMs);
        }
        return;
    }
    if (countdown.remaining > 0) --countdown.remaining;
    if (countdown.remaining > 0) return;
    const int screenId = countdown.screenId;
    // One due at once counts toward the loader's chain of unprompted openings.
    const bool atOnce = !countdown.slow;
    if (atOnce) {
        countdowns_.erase(found);
        stopUiTimer(id);
    } else {
        // It counts again: the reloaded page ends it, and a reload that
        // failed leaves the page shown, to be reloaded as it asked.
        countdown.remaining = countdown.seconds;
    }
    std::optional<PageLoader::UnpromptedScope> unprompted;
    if (atOnce) unprompted.emplace(controller_.pageLoader());
    reload(screenId);
}

void AutoRefresh::reload(int screenId) {
    PageEntry* entry = controller_.currentEntry();
    if (!entry || entry->screenId != screenId || entry->url.isEmpty()) return;
    lastRefresh_ = tickCount();
    sendReload(*entry);
}

void AutoRefresh::sendReload(const PageEntry& entry) {
    const int screenId = entry.screenId;
    // The entry keeps the URL as it was sent; the reload gets new numbers.
    // A page a submission opened asks again with what was sent, as its
    // server wrote (a query's results); like any submission, that request
    // is never sent a second time by the client itself.
    const CString url = withoutPageParams(entry.url);
    reloading_ = true;
    reloadScreenId_ = screenId;
    reloadFlag_.reset();
    const int reloadId = controller_.openUrl({.url = url,
                                              .screenId = screenId,
                                              .replace = true,
                                              .blockInput = false,
                                              .submission = entry.submitted});
    reloading_ = false;
    reloadId_ = reloadId;
    if (CancelFlag listed = controller_.requests().cancelFlags().find(reloadId)) {
        reloadFlag_ = listed;
    }
}

void AutoRefresh::pageRequested() {
    if (reloading_ || !reloadFlag_) return;
    // The reload's reply would take the page first and leave the user's
    // reply no page to replace: the reload gives way, also when its reply
    // is in and waits for a box to close. Once its page is shown, it is done.
    if (controller_.currentScreenId() == reloadScreenId_) reloadFlag_->store(1);
    reloadFlag_.reset();
}

// --- the actions ---------------------------------------------------------------------------

void AutoRefresh::onRefresh(const CString& piece) {
    // The text between the first '(' and the first ')'.
    const int open = piece.find(u'(');
    const int close = piece.find(u')');
    CString argument;
    if (open >= 0 && close > open) argument = piece.mid(open + 1, close - open - 1);
    argument.trim();

    // Nothing: the page again, at once.
    if (argument.isEmpty()) {
        PageEntry* entry = controller_.currentEntry();
        if (entry && !entry->url.isEmpty()) sendReload(*entry);
        return;
    }

    // "#system.key": the setting's value, substituted once; a value that
    // names a setting again does nothing.
    if (argument.find(CString(u"#system")) >= 0) {
        CString key = argument.mid(std::min(8, argument.length()));
        key.replace(u'_', u'-');
        const CString value = controller_.settings().value(key);
        if (value.isEmpty() || value.find(CString(u"#system")) >= 0) return;
        if (std::optional<int32_t> seconds = parseRefreshSeconds(value)) {
            start(*seconds);
        }
        return;
    }

    // A number of seconds; anything else does nothing.
    if (std::optional<int32_t> seconds = parseRefreshSeconds(argument)) {
        start(*seconds);
    }
}

int AutoRefresh::getRefreshMode() const {
    return refreshMode(controller_.getSystemValue(CString(u"sys-refreshtype")),
                       controller_.memoryValue(CString(u"sys-refreshmode")));
}

void AutoRefresh::onCtrlRefresh(const CString& piece) {
    const int open = piece.find(u'(');
    const int close = piece.find(u')');
    CString name;
    if (open >= 0 && close > open) name = piece.mid(open + 1, close - open - 1);
    name.trim();
    Item* item = controller_.getItemByName(name);
    if (!item) return;
    // Index tables and charts name their data link; other items give the
    // empty link, which the loader ignores.
    CString link;
    if (auto* index = dynamic_cast<LargeCapIndex*>(item)) {
        link = index->getDataLink();
    } else if (auto* chart = dynamic_cast<Chart*>(item)) {
        link = chart->getDataLink();
    }
    controller_.openUrl({.url = link, .screenId = controller_.currentScreenId()});
}

}  // namespace zq
