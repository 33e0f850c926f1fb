// Loads arbitrary settings files and writes them back. The input is the
// user file, the defaults file and the counter file, separated by 0x01.
// What a save writes must read back the same: every entry of the system and
// counter sections that the file can hold (a writable key; no more sections
// than one save writes) has the same value after loading the saved files.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "core/config_store.h"

namespace {

namespace fs = std::filesystem;

// One scratch device for the whole run, on tmpfs when there is one.
const fs::path& scratch() {
    static const fs::path root = [] {
        const fs::path base =
            fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        fs::path dir = base / ("zq-fuzz-ini-" + std::to_string(::getpid()));
        fs::create_directories(dir / "Program");
        fs::create_directories(dir / "windows");
        return dir;
    }();
    // Registered after `root` is built, so it runs before `root` is destroyed.
    static const bool removedAtExit = std::atexit([] {
                                          std::error_code ec;
                                          fs::remove_all(root, ec);
                                      }) == 0;
    (void)removedAtExit;
    return root;
}

void put(const fs::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
}

std::string contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The user file and every counter file, as the last save left them.
std::string savedFiles(const fs::path& root) {
    std::string all = contents(root / "Program" / "ZQConfig.ini");
    std::error_code ec;
    std::set<fs::path> names;
    for (const auto& entry : fs::directory_iterator(root / "UserData", ec))
        names.insert(entry.path());
    for (const fs::path& name : names) {
        all += '\x01' + name.filename().string() + '\x01' + contents(name);
    }
    return all;
}

bool inSection(const zq::SettingEntry& entry, const char16_t* section) {
    return entry.section.equalsNoCase(zq::CString(section));
}

void checkReadBack(const zq::SettingsMap& saved, const zq::SettingsMap& read) {
    std::set<std::u16string> sections;
    for (const auto& [key, entry] : saved) sections.insert(entry.section.lower().str());
    if (sections.size() > static_cast<size_t>(zq::ConfigStore::kSaveGroupCount)) return;
    // Counter entries go to the file the saved name picks only when that name is read back.
    const auto name = saved.find(zq::CString(u"cli-myreginfopath"));
    const bool counterKept = name == saved.end() || inSection(name->second, u"info-system");
    for (const auto& [key, entry] : saved) {
        const bool system = inSection(entry, u"info-system");
        const bool counter = counterKept && inSection(entry, u"info-RegInfo");
        // An empty value reads back as the default, as it is meant to.
        if (!zq::isWritableKey(key) || entry.value.isEmpty() || (!system && !counter)) continue;
        const auto back = read.find(key);
        if (back == read.end()) std::abort();  // a saved key was lost
        // Compared as written: a character the code page lacks reads back as '?'.
        if (back->second.value.toCodePage(zq::kCodePageDefault) !=
            entry.value.toCodePage(zq::kCodePageDefault)) {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::string_view parts[3];
    for (int i = 0; i < 3; ++i) {
        const size_t cut = i == 2 ? std::string_view::npos : input.find('\x01');
        parts[i] = input.substr(0, cut);
        input = cut == std::string_view::npos ? std::string_view() : input.substr(cut + 1);
    }
    const fs::path& root = scratch();
    const fs::path user = root / "Program" / "ZQConfig.ini";
    const fs::path defaults = root / "Program" / "ZQConfigDefault.ini";
    // The counter file's name comes from the input: start each run afresh.
    std::error_code ec;
    fs::remove_all(root / "UserData", ec);
    fs::create_directories(root / "UserData");
    put(user, parts[0]);
    put(defaults, parts[1]);
    put(root / "windows" / "MyRegInfo.ini", parts[2]);
    put(root / "UserData" / "MyRegInfo.ini", parts[2]);

    zq::ConfigStore store({root / "Program", root / "UserData", root / "windows"});
    zq::SettingsMap settings;
    if (!store.load(settings, user, defaults)) std::abort();  // both files exist
    store.save(settings, user);
    zq::SettingsMap again;
    if (!store.load(again, user, defaults)) std::abort();
    checkReadBack(settings, again);
    store.save(again, user);
    const std::string saved = savedFiles(root);
    zq::SettingsMap third;
    if (!store.load(third, user, defaults)) std::abort();
    store.save(third, user);
    if (savedFiles(root) != saved) std::abort();  // a saved setting read back differently
    store.writeMerged(again, user, 3, zq::CString(u"info-data"), zq::ClearMode::kClearSection);
    return 0;
}
