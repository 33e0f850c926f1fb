// PageController: the one object that drives the browser. It receives item
// events and soft-key commands from the current screen, resolves links,
// keeps the page history and holds the per-user state (settings, host
// choice, link variables). The session and the life of each request are its
// PageRequests (page_requests.h); pages load through its PageLoader; the
// actions run in handler objects that reach it through ActionHost.
//
// Threads: the controller is for the UI thread. Network threads touch only
// its request bookkeeping (in PageRequests), and post the rest.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/action_host.h"
#include "app/form_actions.h"
#include "app/input_actions.h"
#include "app/navigation_actions.h"
#include "app/page_history.h"
#include "app/page_loader.h"
#include "app/page_requests.h"
#include "app/settings_store.h"
#include "app/table_actions.h"
#include "app/watch_lists.h"
#include "core/host_record.h"
#include "core/zq_exception.h"
#include "market/watch_list.h"
#include "markup/form_submission.h"
#include "markup/markup_page.h"
#include "net/host_set.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "ui/command.h"
#include "ui/page_services.h"
#include "ui/screen_services.h"

namespace zq {

class AutoRefresh;
class Displayable;
class Event;
class Item;
class SpeedTestAction;
class TextFieldEvent;

class PageController : public PageHost,
                       public CommandListener,
                       public PageNavigator,
                       public ScreenShell,
                       public FormContext,
                       public LoaderHost {
public:
    static constexpr const char16_t* kClientVersion = u"2.2.0.11";

    explicit PageController(ControllerFolders folders);
    ~PageController() override;
    PageController(const PageController&) = delete;
    PageController& operator=(const PageController&) = delete;

    // --- toolkit interfaces ---------------------------------------------------
    // EventListener (through PageHost): item events.
    void onEvent(std::unique_ptr<Event> event) override;
    // CommandListener: soft-key commands of the current screen.
    void commandAction(Command* command, Displayable* source) override;
    // PageNavigator: openUrl for the current screen, no replace.
    void navigate(const CString& address, NavigationLoading loading,
                  NavigationInput input) override;

    // PageHost.
    void runAction(const CString& action) override { onAction(action); }
    CommandListener* commandListener() override { return this; }
    CString getSystemValue(const CString& key) const override;
    CString markerValue(const CString& key) const override;
    void clearMarkerValues() override { linkVariables_.clear(); }
    void setSnKey(const CString& key) override { snKey_ = key; }
    void setDnKey(const CString& key) override { dnKey_ = key; }
    std::string loadContent(const CString& path) override {
        return loader_.loadContent(path, true).value_or(std::string());
    }
    CString characterSet() const override { return languageName_; }
    // --- remote pictures ---
    // The link of the page being built, else of the shown page.
    CString baseUrl() const override { return loader_.baseUrl(); }
    // Fetched on a picture thread (a few at most); `done` runs on the UI
    // thread, and never once the session is replaced or the controller goes.
    void fetchPicture(const CString& url, std::function<void(ImageRef)> done) override {
        requests_.fetchPicture(url, std::move(done));
    }
    // PageNavigator: a picture for the shown page, without loading bar,
    // error or retry address.
    void requestPicture(const CString& address, const PictureTargetRef& target) override {
        requests_.requestPicture(address, target);
    }
    // --- end remote pictures ---

    // ScreenShell.
    void setMainCaption(const CString& text) override { mainCaption_ = text; }
    // A hidden screen's pictures are no longer wanted either.
    void clearPendingRequests() override {
        requests_.pendingRequestIds().clear();
        requests_.leavePictures();
    }
    void notePaintTimes(uint32_t start, uint32_t end) override;
    bool pageTimingOverlay(PageTiming& timing) override;

    // --- small operations -----------------------------------------------------
    // Null for an empty name or without a current page.
    Item* getItemByName(const CString& name) const override;
    // False (nothing changes) while the current screen loads with input
    // blocked; else the current screen starts loading for `requestId`.
    bool beginLoading(bool blockInput, int requestId) override;
    void addLoadingProgress(int delta, int requestId) override;
    // The id of the shown page's screen, -1 when none.
    int currentScreenId() const override;
    Screen* currentScreen() const override;
    // Traffic of the session, 0 without one.
    float getReceivedBytes() const;
    float getSentBytes() const;
    // Stores host `index` of the host set as the host choice; an index out
    // of range changes nothing.
    void chooseHost(int index);
    // The "exitapp" action.
    void onExitApp(const CString& args);

    // --- settings and system values --------------------------------------------
    SettingsStore& settings() override { return settings_; }
    const SettingsStore& settings() const { return settings_; }
    // Writes `value` under `key` into the stored settings and the file.
    // `sectionKind`: 0 "info-data", 1 "info-RegInfo", else "info-system".
    // `applyName` "all" re-applies the client settings and copies the value
    // into the live settings.
    void setSetting(const CString& key, const CString& value, int sectionKind, bool reloadHosts,
                    const CString& applyName) override;
    // The "save" action: the value of the item that raised the event.
    void saveAction(const CString& actionText);
    // Applies `map`'s client settings (time-outs, screen size, colours).
    void applyClientSettings(SettingsMap& map);
    // "sys-waittime" seconds become the session's reply wait.
    void applyWaitTime();
    // Milliseconds a request waits for its reply.
    uint32_t replyWaitMs() const { return requests_.replyWaitMs(); }
    void loadHostChoice();
    void saveHostChoice(const CString& hostText);
    void saveCurrentHost();
    // The "resetnetdata" action.
    void resetTraffic();
    // The exit routine: writes the settings and traffic totals, ends the
    // session and calls the shutdown handler.
    void saveSettings();
    void setShutdownHandler(std::function<void()> handler) { shutdown_ = std::move(handler); }
    // The "connect" action: start-up continues from the server-selection
    // page through the handler the application installs.
    void setConnectHandler(std::function<void()> handler) { connect_ = std::move(handler); }
    void onConnect() {
        if (connect_) connect_();
    }
    // "&amp;" becomes "&"; each "$name=value&...$" block is cut out of the
    // link into the link variables.
    void extractLinkVariables(CString& link) override;

    // --- links ----------------------------------------------------------------
    // The full URL of a link; throws ZQException("URL is Empty") for an
    // empty one.
    CString resolveUrl(const CString& link) override;
    // The same for a link on the page of `pageUrl` and `pageBase`.
    CString resolvePageLink(const CString& link, const CString& pageUrl,
                            const CString& pageBase) override;
    // The request target sent to the server for request `requestId`:
    // session parameter, "system." values and "pageid"/"screenid" added,
    // unsafe bytes percent-encoded.
    CString buildRequestParams(const CString& url, int requestId) const override;

    // --- history ----------------------------------------------------------------
    // Shows the entry `offset` steps back (negative: forward); an entry
    // marked for update is fetched again.
    void goHistory(int offset) override;
    PageHistory& history() override { return history_; }

    // --- state ------------------------------------------------------------------
    PageEntry* currentEntry() const override { return currentEntry_; }
    // The session and the request life; the three below are its most used.
    PageRequests& requests() override { return requests_; }
    const PageRequests& requests() const { return requests_; }
    HttpSession* session() const { return requests_.session(); }
    void setSession(std::unique_ptr<HttpSession> session) {
        requests_.setSession(std::move(session));
    }
    HostSet& hostSet() { return hostSet_; }
    const HostRecord& currentHost() const { return currentHost_; }
    void setCurrentHost(const HostRecord& host) { currentHost_ = host; }
    const FontRef& pageFont() const override { return pageFont_; }
    void setPageFont(FontRef font) { pageFont_ = std::move(font); }
    ZQException& errors() override { return errors_; }
    const ControllerFolders& folders() const override { return folders_; }
    // host:port -> (name, value), from the markup "session" element.
    void setSessionParam(const CString& hostPort, const CString& name, const CString& value);
    // Any thread (behind its own lock).
    void setCurrentUser(const CString& user) override;
    CString currentUser() const override;
    void setMemoryValue(const CString& key, const CString& value) { memoryValues_[key] = value; }
    CString memoryValue(const CString& key) const override;
    const CString& mainCaption() const { return mainCaption_; }
    // "sys-longuage" as start-up read it; "big5" (any case) narrows fetched
    // style sheets and command documents to what Big5 holds.
    void setLanguageName(const CString& name) { languageName_ = name; }
    // The texts "var-imsi" and "var-imei" send.
    void setDeviceIdentity(const CString& imsi, const CString& imei);
    // Null also when the item belongs to another page than the one shown.
    Item* eventSource() const override;
    EventListener* eventListener() override { return this; }

    // --- pages, events and actions ------------------------------------------
    // Page loading and the pages of replies (page_loader.h); what it does
    // beyond the interfaces below is asked of it directly.
    PageLoader& pageLoader() { return loader_; }
    // Inside onSubmittedAction every request is a submission.
    int openUrl(const PageRequest& request) override;
    void makeCurrent(PageEntry* entry) override { loader_.makeCurrent(entry); }
    void showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                  const CancelFlag& cancelFlag) override {
        loader_.showPage(std::move(entry), screenId, replace, cancelFlag);
    }
    // Runs `task` on the UI thread while the controller lives; any thread.
    void postToController(std::function<void(PageController&)> task);
    void postToHost(std::function<void()> task) override;
    PageHost& pageHost() override { return *this; }
    void setCurrentEntry(PageEntry* entry) override { currentEntry_ = entry; }
    const CommandRef& exitCommand() const override { return exitCommand_; }
    const CommandRef& backCommand() const override { return backCommand_; }
    // A text field's event: runs its action, with the field's name and value
    // set in the link of "update", "forward" and "gettablerow".
    void onTextFieldEvent(const TextFieldEvent& event);
    // The action dispatcher (action_dispatcher.cpp) calls these handlers.
    void onAction(const CString& actions) override;
    void onSubmittedAction(const CString& actions) override;
    FormActions& formActions() override { return formActions_; }
    NavigationActions& navigationActions() override { return navigationActions_; }
    InputActions& inputActions() { return inputActions_; }
    TableActions& tableActions() { return tableActions_; }
    AutoRefresh& autoRefresh() override { return *autoRefresh_; }
    // PageNavigator: 0, 1 or 2 from "sys-refreshtype" and "sys-refreshmode".
    int getRefreshMode() const override;
    SpeedTestAction& speedTest() { return *speedTest_; }
    // The controller's side of the side-effect elements (page_side_effects.h).
    SideEffectHost* sideEffects() override { return sideEffectHost_.get(); }
    bool loginFlag() const { return loginFlag_; }
    void setLoginFlag(bool on) { loginFlag_ = on; }
    // FormContext.
    CString formSnKey() const override { return snKey_; }
    CString formDnKey() const override { return dnKey_; }
    void repaintCurrentScreen() override;

