#include "app/watch_lists.h"

#include <memory>
#include <vector>

#include "platform/files.h"

namespace zq {

void WatchLists::useWatchListOf(const CString& user) {
    auto entered = userCodes_.find(user);
    if (entered != userCodes_.end()) {
        watchList_ = entered->second;
        return;
    }
    if (user.isEmpty()) {
        watchList_ = fileWatchList_.get();
        return;
    }
    WatchList* made = createdWatchLists_.emplace_back(std::make_unique<WatchList>(user)).get();
    userCodes_.emplace(user, made);
    watchList_ = made;
}

void WatchLists::enterWatchList(WatchListEntry how) {
    // A list of funds alone is a list too: its codes are sent as well.
    if (!watchList_ ||
        (watchList_->codes(kWatchStock).empty() && watchList_->codes(kWatchFund).empty())) {
        return;
    }
    if (how == WatchListEntry::Replace) {
        userCodes_[host_.currentUser()] = watchList_;
    } else {
        userCodes_.emplace(host_.currentUser(), watchList_);
    }
}

CString WatchLists::getWatchListCodes(const CString& listName, int type) const {
    auto group = userCodes_.find(listName);
    if (group == userCodes_.end()) return CString();
    return group->second->requestCodes(type);
}

void WatchLists::loadWatchList() {
    WatchListFile file = WatchListFile::load(host_.folders().userData / WatchList::kFileName);
    *fileWatchList_ = std::move(file.own);
    for (WatchList& user : file.users) {
        const CString name = user.getName();
        WatchList* read =
            createdWatchLists_.emplace_back(std::make_unique<WatchList>(std::move(user))).get();
        userCodes_[name] = read;
    }
    watchList_ = fileWatchList_.get();
    if (auto current = userCodes_.find(host_.currentUser()); current != userCodes_.end()) {
        watchList_ = current->second;
    }
}

bool WatchLists::saveWatchList() const {
    if (host_.folders().userData.empty() || !makeDirectories(host_.folders().userData))
        return false;
    // Every user's list under its own name, the file's own list as it is.
    std::vector<const WatchList*> users;
    std::vector<std::unique_ptr<WatchList>> copies;
    for (const auto& [user, list] : userCodes_) {
        if (user.isEmpty()) continue;
        if (list->getName() == user) {
            users.push_back(list);
        } else {
            // A list entered for a user it was not made for is kept for that
            // user too.
            const WatchList* copy = copies.emplace_back(std::make_unique<WatchList>(*list)).get();
            copies.back()->setName(user);
            users.push_back(copy);
        }
    }
    return WatchListFile::save(host_.folders().userData / WatchList::kFileName, *fileWatchList_,
                               users);
}

std::filesystem::path WatchLists::recentStocksPath() const {
    CString name = host_.getSystemValue(CString(u"cli-recentname"));
    if (name.trim().isEmpty()) name = CString(RecentStockList::kDefaultFileName);
    // The name comes from the settings: it stays inside the user folder.
    return resolveConfined(host_.folders().userData, name).value_or(std::filesystem::path());
}

void WatchLists::loadRecentStocks() {
    const std::filesystem::path path = recentStocksPath();
    if (!path.empty()) recentStocks_.load(path);
}

bool WatchLists::saveRecentStocks() const {
    const std::filesystem::path path = recentStocksPath();
    if (path.empty() || !makeDirectories(host_.folders().userData)) return false;
    return recentStocks_.save(path);
}

}  // namespace zq
