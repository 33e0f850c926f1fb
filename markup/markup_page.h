// MarkupPage: one zqml page being turned into a screen of built controls.
//
// The page controller makes one page object per page text it reads or
// receives and calls loadPage with the raw bytes. Loading decodes UTF-8 to
// UTF-16, resolves the "@Encode-" markers, runs the text pre-pass, parses
// the text, checks the root ("zqml", else "zq"), reads the root attributes
// and builds each child element through buildElement
// (markup/element_dispatch.h).
//
// Ownership. The page owns everything built from it until it is placed:
//   - controls: every builder hands its new item to the page (registerControl
//     at page level, adoptControl when an enclosing builder will place it);
//     whoever places an item takes it back with releaseControl. Controls
//     never placed are freed with the page.
//   - the screen the "body" element builds (releaseScreen hands it over);
//   - the listeners, command nodes and touch command items of the page.
//   - the styles built while it loads (its StyleArena, ui/style.h), shared
//     start-up styles excepted.
// Listeners, command trees and styles are referenced by the screen and its
// items, so the page must outlive its screen (the controller keeps them
// together; the page frees the screen it still owns before its listeners,
// and its styles last).
//
// Threads: pages are built and made current on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/cstring.h"
#include "platform/font.h"
#include "platform/image.h"
#include "ui/command.h"
#include "ui/listeners.h"
#include "ui/style.h"

namespace zq {

class CommandItem;
class Form;
class Item;
class Screen;
class SideEffectHost;
class XmlParser;

// What a page needs of the page controller. The application implements it;
// tests use a fake. Every default does nothing and answers empty. UI thread.
class PageHost : public EventListener {
public:
    // The controller's side of the side-effect elements; null when none.
    virtual SideEffectHost* sideEffects() { return nullptr; }
    // Runs an action text ("name(args)|...") through the action dispatcher.
    virtual void runAction(const CString& /*action*/) {}
    // The controller's own soft-key listener; the page's listener passes
    // commands it does not know to it. Null when none.
    virtual CommandListener* commandListener() { return nullptr; }
    // A settings value ("sys-marquee", "sys-waittime"); empty when unknown.
    virtual CString getSystemValue(const CString& /*key*/) const { return CString(); }
    // The values the requesting link carried between "$" signs, keyed by
    // "@" and their name; cleared by every load once its markers are resolved.
    virtual CString markerValue(const CString& /*key*/) const { return CString(); }
    virtual void clearMarkerValues() {}
    // The input-field encoder's keys; every load resets the sn key.
    virtual void setSnKey(const CString& /*key*/) {}
    virtual void setDnKey(const CString& /*key*/) {}
    // The content a page or document path names (command documents); empty
    // when it cannot be read.
    virtual std::string loadContent(const CString& /*path*/) { return std::string(); }
    // The character-set setting ("big5" converts command documents).
    virtual CString characterSet() const { return CString(); }
    // The link the current page was requested with: pictures resolve
    // against it. Empty when unknown.
    virtual CString baseUrl() const { return CString(); }
    // Fetches the picture of `url` without blocking; `done` runs later on
    // the UI thread with it decoded (null on failure), or never when the
    // fetch is abandoned. It may run again: with null when the page leaves
    // the screen (its items let go of it), then with the picture fetched
    // again when the page is shown again. The default fetches nothing.
    virtual void fetchPicture(const CString& /*url*/, std::function<void(ImageRef)> /*done*/) {}
};

// State a builder family keeps for one page (the style sheet's class and
// merge tables, table rows being read). See MarkupPage::state().
class PageState {
public:
    virtual ~PageState() = default;
};

enum class CacheMode { Keep, NoCache, Update };

class MarkupPage {
public:
    // The longest page text taken, in bytes; longer texts give an empty page.
    static constexpr size_t kMaxPageBytes = 0x3FFFFFFF;
    // The largest page file read from the device; a larger one is refused
    // before it is read, with kPageTooLargeText.
    static constexpr size_t kMaxPageFileBytes = 16u * 1024 * 1024;
    static constexpr const char16_t* kPageTooLargeText = u"页面文件太大(超过16MB)，无法打开";
    // The sn key every load sets.
    static constexpr const char16_t* kDefaultSnKey = u"47310958";

    MarkupPage();
    ~MarkupPage();
    MarkupPage(const MarkupPage&) = delete;
    MarkupPage& operator=(const MarkupPage&) = delete;

