#include "markup/image_source.h"

#include <map>
#include <utility>
#include <vector>

#include "markup/markup_page.h"
#include "platform/image.h"
#include "ui/image_cache.h"
#include "ui/item.h"
#include "ui/page_services.h"

namespace zq {
namespace {

// Replies of this kind carry the picture of the reply-driven item at their
// listener index.
constexpr int32_t kReplyDrivenKind = 3;
constexpr std::u16string_view kFileScheme = u"file://";

// The pictures a page asked for by address, and the items waiting for each.
// Shared with the fetches in flight, which find it gone when the page is.
struct PictureRequests {
    std::map<CString, std::vector<Item*>> waiting;
    std::map<CString, ImageRef> arrived;
};

struct PageImages : PageState {
    std::shared_ptr<PictureRequests> requests = std::make_shared<PictureRequests>();
    std::vector<std::unique_ptr<ImageDataListener>> replyDriven;
    bool registered = false;

    ~PageImages() override {
        if (registered) {
            for (const auto& listener : replyDriven) {
                responseListeners().remove(kReplyDrivenKind, listener.get());
            }
        }
        for (const auto& listener : replyDriven) listener->detach();
    }
};

// Scheme and host of `base` ("http://h:80" of "http://h:80/dir/page").
CString schemeAndHost(const CString& base) {
    const int scheme = base.find(CString(u"://"));
    if (scheme < 0) return CString();
    const int slash = base.find(u'/', scheme + 3);
    return slash < 0 ? base : base.left(slash);
}

}  // namespace

CString resolvePictureSource(const CString& base, const CString& source) {
    if (source.isEmpty() || source.find(u':') >= 0) return source;
    if (source[0] == u'/') return schemeAndHost(base) + source;
    if (base.isEmpty()) return source;
    return base[base.length() - 1] == u'/' ? base + source : base + u'/' + source;
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
    // asked for it gets the decoded picture.
    PageImages& images = page.state<PageImages>();
    PictureRequests& requests = *images.requests;
    if (auto done = requests.arrived.find(address); done != requests.arrived.end()) {
        target.setImage(done->second);
        return;
    }
    auto [entry, first] = requests.waiting.try_emplace(address);
    entry->second.push_back(&target);
    if (!first) return;
    std::weak_ptr<PictureRequests> weak = images.requests;
    page.host()->fetchPicture(address, [weak, address](std::vector<uint8_t> bytes) {
        std::shared_ptr<PictureRequests> live = weak.lock();
        if (!live) return;
        auto waiting = live->waiting.find(address);
        if (waiting == live->waiting.end()) return;
        std::vector<Item*> targets = std::move(waiting->second);
        live->waiting.erase(waiting);
        ImageRef image = bytes.empty() ? ImageRef() : decodeImage(bytes.data(), bytes.size());
        if (!image) return;
        live->arrived[address] = image;
        for (Item* item : targets) item->setImage(image);
    });
}

void addReplyDrivenItem(MarkupPage& page, std::unique_ptr<ImageDataListener> listener) {
    if (listener) page.state<PageImages>().replyDriven.push_back(std::move(listener));
}

void registerReplyDrivenItems(MarkupPage& page) {
    PageImages& images = page.state<PageImages>();
    if (images.replyDriven.empty()) return;
    ResponseListenerRegistry& registry = responseListeners();
    registry.clear(kReplyDrivenKind);
    for (const auto& listener : images.replyDriven) registry.add(kReplyDrivenKind, listener.get());
    images.registered = true;
}

}  // namespace zq
