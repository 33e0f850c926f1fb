#include "app/page_side_effects.h"

#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "app/page_controller.h"
#include "items/grid_menu_item.h"
#include "items/marquee_item.h"
#include "markup/side_effect_builders.h"
#include "platform/message_box.h"
#include "ui/client_context.h"

namespace zq {
namespace {

constexpr const char16_t* kDownloadFailedText = u"下载文件失败：";
constexpr const char16_t* kErrorCaption = u"错误";

class ControllerSideEffects : public SideEffectHost {
public:
    // Marquees show the page-set text of their key, else the setting;
    // "loginstatus" pictures go to the grid menu of their id.
    explicit ControllerSideEffects(PageController& controller) : c_(controller) {
        ClientContext::current().setMarqueeTextLookup([this](const CString& key) {
            CString text = marqueeText(key);
            return text.isEmpty() ? c_.getSystemValue(key) : text;
        });
    }
    ~ControllerSideEffects() override { ClientContext::current().setMarqueeTextLookup(nullptr); }
    ControllerSideEffects(const ControllerSideEffects&) = delete;
    ControllerSideEffects& operator=(const ControllerSideEffects&) = delete;

    void setSessionValue(const CString& pageKey, const CString& name,
                         const CString& value) override {
        c_.setSessionParam(pageKey, name, value);
    }
    void storeSetting(const CString& name, const CString& value, int type,
                      const CString& mode) override {
        c_.setSetting(name, value, type, true, mode);
    }
    // Relative names are the page's own, as every name on it. A download
    // that brings no file is said once the build is over, on the page: a
    // box posted now would open inside the next download's wait, where
    // nothing answers it during start-up. A cancelled one is not said.
    std::optional<std::string> fetchBytes(const CString& href) override {
        std::optional<std::string> bytes =
            c_.pageLoader().loadContent(href, true, PageRequests::FetchFor::File);
        if (!bytes && !c_.requests().buildCancelled()) {
            failedDownloads_.push_back(href);
            if (building_ == 0) sayFailedDownloads();
        }
        return bytes;
    }
    void addLoadingProgress(int delta) override {
        c_.addLoadingProgress(delta, LoadingState::kAnyRequest);
    }
    std::filesystem::path resourceFolder() const override { return c_.folders().resource; }
    WatchList* currentWatchList() override { return c_.watchList(); }
    void switchUser(const CString& name) override {
        c_.setCurrentUser(name);
        c_.useWatchListOf(name);
    }
    void enterWatchList(WatchListEntry how) override { c_.enterWatchList(how); }
    RecentStockList* recentStocks() override { return &c_.recentStocks(); }
    bool loginFlag() const override { return c_.loginFlag(); }
    void setLoginFlag(bool on) override { c_.setLoginFlag(on); }
    void setMemoryValue(const CString& name, const CString& value) override {
        c_.setMemoryValue(name, value);
    }
    void removeMemoryValue(const CString& name) override { c_.setMemoryValue(name, CString()); }
    void setMarqueeText(const CString& id, const CString& text) override {
        std::lock_guard<std::mutex> lock(marqueeMutex_);
        marqueeTexts_[id] = text;
    }
    bool setGridCellImages(const CString& gid, const CString& cell, ImageRef normal,
                           ImageRef focused) override {
        GridMenuItem* menu = findGridMenu(gid);
        if (menu) menu->setCellImages(cell, std::move(normal), std::move(focused));
        return menu != nullptr;
    }
    // A page of many "save" elements writes the settings file once.
    // Builds nest when a page arrives during a download's wait.
    void beginPage() override {
        ++building_;
        c_.settings().holdSaves();
    }
    void endPage() override {
        c_.settings().releaseSaves();
        if (building_ > 0 && --building_ == 0) sayFailedDownloads();
    }

private:
    // One task says them all, one box after the other: a task each would
    // open each box inside the previous one's wait, the last on top.
    void sayFailedDownloads() {
        if (failedDownloads_.empty()) return;
        c_.postToHost([hrefs = std::exchange(failedDownloads_, {})] {
            for (const CString& href : hrefs) {
                messageBox(CString(kDownloadFailedText) + href, CString(kErrorCaption),
                           MessageBoxType::Ok);
            }
        });
    }

    CString marqueeText(const CString& id) const {
        std::lock_guard<std::mutex> lock(marqueeMutex_);
        auto found = marqueeTexts_.find(id);
        return found == marqueeTexts_.end() ? CString() : found->second;
    }

    PageController& c_;
    mutable std::mutex marqueeMutex_;
    std::map<CString, CString> marqueeTexts_;
    int building_ = 0;
    std::vector<CString> failedDownloads_;
};

}  // namespace

std::unique_ptr<SideEffectHost> makeControllerSideEffects(PageController& controller) {
    return std::make_unique<ControllerSideEffects>(controller);
}

}  // namespace zq