    // Builds the page from its bytes (read up to the first zero byte). The
    // styles built meanwhile belong to the page.
    // `entryScreen` is the screen the page's history entry already holds
    // (borrowed; null for a new page). False when there is no "zqml" or
    // "zq" root; nothing is built then.
    bool loadPage(std::string_view bytes, PageHost* host, const CString& pageKey = CString(),
                  int serial = -1, Screen* entryScreen = nullptr);

    // --- controls -------------------------------------------------------------
    // Keeps a control built at page level (build order) and puts an
    // ItemActionListener in front of its command listener. Null is ignored
    // and gives null.
    Item* registerControl(std::unique_ptr<Item> control);
    // Keeps a control that an enclosing builder will place.
    Item* adoptControl(std::unique_ptr<Item> control);
    // Hands a kept control (registered or adopted) to whoever places it; it
    // leaves the control list. Null when the page does not hold it.
    std::unique_ptr<Item> releaseControl(Item* control);
    // Hands every registered control over in build order ("body" appends
    // them to its Form); adopted controls stay with the page.
    std::vector<std::unique_ptr<Item>> releaseControls();
    // The registered controls not yet placed, in build order.
    const std::vector<Item*>& controls() const { return controlOrder_; }
    bool holdsControl(const Item* control) const;

    // The styles the page owns.
    size_t styleCount() const { return styles_.size(); }

    // --- screen ---------------------------------------------------------------
    // The Form "body" built, or the entry's screen; null before either.
    Screen* screen() const { return screen_; }
    // The Form "body" built; null for an entry's screen.
    Form* form() const { return form_; }
    // Takes over the Form "body" built and makes it the page's screen.
    void setForm(std::unique_ptr<Form> form);
    // The built Form, for the controller to own (the page must still
    // outlive it). Null when the page does not own its screen.
    std::unique_ptr<Form> releaseScreen();
    // The width a line of the page has: the screen's, else the screen
    // metrics' width.
    int lineWidth() const;

    // --- listeners, commands ----------------------------------------------------
    // Keeps a listener the page made for one of its items or its screen.
    template <class L>
    L* keepListener(std::unique_ptr<L> listener) {
        L* raw = listener.get();
        listeners_.push_back(std::move(listener));
        return raw;
    }
    CommandListener* keepCommandListener(std::unique_ptr<CommandListener> listener);
    // Touch command nodes (their label and action reach the screen's listener).
    std::vector<std::unique_ptr<CommandNode>>& commandNodes() { return commandNodes_; }
    // Touch command items, handed to the screen by attachPageCommands.
    std::vector<std::unique_ptr<CommandItem>>& commandItems() { return commandItems_; }
    // The tree of the body's "command" child, and the "stockcode" tree.
    std::unique_ptr<CommandNode>& bodyCommandTree() { return bodyCommandTree_; }
    std::unique_ptr<CommandNode>& pendingCommandTree() { return pendingCommandTree_; }
    // Soft-key label -> action text of the soft keys "body" put on the
    // screen (the "stockcode" key and the body's command tree; the first
    // action of a label wins); the controller copies it into the history
    // entry.
    std::map<CString, CString>& commandMap() { return commandMap_; }
    // Key code text -> action text ("key" elements).
    std::map<CString, CString>& keyBindings() { return keyBindings_; }

    // --- attributes of the page ---------------------------------------------------
    PageHost* host() const { return host_; }
    int serial() const { return serial_; }
    const CString& pageKey() const { return pageKey_; }
    CacheMode cacheMode() const { return cacheMode_; }
    bool cacheFlag() const { return cacheMode_ == CacheMode::Keep; }
    bool updateFlag() const { return cacheMode_ == CacheMode::Update; }
    const CString& redirect() const { return redirect_; }
    const CString& pageBase() const { return pageBase_; }
    const CString& cacheId() const { return cacheId_; }
    const CString& title() const { return title_; }
    void setTitle(const CString& title) { title_ = title; }
    const CString& onLoad() const { return onLoad_; }
    const CString& onUnload() const { return onUnload_; }
    void setLoadActions(const CString& onLoad, const CString& onUnload) {
        onLoad_ = onLoad;
        onUnload_ = onUnload;
    }
    bool downloadOk() const { return downloadOk_; }
    void setDownloadOk(bool ok) { downloadOk_ = ok; }
    // The controller's page font, put into the styles of built controls;
    // null when the controller sets none.
    const FontRef& pageFont() const { return pageFont_; }
    void setPageFont(FontRef font) { pageFont_ = std::move(font); }

