// PageController: the one object that drives the browser. It receives item
// events and soft-key commands from the current screen, resolves and opens
// links, turns replies into shown pages, keeps the page history and holds
// the per-user state (settings, host choice, link variables). The session
// and the life of each request are its PageRequests (page_requests.h).
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

#include "app/page_history.h"
#include "app/page_requests.h"
#include "app/settings_store.h"
#include "core/host_record.h"
#include "core/zq_exception.h"
#include "market/watch_list.h"
#include "markup/form_submission.h"
#include "markup/markup_page.h"
#include "net/host_set.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "ui/alert_screen.h"
#include "ui/command.h"
#include "ui/page_services.h"
#include "ui/screen_services.h"

namespace zq {

class AutoRefresh;
class ContactPicker;
class Displayable;
class Event;
class Item;
class SpeedTestScreen;
class TextFieldEvent;

// Where the controller finds its files.
struct ControllerFolders {
    // The program folder's "ZQ Resource" folder: pages, the style sheet,
    // "ZQConfig.ini", "ZQConfigDefault.ini", "QuictPath.ini".
    std::filesystem::path resource;
    // The device's "\UserData\" folder (traffic counters, recent stocks).
    std::filesystem::path userData;
};

class PageController : public PageHost,
                       public CommandListener,
                       public PageNavigator,
                       public ScreenShell,
                       public FormContext {
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
    // PageNavigator: openUrl(link, current screen id, no replace, ...).
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
    std::string loadContent(const CString& path) override;
    CString characterSet() const override { return languageName_; }
    // --- remote pictures ---
    // The link of the page being built, else of the shown page.
    CString baseUrl() const override;
    // Fetched on a picture thread (a few at most); `done` runs on the UI
    // thread, and never once the session is replaced or the controller goes.
    void fetchPicture(const CString& url, std::function<void(std::vector<uint8_t>)> done) override {
        requests_.fetchPicture(url, std::move(done));
    }
    // PageNavigator: a picture for the shown page, without loading bar,
    // error or retry address.
    void requestPicture(const CString& address) override { requests_.requestPicture(address); }
    // --- end remote pictures ---

    // ScreenShell.
    void setMainCaption(const CString& text) override { mainCaption_ = text; }
    void clearPendingRequests() override { requests_.pendingRequestIds().clear(); }
    void notePaintTimes(uint32_t start, uint32_t end) override;
    bool pageTimingOverlay(PageTiming& timing) override;

    // --- small operations -----------------------------------------------------
    // Null for an empty name or without a current page.
    Item* getItemByName(const CString& name) const;
    // False (nothing changes) while the current screen loads with input
    // blocked; else the current screen starts loading for `requestId`.
    bool beginLoading(bool blockInput, int requestId);
    void addLoadingProgress(int delta, int requestId);
    // The id of the shown page's screen, -1 when none.
    int currentScreenId() const;
    Screen* currentScreen() const;
    // Traffic of the session, 0 without one.
    float getReceivedBytes() const;
    float getSentBytes() const;
    // Stores host `index` of the host set as the host choice; an index out
    // of range changes nothing.
    void chooseHost(int index);
    // The "exitapp" action.
    void onExitApp(const CString& args);

    // --- settings and system values --------------------------------------------
    SettingsStore& settings() { return settings_; }
    const SettingsStore& settings() const { return settings_; }
    // Writes `value` under `key` into the stored settings and the file.
    // `sectionKind`: 0 "info-data", 1 "info-RegInfo", else "info-system".
    // `applyName` "all" re-applies the client settings and copies the value
    // into the live settings.
    void setSetting(const CString& key, const CString& value, int sectionKind, bool reloadHosts,
                    const CString& applyName);
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
    void extractLinkVariables(CString& link);

    // --- links ----------------------------------------------------------------
    // The full URL of a link; throws ZQException("URL is Empty") for an
    // empty one.
    CString resolveUrl(const CString& link);
    // The request target sent to the server: session parameter, "system."
    // values and "pageid"/"screenid" added, unsafe bytes percent-encoded.
    CString buildRequestParams(const CString& url) const;
    CString formatPageParams() const;

    // --- history ----------------------------------------------------------------
    // Shows the entry `offset` steps back (negative: forward); an entry
    // marked for update is fetched again.
    void goHistory(int offset);
    PageHistory& history() { return history_; }

    // --- state ------------------------------------------------------------------
    PageEntry* currentEntry() const { return currentEntry_; }
    // The session and the request life; the three below are its most used.
    PageRequests& requests() { return requests_; }
    const PageRequests& requests() const { return requests_; }
    HttpSession* session() const { return requests_.session(); }
    void setSession(std::unique_ptr<HttpSession> session) {
        requests_.setSession(std::move(session));
    }
    SessionListener& sessionListener() { return requests_.sessionListener(); }
    HostSet& hostSet() { return hostSet_; }
    const HostRecord& currentHost() const { return currentHost_; }
    void setCurrentHost(const HostRecord& host) { currentHost_ = host; }
    const FontRef& pageFont() const { return pageFont_; }
    void setPageFont(FontRef font) { pageFont_ = std::move(font); }
    ZQException& errors() { return errors_; }
    const ControllerFolders& folders() const { return folders_; }
    // host:port -> (name, value), from the markup "session" element.
    void setSessionParam(const CString& hostPort, const CString& name, const CString& value);
    // Any thread (behind its own lock).
    void setCurrentUser(const CString& user) override;
    CString currentUser() const;
    void setMemoryValue(const CString& key, const CString& value) { memoryValues_[key] = value; }
    CString memoryValue(const CString& key) const;
    const CString& mainCaption() const { return mainCaption_; }
    // "sys-longuage" as start-up read it; "big5" (any case) narrows fetched
    // style sheets and command documents to what Big5 holds.
    void setLanguageName(const CString& name) { languageName_ = name; }
    // The texts "var-imsi" and "var-imei" send.
    void setDeviceIdentity(const CString& imsi, const CString& imei);
    const CString& lastUrl() const { return lastUrl_; }
    Item* eventSource() const { return eventSource_.get(); }

    // --- pages ---
    // Page loading, the pages of replies, events and soft keys. Defined in
    // page_loading.cpp, reply_handler.cpp and controller_events.cpp.
    void openUrl(const CString& link, int screenId, bool replace, bool showLoading, bool blockInput,
                 int flag);
    void makeCurrent(PageEntry* entry);
    // The entry a page text builds; null when it builds no screen (error 3
    // in errors() when the text does not parse). UI thread.
    std::unique_ptr<PageEntry> parsePage(std::string_view text, const CString& url);
    // The last parsePage built no entry because the page names a follow-up
    // link, which opens on a later round in its place.
    bool parseRedirected() const { return parseRedirected_; }
    // Pushes the entry on the history (or puts it in place of the shown one)
    // and shows it. Dropped when cancelled or when `screenId` (not -1) is no
    // longer shown. While the shown screen is busy a replace waits on a UI
    // timer, never in a loop. UI thread.
    void showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                  const CancelFlag& cancelFlag);
    // The "tempfile://" branch of openUrl.
    void openTemplate(const CString& link, int screenId, bool replace);
    // What a link names: a file below the resource folder, or a server reply,
    // fetched at once with `wait`, else sent for the reply handler (nullopt).
    std::optional<std::string> loadContent(CString link, bool wait);
    // A "file://" or "tempfile://" link whose file is there but larger than
    // a page may be (MarkupPage::kMaxPageFileBytes).
    bool localFileTooLarge(const CString& link) const;
    // A synchronous server request; `link` becomes the request URL sent. The
    // reply text, or nullopt when none came within the wait. UI thread.
    std::optional<std::string> fetchUrlAndWait(CString& link);
    // Sends a request whose reply the reply handler takes; nothing is sent
    // when it is cancelled or `screenId` (not -1) is no longer shown. False
    // when the session refused it (its error shown when the screen waited).
    // `link` is the address as asked, kept for the history (empty: url).
    bool sendRequest(const CString& url, int screenId, bool replace, const CancelFlag& cancelFlag,
                     const CString& link = CString());
    // The "sms://" branch of openUrl: sent on a thread of its own.
    void sendSmsUrl(const CString& link);
    // A page reply, on the UI thread.
    void onPageData(const CString& url, std::string text, int screenId, bool replace,
                    const CancelFlag& cancelFlag, int requestId);
    // The second document of a data reply: kind 2 acts through its side
    // effects, kind 3 is shown as a page. UI thread.
    void loadSecondDocument(const std::string& document, int secondKind, int serial,
                            const RequestRecord& record);
    // Builds a page for a request whose cancel flag ends the build's
    // synchronous fetches. UI thread.
    std::unique_ptr<PageEntry> parsePageFor(std::string_view text, const CString& url,
                                            const CancelFlag& cancelFlag);
    // Runs `task` on the UI thread while the controller lives; any thread.
    void postToController(std::function<void(PageController&)> task);

private:
    struct SmsSenderDeleter {
        void operator()(class SmsSender* sender) const;
    };
    std::shared_ptr<const int> uiAnchor_ = std::make_shared<const int>(0);
    std::unique_ptr<SmsSender, SmsSenderDeleter> smsSender_;

public:
    // --- end pages ---

