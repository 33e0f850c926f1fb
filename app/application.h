// Application: how the client comes up. It owns the PageController and the
// splash screen, loads the settings, shows the splash and runs the start-up
// on a worker: configuration, then the server-selection page or the connect
// run over the host lists (direct and through the WAP gateway, dialling
// first when the data connection is down), then the server's first page or
// the local index page. When neither can be shown the user is told
// "网络连接失败，将退出程序" and the exit routine ends the program.
//
// Threads: the public members are for the UI thread. The start-up and
// connect workers never touch UI objects themselves: each step that reads
// or changes the settings, the controller's pages or the splash runs on the
// UI thread through runOnUiAndWait; the workers only wait (for the data
// connection, for a server's reply) and ask the user. A worker may wait on
// the UI thread because the UI thread never waits for a worker while the
// executor runs: stop workers with requestStop(), shut the UI executor
// down, then destroy the Application (which joins them).
//
// StartupInputGate holds a replayed script's input while start-up works,
// so that a headless run or a key script meets the page start-up ends on,
// not the splash screen.
#pragma once

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "app/page_controller.h"
#include "net/http_socket.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/message_box.h"
#include "platform/threading.h"
#include "platform/window.h"

namespace zq {

class SplashScreen;

// What start-up tells the run around it. Each hook may be empty.
struct StartupHooks {
    // Shows a box of start-up's and returns its answer; empty: messageBox.
    // Any thread.
    std::function<int(const CString& text, const CString& caption, MessageBoxType type)> ask;
    // True while start-up works and input should wait; false once a page is
    // shown or start-up gave up. Any thread.
    std::function<void(bool busy)> busy;
};

class Application {
public:
    static constexpr const char16_t* kProductTitle = u"掌上证券";
    static constexpr const char16_t* kFatalText = u"网络连接失败，将退出程序";
    static constexpr const char16_t* kDefaultIndex = u"file://index_s.zqml";
    static constexpr const char16_t* kSelectionPage = u"file://init.zqml";
    static constexpr const char16_t* kDefaultStyleSheet = u"file://css//default.css";
    // The status lines of a start-up on its way to a server's first page,
    // in order; "%s" is the host tried.
    static constexpr const char16_t* kStatusConfiguring = u"设置配置信息";
    static constexpr const char16_t* kStatusNetworkSetup = u"初始化联网设置";
    static constexpr const char16_t* kStatusDefaultStyle = u"设置默认样式";
    static constexpr const char16_t* kStatusDetecting = u"联网自动检测";
    static constexpr const char16_t* kStatusTryingProxy = u"有代理尝试连接%s";
    static constexpr const char16_t* kStatusTryingDirect = u"无代理尝试连接%s";
    static constexpr const char16_t* kStatusParsing = u"正在解析数据";

    Application(ControllerFolders folders, StartupHooks hooks);
    // Joins the workers (requestStop first, see above), then releases the
    // pages before the splash screen.
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    PageController& controller() { return *controller_; }
    // Null before showSplashAndStart.
    SplashScreen* splash() const { return splash_.get(); }

    // Loads the settings, shows the splash on a screen of `screen` pixels
    // and starts the start-up worker.
    void showSplashAndStart(Size screen);
    // The "connect" action: while no connect run has finished, the splash
    // comes back and the connect run starts on a worker of its own.
    void reconnect();
    // No further start-up step runs and a fetch in flight ends at once.
    // Any thread.
    void requestStop();
    // requestStop, then waits for the workers (after the UI executor has
    // shut down, or while it still runs the loop on another thread).
    void joinWorkers();

    // A connect run has finished.
    bool started() const { return started_.load(); }
    // The start-up gave up and ran the exit routine.
    bool failed() const { return failed_.load(); }

