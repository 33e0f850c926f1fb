#include "app/page_history.h"

#include <algorithm>
#include <atomic>
#include <utility>

namespace zq {

namespace {

int nextScreenId() {
    // Ids stay positive and distinct for the life of the process; -1 means
    // "no screen" in requests.
    static std::atomic<int> last{0};
    int id = last.fetch_add(1) + 1;
    return id > 0 ? id : 1;
}

}  // namespace

PageEntry::PageEntry() : screenId(nextScreenId()) {}

PageEntry::~PageEntry() {
    // The screen points into the page; it goes first.
    screen.reset();
    page.reset();
}

bool PageEntry::isSamePage(const PageEntry* other) const {
    return other != nullptr && !other->cacheId.isEmpty() && cacheId.equalsNoCase(other->cacheId);
}

class PageHistory::ShownGuard {
public:
    // A nested call keeps the entry its caller found shown.
    explicit ShownGuard(PageHistory& history) : history_(history), outer_(history.onDisplay_) {
        if (!outer_) history_.onDisplay_ = history_.shown();
    }
    ~ShownGuard() { history_.onDisplay_ = outer_; }
    ShownGuard(const ShownGuard&) = delete;
    ShownGuard& operator=(const ShownGuard&) = delete;

private:
    PageHistory& history_;
    const PageEntry* outer_;
};

PageHistory::~PageHistory() { clear(); }

PageEntry* PageHistory::at(int index) const {
    if (index < 0 || index >= count()) return nullptr;
    return entries_[static_cast<size_t>(index)].get();
}

PageEntry* PageHistory::recycledAt(int index) const {
    if (index < 0 || index >= recycledCount()) return nullptr;
    return recycled_[static_cast<size_t>(index)].get();
}

PageEntry* PageHistory::shown() const { return pending_ ? pending_.get() : at(current_); }

void PageHistory::recyclePage(std::unique_ptr<PageEntry> entry) {
    if (static_cast<int>(recycled_.size()) >= kRecycleLimit) {
        // The oldest goes, unless the Display still shows it.
        auto oldest = recycled_.begin();
        if (oldest->get() == onDisplay_) ++oldest;
        recycled_.erase(oldest);
    }
    if (entry) recycled_.push_back(std::move(entry));
}

std::unique_ptr<PageEntry> PageHistory::takeAt(int index) {
    auto it = entries_.begin() + index;
    std::unique_ptr<PageEntry> entry = std::move(*it);
    entries_.erase(it);
    if (index <= kept_) --kept_;
    return entry;
}

void PageHistory::insertAt(int index, std::unique_ptr<PageEntry> entry) {
    entries_.insert(entries_.begin() + index, std::move(entry));
    if (index <= kept_) ++kept_;
}

int PageHistory::firstShownPage() const {
    int first = 0;
    while (first < count() && isOpener(first)) ++first;
    return first;
}

void PageHistory::dropSamePage(const PageEntry* entry, bool force) {
    for (int i = 0; i < count(); ++i) {
        if (!entries_[static_cast<size_t>(i)]->isSamePage(entry)) continue;
        if (i != current_ || pending_ || force) {
            recyclePage(takeAt(i));
            if (i <= current_) --current_;
        }
        return;
    }
}

PageEntry* PageHistory::entryAt(int offset) {
    ShownGuard guard(*this);
    // A pending page is one step ahead of the current entry.
    long long target = static_cast<long long>(current_) - offset + (pending_ ? 1 : 0);
    target = std::clamp<long long>(target, 0, count());
    if (offset > 0 && target < count()) {
        // Showing it again would open the page it opened again.
        while (target > 0 && isOpener(target)) --target;
        // The first pages opened the one after them: that one is the first
        // page the user sees.
        if (isOpener(target)) {
            const int first = firstShownPage();
            if (first <= current_) {
                target = first;
            } else if (pending_) {
                target = count();
            }
        }
    }
    if (target < count()) {
        current_ = static_cast<int>(target);
        recyclePage(std::move(pending_));
        return at(current_);
    }
    return pending_.get();
}

int PageHistory::push(std::unique_ptr<PageEntry> entry, bool keep) {
    ShownGuard guard(*this);
    dropSamePage(entry.get(), true);
    // Forward history is dropped.
    while (count() > current_ + 1) recyclePage(takeAt(count() - 1));
    const int position = current_ + 1;
    if (!keep) {
        recyclePage(std::move(pending_));
        pending_ = std::move(entry);
        return position;
    }
    insertAt(count(), std::move(entry));
    ++current_;
    recyclePage(std::move(pending_));
    if (count() > kLimit) {
        // The first page always stays: the oldest page after it goes. While
        // a chain of openings runs, the user's pages stay, and the chain's
        // own oldest page goes.
        const int oldest = kept_ + 1 < current_ ? std::max(kept_ + 1, 1) : 1;
        recyclePage(takeAt(oldest));
        --current_;
    }
    return position;
}

int PageHistory::replaceCurrent(std::unique_ptr<PageEntry> entry, bool keep) {
    ShownGuard guard(*this);
    dropSamePage(entry.get(), false);
    if (pending_) {
        if (!keep) {
            recyclePage(std::move(pending_));
            pending_ = std::move(entry);
            return current_;
        }
        insertAt(current_ + 1, std::move(entry));
        ++current_;
        recyclePage(std::move(pending_));
        return current_;
    }
    if (current_ >= 0 && current_ < count()) {
        const int position = current_;
        std::unique_ptr<PageEntry> old;
        if (keep) {
            old = std::exchange(entries_[static_cast<size_t>(current_)], std::move(entry));
        } else {
            old = takeAt(current_);
            --current_;
            recyclePage(std::move(pending_));
            pending_ = std::move(entry);
        }
        recyclePage(std::move(old));
        return position;
    }
    return push(std::move(entry), keep);
}

void PageHistory::keepInList() { kept_ = current_; }

void PageHistory::cutBack() {
    ShownGuard guard(*this);
    if (kept_ < 0 || kept_ >= count() || (!pending_ && current_ <= kept_)) return;
    PageEntry* shownEntry = shown();
    std::unique_ptr<PageEntry> kept = std::move(pending_);
    while (count() > kept_ + 1) {
        std::unique_ptr<PageEntry> entry = takeAt(count() - 1);
        if (entry.get() == shownEntry) {
            kept = std::move(entry);
        } else {
            recyclePage(std::move(entry));
        }
    }
    current_ = kept_;
    pending_ = std::move(kept);
}

void PageHistory::clear() {
    for (auto& entry : entries_) recyclePage(std::move(entry));
    entries_.clear();
    current_ = 0;
    kept_ = -1;
}

}  // namespace zq