    // --- actions ---
    // The action dispatcher and the navigation actions. Defined in
    // action_dispatcher.cpp and navigation_actions.cpp.
    void onAction(const CString& actions);
    // Each takes the whole action piece, "name(arguments)".
    void onForward(const CString& piece);
    void onKolmForward(const CString& piece);
    void onGetData(const CString& piece);
    void onUpdate(const CString& piece);
    void onBack(const CString& piece);
    void onForBack(const CString& piece);
    void onGoHome(const CString& piece);
    void onSwitchForward(const CString& piece);
    void onOpenSystemBrowser(const CString& piece);
    // The "tel://" branch of the page loader.
    void dialTelLink(const CString& link);
    // "http://host:port/path" -> host, port, path, as the link resolver
    // splits it.
    static void splitHttpHostPort(const CString& url, CString& host, CString& port, CString& path);
    // --- end actions ---

    // --- side effects, auto-refresh and speed test ---
    // The controller's side of the side-effect elements, the "refresh",
    // "ctrlrefresh" and "speedtest" actions. Defined in
    // page_side_effects.cpp, auto_refresh.cpp and speed_test_item.cpp.
    SideEffectHost* sideEffects() override { return sideEffectHost_.get(); }
    void onRefresh(const CString& piece);
    void onCtrlRefresh(const CString& piece);
    // 0, 1 or 2 from "sys-refreshtype" and the remembered "sys-refreshmode".
    int getRefreshMode() const override;
    void onSpeedTest(const CString& piece);
    AutoRefresh& autoRefresh() { return *autoRefresh_; }
    SpeedTestScreen* speedTestScreen() const { return speedTestScreen_.get(); }
    // Closes the speed-test screen and shows the page under it again.
    void closeSpeedTestScreen();
    bool loginFlag() const { return loginFlag_; }
    void setLoginFlag(bool on) { loginFlag_ = on; }

private:
    bool loginFlag_ = false;
    std::unique_ptr<SideEffectHost> sideEffectHost_;
    std::unique_ptr<AutoRefresh> autoRefresh_;
    std::unique_ptr<SpeedTestScreen> speedTestScreen_;

public:
    // --- end side effects, auto-refresh and speed test ---

