// ActionHost: what the action handlers (FormActions, NavigationActions,
// InputActions, TableActions) and the watch-lists reach of the page
// controller. The controller implements it and owns them, so none outlives
// its host.
//
// Threads: UI thread, apart from postToHost, which any thread may call.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "net/request_session.h"
#include "platform/cstring.h"

namespace zq {

class CommandListener;
class EventListener;
class Item;
class PageHistory;
class Screen;
class SettingsStore;
class WatchList;
class ZQException;
struct PageEntry;

// What openUrl is asked to open. Call sites name what differs from a link
// the user follows, which shows the loading bar and holds input until its
// page is in:
//   host.openUrl({.url = link, .screenId = host.currentScreenId(), .replace = true});
struct PageRequest {
    // The link as the page gives it; openUrl resolves it.
    CString url;
    // The screen that asks: its page is dropped once that screen is no
    // longer shown. -1: any screen.
    int screenId = -1;
    // The page takes the shown one's place in the history.
    bool replace = false;
    bool showLoading = true;
    bool blockInput = true;
    // It carries what the user sent: it goes out once, never again after a
    // late reply.
    bool submission = false;
};

// Where the controller finds its files.
struct ControllerFolders {
    // The program folder's "ZQ Resource" folder: pages, the style sheet,
    // "ZQConfig.ini", "ZQConfigDefault.ini", "QuictPath.ini".
    std::filesystem::path resource;
    // The device's "\UserData\" folder (traffic counters, recent stocks).
    std::filesystem::path userData;
};

class ActionHost {
public:
    virtual ~ActionHost() = default;

    // --- the shown page ---
    // Null before the first page.
    virtual PageEntry* currentEntry() const = 0;
    virtual Screen* currentScreen() const = 0;
    // -1 when no page is shown.
    virtual int currentScreenId() const = 0;
    // Null for an empty name or without a current page.
    virtual Item* getItemByName(const CString& name) const = 0;
    // The item of the last item event; null once it died.
    virtual Item* eventSource() const = 0;
    // Receive the events and soft-key commands of screens and pads a
    // handler opens.
    virtual EventListener* eventListener() = 0;
    virtual CommandListener* commandListener() = 0;

    // --- navigation ---
    // The id of the request it made (its cancel flag stays listed while it
    // is sent and unanswered); 0 when it made none.
    virtual int openUrl(const PageRequest& request) = 0;
    // Runs an action string through the dispatcher.
    virtual void onAction(const CString& actions) = 0;
    // The same for an action the user sends (a confirmed one, or one a form
    // built from its values): every request it opens is a submission.
    virtual void onSubmittedAction(const CString& actions) = 0;
    virtual void goHistory(int offset) = 0;
    virtual PageHistory& history() = 0;
    // Shows an entry of the history.
    virtual void makeCurrent(PageEntry* entry) = 0;
    // Pushes the entry on the history (or in place of the shown one) and
    // shows it, unless cancelled or `screenId` (not -1) is no longer shown.
    virtual void showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                          const CancelFlag& cancelFlag) = 0;
    // Runs `task` on the UI thread later, and never once the host is gone.
    virtual void postToHost(std::function<void()> task) = 0;

    // --- state ---
    virtual ZQException& errors() = 0;
    virtual CString memoryValue(const CString& key) const = 0;
    virtual CString currentUser() const = 0;
    virtual CString getSystemValue(const CString& key) const = 0;
    virtual SettingsStore& settings() = 0;
    virtual void setSetting(const CString& key, const CString& value, int sectionKind,
                            bool reloadHosts, const CString& applyName) = 0;
    virtual const ControllerFolders& folders() const = 0;
    virtual void useWatchListOf(const CString& user) = 0;
    // The current watch-list; never null.
    virtual WatchList* watchList() const = 0;
};

}  // namespace zq
