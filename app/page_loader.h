// PageLoader: page loading by scheme. openUrl resolves a link and acts on it
// (server pages through the session, local pages and templates from the
// resource folder, "tel://" and "sms://" through the device), parsePage
// builds a history entry from page text, showPage and makeCurrent put it on
// the display; onPageData and loadSecondDocument do the same for replies.
// Everything here runs on the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/action_host.h"
#include "app/link_resolver.h"
#include "app/page_requests.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/font.h"
#include "ui/command.h"
#include "ui/screen_services.h"

namespace zq {

class AutoRefresh;
class FormActions;
class MarkupPage;
class NavigationActions;
class PageHost;
class PageRequests;
class SmsSender;

// What the loader reaches of the controller beyond the action handlers'
// share.
class LoaderHost : public ActionHost {
public:
    virtual PageRequests& requests() = 0;
    // The host the pages being built talk to.
    virtual PageHost& pageHost() = 0;
    // Throws ZQException for an empty link.
    virtual CString resolveUrl(const CString& link) = 0;
    // The same for a link on the page of `pageUrl` and `pageBase`.
    virtual CString resolvePageLink(const CString& link, const CString& pageUrl,
                                    const CString& pageBase) = 0;
    virtual CString buildRequestParams(const CString& url, int requestId) const = 0;
    virtual bool beginLoading(bool blockInput, int requestId) = 0;
    virtual void addLoadingProgress(int delta, int requestId) = 0;
    virtual void extractLinkVariables(CString& link) = 0;
    virtual const FontRef& pageFont() const = 0;
    virtual void setCurrentEntry(PageEntry* entry) = 0;
    virtual FormActions& formActions() = 0;
    virtual NavigationActions& navigationActions() = 0;
    virtual AutoRefresh& autoRefresh() = 0;
    // The soft key of the first page shown, and of every later one.
    virtual const CommandRef& exitCommand() const = 0;
    virtual const CommandRef& backCommand() const = 0;
};

// Openings of pages that no input of the user started (a redirect, a load
// or unload action that opens a page, a refresh due at once) form a chain,
// however long each reply takes: a page that loops back on itself by any of
// these roads is stopped after kMaxInARow of them, and the openings no input
// started stay refused until the user's next step. An opening or a history
// step of the user ends the chain, as does a reload by refresh(n) with
// n >= 1, which its timer paces.
class OpeningChain {
public:
    static constexpr int kMaxInARow = 20;
    // Stop: this opening is one too many (the user is told); Stopped: a
    // later one before the user's next step.
    enum class Verdict { Admitted, Stop, Stopped };

    Verdict admit(bool unprompted);
    // The user ended it: later openings are refused until the user's next
    // step, without a word.
    void end();

private:
    int inARow_ = 0;
    bool stopped_ = false;
};

class PageLoader {
public:
    static constexpr const char16_t* kParseErrorText = u"接收数据内容异常，请稍后重试。";
    static constexpr const char16_t* kMissingFileText = u"页面文件不存在，无法打开";
    static constexpr const char16_t* kTooManyRedirectsText = u"页面转向次数过多，已停止打开";
    static constexpr const char16_t* kUnopenableLinkText = u"无法打开此链接";

    explicit PageLoader(LoaderHost& host);
    ~PageLoader();
    PageLoader(const PageLoader&) = delete;
    PageLoader& operator=(const PageLoader&) = delete;

    int openUrl(const PageRequest& request);
    // Shown by a reply or a page's own action, or by a step of the user
    // through the history, which ends a chain of openings.
    enum class Step { Shown, History };
    void makeCurrent(PageEntry* entry, Step step = Step::Shown);
    // The user steps back or cancels: the openings no input started since
    // the user's last step end, and the history is cut back to the page the
    // user was on, one step back from the page shown.
    void userLeavesChain();
    // The entry a page text builds; null when it builds no screen (error 3
    // in errors() when the text does not parse).
    std::unique_ptr<PageEntry> parsePage(std::string_view text, const CString& url);
    // The last parsePage built no entry because the page names a follow-up
    // link, which opens on a later round in its place (unless the redirects
    // in a row are too many, which the user is told).
    bool parseRedirected() const { return parseRedirected_; }
    // Pushes the entry on the history (or puts it in place of the shown one)
    // and shows it. Dropped when cancelled or when `screenId` (not -1) is no
    // longer shown. While the shown screen is busy a replace, and while a
    // box, an alert or the speed test stands over it any page, waits on a UI
    // timer, never in a loop.
    void showPage(std::unique_ptr<PageEntry> entry, int screenId, bool replace,
                  const CancelFlag& cancelFlag);
    // What a link names: a file below the resource folder, or a server reply,
    // fetched at once with `wait`, else sent for the reply handler (nullopt).
    // A server's answer other than a file's bytes is nothing for FetchFor::File.
    std::optional<std::string> loadContent(
        CString link, bool wait,
        PageRequests::FetchFor fetchFor = PageRequests::FetchFor::Anything);
    // What the user is told of a "file://" or "tempfile://" link that
    // loadContent could not read: too large to be a page
    // (MarkupPage::kMaxPageFileBytes), else not there.
    const char16_t* unreadableFileText(const CString& link) const;
    // A synchronous request for `url` (resolved): the reply text, or nullopt
    // when none came within the wait.
    std::optional<std::string> fetchAndWait(
        const CString& url, PageRequests::FetchFor fetchFor = PageRequests::FetchFor::Anything);
    // Sends a request whose reply the reply handler takes; true when it went
    // out. The session refusing it shows its error when the screen waited.
    // Callers drop cancelled requests and those of screens no longer shown.
    bool sendRequest(const RequestRecord& record);
    // A page reply to `record`, which asked for `url`.
    void onPageData(const CString& url, std::string text, const RequestRecord& record);
    // The second document of a data reply: kind 2 acts through its side
    // effects, kind 3 is shown as a page.
    void loadSecondDocument(const std::string& document, int secondKind, int serial,
                            const RequestRecord& record);
    // Builds a page for a request whose cancel flag ends the build's
    // synchronous fetches.
    std::unique_ptr<PageEntry> parsePageFor(std::string_view text, const CString& url,
                                            const CancelFlag& cancelFlag);
    // The link of the page being built, else of the shown page.
    CString baseUrl() const;
    // The screen id of the page being built, -1 outside a build.
    int buildingScreenId() const { return buildingScreenId_; }