    // --- dialog, form and input actions ---
    // Defined in form_actions.cpp. Each takes the whole action piece.
    void onAlert(const CString& piece);
    void onConfirm(const CString& piece);
    void onSubmit(const CString& piece);
    void onStockSubmit(const CString& piece);
    void onSpecialSubmit(const CString& piece);
    void onReset(const CString& piece);
    void onHide(const CString& piece);
    void onShow(const CString& piece);
    void onChangeCgp(const CString& piece);
    void onFocus(const CString& piece);
    void onSetFont(const CString& piece);
    void onGetOutLookToId(const CString& piece);
    void onClearApp(const CString& piece);
    // FormContext.
    CString formSnKey() const override { return snKey_; }
    CString formDnKey() const override { return dnKey_; }
    void repaintCurrentScreen() override;
    // The picker "GetOutLookToID" asks (borrowed); null puts back the
    // default, the picker of the installed device services.
    void setContactPicker(ContactPicker* picker);
    // While set, "alert" and "confirm" boxes wait for a later round of the
    // UI thread instead of opening inside the page being built.
    class PageBuildScope {
    public:
        explicit PageBuildScope(PageController& controller) : controller_(controller) {
            ++controller_.pageBuildDepth_;
        }
        ~PageBuildScope() { --controller_.pageBuildDepth_; }
        PageBuildScope(const PageBuildScope&) = delete;
        PageBuildScope& operator=(const PageBuildScope&) = delete;