    // The logo start-up picks for a screen `screenWidth` wide when the
    // configured width is `configuredWidth`: the landscape one when wider.
    static std::filesystem::path logoFile(const std::filesystem::path& resourceFolder,
                                          int screenWidth, int configuredWidth);
    // The gateways named by the settings "cli-wap-gateway" (China Mobile and
    // Unicom), "cli-wap-gateway-ct" (China Telecom) and "cli-wap-port"; a
    // missing or bad value keeps the built-in one.
    static HttpGatewayConfig gatewayFromSettings(const SettingsStore& settings);
    // The connection mode of a connect type: "wap" goes through the
    // telecom gateway for the carrier "中国电信(CT)" and through the common
    // gateway for the others; anything else connects directly.
    static ConnectionMode connectionMode(const CString& connectType, const CString& carrier);
    // The device's OEM text, from uname: system, release and machine.
    static CString oemInfo();

private:
    class Stopped {};
    enum class FetchResult { NoReply, PageShown, NoPage };

    // On the UI thread, waiting for it; throws Stopped when stop was asked
    // or the UI has closed.
    template <class F>
    auto onUi(F&& fn);
    void checkStop() const;
    void setStatus(int percent, const CString& text);
    void setBusy(bool busy);
    int ask(const CString& text, const CString& caption, MessageBoxType type);

    // Worker bodies.
    void runStartup();
    void connectRun();
    void applyConfiguration();
    void loadDefaultSheet();
    bool tryHosts();
    // A first page and the pages it sends on to, from the server's initial
    // path or from the local index.
    enum class ChainStart { Server, Local };
    FetchResult fetchFirstPage(const CString& link, ChainStart from);
    FetchResult followFirstPage(const CString& link, ChainStart from);
    FetchResult openAsLink(const CString& link);
    void noteAnswered();
    // The text of a local page; nullopt, said so, when it cannot be read.
    std::optional<std::string> readLocalPage(const CString& url, ChainStart from);
    std::optional<std::string> waitForReply(RequestRecord record);
    void finishConnect(bool pageShown);
    // True when the index page, or the page it sends on to, is shown;
    // otherwise the user is told what kept it (too large, missing, not a
    // page, too many redirects).
    bool openLocalIndex();
    void giveUp();

    // UI-thread steps. True when the page is built and shown.
    bool showLocalPage(const CString& url);
    // `ofChain`: a page of start-up's own redirect chain, whose follow-up
    // link start-up takes instead of the loader opening it.
    bool showPage(const std::string& text, const CString& url,
                  const CancelFlag& cancelFlag = nullptr, bool ofChain = false);
    void makeSplashCurrent();

    std::unique_ptr<PageController> controller_;
    std::unique_ptr<SplashScreen> splash_;
    StartupHooks hooks_;
    std::atomic<bool> started_{false};
    std::atomic<bool> failed_{false};
    std::atomic<bool> stop_{false};
    // The request id of the first-page fetch in flight (0: none), so that
    // requestStop can end its wait.
    std::mutex fetchMutex_;
    int fetchId_ = 0;
    // Read and written by the start-up or the reconnect worker (one runs at
    // a time), and by the UI thread only in the steps that worker hands it
    // and waits for.
    CString connectType_;
    CString networkName_;
    // Joined in reverse order of starting.
    WorkerThread startupWorker_;
    WorkerThread connectWorker_;
};

// A window backend over the replay's window that holds its input while
// start-up is busy. While a start-up box is open input passes, except that
// a Quit (the replay is over) answers the box with its default and waits
// until start-up is done. UI thread, like every backend; wake, setBusy and
// ask may be called from any thread.
class StartupInputGate : public WindowBackend {
public:
    explicit StartupInputGate(WindowBackend& inner);

    Size size() const override { return inner_.size(); }
    void present(const Surface& frame) override { inner_.present(frame); }
    std::optional<InputEvent> waitEvent(int timeoutMs) override;
    void wake() override;

    void setBusy(bool busy);
    bool busy() const;
    // Shows the box on the UI thread with input passing while it is open.
    int ask(const CString& text, const CString& caption, MessageBoxType type);

private:
    WindowBackend& inner_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool busy_ = false;
    bool woken_ = false;
    // UI thread only.
    std::optional<MessageBoxType> openBox_;
    bool boxAnswered_ = false;
    bool quitHeld_ = false;
};

}  // namespace zq