    // --- watch-lists (watch_lists.h) -------------------------------------------
    WatchLists& watchLists() { return watchLists_; }
    WatchList* watchList() const override { return watchLists_.watchList(); }
    void useWatchListOf(const CString& user) override { watchLists_.useWatchListOf(user); }
    void enterWatchList(WatchListEntry how) { watchLists_.enterWatchList(how); }
    RecentStockList& recentStocks() { return watchLists_.recentStocks(); }

private:
    // resolveUrl against a page (null: none shown).
    CString resolveLinkOn(const CString& link, const CString* pageUrl, const CString* pageBase);
    // The value of a "system." request key; empty leaves the key out.
    CString requestSystemValue(const CString& key) const;
    // A field's value as its form sends it (encoded when the field asks).
    CString valueToSend(Item* field, const CString& value);

    std::shared_ptr<const int> uiAnchor_ = std::make_shared<const int>(0);
    bool loginFlag_ = false;
    std::unique_ptr<SideEffectHost> sideEffectHost_;
    std::unique_ptr<AutoRefresh> autoRefresh_;
    std::unique_ptr<SpeedTestAction> speedTest_;
    mutable std::mutex currentUserLock_;
    ControllerFolders folders_;
    HostRecord currentHost_;
    CString dnKey_;
    CString snKey_;
    std::map<CString, std::pair<CString, CString>> sessionParams_;
    CString currentUser_;
    // "@" + name -> value.
    std::map<CString, CString> linkVariables_;
    CString mainCaption_;

    PageEntry* currentEntry_ = nullptr;
    FontRef pageFont_;
    ZQException errors_;
    SettingsStore settings_;
    HostSet hostSet_;
    CommandRef backCommand_;
    CommandRef exitCommand_;
    // The item of the last item event; the actions that run after it
    // (soft keys, onload) may still read it, so it reads null once the item
    // dies.
    ItemRef eventSource_;
    // Actions the user sends running now (onSubmittedAction).
    int submitting_ = 0;
    // Written by the markup "memsave" element.
    std::map<CString, CString> memoryValues_;
    CString languageName_{u"gb2312"};
    CString imsi_;
    CString imei_;
    std::function<void()> shutdown_;
    std::function<void()> connect_;

    FormActions formActions_{*this};
    NavigationActions navigationActions_{*this};
    TableActions tableActions_{*this};
    WatchLists watchLists_{*this};
    InputActions inputActions_{*this};
    PageLoader loader_{*this};
    // The session and the request life. Its threads reach the controller, so
    // the destructor ends them (requests_.shutDown()) once the history (the
    // screens) is gone, while every other member still stands.
    PageRequests requests_{*this};
    PageHistory history_;
};

}  // namespace zq
