#include "markup/image_source.h"

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "items/image_item.h"
#include "markup/markup_page.h"
#include "platform/image.h"
#include "ui/image_cache.h"
#include "ui/item.h"
#include "ui/page_services.h"
#include "ui/screen.h"

namespace zq {
namespace {

// Replies of this kind carry the picture of the reply-driven item at their
// listener index.
constexpr int32_t kReplyDrivenKind = ImageItem::kReplyKind;
constexpr std::u16string_view kFileScheme = u"file://";

// The pictures a page asked for by address, the items that show each, and
// those that came. Shared with the fetches in flight, which find it gone
// when the page is.
struct PictureRequests {
    std::map<CString, std::vector<Item*>> targets;
    std::map<CString, ImageRef> arrived;
};

// The page's remote plain pictures, in build order: the items, and the
// listeners their replies reach (shared with the items, which register them
// again whenever their screen is shown).
struct PageImages : PageState {
    std::shared_ptr<PictureRequests> requests = std::make_shared<PictureRequests>();
    std::vector<std::unique_ptr<ImageDataListener>> replyDriven;
    std::vector<Item*> replyDrivenItems;
    std::shared_ptr<ReplyTargetList> replyTargets = std::make_shared<ReplyTargetList>();

    ~PageImages() override {
        // At once: one by one, each would search what the others left.
        responseListeners().remove(kReplyDrivenKind, *replyTargets);
        for (const auto& listener : replyDriven) listener->detach();
    }
};

// The page URL without its query or session part: "http://h/a/b.zqml" of
// "http://h/a/b.zqml;s=1?x=1". A picture never resolves into the query.
CString withoutQuery(const CString& url) {
    int cut = url.length();
    for (char16_t stop : {u'?', u';', u'#'}) {
        const int at = url.find(stop);
        if (at >= 0) cut = std::min(cut, at);
    }
    return url.left(cut);
}

// Scheme and host of `page` ("http://h:80" of "http://h:80/dir/page").
CString schemeAndHost(const CString& page) {
    const int scheme = page.find(CString(u"://"));
    if (scheme < 0) return CString();
    const int slash = page.find(u'/', scheme + 3);
    return slash < 0 ? page : page.left(slash);
}

// The folder of `page`, without its last "/": "http://h/a" of "http://h/a/b.zqml",
// "http://h" of "http://h", and "file:/" for a local page at the top, so
// that folder + "/" + name names a top-level file.
CString pageFolder(const CString& page) {
    const int scheme = page.find(CString(u"://"));
    const int slash = page.reverseFind(u'/');
    if (scheme < 0) return slash < 0 ? CString() : page.left(slash);
    if (slash >= scheme + 3) return page.left(slash);
    return page.left(scheme).equalsNoCase(CString(u"file")) ? page.left(scheme + 2) : page;
}

}  // namespace

CString resolvePictureSource(const CString& base, const CString& source) {
    if (source.isEmpty() || source.find(u':') >= 0) return source;
    const CString page = withoutQuery(base);
    if (source[0] == u'/') return schemeAndHost(page) + source;
    if (page.isEmpty()) return source;
    return pageFolder(page) + u'/' + source;
}

void loadImageSource(MarkupPage& page, Item& target, const CString& source) {
    if (source.isEmpty()) return;
    const CString address =
        resolvePictureSource(page.host() ? page.host()->baseUrl() : CString(), source);

    // Local pictures: below the program folder only (the loader refuses
    // names that leave it) and found without regard to case.
    const int file = address.find(CString(kFileScheme));
    if (file >= 0) {
        CString path = address.mid(file + static_cast<int>(kFileScheme.size()));
        path.replace(u'/', u'\\');
        if (ImageRef image = loadImageFile(path)) target.setImage(std::move(image));
        return;
    }
    if (address.find(CString(u"http://")) < 0 && address.find(CString(u"https://")) < 0) return;
    if (!page.host()) return;

    // Remote pictures: one fetch per address and page; every item that
    // asked for it shows the picture, and lets go of it with the others.
    PageImages& images = page.state<PageImages>();
    PictureRequests& requests = *images.requests;
    auto [entry, first] = requests.targets.try_emplace(address);
    entry->second.push_back(&target);
    if (auto done = requests.arrived.find(address); done != requests.arrived.end()) {
        target.setImage(done->second);
    }
    if (!first) return;
    std::weak_ptr<PictureRequests> weak = images.requests;
    page.host()->fetchPicture(address, [weak, address](ImageRef image) {
        std::shared_ptr<PictureRequests> live = weak.lock();
        if (!live) return;
        auto targets = live->targets.find(address);
        if (targets == live->targets.end()) return;
        if (!image && live->arrived.erase(address) == 0) return;
        if (image) live->arrived[address] = image;
        for (Item* item : targets->second) item->setImage(image);
    });
}

void addReplyDrivenItem(MarkupPage& page, ImageItem& item) {
    PageImages& images = page.state<PageImages>();
    auto listener = std::make_unique<ImageDataListener>(&item, kReplyDrivenKind);
    images.replyTargets->push_back(listener.get());
    images.replyDriven.push_back(std::move(listener));
    images.replyDrivenItems.push_back(&item);
    item.setControlOwner(&item);
    item.setRequester(pageNavigator());
    item.setReplyTargets(images.replyTargets);
}

void registerReplyDrivenItems(MarkupPage& page) {
    PageImages& images = page.state<PageImages>();
    if (images.replyDriven.empty()) return;
    // The screen's control list names each picture's listener by position.
    if (Screen* screen = page.screen()) {
        std::vector<Item*>& controls = screen->controlList();
        controls.insert(controls.end(), images.replyDrivenItems.begin(),
                        images.replyDrivenItems.end());
    }
    responseListeners().replace(kReplyDrivenKind, *images.replyTargets, images.replyTargets.get());
}

}  // namespace zq
