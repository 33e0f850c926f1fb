#include "app/client_run.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/application.h"
#include "app/main_frame.h"
#include "items/item_makers.h"
#include "net/device_actions.h"
#include "net/dialler.h"
#include "net/request_session.h"
#include "net/speed_test.h"
#include "platform/device_services.h"
#include "platform/files.h"
#include "platform/font.h"
#include "platform/image.h"
#include "platform/key_script.h"
#include "platform/message_box.h"
#include "platform/threading.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "ui/client_context.h"
#include "ui/display.h"
#include "ui/screen.h"

namespace zq {

namespace {

constexpr size_t kMaxReportedScriptErrors = 20;
constexpr const char* kLockFileName = ".zqclient.lock";

// Installs the device services for the run and removes them again.
class DeviceServicesScope {
public:
    explicit DeviceServicesScope(DeviceServices& services) { setDeviceServices(&services); }
    ~DeviceServicesScope() { setDeviceServices(nullptr); }
    DeviceServicesScope(const DeviceServicesScope&) = delete;
    DeviceServicesScope& operator=(const DeviceServicesScope&) = delete;
};

bool hasEnv(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// A window needs a display, or a video driver named outright.
bool wantsWindow(const Options& options) {
    if (options.headless) return false;
    return hasEnv("DISPLAY") || hasEnv("WAYLAND_DISPLAY") || hasEnv("SDL_VIDEODRIVER");
}

// The shipped program files: "resources" beside the executable when it is
// there (an installed copy), else the source tree's.
std::filesystem::path resourcesFolder() {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        std::filesystem::path beside = exe.parent_path() / "resources";
        if (std::filesystem::is_directory(beside, ec)) return beside;
    }
    return std::filesystem::path(ZQ_SOURCE_DIR) / "resources";
}

bool loadScript(const Options& options, std::vector<ScriptStep>& steps) {
    if (options.keysPath.empty()) return true;
    KeyScript script = loadKeyScript(options.keysPath);
    for (size_t i = 0; i < script.errors.size() && i < kMaxReportedScriptErrors; ++i) {
        std::fprintf(stderr, "zqclient: %s\n",
                     formatScriptError(options.keysPath, script.errors[i]).c_str());
    }
    if (!script.ok()) return false;
    steps = std::move(script.steps);
    return true;
}

// The UI from the splash screen to the exit routine. Returns the loop's code,
// or kExitFailure when start-up gave up.
// `inFlight` shows the application's requests while it lives.
int runUi(UiExecutor& executor, WindowBackend& window, StartupInputGate* gate,
          const DeviceFiles& device, Size client, AsideTask& install,
          std::atomic<PageRequests*>& inFlight) {
    Display display(client);
    MainFrame frame(display);
    UiLoop loop(executor, window, frame);
    display.attach(&loop);

    StartupHooks hooks;
    if (gate) {
        hooks.ask = [gate](const CString& text, const CString& caption, MessageBoxType type) {
            return gate->ask(text, caption, type);
        };
        hooks.busy = [gate](bool busy) { gate->setBusy(busy); };
    }
    auto app =
        std::make_unique<Application>(ControllerFolders{device.hostPath(u"\\Program\\ZQ Resource"),
                                                        device.hostPath(u"\\UserData")},
                                      std::move(hooks));
    frame.setController(&app->controller());
    inFlight.store(&app->controller().requests());
    install.finish();
    app->showSplashAndStart(client);
    int code = loop.run();

    // The workers may wait on the UI thread: they are stopped, the UI
    // closes (ending such waits), then they are joined.
    app->requestStop();
    executor.shutdown();
    app->joinWorkers();
    // The window closed without the exit routine: it runs now.
    if (!frame.shutdownRequested()) app->controller().saveSettings();
    if (app->failed()) code = kExitFailure;
    frame.setController(nullptr);
    inFlight.store(nullptr);
    app.reset();
    display.attach(nullptr);
    frame.teardown();
    return code;
}

}  // namespace

int runClient(const Options& options) {
    std::string fontError;
    if (!systemFontAvailable(&fontError)) {
        if (fontError.empty())
            fontError = "no CJK font found; install the package fonts-wqy-microhei";
        std::fprintf(stderr, "zqclient: %s\n", fontError.c_str());
        return kExitFailure;
    }
    std::vector<ScriptStep> steps;
    if (!loadScript(options, steps)) return kExitUsage;
    DeviceFiles device(options.deviceDir.empty() ? defaultDeviceRoot()
                                                 : std::filesystem::path(options.deviceDir));
    if (!makeDirectories(device.root())) {
        std::fprintf(stderr, "zqclient: cannot create the device folder %s\n",
                     device.root().c_str());
        return kExitFailure;
    }
    // One client per device folder.
    ExclusiveFileLock lock(device.root() / kLockFileName);
    if (!lock.held()) {
        std::fprintf(stderr, "zqclient: another zqclient is using the device folder %s\n",
                     device.root().c_str());
        return kExitFailure;
    }
    CurrentDeviceFiles currentDevice(device);
    // The shipped files install beside the making of the window and the UI;
    // start-up waits for them before it reads the settings.
    const Size screen = options.landscape ? Size{320, 240} : Size{240, 320};
    AsideTask install([&device] {
        if (!device.installProgramFolder(resourcesFolder())) {
            std::fprintf(stderr, "zqclient: some program files could not be installed in %s\n",
                         device.programFolder().c_str());
        }
    });
    makeDirectories(device.hostPath(u"\\UserData"));

    // Made first: the threads that read it end before it does.
    ClientContext context;
    UiExecutor executor;
    std::unique_ptr<WindowBackend> window;
    if (wantsWindow(options)) {
        std::string error;
        window = createSdlWindow(screen, "zqclient", &error);
        if (!window)
            std::fprintf(stderr, "zqclient: no window (%s); running headless\n", error.c_str());
    }
    const bool headless = !window;
    if (headless) {
        window = std::make_unique<HeadlessWindow>(screen);
        setMessageBoxEcho(stderr);
    }
    const bool quitAtEnd = headless || !options.screenshotPath.empty();
    // A replay meets the page start-up ends on: its input waits meanwhile.
    const bool gated = quitAtEnd || !steps.empty();
    ScriptedWindow replay(*window, std::move(steps),
                          quitAtEnd ? ScriptEnd::Quit : ScriptEnd::PassThrough);
    // An idle step waits for the replies of the requests in flight (image
    // links' fetches queued too), for SMS being sent, for speed tests and for
    // the work they post. The requests are the running application's.
    std::atomic<PageRequests*> inFlight{nullptr};
    replay.setBusyProbe([&executor, &inFlight] {
        PageRequests* requests = inFlight.load();
        const bool waiting =
            requests && (!requests->pendingTable().idle() || requests->picturesInFlight() > 0);
        return executor.hasPendingTasks() || waiting || SpeedTestRun::anyRunning() ||
               SmsSender::anySending();
    });
    StartupInputGate gate(replay);

    LinuxDeviceServices linuxServices(device.root());
    DialerOptions dialling;
    dialling.deviceRoot = device.root();
    if (gated) {
        dialling.prompt = [&gate](const CString& text, const CString& caption,
                                  MessageBoxType type) { return gate.ask(text, caption, type); };
    }
    DiallingDeviceServices services(linuxServices, std::move(dialling));
    DeviceServicesScope servicesScope(services);

    const Size client = replay.size();
    context.setDisplayArea(Rect::fromSize(0, 0, client.width, client.height));
    context.setProgramFolder(device.programFolder());
    context.setResourceFolder(CString(u"\\Program\\ZQ Resource\\"));
    installItemMakers(context);
    Screen::initMetrics(client);
    int code = runUi(executor, gated ? static_cast<WindowBackend&>(gate) : replay,
                     gated ? &gate : nullptr, device, client, install, inFlight);
    executor.shutdown();
    setMessageBoxEcho(nullptr);

    for (const std::string& failure : replay.failures()) {
        std::fprintf(stderr, "zqclient: %s: %s\n", options.keysPath.c_str(), failure.c_str());
        code = kExitFailure;
    }
    if (!options.screenshotPath.empty() && !savePng(replay.lastFrame(), options.screenshotPath)) {
        std::fprintf(stderr, "zqclient: cannot write the screenshot %s\n",
                     options.screenshotPath.c_str());
        code = kExitFailure;
    }
    return code;
}

}  // namespace zq
