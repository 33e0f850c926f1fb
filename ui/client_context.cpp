#include "ui/client_context.h"

#include <cassert>
#include <utility>

namespace zq {
namespace {

// One guarded value. Values are small, so readers take a copy.
template <class T>
class Guarded {
public:
    explicit Guarded(T initial) : value_(std::move(initial)) {}
    T get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value_;
    }
    void set(const T& value) {
        std::lock_guard<std::mutex> lock(mutex_);
        value_ = value;
    }

private:
    mutable std::mutex mutex_;
    T value_;
};

std::atomic<ClientContext*> gCurrent{nullptr};

}  // namespace

struct ClientContext::Values {
    Guarded<ColorSettings> colors{ColorSettings{}};
    Guarded<ScreenMetrics> metrics{ScreenMetrics{}};
    Guarded<Rect> displayArea{Rect{0, 0, 240, 320}};
    Guarded<std::filesystem::path> programFolder{std::filesystem::path()};
    Guarded<CString> resourceFolder{CString(u"\\windows\\")};
};

ClientContext::ClientContext(BuiltIn) : values_(std::make_unique<Values>()), builtIn_(true) {}

ClientContext::ClientContext() : values_(std::make_unique<Values>()) {
    const ClientContext& from = current();
    storeColors(from.colors());
    setMetrics(from.metrics());
    setDisplayArea(from.displayArea());
    setProgramFolder(from.programFolder());
    setResourceFolder(from.resourceFolder());
    setDisplayExists(from.displayExists());
    setSideIndent(from.sideIndent());
    setLoginFlag(from.loginFlag());
    setLabelMaker(from.labelMaker());
    setMessageItemMaker(from.messageItemMaker());
    setStyleClassApplier(from.styleClassApplier());
    previous_ = gCurrent.exchange(this);
}

ClientContext::~ClientContext() {
    if (builtIn_) return;
    // Newest first: an older context going first would leave this one
    // current after its end.
    [[maybe_unused]] ClientContext* was = gCurrent.exchange(previous_);
    assert(was == this);
}

ClientContext& ClientContext::current() {
    if (ClientContext* context = gCurrent.load()) return *context;
    // Start-up code in other files may ask before main.
    static ClientContext builtIn{BuiltIn{}};
    return builtIn;
}

ColorSettings ClientContext::colors() const { return values_->colors.get(); }
void ClientContext::storeColors(const ColorSettings& colors) { values_->colors.set(colors); }
ScreenMetrics ClientContext::metrics() const { return values_->metrics.get(); }
void ClientContext::setMetrics(const ScreenMetrics& metrics) { values_->metrics.set(metrics); }
Rect ClientContext::displayArea() const { return values_->displayArea.get(); }
void ClientContext::setDisplayArea(const Rect& area) { values_->displayArea.set(area); }
std::filesystem::path ClientContext::programFolder() const { return values_->programFolder.get(); }
void ClientContext::setProgramFolder(const std::filesystem::path& folder) {
    values_->programFolder.set(folder);
}
CString ClientContext::resourceFolder() const { return values_->resourceFolder.get(); }
void ClientContext::setResourceFolder(const CString& folder) {
    values_->resourceFolder.set(folder);
}

CString ClientContext::lookupMarqueeText(const CString& key) const {
    MarqueeTextLookup lookup;
    {
        std::lock_guard<std::mutex> lock(lookupMutex_);
        lookup = marqueeLookup_;
    }
    return lookup ? lookup(key) : CString();
}

void ClientContext::setMarqueeTextLookup(MarqueeTextLookup lookup) {
    std::lock_guard<std::mutex> lock(lookupMutex_);
    marqueeLookup_ = std::move(lookup);
}

ColorSettings colorSettings() { return ClientContext::current().colors(); }
ScreenMetrics screenMetrics() { return ClientContext::current().metrics(); }
Rect displayArea() { return ClientContext::current().displayArea(); }
std::filesystem::path programFolder() { return ClientContext::current().programFolder(); }
CString resourceFolder() { return ClientContext::current().resourceFolder(); }
bool displayExists() { return ClientContext::current().displayExists(); }
int32_t sideIndent() { return ClientContext::current().sideIndent(); }
bool loginFlag() { return ClientContext::current().loginFlag(); }
LabelMaker labelMaker() { return ClientContext::current().labelMaker(); }
MessageItemMaker messageItemMaker() { return ClientContext::current().messageItemMaker(); }
PageNavigator* pageNavigator() { return ClientContext::current().pageNavigator(); }
ScreenShell* screenShell() { return ClientContext::current().screenShell(); }
Screen* recordedCurrentScreen() { return ClientContext::current().recordedCurrentScreen(); }
ItemScreen* stateChangeScreen() { return ClientContext::current().stateChangeScreen(); }
ResponseListenerRegistry& responseListeners() {
    return ClientContext::current().responseListeners();
}

void applyStyleClass(Style* style, const CString& className) {
    StyleClassApplier applier = ClientContext::current().styleClassApplier();
    if (style && applier) applier(style, className);
}

}  // namespace zq
