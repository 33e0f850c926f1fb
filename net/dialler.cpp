#include "net/dialler.h"

#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <map>
#include <string>
#include <thread>

#include "platform/files.h"

namespace zq {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxModelFileBytes = 64 * 1024;
constexpr size_t kMaxModelLineChars = 127;
constexpr int kMaxModelTextChars = 128;
constexpr int kMaxConnectionNameChars = 63;  // the library's 64-character buffer
constexpr int kHangUpPolls = 50;
constexpr int kDialArgument = 0;
constexpr int64_t kNanosPerSecond = 1000000000;

constexpr const char* kCaptionModel = "获取手机型号";
constexpr const char* kCaptionBinding = "拨号初始化";
constexpr const char* kCaptionDial = "拨号提示";
constexpr const char* kCaptionSelectionDial = "选择式拨号提示";
constexpr const char* kCaptionHiddenDial = "隐藏式拨号提示";

std::string configValue(const std::map<std::string, std::string>& config, const char* key) {
    auto it = config.find(key);
    return it == config.end() ? std::string() : it->second;
}

bool isFalse(const std::string& value) {
    std::string v = configLower(value);
    return v == "false" || v == "0" || v == "no";
}

// A decimal number in [-9999, 9999]; `fallback` for anything else.
int smallNumber(const std::string& value, int fallback) {
    size_t i = 0;
    bool negative = false;
    if (i < value.size() && (value[i] == '-' || value[i] == '+')) negative = value[i++] == '-';
    if (i == value.size() || value.size() - i > 4) return fallback;
    int n = 0;
    for (; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9') return fallback;
        n = n * 10 + (value[i] - '0');
    }
    return negative ? -n : n;
}

}  // namespace

// --- the library's entries -------------------------------------------------------

const char* DialLibrary::entryName(Entry entry) {
    switch (entry) {
        case Entry::Dial:
            return "Dial";
        case Entry::RasDialEx:
            return "RasDialEx";
        case Entry::IsConnected:
            return "IsConnected";
        case Entry::IsConnecting:
            return "IsConnecting";
        case Entry::DisconnectedEx:
            return "DisconnectedEx";
        case Entry::RasDialDmEx:
            return "RasDialDmEx";
        case Entry::DialDefCon:
            return "DialDefCon";
    }
    return "";
}

std::unique_ptr<DialLibrary> DeviceIniDialLibrary::load(const fs::path& deviceRoot) {
    if (configLower(configValue(readDeviceConfig(deviceRoot), "dial-library")) == "missing")
        return nullptr;
    return std::make_unique<DeviceIniDialLibrary>(deviceRoot);
}

DeviceIniDialLibrary::DeviceIniDialLibrary(fs::path deviceRoot) : root_(std::move(deviceRoot)) {}

std::map<std::string, std::string> DeviceIniDialLibrary::config() const {
    // Its time, size and file id tell a changed file (a whole-file write
    // puts a new one in place). File times move in coarse steps: a file
    // changed within the last second may change again unseen, so it is read.
    std::optional<std::tuple<int64_t, int64_t, uint64_t>> stamp;
    bool recent = false;
    struct stat file {};
    if (::stat((root_ / LinuxDeviceServices::kConfigName).c_str(), &file) == 0) {
        const int64_t changed =
            int64_t{file.st_mtim.tv_sec} * kNanosPerSecond + file.st_mtim.tv_nsec;
        stamp.emplace(changed, int64_t{file.st_size}, uint64_t{file.st_ino});
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        recent = std::abs(int64_t{now.tv_sec} * kNanosPerSecond + now.tv_nsec - changed) <
                 kNanosPerSecond;
    }
    std::lock_guard<std::mutex> lock(configMutex_);
    if (!configRead_ || recent || stamp != configStamp_) {
        config_ = readDeviceConfig(root_);
        configStamp_ = stamp;
        configRead_ = true;
    }
    return config_;
}

bool DeviceIniDialLibrary::hasEntry(Entry entry) const {
    std::string missing = configLower(configValue(config(), "dial-missing-entry"));
    return missing != configLower(entryName(entry));
}

int DeviceIniDialLibrary::dial(CString& connectionName) {
    auto values = config();
    int fallback =
        isConfigTrue(configValue(values, "fail-dial")) ? kDialNoConnection : kDialEstablished;
    int result = smallNumber(configValue(values, "dial-result"), fallback);
    std::string name = configValue(values, "dial-connection-name");
    connectionName = CString::fromUtf8(name.empty() ? "Internet" : name);
    if (result == kDialStarted || result == kDialEstablished) {
        std::lock_guard<std::mutex> lock(mutex_);
        dialledUp_ = true;
        hungUp_ = false;
    }
    return result;
}

int DeviceIniDialLibrary::rasDialEx(int, CString& connectionName) { return dial(connectionName); }

