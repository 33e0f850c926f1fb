// The elements that build no control: they store settings, download files,
// change the watch-list, the recent stocks or the current user, bind keys,
// set session values, encoder keys and marquee texts, or change pictures of
// items already on screen. Each has the ElementBuilder shape and returns
// null, so the element table treats them like any builder.
//
// What they change that the page does not own is reached through
// SideEffectHost (PageHost::sideEffects); without one those elements do
// nothing. A server page may set any setting and the login flag: that is
// what these elements are for.
//
// UI thread (pages are built there); the shared tables here are locked.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "market/watch_list.h"
#include "platform/cstring.h"
#include "platform/image.h"

namespace zq {

class Item;
class MarkupPage;
class XmlParser;

// The controller's side of the side-effect elements. UI thread.
class SideEffectHost {
public:
    virtual ~SideEffectHost() = default;
    // The session value of a page key ("host:port"), replacing an older one.
    virtual void setSessionValue(const CString& pageKey, const CString& name,
                                 const CString& value) = 0;
    // Stores a setting: `type` is the section kind, `mode` the apply name.
    virtual void storeSetting(const CString& name, const CString& value, int type,
                              const CString& mode) = 0;
    // A synchronous fetch of `href`; nullopt when nothing came back.
    virtual std::optional<std::string> fetchBytes(const CString& href) = 0;
    virtual void addLoadingProgress(int delta) = 0;
    // The folder downloads and pictures are confined to.
    virtual std::filesystem::path resourceFolder() const = 0;
    // The current watch-list, null when there is none.
    virtual WatchList* currentWatchList() = 0;
    // Makes the user's watch-list current (a new empty one when it has none).
    virtual void switchUser(const CString& name) = 0;
    // The page's screen is built: the current watch-list, once it holds
    // codes, is entered under the current user.
    virtual void enterWatchList(WatchListEntry /*how*/) {}
    virtual RecentStockList* recentStocks() = 0;
    virtual bool loginFlag() const = 0;
    virtual void setLoginFlag(bool on) = 0;
    virtual void setMemoryValue(const CString& name, const CString& value) = 0;
    virtual void removeMemoryValue(const CString& name) = 0;
    // "marqueeupdate": the text marquees of key `id` show from now on.
    virtual void setMarqueeText(const CString& /*id*/, const CString& /*text*/) {}
    // "loginstatus": replaces the pictures of cell `cell` (1-based, as
    // text) of the grid menu registered under `gid`; false when no grid
    // menu has that id.
    virtual bool setGridCellImages(const CString& /*gid*/, const CString& /*cell*/,
                                   ImageRef /*normal*/, ImageRef /*focused*/) {
        return false;
    }
    // Around the building of a page's elements (nested for a page built
    // meanwhile): effects that go to files may be written once, at the end.
    virtual void beginPage() {}
    virtual void endPage() {}
};

// --- the builders (page, node on the element, parent) -> null ----------------------
Item* buildHead(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildSession(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildSave(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildDown(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildDes(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildAutoDown(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildAdd(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildStockCode(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildSaveUser(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildAddRecent(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildMemSave(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildRedirectFile(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildLoginStatus(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildKey(MarkupPage& page, XmlParser& node, Item* parent);
Item* buildMarqueeUpdate(MarkupPage& page, XmlParser& node, Item* parent);

// The page's screen is built ("body", "tabbody"): the controller's current
// watch-list, once it holds codes, is entered under the current user.
void enterPageWatchList(MarkupPage& page, WatchListEntry how);

// --- what they leave behind ----------------------------------------------------------
// The "redirectfile" urls of a page, in document order.
const std::vector<CString>& redirectFiles(MarkupPage& page);

// The setting type number of a "save" "type" text: its value when it is
// all digits (saturating), else 1.
int settingTypeNumber(const CString& text);

// The host path of a name a page gives for a file in `folder`: "file://"
// removed, both separators accepted; nullopt for names that would leave the
// folder (empty, absolute, drive letters, "..", NUL, over-long) and for
// names of a folder (ending in a separator).
std::optional<std::filesystem::path> confinedResourcePath(const std::filesystem::path& folder,
                                                          CString name);

}  // namespace zq
