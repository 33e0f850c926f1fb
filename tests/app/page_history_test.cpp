#include "app/page_history.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zq {
namespace {

std::unique_ptr<PageEntry> page(const char* url, const char* cacheId = "") {
    auto entry = std::make_unique<PageEntry>();
    entry->url = CString(url);
    entry->cacheId = CString(cacheId);
    return entry;
}

// Built with += : gcc 12 warns falsely about "p" + std::to_string(i) at -O3.
std::string numbered(int i) {
    std::string name = "p";
    name += std::to_string(i);
    return name;
}

std::string urlOf(const PageEntry* entry) {
    return entry ? entry->url.toUtf8() : std::string("(null)");
}

std::vector<std::string> listed(const PageHistory& history) {
    std::vector<std::string> urls;
    for (int i = 0; i < history.count(); ++i) urls.push_back(urlOf(history.at(i)));
    return urls;
}

std::vector<std::string> recycled(const PageHistory& history) {
    std::vector<std::string> urls;
    for (int i = 0; i < history.recycledCount(); ++i) urls.push_back(urlOf(history.recycledAt(i)));
    return urls;
}

using Urls = std::vector<std::string>;

TEST(PageHistory, PositionsAndBound) {
    PageHistory history;
    EXPECT_EQ(history.push(page("p1"), true), 0);  // the exit soft key
    EXPECT_EQ(history.push(page("p2"), true), 1);  // the back soft key
    for (int i = 3; i <= 11; ++i) {
        history.push(page(numbered(i).c_str()), true);
    }
    EXPECT_EQ(history.count(), PageHistory::kLimit);
    EXPECT_EQ(history.current(), 9);
    EXPECT_EQ(urlOf(history.at(0)), "p1");
    EXPECT_EQ(urlOf(history.at(1)), "p3");
    EXPECT_EQ(recycled(history), Urls({"p2"}));
}

TEST(PageHistory, RecycleListKeepsThreeNewest) {
    PageHistory history;
    for (int i = 1; i <= 14; ++i) history.push(page(numbered(i).c_str()), true);
    // p2..p5 left the list in that order; the first of them is gone.
    EXPECT_EQ(recycled(history), Urls({"p3", "p4", "p5"}));
}

TEST(PageHistory, SamePageLeavesTheListFirst) {
    PageHistory history;
    history.push(page("a", "quote"), true);
    history.push(page("b"), true);
    history.push(page("c", "QUOTE"), true);
    EXPECT_EQ(listed(history), Urls({"b", "c"}));
    EXPECT_EQ(history.current(), 1);
    // Entries without a cache id are never the same page.
    history.push(page("d"), true);
    history.push(page("e"), true);
    EXPECT_EQ(history.count(), 4);
}

TEST(PageHistory, UncachedPageIsPendingAndBackReturnsBeforeIt) {
    PageHistory history;
    history.push(page("a"), true);
    history.push(page("b"), true);
    EXPECT_EQ(history.push(page("nocache"), false), 2);
    EXPECT_EQ(history.count(), 2);
    EXPECT_EQ(urlOf(history.shown()), "nocache");
    // Back from the pending page is the entry at current, not the one before.
    EXPECT_EQ(urlOf(history.entryAt(1)), "b");
    EXPECT_EQ(history.pending(), nullptr);
    EXPECT_EQ(recycled(history), Urls({"nocache"}));
}

TEST(PageHistory, EntryAtClamps) {
    PageHistory history;
    history.push(page("a"), true);
    history.push(page("b"), true);
    history.push(page("c"), true);
    EXPECT_EQ(urlOf(history.entryAt(100)), "a");
    EXPECT_EQ(history.current(), 0);
    EXPECT_EQ(urlOf(history.entryAt(-1)), "b");
    EXPECT_EQ(urlOf(history.entryAt(-100)), "(null)");  // past the newest, no pending
    EXPECT_EQ(history.current(), 1);
    history.entryAt(-1);
    history.push(page("p"), false);
    EXPECT_EQ(urlOf(history.entryAt(-1)), "p");  // the pending page is the newest
    EXPECT_EQ(urlOf(history.entryAt(100)), "a");
}

TEST(PageHistory, PushDropsForwardHistory) {
    PageHistory history;
    history.push(page("a"), true);
    history.push(page("b"), true);
    history.push(page("c"), true);
    history.entryAt(2);
    EXPECT_EQ(history.push(page("d"), true), 1);
    EXPECT_EQ(listed(history), Urls({"a", "d"}));
}

// Regression: the shown page, dropped as the same page as a new one, was
// pushed out of the recycle list by the forward pages and freed while shown.
TEST(PageHistory, ShownEntryOutlivesTheCallThatRecyclesIt) {
    PageHistory history;
    for (const char* url : {"a", "s", "f1", "f2", "f3"}) {
        history.push(page(url, url[0] == 's' ? "s" : ""), true);
    }
    ASSERT_EQ(urlOf(history.entryAt(3)), "s");
    EXPECT_EQ(history.push(page("s2", "S"), true), 1);
    EXPECT_EQ(listed(history), Urls({"a", "s2"}));
    EXPECT_EQ(recycled(history), Urls({"s", "f1"}));
    // Once another page is shown, the old one may go.
    history.push(page("b"), true);
    history.entryAt(1);
    history.push(page("c"), true);
    EXPECT_EQ(recycled(history), Urls({"f1", "b"}));
}

TEST(PageHistory, ReplaceCurrent) {
    PageHistory history;
    // On an empty history it is a push.
    EXPECT_EQ(history.replaceCurrent(page("a"), true), 0);
    history.push(page("b"), true);

    // Kept: takes the slot.
    EXPECT_EQ(history.replaceCurrent(page("b2"), true), 1);
    EXPECT_EQ(listed(history), Urls({"a", "b2"}));
    EXPECT_EQ(recycled(history), Urls({"b"}));

    // Not kept: the slot goes and the page is pending.
    EXPECT_EQ(history.replaceCurrent(page("u"), false), 1);
    EXPECT_EQ(listed(history), Urls({"a"}));
    EXPECT_EQ(urlOf(history.pending()), "u");

    // A pending page is replaced in place, or joins the list when kept.
    EXPECT_EQ(history.replaceCurrent(page("u2"), false), 0);
    EXPECT_EQ(urlOf(history.pending()), "u2");
    EXPECT_EQ(history.replaceCurrent(page("k"), true), 1);
    EXPECT_EQ(listed(history), Urls({"a", "k"}));
    EXPECT_EQ(history.pending(), nullptr);
}

TEST(PageHistory, FirstPageMayBeUncached) {
    PageHistory history;
    EXPECT_EQ(history.push(page("splash"), false), 0);
    EXPECT_EQ(history.push(page("index"), true), 0);
    EXPECT_EQ(listed(history), Urls({"index"}));
    EXPECT_EQ(history.pending(), nullptr);
}

// Regression: Back showed a page whose load action had opened the page
// left, which opened it again; and a loop's pages pushed the page it began
// on out of the list, so the cut back after it found nothing. A first page
// that opened another was shown empty by Back and home; the user's pages
// went when the loop began on an uncached page or one that was reloaded.
TEST(PageHistory, BackPassesOverOpenersAndTheChainsStartStays) {
    struct Case {
        const char* name;
        // Shown in order; "b*": its load action opened the next; "d-": not
        // kept; "=r": reloads the shown page.
        std::vector<std::string> pages;
        int kept;                  // the history is marked once this page is shown, -1: never
        int pushedAfter;           // further pages pushed
        bool cut;                  // then cut back
        std::vector<int> offsets;  // then steps of these offsets
        const char* expected;      // the page shown
    };
    const Case cases[] = {
        {"back over one", {"a", "b*", "c"}, -1, 0, false, {1}, "a"},
        {"back over two", {"a", "b", "c*", "d*", "e"}, -1, 0, false, {1}, "b"},
        {"the first page opened the one after it", {"a*", "b", "c"}, -1, 0, false, {1, 1}, "b"},
        {"home from there", {"a*", "b", "c"}, -1, 0, false, {100}, "b"},
        {"which it opened uncached", {"a*", "b-"}, -1, 0, false, {1}, "b-"},
        {"forward is not passed over", {"a", "b*", "c"}, -1, 0, false, {2, -1}, "b*"},
        {"the chain's start stays", {"a", "b", "c"}, 2, 20, true, {1}, "c"},
        {"without it the bound drops it", {"a", "b", "c"}, -1, 20, true, {1}, "x18"},
        {"and the pages before it", {"a", "b", "c", "d"}, 3, 20, true, {1, 1}, "c"},
        {"begun on an uncached page", {"a", "b", "c", "d-"}, 3, 20, true, {1, 1}, "b"},
        {"begun on a page then reloaded", {"a", "b", "c", "=r"}, 2, 20, true, {1}, "=r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PageHistory history;
        for (size_t i = 0; i < c.pages.size(); ++i) {
            const std::string& name = c.pages[i];
            auto entry = page(name.c_str());
            entry->onloadDone = name.back() == '*';
            if (name[0] == '=') {
                history.replaceCurrent(std::move(entry), true);
            } else {
                history.push(std::move(entry), name.back() != '-');
            }
            if (static_cast<int>(i) == c.kept) history.keepInList();
        }
        for (int i = 0; i < c.pushedAfter; ++i) {
            std::string name = "x";
            name += std::to_string(i);
            history.push(page(name.c_str()), true);
        }
        if (c.cut) history.cutBack();
        const PageEntry* shown = nullptr;
        for (int offset : c.offsets) shown = history.entryAt(offset);
        EXPECT_EQ(urlOf(shown), c.expected);
    }
}

}  // namespace
}  // namespace zq