    // A settings value through the host; empty without one.
    CString systemValue(const CString& key) const;
    // An attribute text naming system values ("#system.a,#system.b"): every
    // "#system." is removed, the rest split at "," and each key replaced by
    // its value, joined with ",". Other texts come back unchanged.
    CString expandSystemValues(const CString& text) const;

    // The state object of type T for this page, made on first use and freed
    // with the page. T derives from PageState and is default-constructible.
    template <class T>
    T& state() {
        static const char key = 0;
        auto& slot = states_[&key];
        if (!slot) slot = std::make_unique<T>();
        return static_cast<T&>(*slot);
    }

private:
    void readRootAttributes(const XmlParser& node);

    // First, so that it dies last: everything below may point at its styles.
    StyleArena styles_;
    PageHost* host_ = nullptr;
    int serial_ = -1;
    CString pageKey_;
    CacheMode cacheMode_ = CacheMode::Keep;
    CString redirect_;
    CString pageBase_;
    CString cacheId_;
    CString title_;
    CString onLoad_;
    CString onUnload_;
    bool downloadOk_ = true;
    FontRef pageFont_;
    std::map<CString, CString> keyBindings_;
    std::map<CString, CString> commandMap_;
    std::map<const void*, std::unique_ptr<PageState>> states_;

    // Destroyed bottom-up: the screen and the controls go before the
    // listeners and command trees they point at.
    std::vector<std::unique_ptr<ItemCommandListener>> listeners_;
    std::vector<std::unique_ptr<CommandListener>> commandListeners_;
    std::vector<std::unique_ptr<CommandNode>> commandNodes_;
    std::unique_ptr<CommandNode> bodyCommandTree_;
    std::unique_ptr<CommandNode> pendingCommandTree_;
    std::vector<std::unique_ptr<CommandItem>> commandItems_;
    std::unordered_map<Item*, std::unique_ptr<Item>> pool_;
    std::vector<Item*> controlOrder_;
    std::unique_ptr<Form> ownedForm_;
    Form* form_ = nullptr;
    Screen* screen_ = nullptr;
};

// --- loading steps (exposed for the builders and for tests) ---------------------

// The "@Encode-" step: "@Encode-name;" becomes the host's value of "@name",
// percent-encoded; "@name;" its value of "@name" as is; a token without a
// value stays as written.
CString resolveEncodeMarkers(const PageHost* host, const CString& text);
// The text pre-pass: "&nbsp;" to blanks, text before the first "<" dropped,
// loose body text wrapped in "text" elements, inline tags moved out of text
// elements. Leaves the text as it came when a text element is unbalanced.
void normalizeMarkupText(CString& text);
// Each line of a loose text run as its own "text" element (inner part).
CString wrapTextRun(const CString& run);
// Builds every child of the parser's current element, in document order.
void buildChildren(MarkupPage& page, XmlParser& node);
// The blank rule of text elements: longer than two characters, trimmed;
// two leading blanks are kept when it began with them.
CString trimTextIndent(const CString& text);

// --- reading attributes -------------------------------------------------------------

// The attribute `name` of the parser's current element, compared without
// regard to case; when that is empty and `alias` is given, the alias.
// Absent and empty are the same (empty text).
CString getAttribute(const XmlParser& node, std::u16string_view name,
                     std::u16string_view alias = std::u16string_view());
// The same for element `index` of the parser's index.
CString getNodeAttribute(const XmlParser& node, int index, std::u16string_view name,
                         std::u16string_view alias = std::u16string_view());
// Element names: `tag` equals `name` or `alias` without regard to case.
bool tagIs(const CString& tag, std::u16string_view name,
           std::u16string_view alias = std::u16string_view());

// "true" / "false" in any case; nullopt for anything else (the default holds).
std::optional<bool> parseYesNo(const CString& text);
// Leading blanks, an optional sign, then digits up to the first non-digit;
// saturates at the int32 range; 0 when there are no digits.
int32_t parseIntSaturated(const CString& text);
// Digits only (isDecimalDigits), saturating; nullopt otherwise.
std::optional<int32_t> parseDigits(const CString& text);
// A number that becomes a size in pixels: clamped to 0..kMaxMarkupSize.
constexpr int32_t kMaxMarkupSize = 4096;
int32_t clampSize(int64_t value);
int32_t parseSize(const CString& text);

}  // namespace zq
