// Auto-refresh: the countdowns that the "refresh" action starts.
//
// Each "refresh(N)" starts one countdown of N one-second UI-thread timer
// ticks; several on one page run side by side. A countdown belongs to the
// page that was shown when it started (its entry's screen id, never reused)
// and ends without reloading at the first tick that finds another page
// shown. While the shown screen is held (its menu open, a keyboard up, a
// screen such as an alert or the speed test over it, a message box open)
// the count does not move and nothing reloads; so too while a request of
// the page is loading, for the user's request wins over a reload, while a
// key or the pen is down (a press acts on the page it began on), and while
// a letter is being chosen in the focused field or for a short pause after
// the last key or tap there. At zero the page is
// opened again in its place, whatever opened it, and
// the count starts again: the reloaded page ends it, while a reload that
// failed leaves the page to reload N seconds later.
//
// The reloaded page takes over what the user did on the one it replaces
// (app/reload_keeping.h); a value whose field the new page no longer has
// is dropped with it.
//
// UI thread only. Destroying it stops every timer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "app/reload_keeping.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/ui_executor.h"

namespace zq {

class PageController;
class Screen;
struct PageEntry;

// The seconds of a "refresh" argument: blanks, an optional sign and at
// least one digit, saturating at the int32 range; nullopt for anything else.
std::optional<int32_t> parseRefreshSeconds(const CString& argument);

// `url` without the "pageid=N&screenid=M" pairs a request added to it.
CString withoutPageParams(const CString& url);

// The refresh mode of a "sys-refreshtype" setting and a remembered
// "sys-refreshmode" value: 0 none, 1 or 2 (compared without regard to case).
int refreshMode(const CString& refreshType, const CString& rememberedMode);

class AutoRefresh {
public:
    static constexpr uint32_t kTickMs = 1000;
    // How long after a key the focused field counts as being typed in.
    static constexpr int32_t kTypingPauseMs = 1000;

    explicit AutoRefresh(PageController& controller) : controller_(controller) {}
    ~AutoRefresh() { stopAll(); }
    AutoRefresh(const AutoRefresh&) = delete;
    AutoRefresh& operator=(const AutoRefresh&) = delete;

    // Counts `seconds` down for the page shown now; 0 or less reloads at the
    // next round of the UI thread. Nothing without a shown page.
    void start(int32_t seconds);
    // Stops every countdown.
    void stopAll();
    size_t running() const { return countdowns_.size(); }
    // tickCount() of the last reload, 0 before the first.
    uint32_t lastRefreshTick() const { return lastRefresh_; }
    // A page request of anyone else: a reload still in flight is cancelled,
    // so that the page the user asked for is the one shown.
    void pageRequested();

    // What a reload's reply replacing the shown page keeps of it; nullopt
    // for any other reply.
    std::optional<KeptPage> keepForReload(const CancelFlag& flag) const;
    // A reload's reply waits while a key or the pen is down and while the
    // user types in a field (busyWithInput()); one that waited past the
    // page's period is cancelled, and the page's countdowns reload it again
    // once the user lets go or pauses.
    bool waitsForUser(const CancelFlag& flag, PageEntry& entry);
    // Set while a reload puts back what the user did: the page's change and
    // focus actions already ran for it.
    bool restoring() const { return restoring_; }
    class RestoreScope {
    public:
        explicit RestoreScope(AutoRefresh& refresh) : refresh_(refresh) {
            refresh_.restoring_ = true;
        }
        ~RestoreScope() { refresh_.restoring_ = false; }
        RestoreScope(const RestoreScope&) = delete;
        RestoreScope& operator=(const RestoreScope&) = delete;

    private:
        AutoRefresh& refresh_;
    };

    // The "refresh" and "ctrlrefresh" actions; each takes the whole piece.
    void onRefresh(const CString& piece);
    void onCtrlRefresh(const CString& piece);
    // 0, 1 or 2 from "sys-refreshtype" and the remembered "sys-refreshmode".
    int getRefreshMode() const;

private:
    struct Countdown {
        int screenId = -1;
        int64_t remaining = 0;
        int64_t seconds = 0;  // what it counts again from after a reload
        bool slow = false;    // on the one-second timer
    };
    void arm(Countdown countdown, uint32_t intervalMs);
    // The shown page is busy or covered: no count, no reload.
    bool held() const;
    void tick(UiTimerId id);
    // Opens the shown entry again in its place when it is still `screenId`.
    void reload(int screenId);
    // Opens `entry`'s page again in its place.
    void sendReload(const PageEntry& entry);
    // The user is typing in the focused field: a letter is pending, or a
    // key or a tap came less than kTypingPauseMs ago.
    bool editing() const;
    // A key or the pen is down, or the user is editing().
    bool busyWithInput() const;
    // The shortest period of the slow countdowns of `screenId`; 0: none.
    int64_t periodOf(int screenId) const;
    bool isReload(const CancelFlag& flag) const {
        return reloading_ || (flag && flag == reloadFlag_);
    }

    PageController& controller_;
    std::map<UiTimerId, Countdown> countdowns_;
    uint32_t lastRefresh_ = 0;
    // The last reload's page and request flag, until someone else asks for
    // a page.
    int reloadScreenId_ = -1;
    CancelFlag reloadFlag_;
    int reloadId_ = 0;
    // The reload reply waiting for the user, and since when.
    CancelFlag waitingFlag_;
    uint32_t waitingSince_ = 0;
    bool reloading_ = false;
    bool restoring_ = false;
};

}  // namespace zq
