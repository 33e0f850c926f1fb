#include "app/page_controller.h"

#include <utility>

#include "app/action_dispatcher.h"
#include "app/auto_refresh.h"
#include "app/link_resolver.h"
#include "app/page_side_effects.h"
#include "app/speed_test_item.h"
#include "core/string_utils.h"
#include "items/inputable.h"
#include "items/table_events.h"
#include "items/text_field.h"
#include "markup/side_effect_builders.h"
#include "platform/message_box.h"
#include "ui/event.h"
#include "ui/item.h"
#include "ui/screen.h"

namespace zq {

namespace {

constexpr const char16_t* kBackLabel = u"返";
constexpr const char16_t* kForwardLabel = u"前";
constexpr const char16_t* kExitLabel = u"退";
constexpr const char16_t* kRetryLabel = u"重试";
constexpr const char16_t* kInfoCaption = u"信息提示";
constexpr const char16_t* kExitQuestion = u"确认退出";
// The cell type of a grid menu's cell event, whose cell value is an action.
constexpr const char16_t* kListCellType = u"List";

CString settingsKey(std::u16string_view key) { return CString(key); }

}  // namespace

// --- the controller ---------------------------------------------------------------

PageController::PageController(ControllerFolders folders)
    : folders_(std::move(folders)),
      settings_(folders_.resource, folders_.userData),
      backCommand_(std::make_shared<Command>(CString(u"返"), kCommandBack, 1)),
      exitCommand_(std::make_shared<Command>(CString(u"退"), kCommandBack, 1)) {
    sideEffectHost_ = makeControllerSideEffects(*this);
    autoRefresh_ = std::make_unique<AutoRefresh>(*this);
    speedTest_ = std::make_unique<SpeedTestAction>(*this);

    // Items that fetch their own content (remote pictures) ask through it.
    ClientContext::current().setPageNavigator(this);
    // A hidden screen lets its pictures go through it.
    ClientContext::current().setScreenShell(this);
}

PageController::~PageController() {
    if (screenShell() == this) ClientContext::current().setScreenShell(nullptr);
    // Screens first (they may point at the controller), then the session's
    // threads, which may still settle requests against the members.
    // The recorded current screen must not outlive the screens.
    if (currentScreen() && recordedCurrentScreen() == currentScreen()) {
        ClientContext::current().setRecordedCurrentScreen(nullptr);
    }
    currentEntry_ = nullptr;
    history_.clear();
    if (pageNavigator() == this) ClientContext::current().setPageNavigator(nullptr);
    requests_.shutDown();
}

CString PageController::getSystemValue(const CString& key) const {
    return settings_.systemValue(key, TrafficBytes{getSentBytes(), getReceivedBytes()});
}

CString PageController::markerValue(const CString& key) const {
    auto it = linkVariables_.find(key);
    return it == linkVariables_.end() ? CString() : it->second;
}

// The timing overlay has no switch on this client, so paint stamps are not
// kept and the overlay is never drawn.
void PageController::notePaintTimes(uint32_t /*start*/, uint32_t /*end*/) {}

bool PageController::pageTimingOverlay(PageTiming& /*timing*/) { return false; }

// --- small operations ---------------------------------------------------------------

Screen* PageController::currentScreen() const {
    return currentEntry_ ? currentEntry_->screen.get() : nullptr;
}

int PageController::currentScreenId() const {
    return currentEntry_ && currentEntry_->screen ? currentEntry_->screenId : -1;
}

Item* PageController::getItemByName(const CString& name) const {
    if (name.isEmpty()) return nullptr;
    Screen* screen = currentScreen();
    return screen ? screen->getItemByName(name) : nullptr;
}

bool PageController::beginLoading(bool blockInput, int requestId) {
    Screen* screen = currentScreen();
    if (screen && screen->isInputBlocked()) return false;
    if (screen) {
        // A cancelled load ends the shown screen's loading state.
        screen->startLoading(blockInput, false, requestId, [this] {
            const bool unknownOutcome = requests_.cancelRequest();
            if (Screen* shown = currentScreen()) shown->stopLoading(LoadingState::kAnyRequest);
            loader_.userLeavesChain();
            // The form comes back, but the order may be placed: no second press.
            if (unknownOutcome) {
                messageBox(PageRequests::kOutcomeUnknownText, kInfoCaption, MessageBoxType::Ok);
            }
        });
    }
    return true;
}

void PageController::addLoadingProgress(int delta, int requestId) {
    if (Screen* screen = currentScreen()) screen->addLoadingProgress(delta, requestId);
}

float PageController::getReceivedBytes() const {
    const HttpSession* session = requests_.session();
    return session ? session->trafficBytes().received : 0.0f;
}

float PageController::getSentBytes() const {
    const HttpSession* session = requests_.session();
    return session ? session->trafficBytes().sent : 0.0f;
}

void PageController::chooseHost(int index) {
    if (index < 0 || index >= hostSet_.count()) return;
    saveHostChoice(hostSet_.host(index).toText());
}

void PageController::onExitApp(const CString& /*args*/) { saveSettings(); }

int PageController::getRefreshMode() const { return autoRefresh_->getRefreshMode(); }

void PageController::repaintCurrentScreen() {
    if (Screen* screen = currentScreen()) screen->repaint();
}

void PageController::setCurrentUser(const CString& user) {
    std::lock_guard<std::mutex> lock(currentUserLock_);
    currentUser_ = user;
}

CString PageController::currentUser() const {
    std::lock_guard<std::mutex> lock(currentUserLock_);
    return currentUser_;
}

void PageController::postToController(std::function<void(PageController&)> task) {
    std::weak_ptr<const int> alive = uiAnchor_;
    postToUi([this, alive = std::move(alive), task = std::move(task)] {
        if (alive.lock()) task(*this);
    });
}

void PageController::navigate(const CString& address, NavigationLoading loading,
                              NavigationInput input) {
    openUrl({.url = address,
             .screenId = currentScreenId(),
             .showLoading = loading == NavigationLoading::Shown,
             .blockInput = input == NavigationInput::Blocked});
}

void PageController::postToHost(std::function<void()> task) {
    postToController([task = std::move(task)](PageController&) { task(); });
}

void PageController::setSessionParam(const CString& hostPort, const CString& name,
                                     const CString& value) {
    sessionParams_[hostPort] = {name, value};
}

CString PageController::memoryValue(const CString& key) const {
    auto it = memoryValues_.find(key);
    return it == memoryValues_.end() ? CString() : it->second;
}

void PageController::setDeviceIdentity(const CString& imsi, const CString& imei) {
    imsi_ = imsi;
    imei_ = imei;
}

// --- settings -------------------------------------------------------------------------

void PageController::setSetting(const CString& key, const CString& value, int sectionKind,
                                bool reloadHosts, const CString& applyName) {
    const CString cleanKey = SettingsStore::normalizeKey(key);
    settings_.setStored(cleanKey, value, sectionKind);
    settings_.saveStored();
    if (applyName.equalsNoCase(CString(u"all"))) {
        applyClientSettings(settings_.stored());
        auto stored = settings_.stored().find(cleanKey);
        if (stored != settings_.stored().end()) {
            SettingsStore::putEntry(settings_.live(), cleanKey, stored->second.value,
                                    stored->second.section.view());
        }
    }
    if (cleanKey.view() == u"sys-iplist" && reloadHosts) {
        loadHostChoice();
    } else if (cleanKey.view() == u"cli-waittime") {
        applyWaitTime();
    }
}

Item* PageController::eventSource() const {
    Item* source = eventSource_.get();
    if (!source || !currentEntry_ || !currentEntry_->screen) return nullptr;
    // A page kept in the history still holds its items: the next page's
    // onload or soft key must not read them.
    const ItemScreen* own = currentEntry_->screen.get();
    return source->getScreen() == own ? source : nullptr;
}

void PageController::saveAction(const CString& actionText) {
    CString argument = actionText.mid(5, actionText.length() - 6);
    if (argument.isEmpty()) argument = CString(u"all");
    Item* source = eventSource();
    if (!source) return;
    // A field saves under its form name (a host list's is its choice key;
    // its identifier is its carrier), anything else under its identifier.
    CString key = source->getId();
    CString value;
    if (const auto* input = dynamic_cast<const Inputable*>(source)) {
        value = input->getValue();
        if (!input->getName().isEmpty()) key = input->getName();
    }
    setSetting(key, value, 0, false, argument);
}

void PageController::applyClientSettings(SettingsMap& map) {
    requests_.setWaitSeconds(SettingsStore::applyClientSettings(map).waitSeconds);
}

void PageController::applyWaitTime() {
    const int ms = settings_.waitTimeMs();
    if (ms <= 0) return;
    requests_.setReplyWaitMs(static_cast<uint32_t>(ms));
}

void PageController::loadHostChoice() {
    const bool curHostMode = getSystemValue(settingsKey(u"sys-hostset-mode")).view() == u"1";
    const CString chosen =
        getSystemValue(settingsKey(curHostMode ? u"sys-curhost" : u"sys-last-choice"));
    hostSet_.load(chosen, getSystemValue(settingsKey(u"sys-cm-iplist")),
                  getSystemValue(settingsKey(u"sys-ct-iplist")),
                  getSystemValue(settingsKey(u"sys-uni-iplist")));
}

void PageController::saveHostChoice(const CString& hostText) {
    const bool curHostMode = getSystemValue(settingsKey(u"sys-hostset-mode")).view() == u"1";
    const CString key = settingsKey(curHostMode ? u"sys-curhost" : u"sys-last-choice");
    SettingsStore::putEntry(settings_.stored(), key, hostText, kSectionSystem);
    settings_.saveStored();
    SettingsStore::putEntry(settings_.live(), key, hostText, kSectionSystem);
}

void PageController::saveCurrentHost() {
    const CString key = settingsKey(u"sys-curhost");
    const CString hostText = currentHost_.toText();
    SettingsStore::putEntry(settings_.stored(), key, hostText, kSectionSystem);
    settings_.saveStored();
    SettingsStore::putEntry(settings_.live(), key, hostText, kSectionSystem);
}

void PageController::resetTraffic() {
    settings_.resetTraffic();
    if (HttpSession* session = requests_.session()) session->resetTrafficBytes();
}

void PageController::saveSettings() {
    watchLists_.saveWatchList();
    watchLists_.saveRecentStocks();
    settings_.live().clear();
    settings_.storeTrafficTotals(TrafficBytes{getSentBytes(), getReceivedBytes()});
    settings_.saveStored();
    if (Screen* screen = currentScreen()) screen->stopTicker();
    autoRefresh_->stopAll();
    speedTest_->closeSpeedTestScreen();
    requests_.dropSession();
    if (shutdown_) shutdown_();
}

void PageController::extractLinkVariables(CString& link) {
    SettingsStore::extractLinkVariables(link, linkVariables_);
}

// --- links ------------------------------------------------------------------------------

CString PageController::resolveUrl(const CString& link) {
    if (!currentEntry_) return resolveLinkOn(link, nullptr, nullptr);
    return resolveLinkOn(link, &currentEntry_->url, &currentEntry_->pageBase);
}

CString PageController::resolvePageLink(const CString& link, const CString& pageUrl,
                                        const CString& pageBase) {
    return resolveLinkOn(link, &pageUrl, &pageBase);
}

CString PageController::resolveLinkOn(const CString& link, const CString* pageUrl,
                                      const CString* pageBase) {
    LinkContext context;
    context.hasCurrentPage = pageUrl != nullptr;
    if (pageUrl) context.currentUrl = *pageUrl;
    if (pageBase) context.pageBase = *pageBase;
    context.currentHost = currentHost_;
    const HttpSession* session = requests_.session();
    context.connectionType =
        session ? session->connectionType() : connectionTypeNumber(ConnectionMode::Direct);
    context.systemValue = [this](const CString& key) { return getSystemValue(key); };
    context.storedSetting = [this](const CString& key) { return settings_.storedValue(key); };
    return resolveLink(link, context, linkVariables_);
}

CString PageController::requestSystemValue(const CString& key) const {
    const CString name = SettingsStore::normalizeKey(key);
    auto is = [&name](const char16_t* known) { return name.equalsNoCase(CString(known)); };
    if (is(u"var-imsi")) return urlEncode(imsi_);
    if (is(u"var-imei")) return urlEncode(imei_);
    if (is(u"sys-clientver")) return CString(kClientVersion);
    if (is(u"sys-laststocks")) return watchLists_.recentStocks().requestCodes();
    if (is(u"sys-stockcode")) return watchLists_.getWatchListCodes(currentUser(), kWatchStock);
    if (is(u"sys-fundcode")) return watchLists_.getWatchListCodes(currentUser(), kWatchFund);
    const CString setting = settings_.value(name);
    if (!setting.isEmpty()) return setting;
    return memoryValue(name);
}

CString PageController::buildRequestParams(const CString& url, int requestId) const {
    RequestContext context;
    context.requestId = requestId;
    context.screenId = currentScreenId();
    context.sessionParam =
        [this](const CString& hostPort) -> std::optional<std::pair<CString, CString>> {
        auto it = sessionParams_.find(hostPort);
        if (it == sessionParams_.end()) return std::nullopt;
        return it->second;
    };
    context.systemValue = [this](const CString& key) { return requestSystemValue(key); };
    return buildRequestTarget(url, context);
}

// --- history ------------------------------------------------------------------------------

void PageController::goHistory(int offset) {
    // A step back from a page that openings no key started brought goes
    // back before them, and ends those still on their way.
    if (offset > 0) loader_.userLeavesChain();
    PageEntry* entry = history_.entryAt(offset);
    if (!entry) return;
    loader_.makeCurrent(entry, PageLoader::Step::History);
    // A result page is shown as kept: fetching it again would send the
    // order again.
    if (!entry->update || entry->submitted) return;
    const CString url = entry->url;
    openUrl({.url = url, .screenId = currentScreenId(), .replace = true});
}

// --- events and soft keys -----------------------------------------------------------

void PageController::onAction(const CString& actions) {
    if (actions.isEmpty()) return;
    // The first error an action notes is the one shown; forget older ones.
    latchError(true, false, 0, CString());
    dispatchActions(actions, [this](const ActionRow& row, const CString& piece) {
        if (row.handler) row.handler(*this, piece);
    });
}

CString PageController::valueToSend(Item* field, const CString& value) {
    if (!field) return value;
    PageEntry* entry = currentEntry_;
    FormSubmission* form = entry && entry->page ? formOf(*entry->page, field) : nullptr;
    if (form) return form->valueToSend(*field, value);
    // A field outside any form is sent as a form without an encryption code would.
    return FormSubmission(CString(), CString(), CString(), CString(), CString(), CString(), {},
                          this)
        .valueToSend(*field, value);
}

void PageController::onSubmittedAction(const CString& actions) {
    ++submitting_;
    try {
        onAction(actions);
    } catch (...) {
        --submitting_;
        throw;
    }
    --submitting_;
}

int PageController::openUrl(const PageRequest& request) {
    PageRequest asked = request;
    asked.submission = request.submission || submitting_ > 0;
    return loader_.openUrl(asked);
}

void PageController::onEvent(std::unique_ptr<Event> event) {
    eventSource_.reset();
    // What a reload puts back raised its actions when the user did it.
    if (!event || autoRefresh_->restoring()) return;

    switch (event->kind()) {
        case EventKind::Hyper: {
            const auto& link = static_cast<const HyperEvent&>(*event);
            if (!link.getClickAction().isEmpty()) {
                onAction(link.getClickAction());
            } else if (!link.getTarget().isEmpty()) {
                onAction(CString(u"forward(") + link.getTarget() + u')');
            }
            return;
        }
        case EventKind::Button:
            onAction(static_cast<const ButtonEvent&>(*event).getClickAction());
            return;
        case EventKind::TextField:
            onTextFieldEvent(static_cast<const TextFieldEvent&>(*event));
            return;
        case EventKind::Key: {
            const auto& key = static_cast<const KeyEvent&>(*event);
            onAction(key.getAction());
            return;
        }
        // A table runs the activated cell's or row's own action.
        case EventKind::TableCell:
            onAction(static_cast<const TableCellEvent&>(*event).getCellAction());
            return;
        case EventKind::TableRow:
            onAction(static_cast<const TableRowEvent&>(*event).getRowAction());
            return;
        default:
            break;
    }
    if (event->getCellType().view() == kListCellType) {
        onAction(event->getCellValue());
        return;
    }
    const CString action = event->getAction();
    if (action.isEmpty()) return;
    if (Item* source = event->getSource()) eventSource_ = source->weakRef();
    onAction(action);
}

// The field's name and value go into the links the action opens, inside
// their parentheses.
void PageController::onTextFieldEvent(const TextFieldEvent& event) {
    eventSource_ = event.getSource() ? event.getSource()->weakRef() : ItemRef();
    const CString action = event.getFieldAction();
    // Encoded as a submit sends it there: a typed '&', '#' or ')' must not cut it.
    const std::optional<CString> filled =
        fillActionLinks(action, [&](const CString& link) -> std::optional<CString> {
            return setUrlParamKeepFragment(
                link, encodeForSending(event.getName(), PairPlace::Action),
                encodeForSending(valueToSend(event.getSource(), event.getValue()),
                                 PairPlace::Action));
        });
    if (filled) {
        onSubmittedAction(*filled);
        return;
    }
    onAction(action);
}

void PageController::commandAction(Command* command, Displayable* /*source*/) {
    if (!command) return;
    const CString label = command->getLabel();

    // The page's own soft keys come before the built-in labels.
    if (currentEntry_) {
        auto own = currentEntry_->commandActions.find(label);
        if (own != currentEntry_->commandActions.end() && !own->second.isEmpty()) {
            onAction(own->second);
            return;
        }
    }

    if (label.equalsNoCase(kBackLabel)) {
        goHistory(1);
    } else if (label.equalsNoCase(kForwardLabel)) {
        goHistory(-1);
    } else if (label.equalsNoCase(kExitLabel)) {
        if (messageBox(kExitQuestion, CString(), MessageBoxType::YesNo) == kIdYes) saveSettings();
    } else if (label.equalsNoCase(kRetryLabel)) {
        openUrl({.url = loader_.lastUrl(),
                 .screenId = currentScreenId(),
                 .replace = true,
                 .submission = loader_.lastWasSubmission()});
    }
}

}  // namespace zq
