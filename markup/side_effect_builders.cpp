#include "markup/side_effect_builders.h"

#include <map>
#include <mutex>
#include <utility>

#include "core/string_utils.h"
#include "core/xml_parser.h"
#include "market/watch_list.h"
#include "markup/element_dispatch.h"
#include "markup/markup_page.h"
#include "markup/style_sheet.h"
#include "platform/files.h"
#include "ui/client_context.h"
#include "ui/command.h"

namespace zq {
namespace {

// The command type of commands that act on the whole screen.
constexpr const char16_t* kDefaultTitle = u"标题栏";
constexpr const char16_t* kAddLabel = u"添加自选";
constexpr const char16_t* kDeleteLabel = u"删除自选";
constexpr int kDownloadProgress = 70;
// A longer name is refused before it reaches the file system.
constexpr int kMaxFileNameLength = 1024;

SideEffectHost* sideEffects(const MarkupPage& page) {
    return page.host() ? page.host()->sideEffects() : nullptr;
}

struct RedirectState : PageState {
    std::vector<CString> urls;
};

// "file://x/y.png" below the resource folder; no picture for other texts
// or names that leave the folder.
ImageRef loadResourcePicture(const SideEffectHost& host, const CString& text) {
    if (text.find(CString(u"file://")) < 0) return ImageRef();
    std::optional<std::filesystem::path> path =
        confinedResourcePath(host.resourceFolder(), text.mid(7));
    if (!path) return ImageRef();
    return loadImageFile(path->string());
}

}  // namespace

// --- helpers ----------------------------------------------------------------------------

const std::vector<CString>& redirectFiles(MarkupPage& page) {
    return page.state<RedirectState>().urls;
}

int settingTypeNumber(const CString& text) { return parseDigits(text).value_or(1); }

std::optional<std::filesystem::path> confinedResourcePath(const std::filesystem::path& folder,
                                                          CString name) {
    name.replace(CString(u"file://"), CString());
    if (name.isEmpty() || name.length() > kMaxFileNameLength) return std::nullopt;
    // A name ending in a separator names a folder, not a file.
    const char16_t last = name[name.length() - 1];
    if (last == u'/' || last == u'\\') return std::nullopt;
    return resolveConfined(folder, name);
}

// --- page elements ----------------------------------------------------------------------

Item* buildHead(MarkupPage& page, XmlParser& node, Item*) {
    CString title = getAttribute(node, u"title", u"t");
    page.setTitle(title.isEmpty() ? CString(kDefaultTitle) : title);
    if (node.intoElem()) {
        while (node.findElem()) {
            CString tag = node.getTagName();
            if (tagIs(tag, u"style", u"sy")) {
                buildStyleElement(page, node);
            } else {
                buildElement(page, tag, node, nullptr, 0);
            }
        }
        node.outOfElem();
    }
    return nullptr;
}

Item* buildSession(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    if (!host || page.pageKey().isEmpty()) return nullptr;
    host->setSessionValue(page.pageKey(), getAttribute(node, u"name", u"n"),
                          getAttribute(node, u"value", u"v"));
    return nullptr;
}

Item* buildSave(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    if (!host) return nullptr;
    const CString name = getAttribute(node, u"name", u"n");
    const int type = settingTypeNumber(getAttribute(node, u"type", u"t"));
    CString mode = getAttribute(node, u"mode", u"m");
    if (mode.isEmpty()) mode = u"all";
    // After a failed download only the version stamp is kept, so the page
    // is fetched again next time.
    CString key = name;
    key.replace(u'_', u'-');
    if (!key.equalsNoCase(CString(u"sys-tempver")) && !page.downloadOk()) return nullptr;
    host->storeSetting(name, getAttribute(node, u"value", u"v"), type, mode);
    return nullptr;
}

Item* buildDown(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    if (!host) return nullptr;
    CString name = getAttribute(node, u"filename", u"fn");
    std::optional<std::string> bytes = host->fetchBytes(getAttribute(node, u"href", u"hf"));
    if (!bytes) return nullptr;
    host->addLoadingProgress(kDownloadProgress);
    // The bytes go to a temporary file beside the target and are renamed
    // over it, so a failed write leaves the old file whole.
    std::optional<std::filesystem::path> target =
        confinedResourcePath(host->resourceFolder(), name);
    if (!target || !makeDirectories(target->parent_path()) || !writeFileAtomic(*target, *bytes)) {
        page.setDownloadOk(false);
    }
    return nullptr;
}

Item* buildDes(MarkupPage& page, XmlParser& node, Item*) {
    PageHost* host = page.host();
    if (!host) return nullptr;
    const CString type = getAttribute(node, u"type", u"t");
    const CString value = getAttribute(node, u"value", u"v");
    if (type.equalsNoCase(CString(u"dn"))) {
        host->setDnKey(value);
    } else if (type.equalsNoCase(CString(u"sn"))) {
        host->setSnKey(value);
    }
    return nullptr;
}

Item* buildAutoDown(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    WatchList* list = host ? host->currentWatchList() : nullptr;
    if (!list) return nullptr;
    list->clear();
    const CString type = getAttribute(node, u"type", u"t");
    int kind = -1;
    if (type == CString(u"stock")) kind = kWatchStock;
    if (type == CString(u"fund")) kind = kWatchFund;
    if (kind < 0) return nullptr;
    list->assign(kind, splitString(getAttribute(node, u"code", u"c"), u','));
    return nullptr;
}

Item* buildAdd(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    WatchList* list = host ? host->currentWatchList() : nullptr;
    if (!list) return nullptr;
    const CString stock = getAttribute(node, u"stock");
    const CString fund = getAttribute(node, u"fund");
    if (!stock.isEmpty()) list->add(kWatchStock, stock);
    if (!fund.isEmpty()) list->add(kWatchFund, fund);
    return nullptr;
}

Item* buildStockCode(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    WatchList* list = host ? host->currentWatchList() : nullptr;
    const int type = std::max(watchEntryType(getAttribute(node, u"stocktype", u"st")), 0);
    if (!list) return nullptr;
    const bool listed = list->contains(type, getAttribute(node, u"code", u"c"));
    const CString label = listed ? kDeleteLabel : kAddLabel;
    const CString action =
        listed ? getAttribute(node, u"delaction", u"d") : getAttribute(node, u"addaction", u"a");
    page.pendingCommandTree() = std::make_unique<CommandNode>(
        std::make_shared<Command>(label, kCommandScreen, 4), action, CString());
    return nullptr;
}

Item* buildSaveUser(MarkupPage& page, XmlParser& node, Item*) {
    if (SideEffectHost* host = sideEffects(page)) {
        host->switchUser(getAttribute(node, u"name", u"n"));
    }
    return nullptr;
}

void enterPageWatchList(MarkupPage& page, WatchListEntry how) {
    if (SideEffectHost* host = sideEffects(page)) host->enterWatchList(how);
}

Item* buildAddRecent(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    RecentStockList* recent = host ? host->recentStocks() : nullptr;
    const CString code = getAttribute(node, u"code");
    if (!recent || code.isEmpty()) return nullptr;
    recent->moveToFront(RecentStockEntry(code, getAttribute(node, u"name")));
    return nullptr;
}

Item* buildMemSave(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    const CString name = getAttribute(node, u"name", u"n");
    if (!host || name.isEmpty()) return nullptr;
    const CString value = getAttribute(node, u"value", u"v");
    if (name.equalsNoCase(CString(u"var-login"))) {
        if (value.equalsNoCase(CString(u"true"))) host->setLoginFlag(true);
        if (value.equalsNoCase(CString(u"false"))) host->setLoginFlag(false);
        host->removeMemoryValue(name);
    }
    host->setMemoryValue(name, value);
    // Text items read the context's copy to mark "委" lines.
    ClientContext::current().setLoginFlag(host->loginFlag());
    return nullptr;
}

Item* buildRedirectFile(MarkupPage& page, XmlParser& node, Item*) {
    CString url = getAttribute(node, u"url");
    if (!url.isEmpty()) page.state<RedirectState>().urls.push_back(url);
    return nullptr;
}

Item* buildLoginStatus(MarkupPage& page, XmlParser& node, Item*) {
    SideEffectHost* host = sideEffects(page);
    if (!host) return nullptr;
    ImageRef normal = loadResourcePicture(*host, getAttribute(node, u"path"));
    ImageRef focused = loadResourcePicture(*host, getAttribute(node, u"iconpath"));
    // An unknown grid id frees the pictures with this scope.
    host->setGridCellImages(getAttribute(node, u"gid"), getAttribute(node, u"id"),
                            std::move(normal), std::move(focused));
    return nullptr;
}

Item* buildKey(MarkupPage& page, XmlParser& node, Item*) {
    CString action = getAttribute(node, u"action", u"a");
    CString codes = getAttribute(node, u"keycode", u"kd");
    // Older pages name the key and action as "name" and "value".
    if (codes.isEmpty()) codes = getAttribute(node, u"name");
    if (action.isEmpty()) action = getAttribute(node, u"value");
    for (CString code : splitString(codes, u',')) {
        code.trim();
        if (!code.isEmpty()) page.keyBindings()[code] = action;
    }
    return nullptr;
}

Item* buildMarqueeUpdate(MarkupPage& page, XmlParser& node, Item*) {
    if (SideEffectHost* host = sideEffects(page))
        host->setMarqueeText(getAttribute(node, u"id"), getAttribute(node, u"str"));
    return nullptr;
}

}  // namespace zq
