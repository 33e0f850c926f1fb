// Loads arbitrary settings files and writes them back. The input is the
// user file, the defaults file and the counter file, separated by 0x01.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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
    store.writeMerged(again, user, 3, zq::CString(u"info-data"), zq::ClearMode::kClearSection);
    return 0;
}
