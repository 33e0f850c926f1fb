// The controller's watch-lists: the file's own list, one list per user, the
// user map the request values read, and the watch-list file. UI thread.
#include <memory>
#include <vector>

#include "app/page_controller.h"
#include "platform/files.h"

namespace zq {

void PageController::useWatchListOf(const CString& user) {
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

void PageController::enterWatchList(WatchListEntry how) {
    if (!watchList_ || watchList_->codes(kWatchStock).empty()) return;
    if (how == WatchListEntry::Replace) {
        userCodes_[currentUser()] = watchList_;
    } else {
        userCodes_.emplace(currentUser(), watchList_);
    }
}

CString PageController::getWatchListCodes(const CString& listName, int type) const {
    auto group = userCodes_.find(listName);
    if (group == userCodes_.end()) return CString();
    return group->second->joinCodes(type);
}

void PageController::loadWatchList() {
    WatchListFile file = WatchListFile::load(folders_.userData / WatchList::kFileName);
    *fileWatchList_ = std::move(file.own);
    for (WatchList& user : file.users) {
        const CString name = user.getName();
        WatchList* read =
            createdWatchLists_.emplace_back(std::make_unique<WatchList>(std::move(user))).get();
        userCodes_[name] = read;
    }
    watchList_ = fileWatchList_.get();
    if (auto current = userCodes_.find(currentUser()); current != userCodes_.end()) {
        watchList_ = current->second;
    }
}

bool PageController::saveWatchList() const {
    if (folders_.userData.empty() || !makeDirectories(folders_.userData)) return false;
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
    return WatchListFile::save(folders_.userData / WatchList::kFileName, *fileWatchList_, users);
}

}  // namespace zq
