#include "app/application.h"

#include <algorithm>
#include <chrono>
#include <utility>

#include "app/splash_screen.h"
#include "core/string_utils.h"
#include "markup/style_sheet.h"
#include "net/device_actions.h"
#include "net/dialler.h"
#include "net/host_set.h"
#include "platform/device_services.h"
#include "platform/files.h"
#include "platform/image.h"
#include "platform/ui_executor.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/screen_services.h"

namespace zq {

namespace {

constexpr Color kDefaultSplashText = 0xFFFFFF;
constexpr Color kDefaultSplashBack = 0x807368;
constexpr const char16_t* kDefaultNetwork = u"中国移动(CM)";
constexpr const char16_t* kDefaultLanguage = u"gb2312";
constexpr const char16_t* kNetSpeed = u"30000";

CString setting(const PageController& c, const char16_t* key) {
    return c.settings().value(CString(key));
}

// A colour setting; one that does not parse keeps `fallback`.
Color colourSetting(const PageController& c, const char16_t* key, Color fallback) {
    CString text = setting(c, key);
    Color parsed = fallback;
    return parseColor(text, parsed) ? parsed : fallback;
}

CString hostLabel(const HostRecord& host) {
    if (!host.label.isEmpty()) return host.label;
    return host.name.isEmpty() ? host.address : host.name;
}

bool isWap(const CString& connectType) { return connectType.equalsNoCase(CString(u"wap")); }

}  // namespace

// --- process-wide values ------------------------------------------------------------------

std::filesystem::path Application::logoFile(const std::filesystem::path& resourceFolder,
                                            int screenWidth, int configuredWidth) {
    return resourceFolder / (screenWidth > configuredWidth ? "320_240logo.png" : "logo.png");
}

HttpGatewayConfig Application::gatewayFromSettings(const SettingsStore& settings) {
    HttpGatewayConfig config;
    const CString mobile = settings.value(CString(u"cli-wap-gateway"));
    const CString telecom = settings.value(CString(u"cli-wap-gateway-ct"));
    const CString port = settings.value(CString(u"cli-wap-port"));
    if (!mobile.isEmpty()) config.mobileAddress = mobile.toUtf8();
    if (!telecom.isEmpty()) config.telecomAddress = telecom.toUtf8();
    if (isDecimalDigits(port) && port.length() <= 5) {
        const int value = port.toInt();
        if (value > 0 && value <= 65535) config.port = value;
    }
    return config;
}

ConnectionMode Application::connectionMode(const CString& connectType, const CString& carrier) {
    if (!isWap(connectType)) return ConnectionMode::Direct;
    return carrier.view() == kCarrierTelecom ? ConnectionMode::TelecomGateway
                                             : ConnectionMode::Gateway;
}

CString Application::oemInfo() { return CString::fromUtf8(hostSystemName()); }

// --- the application object -----------------------------------------------------------------

Application::Application(ControllerFolders folders, StartupHooks hooks)
    : controller_(std::make_unique<PageController>(std::move(folders))), hooks_(std::move(hooks)) {
    // The controller installs the one marquee text lookup (page texts, then
    // settings); a second one here would hide the texts pages set.
    controller_->setConnectHandler([this] { reconnect(); });
}

Application::~Application() {
    joinWorkers();
    controller_->setConnectHandler(nullptr);
    // The pages may point at the splash as the screen shown before them.
    controller_.reset();
    splash_.reset();
}

void Application::requestStop() {
    stop_.store(true);
    std::lock_guard<std::mutex> lock(fetchMutex_);
    if (fetchId_ != 0) controller_->requests().cancelFetch(fetchId_);
}

void Application::joinWorkers() {
    requestStop();
    connectWorker_.join();
    startupWorker_.join();
}

template <class F>
auto Application::onUi(F&& fn) {
    checkStop();
    try {
        return runOnUiAndWait(std::forward<F>(fn));
    } catch (const UiClosedError&) {
        throw Stopped();
    }
}

void Application::checkStop() const {
    if (stop_.load()) throw Stopped();
}

void Application::setStatus(int percent, const CString& text) {
    onUi([&] {
        if (!text.isEmpty()) splash_->setText(text);
        if (percent >= 0) splash_->setProgress(percent);
    });
}

void Application::setBusy(bool busy) {
    if (hooks_.busy) hooks_.busy(busy);
}

int Application::ask(const CString& text, const CString& caption, MessageBoxType type) {
    return hooks_.ask ? hooks_.ask(text, caption, type) : messageBox(text, caption, type);
}

void Application::showSplashAndStart(Size screen) {
    setBusy(true);
    // The settings from the user file over the defaults.
    SettingsStore& settings = controller_->settings();
    settings.live().clear();
    settings.load();

    // Splash texts and colours, then the client settings.
    SplashScreen::Look look;
    look.title = CString(kProductTitle);
    look.version = setting(*controller_, u"sys-version");
    look.versionColor = colourSetting(*controller_, u"sys-spcolor", kDefaultSplashText);
    look.statusColor = look.versionColor;
    look.background = colourSetting(*controller_, u"sys-sp-bg-color", kDefaultSplashBack);
    controller_->applyClientSettings(settings.live());

    // The landscape logo on a screen wider than the configured width.
    const int configuredWidth = screenMetrics().configuredWidth;
    look.orientation = screen.width > configuredWidth ? SplashScreen::Orientation::Landscape
                                                      : SplashScreen::Orientation::Portrait;
    look.logo = loadImageFile(
        logoFile(controller_->folders().resource, screen.width, configuredWidth).string());

    // The rest on a worker, whose first steps on the UI thread wait for the
    // splash to be shown at once.
    splash_ = std::make_unique<SplashScreen>(std::move(look));
    startupWorker_.start([this](const StopSignal&) { runStartup(); });
    makeSplashCurrent();
}

void Application::makeSplashCurrent() {
    splash_->setBounds(displayArea());
    ClientContext::current().setRecordedCurrentScreen(splash_.get());
    if (Display* display = Display::getDisplay()) {
        display->setCurrent(splash_.get(), true);
        display->repaint();
    }
}

void Application::reconnect() {
    if (!splash_ || started_.load() || stop_.load() || connectWorker_.running()) return;
    makeSplashCurrent();
    setBusy(true);
    connectWorker_.start([this](const StopSignal&) {
        try {
            connectRun();
        } catch (const Stopped&) {
        }
    });
}

// --- the start-up worker ---------------------------------------------------------------------

void Application::runStartup() {
    // Saves cut short by a killed client leave their temporary files behind;
    // they go once start-up is through, not on the way to the first page.
    struct RemoveStaleAtEnd {
        ~RemoveStaleAtEnd() {
            if (DeviceFiles::hasCurrent()) removeStaleTempFiles(DeviceFiles::current().root());
        }
    } removeStaleAtEnd;
    try {
        applyConfiguration();
        const bool selection = onUi([this] {
            return setting(*controller_, u"sys-hostset-show").equalsNoCase(CString(u"true"));
        });
        // The selection page's "connect" action goes on; a selection page
        // that cannot be shown would leave the splash alone, so connect now.
        if (selection && onUi([this] { return showLocalPage(CString(kSelectionPage)); })) {
            setBusy(false);
            return;
        }
        connectRun();
    } catch (const Stopped&) {
    }
}

void Application::applyConfiguration() {
    onUi([this] {
        PageController& c = *controller_;
        SettingsStore& settings = c.settings();
        splash_->setProgress(9);
        splash_->setText(CString(kStatusConfiguring));
        connectType_ = setting(c, u"sys-connecttype");
        networkName_ = setting(c, u"sys-network");
        if (networkName_.isEmpty()) networkName_ = CString(kDefaultNetwork);
        const CString language = setting(c, u"sys-longuage");
        c.setLanguageName(language.isEmpty() ? CString(kDefaultLanguage) : language);
        SettingsStore::putEntry(settings.live(), CString(u"cli-machine"), oemInfo(),
                                kSectionSystem);
        settings.takeStoredCopy();
        settings.saveStored();

        splash_->setProgress(18);
        splash_->setText(CString(kStatusNetworkSetup));
        const int base = screenMetrics().baseFontSize;
        c.setPageFont(getFont(SettingsStore::fontHeight(setting(c, u"sys-fontsize"), base, base)));
        settings.takeStoredCopy();
        splash_->setProgress(27);
        splash_->setText(CString(kStatusDefaultStyle));
    });
    loadDefaultSheet();
    onUi([this] {
        PageController& c = *controller_;
        c.settings().loadQuickPaths();
        c.applyWaitTime();
        c.watchLists().loadWatchList();
        c.watchLists().loadRecentStocks();
        std::unique_ptr<HttpSession> session = c.requests().makeSession(deviceServices());
        session->setGateway(gatewayFromSettings(c.settings()), networkName_);
        c.setSession(std::move(session));
    });
    // The identity comes from the device, off the UI thread.
    std::optional<DeviceIdentity> identity = readDeviceIdentity(deviceServices());
    onUi([this, &identity] {
        if (identity) {
            controller_->setDeviceIdentity(identity->subscriber, identity->imei);
        } else {
            controller_->setDeviceIdentity(CString(), CString());
        }
    });
}

void Application::loadDefaultSheet() {
    onUi([this] {
        CString url = setting(*controller_, u"cli-defalut-css");
        if (url.isEmpty()) url = CString(kDefaultStyleSheet);
        std::optional<std::string> bytes = controller_->pageLoader().loadContent(url, false);
        if (!bytes || bytes->empty()) return;
        // Pages are UTF-8; the sheet goes through the handset's code page.
        std::string narrow = convertCodePage(*bytes, kCodePageUtf8, kCodePageGbk);
        int codePage = kCodePageGbk;
        if (controller_->characterSet().equalsNoCase(CString(u"big5"))) {
            narrow = convertCodePage(narrow, kCodePageGbk, kCodePageBig5);
            codePage = kCodePageBig5;
        }
        const CString text = CString::fromCodePage(narrow, codePage);
        if (!text.isEmpty()) loadDefaultStyleSheet(text);
    });
}

// --- the connect run ---------------------------------------------------------------------------

void Application::connectRun() {
    // The host list to try comes from the saved choice.
    onUi([this] { controller_->loadHostChoice(); });
    setStatus(36, CString(kStatusDetecting));

    // Dial when the data connection is down (its boxes are the dialler's).
    bool connected = true;
    if (!checkDataConnection()) {
        setStatus(-1, CString(u"正在拨号..."));
        setStatus(45, CString());
        connected = dialDataConnection();
    }
    checkStop();

    // Every host in turn until one answers with the first page.
    setStatus(63, CString());
    const bool shown = connected && tryHosts();
    finishConnect(shown);
}

bool Application::tryHosts() {
    struct Plan {
        int count = 0;
        int start = 0;
        CString initPath;
        CString carrier;
    };
    const Plan plan = onUi([this] {
        PageController& c = *controller_;
        Plan p;
        p.count = c.hostSet().count();
        p.start = std::max(c.hostSet().currentIndex(), 0);
        p.initPath = setting(c, u"sys-initpath");
        p.carrier = c.hostSet().carrierName();
        return p;
    });
    if (plan.initPath.isEmpty() || plan.count <= 0) return false;

    // Every host in the first mode, then every host in the other one.
    ConnectionMode mode = connectionMode(connectType_, plan.carrier);
    for (int i = 0; i < 2 * plan.count; ++i) {
        const int index = (plan.start + i) % plan.count;
        const HostRecord host = onUi([&] { return controller_->hostSet().host(index); });
        const char16_t* text = isWap(connectType_) ? kStatusTryingProxy : kStatusTryingDirect;
        setStatus(-1, CString::format(CString(text), hostLabel(host)));
        onUi([&] {
            if (HttpSession* session = controller_->session()) {
                session->closeConnection();
                session->setConnectionType(mode);
            }
            controller_->setCurrentHost(host);
        });
        const FetchResult result = fetchFirstPage(plan.initPath, ChainStart::Server);
        if (result != FetchResult::NoReply) return result == FetchResult::PageShown;
        if (i == plan.count - 1) {
            connectType_ = isWap(connectType_) ? CString(u"net") : CString(u"wap");
            mode = connectionMode(connectType_, plan.carrier);
        }
    }
    return false;
}

Application::FetchResult Application::fetchFirstPage(const CString& link, ChainStart from) {
    // Its redirects are followed here, so that a chain that ends without a
    // page leaves start-up to go on.
    onUi([this] { controller_->pageLoader().startRedirectChain(); });
    return followFirstPage(link, from);
}

Application::FetchResult Application::followFirstPage(const CString& link, ChainStart from) {
    CString next = link;
    bool answered = false;
    for (bool first = true;; first = false) {
        const LinkScheme scheme =
            first ? (from == ChainStart::Server ? LinkScheme::Http : LinkScheme::File)
                  : linkScheme(next);
        if (scheme != LinkScheme::Http && scheme != LinkScheme::File) return openAsLink(next);

        // The page text: a server's reply, or a file of the resource folder.
        std::optional<std::string> text;
        CString url = next;
        CancelFlag cancelFlag;
        if (scheme == LinkScheme::Http) {
            // The request, made by the loader as every page's is.
            std::optional<RequestRecord> record =
                onUi([&] { return controller_->pageLoader().firstPageRequest(next); });
            if (!record) return answered ? FetchResult::NoPage : FetchResult::NoReply;
            url = record->link;
            cancelFlag = record->cancelFlag;
            text = waitForReply(std::move(*record));
            if (!text) return answered ? FetchResult::NoPage : FetchResult::NoReply;
            // The connect type and host that answered are kept.
            if (!answered && from == ChainStart::Server) noteAnswered();
        } else {
            text = readLocalPage(url, from);
            if (!text) return FetchResult::NoPage;
        }
        answered = true;

        // Built and shown, or sent on: fetched or read here next.
        PageLoader::HeldRedirect held;
        bool redirected = false;
        const bool shown = onUi([&] {
            PageLoader& loader = controller_->pageLoader();
            const bool built = showPage(*text, url, cancelFlag, true);
            redirected = loader.parseRedirected();
            held = loader.takeHeldRedirect();
            if (from == ChainStart::Local) splash_->setProgress(93);
            return built;
        });
        if (shown) return FetchResult::PageShown;
        if (held.tooMany)
            ask(CString(PageLoader::kTooManyRedirectsText), CString(), MessageBoxType::Ok);
        // A local page that is no page is said; a server's is not.
        if (scheme == LinkScheme::File && !redirected)
            ask(CString(PageLoader::kParseErrorText), CString(), MessageBoxType::Ok);
        if (held.link.isEmpty()) return FetchResult::NoPage;
        next = held.link;
    }
}

// Neither a server page nor a local one: opened as links are, and the chain
// ends with it.
Application::FetchResult Application::openAsLink(const CString& link) {
    setBusy(false);
    const bool shown = onUi([&] {
        PageController& c = *controller_;
        PageEntry* before = c.currentEntry();
        c.pageLoader().openUrl({.url = link});
        return c.currentEntry() != nullptr && c.currentEntry() != before;
    });
    if (!shown) setBusy(true);
    return shown ? FetchResult::PageShown : FetchResult::NoPage;
}

void Application::noteAnswered() {
    setStatus(81, CString(kStatusParsing));
    onUi([this] {
        PageController& c = *controller_;
        const CString key(u"sys-connecttype");
        SettingsStore::putEntry(c.settings().live(), key, connectType_, kSectionSystem);
        SettingsStore::putEntry(c.settings().stored(), key, connectType_, kSectionSystem);
        c.saveCurrentHost();
    });
}

std::optional<std::string> Application::readLocalPage(const CString& url, ChainStart from) {
    if (from == ChainStart::Local) setStatus(-1, CString(u"读取页面文件"));
    std::optional<std::string> content =
        onUi([&] { return controller_->pageLoader().loadContent(url, false); });
    // A file too large to read or not there is said as such.
    if (!content) {
        const char16_t* said =
            onUi([&] { return controller_->pageLoader().unreadableFileText(url); });
        ask(CString(said), CString(), MessageBoxType::Ok);
        return std::nullopt;
    }
    if (from == ChainStart::Local) setStatus(90, CString(u"解析本地数据"));
    return content;
}

std::optional<std::string> Application::waitForReply(RequestRecord record) {
    // The wait, here on the worker; requestStop ends it.
    {
        std::lock_guard<std::mutex> lock(fetchMutex_);
        fetchId_ = record.requestId;
    }
    std::optional<std::string> reply;
    if (!stop_.load()) reply = controller_->requests().fetchAndWait(std::move(record));
    {
        std::lock_guard<std::mutex> lock(fetchMutex_);
        fetchId_ = 0;
    }
    checkStop();
    return reply;
}

void Application::finishConnect(bool shown) {
    // The measured speed goes into the live settings for pages to show.
    onUi([this] {
        SettingsMap& live = controller_->settings().live();
        auto it = live.find(CString(u"sys-netspeed"));
        if (it != live.end()) {
            it->second.value = CString(kNetSpeed);
        } else {
            SettingsStore::putEntry(live, CString(u"sys-netspeed"), CString(kNetSpeed),
                                    kSectionData);
        }
        splash_->setProgress(81);
    });
    started_.store(true);

    // Without a server page, the local index page; without that, the end.
    if (!shown) shown = openLocalIndex();
    if (!shown) {
        giveUp();
        return;
    }
    // The splash has done its work.
    onUi([this] { splash_->markFinished(); });
    setBusy(false);
}

bool Application::openLocalIndex() {
    setStatus(-1, CString(u"正在打开页面"));
    const CString url = onUi([this] {
        const CString index = setting(*controller_, u"sys-index");
        return index.isEmpty() ? CString(kDefaultIndex) : index;
    });
    // A page that sends on to another is the first page only once that
    // one is shown.
    return fetchFirstPage(url, ChainStart::Local) == FetchResult::PageShown;
}

void Application::giveUp() {
    failed_.store(true);
    // Still busy: the end of a replay answers the box instead of closing the
    // UI before the box is shown.
    ask(CString(kFatalText), CString(), MessageBoxType::Ok);
    try {
        onUi([this] { splash_->markFinished(); });
    } catch (const Stopped&) {
    }
    // The exit routine writes the files here and ends the UI on its thread.
    controller_->saveSettings();
    setBusy(false);
}

// --- UI-thread steps ----------------------------------------------------------------------------

bool Application::showLocalPage(const CString& url) {
    const std::optional<std::string> content = controller_->pageLoader().loadContent(url, false);
    return content && showPage(*content, url);
}

bool Application::showPage(const std::string& text, const CString& url,
                           const CancelFlag& cancelFlag, bool ofChain) {
    PageController& c = *controller_;
    PageEntry* before = c.currentEntry();
    // Held only while this page is built: a page that a later reply or its
    // own load action brings opens its follow-up as any page does.
    c.pageLoader().holdRedirects(ofChain);
    std::unique_ptr<PageEntry> entry = c.pageLoader().parsePageFor(text, url, cancelFlag);
    c.pageLoader().holdRedirects(false);
    if (!entry) return false;
    // The page's load action may ask the user: input passes from here on.
    setBusy(false);
    c.showPage(std::move(entry), -1, false, cancelFlag);
    const bool shown = c.currentEntry() != nullptr && c.currentEntry() != before;
    if (!shown) setBusy(true);
    return shown;
}

// --- the input gate ------------------------------------------------------------------------------

StartupInputGate::StartupInputGate(WindowBackend& inner) : inner_(inner) {}

void StartupInputGate::wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    changed_.notify_all();
    inner_.wake();
}

