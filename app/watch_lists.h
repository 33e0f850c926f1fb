// WatchLists: the controller's watch-lists (the file's own list, one list
// per user, the user map the request values read), the watch-list file
// "\UserData\MyStock.ini" and the recent-stock file. UI thread.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "app/action_host.h"
#include "market/watch_list.h"
#include "platform/cstring.h"

namespace zq {

class WatchLists {
public:
    explicit WatchLists(ActionHost& host) : host_(host) {}
    WatchLists(const WatchLists&) = delete;
    WatchLists& operator=(const WatchLists&) = delete;

    // The codes of list `type` (0 stocks, 1 funds) of the group `listName`
    // as a request value (WatchList::requestCodes); empty when there is none.
    CString getWatchListCodes(const CString& listName, int type) const;
    // "\UserData\MyStock.ini", read at start-up and written at exit.
    void loadWatchList();
    bool saveWatchList() const;
    // The recent-stock file named by "cli-recentname".
    void loadRecentStocks();
    bool saveRecentStocks() const;
    // The current watch-list, owned here; callers borrow it. Never null.
    WatchList* watchList() const { return watchList_; }
    // "saveuser", "stocksumbit": the watch-list of `user` becomes the
    // current one (an empty one is made, and entered for the user, when the
    // user has none; the empty name's is the file's own list). Every list
    // made stays owned here, so a borrowed list never dies while this lives.
    void useWatchListOf(const CString& user);
    // A page was shown: once the current watch-list holds codes (stocks or
    // funds) it is entered under the current user; `how` says whether an entry the user
    // already has stays.
    void enterWatchList(WatchListEntry how);
    RecentStockList& recentStocks() { return recentStocks_; }
    const RecentStockList& recentStocks() const { return recentStocks_; }

private:
    std::filesystem::path recentStocksPath() const;

    ActionHost& host_;
    // The list of MyStock.ini's own sections.
    std::unique_ptr<WatchList> fileWatchList_ = std::make_unique<WatchList>();
    // The lists made for users and read back for them, named after them.
    std::vector<std::unique_ptr<WatchList>> createdWatchLists_;
    // User name -> that user's list (borrowed from the two above).
    std::map<CString, WatchList*> userCodes_;
    WatchList* watchList_ = fileWatchList_.get();
    RecentStockList recentStocks_;
};

}  // namespace zq