    private:
        PageController& controller_;
    };

private:
    // The alert's "返" key, shared by every alert.
    CommandRef alertReturnCommand_;
    // Alerts shown, kept until they are neither current nor returned to.
    std::vector<std::unique_ptr<AlertScreen>> alerts_;
    ContactPicker* contactPicker_ = nullptr;
    int pageBuildDepth_ = 0;
    mutable std::mutex currentUserLock_;
    bool deferBoxes() const;
    void setItemsVisible(const CString& names, bool visible);

public:
    // --- end dialog, form and input actions ---

    // --- text input actions (input_actions.cpp) ---
    // "keyboardinput": the shown screen's code input pad, for the argument's
    // address template.
    void onKeyboardInput(const CString& piece);
    // "GetValueToSms(message,field)": "sms://" + the text field's text + "#"
    // + message; nothing when the named item is not a text field.
    void onGetValueToSms(const CString& piece);
    // A text field's event (controller_events.cpp): runs its action, with the
    // field's name and value set in the link of "update", "forward" and
    // "gettablerow".
    void onTextFieldEvent(const TextFieldEvent& event);
    // --- end text input actions ---

    // --- tables and watch-list ---
    // The table, chart and watch-list actions and files. Defined in
    // table_actions.cpp. Each action takes the whole piece.
    void onGetTableRow(const CString& piece);
    void onGetTableValueToId(const CString& piece);
    void onMoveUp(const CString& piece) { moveWatchRow(piece, true); }
    void onMoveDown(const CString& piece) { moveWatchRow(piece, false); }
    void onZhibiao(const CString& piece);
    void onDelMyStock(const CString& piece);
    // `ask`: false when "confirm" already asked.
    void onDelMyStockList(const CString& piece, bool ask = true);
    void onDelMyStockAll(const CString& piece);
    // The codes of list `type` (0 stocks, 1 funds) of the group `listName`
    // joined by ","; empty when there is none.
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
    // made stays owned here, so a borrowed list never dies while the
    // controller lives.
    void useWatchListOf(const CString& user);
    // A page was shown: once the current watch-list holds stocks it is
    // entered under the current user; `how` says whether an entry the user
    // already has stays.
    void enterWatchList(WatchListEntry how);
    RecentStockList& recentStocks() { return recentStocks_; }

private:
    void moveWatchRow(const CString& piece, bool up);
    std::filesystem::path recentStocksPath() const;
    // The list of MyStock.ini's own sections.
    std::unique_ptr<WatchList> fileWatchList_ = std::make_unique<WatchList>();
    // The lists made for users and read back for them, named after them.
    std::vector<std::unique_ptr<WatchList>> createdWatchLists_;
    // User name -> that user's list (borrowed from the two above).
    std::map<CString, WatchList*> userCodes_;
    WatchList* watchList_ = fileWatchList_.get();
    RecentStockList recentStocks_;

public:
    // --- end tables and watch-list ---

private:
    // The value of a "system." request key; empty leaves the key out.
    CString requestSystemValue(const CString& key) const;

    ControllerFolders folders_;
    HostRecord currentHost_;
    CString dnKey_;
    CString snKey_;
    std::map<CString, std::pair<CString, CString>> sessionParams_;
    CString currentUser_;
    // "@" + name -> value.
    std::map<CString, CString> linkVariables_;
    CString lastKeyText_;
    CString mainCaption_;

    int loadState_ = 0;
    PageEntry* currentEntry_ = nullptr;
    FontRef pageFont_;
    ZQException errors_;
    SettingsStore settings_;
    HostSet hostSet_;
    bool parseFailed_ = false;
    bool parseRedirected_ = false;
    // The current page's URL up to its last '/'.
    CString basePath_;
    // The URL of the page parsePage is building: its "/" content links lie
    // on its server.
    CString buildingUrl_;
    CString lastUrl_;
    CommandRef backCommand_;
    CommandRef exitCommand_;
    // The item of the last item event; the actions that run after it
    // (soft keys, onload) may still read it, so it reads null once the item
    // dies.
    ItemRef eventSource_;
    // Written by the markup "memsave" element.
    std::map<CString, CString> memoryValues_;
    CString networkName_;
    CString languageName_{u"gb2312"};
    CString imsi_;
    CString imei_;
    std::function<void()> shutdown_;
    std::function<void()> connect_;
    bool userInput_ = true;
    PageTiming pageTiming_;

    // The session and the request life. Its threads reach the controller, so
    // the destructor ends them (requests_.shutDown()) once the history (the
    // screens) is gone, while every other member still stands.
    PageRequests requests_{*this};
    PageHistory history_;
};

}  // namespace zq