void StartupInputGate::setBusy(bool busy) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = busy;
        woken_ = true;
    }
    changed_.notify_all();
    inner_.wake();
}

bool StartupInputGate::busy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_;
}

std::optional<InputEvent> StartupInputGate::waitEvent(int timeoutMs) {
    // A box of start-up's listens; the end of the replay answers it.
    if (openBox_ && !boxAnswered_) {
        if (quitHeld_) {
            boxAnswered_ = true;
            return ScriptAnswer{defaultMessageBoxAnswer(*openBox_)};
        }
        std::optional<InputEvent> event = inner_.waitEvent(timeoutMs);
        if (event && std::holds_alternative<Quit>(*event) && busy()) {
            quitHeld_ = true;
            boxAnswered_ = true;
            return ScriptAnswer{defaultMessageBoxAnswer(*openBox_)};
        }
        return event;
    }
    // Start-up is done: input passes, a held Quit first.
    if (!busy()) {
        if (quitHeld_) return Quit{};
        return inner_.waitEvent(timeoutMs);
    }
    // Held: only a wake-up or the end of the work ends the wait.
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return woken_ || !busy_; };
    if (timeoutMs < 0) {
        changed_.wait(lock, ready);
    } else {
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }
    woken_ = false;
    return std::nullopt;
}

int StartupInputGate::ask(const CString& text, const CString& caption, MessageBoxType type) {
    try {
        return runOnUiAndWait([&] {
            const std::optional<MessageBoxType> outerBox = openBox_;
            const bool outerAnswered = boxAnswered_;
            openBox_ = type;
            boxAnswered_ = false;
            const int answer = messageBox(text, caption, type);
            openBox_ = outerBox;
            boxAnswered_ = outerAnswered;
            return answer;
        });
    } catch (const UiClosedError&) {
        return defaultMessageBoxAnswer(type);
    }
}

}  // namespace zq
