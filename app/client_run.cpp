#include "app/client_run.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/page_controller.h"
#include "items/item_makers.h"
#include "markup/style_sheet.h"
#include "platform/device_context.h"
#include "platform/files.h"
#include "platform/font.h"
#include "platform/image.h"
#include "platform/key_script.h"
#include "platform/message_box.h"
#include "platform/ui_executor.h"
#include "platform/ui_loop.h"
#include "platform/window.h"
#include "ui/display.h"
#include "ui/screen.h"
#include "ui/displayable.h"
#include "ui/graphics_context.h"
#include "ui/toolkit_globals.h"

namespace zq {

namespace {

constexpr Color kBackground = rgb(0xEE, 0xF2, 0xF7);
constexpr Color kTitleColor = rgb(0x1E, 0x5A, 0xA8);
constexpr size_t kMaxReportedScriptErrors = 20;
constexpr size_t kMaxStyleSheetBytes = 1 << 20;

// What the screen shows until the start-up sequence exists.
class TitleCanvas : public Canvas {
public:
    void paint(GraphicsContext& g) override {
        DeviceContext* dc = g.getDC();
        if (!dc) return;
        Rect all = Rect::fromSize(0, 0, g.getSurfaceWidth(), g.getSurfaceHeight());
        dc->fillRect(all, kBackground);
        FontRef previousFont = dc->selectFont(getFont(14));
        Color previousColor = dc->setTextColor(kTitleColor);
        BackgroundMode previousMode = dc->setBackgroundMode(BackgroundMode::Transparent);
        dc->drawText(u"zqclient", all, kTextCenter | kTextVCenter | kTextSingleLine);
        dc->setBackgroundMode(previousMode);
        dc->setTextColor(previousColor);
        dc->selectFont(previousFont);
    }
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

// The local index page with the shipped style sheet; null when it cannot be
// shown (the title screen stays).
std::unique_ptr<PageController> openIndexPage(const DeviceFiles& device) {
    setProgramFolder(device.programFolder());
    const std::filesystem::path resources = device.hostPath(u"\\Program\\ZQ Resource");
    if (auto css = readFile(resources / "css" / "default.css", kMaxStyleSheetBytes)) {
        loadDefaultStyleSheet(CString::fromUtf8(*css));
    }
    auto controller = std::make_unique<PageController>(
        ControllerFolders{resources, device.hostPath(u"\\UserData")});
    controller->openUrl(CString(u"file://index_s.zqml"), -1, false, false, false, 0);
    if (!controller->currentEntry()) return nullptr;
    return controller;
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
    CurrentDeviceFiles currentDevice(device);
    if (!device.installProgramFolder(resourcesFolder())) {
        std::fprintf(stderr, "zqclient: some program files could not be installed in %s\n",
                     device.programFolder().c_str());
    }

    const Size screen = options.landscape ? Size{320, 240} : Size{240, 320};
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
    ScriptedWindow replay(*window, std::move(steps),
                          quitAtEnd ? ScriptEnd::Quit : ScriptEnd::PassThrough);
    const Size client = replay.size();
    setDisplayArea(Rect::fromSize(0, 0, client.width, client.height));
    installItemMakers();
    Screen::initMetrics(client);
    Display display(client);
    TitleCanvas title;
    int code = kExitOk;
    {
        UiLoop loop(executor, replay, display);
        display.attach(&loop);
        std::unique_ptr<PageController> controller = openIndexPage(device);
        if (!controller) display.setCurrent(&title, true);
        code = loop.run();
        controller.reset();
        display.attach(nullptr);
    }
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
