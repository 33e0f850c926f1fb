// The pages the user has seen: PageEntry (one shown page and what it takes
// to reload, leave and re-enter it) and PageHistory (back, forward, home).
//
// The history owns its entries. A page that must not be cached is shown as
// the pending entry, outside the list. Entries that leave the list go to a
// recycle list of three before they are destroyed, so a page that was just
// left can still finish work on its screen.
//
// The entry shown when push, replaceCurrent or entryAt is called stays on
// the Display until the caller shows the entry the call handed out, so no
// call frees it: when it would be pushed out of the recycle list, the
// oldest other recycled entry goes instead. It can be freed from the next
// call on, once another entry is shown.
//
// UI thread only: entries own screens, and screens die on the UI thread.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "markup/markup_page.h"
#include "platform/cstring.h"
#include "ui/screen.h"

namespace zq {

struct PageEntry {
    PageEntry();
    ~PageEntry();
    PageEntry(const PageEntry&) = delete;
    PageEntry& operator=(const PageEntry&) = delete;

    // Same page: the other entry exists and both carry the same non-empty
    // cache id, compared without regard to case.
    bool isSamePage(const PageEntry* other) const;

    // Soft-key label -> action text of the page's own soft keys.
    std::map<CString, CString> commandActions;
    // The page outlives its screen: the screen's items point at the page's
    // listeners and command trees. Members die bottom-up.
    std::unique_ptr<MarkupPage> page;
    std::unique_ptr<Screen> screen;
    // Unique per entry, never reused; the "screenid" a request carries.
    const int screenId;
    // The page's "redirect" attribute when it set one, else the requested URL.
    CString url;
    bool cache = true;
    bool update = false;
    // Opened by a submission: its address carries what the user sent, so
    // asking for it again sends that again.
    bool submitted = false;
    CString onload;
    CString unonload;
    // Its load action opened another page: the action does not run again,
    // and a step back through the history passes over it.
    bool onloadDone = false;
    // The URL split as host, port and path.
    CString host;
    CString port;
    CString path;
    CString pageBase;
    CString cacheId;
    // Its form fields' values when first shown: what a reload tells apart
    // as the user's.
    std::optional<std::vector<CString>> shownValues;
};

class PageHistory {
public:
    static constexpr int kLimit = 10;
    static constexpr int kRecycleLimit = 3;

    PageHistory() = default;
    ~PageHistory();
    PageHistory(const PageHistory&) = delete;
    PageHistory& operator=(const PageHistory&) = delete;

    // Shows a new page after the current one; forward history is dropped and
    // an older copy of the same page leaves the list. Without `keep` the
    // entry becomes pending. Returns the entry's position (0: first page).
    int push(std::unique_ptr<PageEntry> entry, bool keep);
    // Puts the entry in place of the shown one (the shown pending page when
    // there is one). Returns the entry's position.
    int replaceCurrent(std::unique_ptr<PageEntry> entry, bool keep);
    // Moves `offset` entries back (negative: forward), clamped to the list,
    // and returns the entry there; past the newest entry, the pending entry
    // (possibly null) and nothing moves. A step back passes over the entries
    // whose load action opened another page; when the first pages all did,
    // it ends on the first page they opened.
    PageEntry* entryAt(int offset);
    // The first entry whose load action opened no page: the first page the
    // user sees (count() when there is none).
    int firstShownPage() const;
    // The entries up to the current one, the history the user has now, are
    // not the ones the bound pushes out while later pages come; the mark
    // follows them as entries before them leave or come.
    void keepInList();
    // The entries after the kept ones leave the list, all but the shown one,
    // which stays on as the pending entry: one step back is the last kept
    // entry. Nothing happens when none is kept or the shown one is kept.
    void cutBack();
    // Recycles every entry; the pending one stays.
    void clear();

    int current() const { return current_; }
    int count() const { return static_cast<int>(entries_.size()); }
    PageEntry* at(int index) const;
    PageEntry* pending() const { return pending_.get(); }
    // The shown entry: pending when set, else the one at current().
    PageEntry* shown() const;
    int recycledCount() const { return static_cast<int>(recycled_.size()); }
    PageEntry* recycledAt(int index) const;

private:
    // Marks the shown entry as the one this call must not free, until the
    // call returns.
    class ShownGuard;
    void recyclePage(std::unique_ptr<PageEntry> entry);
    // Removes the first entry that is the same page as `entry`, unless it is
    // the current one and neither `force` nor a pending page says otherwise.
    void dropSamePage(const PageEntry* entry, bool force);
    // Every entry leaves and comes through these two.
    std::unique_ptr<PageEntry> takeAt(int index);
    void insertAt(int index, std::unique_ptr<PageEntry> entry);
    bool isOpener(long long index) const { return at(static_cast<int>(index))->onloadDone; }

    int current_ = -1;
    std::vector<std::unique_ptr<PageEntry>> entries_;
    std::vector<std::unique_ptr<PageEntry>> recycled_;
    std::unique_ptr<PageEntry> pending_;
    const PageEntry* onDisplay_ = nullptr;
    // The last entry of the history keepInList() marked, -1: none.
    int kept_ = -1;
};

}  // namespace zq