int DeviceIniDialLibrary::rasDialDmEx(int, CString& connectionName) { return dial(connectionName); }

bool DeviceIniDialLibrary::isConnected() {
    return !isFalse(configValue(config(), "dial-connected"));
}

bool DeviceIniDialLibrary::isConnecting(const CString&) {
    bool iniUp = configLower(configValue(config(), "data-connection")) != "down";
    std::lock_guard<std::mutex> lock(mutex_);
    if (pollsLeft_ > 0) {
        --pollsLeft_;
        return true;
    }
    return dialledUp_ || (iniUp && !hungUp_);
}

void DeviceIniDialLibrary::disconnectedEx() {
    int polls = smallNumber(configValue(config(), "dial-disconnect-polls"), 0);
    std::lock_guard<std::mutex> lock(mutex_);
    dialledUp_ = false;
    hungUp_ = true;
    pollsLeft_ = polls > 0 ? polls : 0;
}

// --- the binding ---------------------------------------------------------------------

std::optional<CString> phoneModelText(std::string_view firstLine) {
    size_t dot = firstLine.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view model = firstLine.substr(dot + 1);
    model = model.substr(0, model.find('-'));
    return CString::fromUtf8(model).left(kMaxModelTextChars);
}

OsDialBinding::OsDialBinding(const DialerOptions& options)
    : prompt_(options.prompt), pollInterval_(options.pollInterval) {
    if (!prompt_) prompt_ = messageBox;
    // The mode decides which entries the library must have, so it comes first.
    hiddenMode_ = readPhoneModel(DeviceFiles(options.deviceRoot).hostPath(kPhoneModelFile));
    DialLibraryLoader loader = options.loadLibrary;
    if (!loader) {
        fs::path root = options.deviceRoot;
        loader = [root] { return DeviceIniDialLibrary::load(root); };
    }
    bindLibrary(loader);
}

int OsDialBinding::show(const CString& text, const CString& caption, MessageBoxType type) {
    return prompt_(text, caption, type);
}

void OsDialBinding::setMessage(const CString& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    message_ = text;
}

CString OsDialBinding::message() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return message_;
}

CString OsDialBinding::connectionName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connectionName_;
}

void OsDialBinding::clearMessage() { setMessage(CString()); }

bool OsDialBinding::readPhoneModel(const fs::path& modelFile) {
    std::optional<std::string> bytes = readFile(modelFile, kMaxModelFileBytes);
    if (!bytes) {
        setMessage("打开手机型号文件失败！");
        show(message(), kCaptionModel, MessageBoxType::Ok);
        return false;
    }
    std::string_view line = *bytes;
    line = line.substr(0, line.find('\n'));
    line = line.substr(0, kMaxModelLineChars);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::optional<CString> model = phoneModelText(line);
    return model && model->equalsNoCase(kHiddenModeModel);
}

bool OsDialBinding::bindLibrary(const DialLibraryLoader& loader) {
    std::unique_ptr<DialLibrary> library = loader();
    if (!library) {
        setMessage("加载动态库 OSDial.dll 失败！");
        show(message(), kCaptionBinding, MessageBoxType::Ok);
        return false;
    }
    using Entry = DialLibrary::Entry;
    for (Entry entry : {Entry::Dial, Entry::RasDialEx, Entry::IsConnected, Entry::IsConnecting,
                        Entry::DisconnectedEx, Entry::RasDialDmEx, Entry::DialDefCon}) {
        if (entry == Entry::RasDialDmEx && !hiddenMode_) continue;
        if (!library->hasEntry(entry)) {
            setMessage(
                CString::format("获取 %s 函数入口地址失败！", DialLibrary::entryName(entry)));
            show(message(), kCaptionBinding, MessageBoxType::Ok);
            return false;  // the library is released here and stays unusable
        }
    }
    library_ = std::move(library);
    return true;
}

bool OsDialBinding::dial(int dialArgument) {
    // Nothing to dial with.
    if (!library_) {
        setMessage("拨号网络尚未初始化！\r\n拨号中止");
        show(message(), hiddenMode_ ? kCaptionHiddenDial : kCaptionSelectionDial,
             MessageBoxType::Ok);
        return false;
    }
    // Dial in the handset's mode; the library names the connection.
    CString name;
    int result = hiddenMode_ ? library_->rasDialDmEx(dialArgument, name)
                             : library_->rasDialEx(dialArgument, name);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        connectionName_ = name.left(kMaxConnectionNameChars);
    }
    return actOnResult(result, kCaptionDial);
}