    // Start-up's first page: the request openUrl would send for `link`
    // (resolved, with its parameters, its address the retry address), for
    // the caller to send and wait for; nullopt when the link names no
    // server page or there is no session.
    std::optional<RequestRecord> firstPageRequest(const CString& link);
    // Start-up follows the first page's redirects itself: a chain starts
    // with the count at zero and nothing held; while held, a page's
    // follow-up link is kept for takeHeldRedirect instead of opened, and
    // too many in a row are reported there instead of in a box.
    void startRedirectChain();
    void holdRedirects(bool hold) { holdRedirects_ = hold; }
    struct HeldRedirect {
        CString link;
        bool tooMany = false;
    };
    HeldRedirect takeHeldRedirect();
    // The last link opened; the retry soft key opens it again.
    const CString& lastUrl() const { return lastUrl_; }
    // That link was a submission.
    bool lastWasSubmission() const { return lastSubmission_; }
    // While it lives, what openUrl opens was started by no key of the user.
    class UnpromptedScope {
    public:
        explicit UnpromptedScope(PageLoader& loader) : loader_(loader) { ++loader_.unprompted_; }
        ~UnpromptedScope() { --loader_.unprompted_; }
        UnpromptedScope(const UnpromptedScope&) = delete;
        UnpromptedScope& operator=(const UnpromptedScope&) = delete;

    private:
        PageLoader& loader_;
    };

private:
    // How far openUrl got: a request went out (its flag stays listed), the
    // link was acted on, or the asking screen or a cancel dropped it.
    // Unopenable: nothing can act on the link.
    enum class Opened { Sent, Done, Dropped, Unopenable };
    // The part of openUrl after the chain admitted `url` (resolved).
    int openScheme(const PageRequest& request, const CString& url, LinkScheme scheme);
    Opened openByScheme(LinkScheme scheme, const RequestRecord& record);
    Opened openFile(const RequestRecord& record);
    // A name met while a page is built is that page's own; else the shown
    // page's. Throws ZQException for an empty link.
    CString resolveName(const CString& link);
    // The user started an opening, or stepped through the history.
    void userStepped();
    // The chain of openings stopped: what it waits for is dropped, and one
    // step back is the page the user was on before it began.
    void stopLoop();
    // Ends the chain's openings still on their way; true when there was one.
    bool cancelChainRequests();
    // Remembers that the opening of `cancelFlag` comes from the load action
    // of the page now shown; showPage marks that page when it pushes the
    // page the opening brings.
    void noteLoadOpening(const CancelFlag& cancelFlag);
    void markLoadOpener(const CancelFlag& cancelFlag);
    // The "tempfile://" branch of openUrl.
    void openTemplate(const CString& link, int screenId, bool replace);
    // The "sms://" branch of openUrl: sent on a thread of its own.
    void sendSmsUrl(const CString& link);
    // A page to show waits: the shown screen is busy (for a replace), or a
    // message box, an alert or the speed test stands over it; or a reload
    // while the user types.
    bool mustWaitToShow(bool replace, const CancelFlag& cancelFlag, PageEntry& entry) const;

    LoaderHost& host_;
    // Timers this loader starts end with it.
    std::shared_ptr<const int> alive_ = std::make_shared<const int>(0);
    std::unique_ptr<SmsSender> smsSender_;
    bool parseRedirected_ = false;
    // Start-up's held redirects in a row; openings no key started.
    int redirects_ = 0;
    OpeningChain chain_;
    // The requests of the chain so far.
    std::vector<int> chainRequests_;
    // The screen whose load action runs, -1 outside one; and the openings
    // such actions started, by cancel flag, with that screen.
    int loadActionOf_ = -1;
    std::vector<std::pair<std::weak_ptr<std::atomic<int>>, int>> loadOpenings_;
    int unprompted_ = 0;
    // Openings under way on this stack; below the depth at which actions
    // stop running.
    static constexpr int kMaxNestedOpenings = 8;
    int opening_ = 0;
    bool followingRedirect_ = false;
    bool holdRedirects_ = false;
    HeldRedirect heldRedirect_;
    // The page parsePage is building and its URL: its relative names are
    // its own.
    CString buildingUrl_;
    const MarkupPage* buildingPage_ = nullptr;
    int buildingScreenId_ = -1;
    CString lastUrl_;
    bool lastSubmission_ = false;
};

}  // namespace zq
