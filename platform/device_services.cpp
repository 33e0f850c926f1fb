#include "platform/device_services.h"

#include <spawn.h>
#include <sys/utsname.h>
#include <sys/wait.h>

#include <atomic>
#include <map>
#include <string>
#include <string_view>

#include "platform/files.h"

extern char** environ;

namespace zq {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxConfigBytes = 64 * 1024;
constexpr size_t kMaxContactsBytes = 1024 * 1024;

std::atomic<DeviceServices*> gDeviceServices{nullptr};

std::string_view trimBlanks(std::string_view text) {
    const char* blanks = " \t\r\n";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return out;
}

template <class Fn>
void forEachLine(std::string_view text, Fn fn) {
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string_view::npos) end = text.size();
        fn(trimBlanks(text.substr(begin, end - begin)));
        begin = end + 1;
    }
}

// device.ini as lower-case keys and trimmed values; empty when missing.
std::map<std::string, std::string> readConfig(const fs::path& file) {
    std::map<std::string, std::string> config;
    std::optional<std::string> text = readFile(file, kMaxConfigBytes);
    if (!text) return config;
    forEachLine(*text, [&](std::string_view line) {
        if (line.empty() || line[0] == '#' || line[0] == ';' || line[0] == '[') return;
        size_t equals = line.find('=');
        if (equals == std::string_view::npos) return;
        config[asciiLower(trimBlanks(line.substr(0, equals)))] =
            std::string(trimBlanks(line.substr(equals + 1)));
    });
    return config;
}

// One log field: no tab or line break of the text can split a record.
std::string escapeField(const CString& field) {
    std::string out;
    for (char c : field.toUtf8()) {
        const char* escaped = c == '\\'   ? "\\\\"
                              : c == '\t' ? "\\t"
                              : c == '\r' ? "\\r"
                              : c == '\n' ? "\\n"
                                          : nullptr;
        if (escaped) {
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

LinuxDeviceServices::LinuxDeviceServices(fs::path deviceRoot) : root_(std::move(deviceRoot)) {}

LinuxDeviceServices::~LinuxDeviceServices() { reapBrowsers(); }

bool LinuxDeviceServices::failing(const char* service) const {
    auto config = readConfig(root_ / kConfigName);
    auto it = config.find(std::string("fail-") + service);
    return it != config.end() && isConfigTrue(it->second);
}

bool LinuxDeviceServices::dataConnectionUp() {
    auto config = readConfig(root_ / kConfigName);
    auto it = config.find("data-connection");
    return it == config.end() || asciiLower(it->second) != "down";
}

bool LinuxDeviceServices::dialDataConnection() { return !failing("dial"); }

std::optional<DeviceIdentity> LinuxDeviceServices::identity() {
    auto config = readConfig(root_ / kConfigName);
    auto fail = config.find("fail-identity");
    if (fail != config.end() && isConfigTrue(fail->second)) return std::nullopt;
    DeviceIdentity id;
    if (auto it = config.find("imsi"); it != config.end())
        id.subscriber = CString::fromUtf8(it->second);
    if (auto it = config.find("imei"); it != config.end()) id.imei = CString::fromUtf8(it->second);
    return id;
}

bool LinuxDeviceServices::appendLine(const char* fileName, const std::vector<CString>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\t';
        line += escapeField(fields[i]);
    }
    line += '\n';
    std::lock_guard<std::mutex> lock(logMutex_);
    if (!makeDirectories(root_)) return false;
    fs::path file = root_ / fileName;
    std::string content;
    std::error_code ec;
    if (fs::exists(file, ec)) {
        std::optional<std::string> old = readFile(file);
        if (!old) return false;  // unreadable or too large: never lose its lines
        content = std::move(*old);
    }
    content += line;
    return writeFileAtomic(file, content);
}

bool LinuxDeviceServices::sendSms(const CString& number, const CString& text) {
    if (failing("sms")) return false;
    return appendLine(kOutboxName, {number, text});
}

bool LinuxDeviceServices::dialVoiceCall(const CString& number) {
    if (failing("call")) return false;
    return appendLine(kCallLogName, {number});
}

std::optional<std::vector<CString>> LinuxDeviceServices::pickContacts(int maxCount) {
    if (failing("contacts") || maxCount < 1) return std::nullopt;
    std::optional<std::string> text = readFile(root_ / kContactsName, kMaxContactsBytes);
    if (!text) return std::nullopt;
    std::vector<CString> numbers;
    forEachLine(*text, [&](std::string_view line) {
        if (static_cast<int>(numbers.size()) >= maxCount) return;
        size_t tab = line.rfind('\t');
        std::string_view number =
            trimBlanks(tab == std::string_view::npos ? line : line.substr(tab + 1));
        if (!number.empty()) numbers.push_back(CString::fromUtf8(number));
    });
    if (numbers.empty()) return std::nullopt;
    return numbers;
}

bool LinuxDeviceServices::openBrowser(const CString& link) {
    reapBrowsers();
    if (failing("browser") || !isBrowserLink(link)) return false;
    std::string target = link.toUtf8();
    std::string program = "xdg-open";
    char* argv[] = {program.data(), target.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    std::lock_guard<std::mutex> lock(browserMutex_);
    browsers_.push_back(pid);
    return true;
}

void LinuxDeviceServices::reapBrowsers() {
    std::lock_guard<std::mutex> lock(browserMutex_);
    std::erase_if(browsers_, [](pid_t pid) { return waitpid(pid, nullptr, WNOHANG) != 0; });
}

std::string hostSystemName() {
    struct utsname name {};
    if (::uname(&name) != 0) return std::string();
    return std::string(name.sysname) + ' ' + name.release + ' ' + name.machine;
}

bool isBrowserLink(const CString& link) {
    const std::u16string_view text = link.view();
    for (char16_t c : text) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    for (const std::u16string_view scheme : {u"http://", u"https://"}) {
        if (text.size() <= scheme.size()) continue;
        bool same = true;
        for (size_t i = 0; i < scheme.size() && same; ++i) {
            const char16_t c = text[i];
            same = (c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c) == scheme[i];
        }
        if (same) return true;
    }
    return false;
}

void setDeviceServices(DeviceServices* services) { gDeviceServices.store(services); }

DeviceServices* deviceServices() { return gDeviceServices.load(); }

std::map<std::string, std::string> readDeviceConfig(const std::filesystem::path& root) {
    return readConfig(root / LinuxDeviceServices::kConfigName);
}

std::string configLower(std::string_view text) { return asciiLower(text); }

bool isConfigTrue(std::string_view value) {
    const std::string v = asciiLower(value);
    return v == "true" || v == "1" || v == "yes";
}

}  // namespace zq