bool OsDialBinding::actOnResult(int result, const CString& caption) {
    auto fail = [&](const char* text) {
        setMessage(text);
        show(message(), caption, MessageBoxType::Ok);
        return false;
    };
    const CString name = connectionName();
    switch (result) {
        case kDialPortBusy:
            return fail("端口被另一个网络拨号占用！");
        case kDialEnumerationFailed:
            return fail("枚举活动拨号连接失败！");
        case kDialOtherConnected: {
            setMessage(CString::format("现有拨号(%s)已连接上，是否要断开后再连接所需拨号？", name));
            if (show(message(), caption, MessageBoxType::YesNo) != kIdYes) return false;
            return replaceOtherDial();
        }
        case kDialNoCommunication:
            return fail("通信功能不可用！");
        case kDialNoConnection:
            return fail("没有可用的拨号连接！");
        case kDialUserCancelled:
            // The user said so already; the hidden mode has no user to tell.
            if (!hiddenMode_) setMessage("用户选择了中止拨号！");
            return false;
        case kDialNotStarted:
            return fail("另外一个拨号正准备开始，或其它未知错误！");
        case kDialStarted:
            if (library_->isConnected()) {
                setMessage(CString::format("拨号已经建立。网络拨号名称：%s", name));
                return true;
            }
            setMessage(CString::format("正在拨号中，网络拨号名称：%s", name));
            show(message(), caption, MessageBoxType::Ok);
            return false;
        case kDialEstablished:
            setMessage(CString::format("指定的拨号已经建立，你可以使用此网络拨号。网络拨号名称：%s",
                                       name));
            return true;
        default:
            return false;
    }
}

// Hangs up the other dial and waits for it to go. A wait that runs out fails:
// the old dial still holds the line.
bool OsDialBinding::replaceOtherDial() {
    library_->disconnectedEx();
    const CString name = connectionName();
    for (int poll = 0; poll < kHangUpPolls; ++poll) {
        if (!library_->isConnecting(name)) return true;
        if (poll + 1 < kHangUpPolls) std::this_thread::sleep_for(pollInterval_);
    }
    return false;
}

bool OsDialBinding::connectionUp() {
    if (!library_) return false;
    return library_->isConnecting(connectionName());
}

void OsDialBinding::disconnect() {
    if (library_) library_->disconnectedEx();
}

// --- the dialer --------------------------------------------------------------------

ConnectionDialer::ConnectionDialer(DialerOptions options) : options_(std::move(options)) {}

ConnectionDialer::~ConnectionDialer() {
    if (binding_) {
        binding_->disconnect();
        binding_->clearMessage();
    }
}

OsDialBinding& ConnectionDialer::binding() {
    std::call_once(made_, [this] { binding_ = std::make_unique<OsDialBinding>(options_); });
    return *binding_;
}

bool ConnectionDialer::connect() { return binding().connectionUp(); }

bool ConnectionDialer::dial(const CString&) { return binding().dial(kDialArgument); }

bool ConnectionDialer::dialDataConnection() {
    if (dial(kInternetNetworkId)) return true;
    DialPromptFn prompt = options_.prompt ? options_.prompt : DialPromptFn(messageBox);
    prompt("网络拨号失败，请检查拨号设置或联系手机生产商。", "提示信息", MessageBoxType::Ok);
    return false;
}

// --- device services ---------------------------------------------------------------

namespace {

// A device folder is a handset: it comes with its model file. Failing to write
// it is left to the dialer to report when it reads the file.
DialerOptions withModelFile(DialerOptions options) {
    fs::path file = DeviceFiles(options.deviceRoot).hostPath(kPhoneModelFile);
    std::error_code error;
    if (!fs::exists(file, error) && !error && makeDirectories(file.parent_path()))
        writeFileAtomic(file, std::string(kSimulatorModelLine) + "\r\n");
    return options;
}

}  // namespace

DiallingDeviceServices::DiallingDeviceServices(DeviceServices& inner, DialerOptions options)
    : inner_(inner), dialer_(withModelFile(std::move(options))) {}

bool DiallingDeviceServices::dataConnectionUp() { return dialer_.connect(); }

bool DiallingDeviceServices::dialDataConnection() { return dialer_.dialDataConnection(); }

std::optional<DeviceIdentity> DiallingDeviceServices::identity() { return inner_.identity(); }

bool DiallingDeviceServices::sendSms(const CString& number, const CString& text) {
    return inner_.sendSms(number, text);
}

bool DiallingDeviceServices::dialVoiceCall(const CString& number) {
    return inner_.dialVoiceCall(number);
}

std::optional<std::vector<CString>> DiallingDeviceServices::pickContacts(int maxCount) {
    return inner_.pickContacts(maxCount);
}

bool DiallingDeviceServices::openBrowser(const CString& link) { return inner_.openBrowser(link); }

bool checkDataConnection() {
    DeviceServices* device = deviceServices();
    return !device || device->dataConnectionUp();
}

bool dialDataConnection() {
    DeviceServices* device = deviceServices();
    return device && device->dialDataConnection();
}

}  // namespace zq
