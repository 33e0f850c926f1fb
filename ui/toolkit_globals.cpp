#include "ui/toolkit_globals.h"

#include <atomic>
#include <mutex>
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

// Function-local statics: start-up code in other files may run before this
// file's globals would be constructed.
Guarded<ColorSettings>& colorSlot() {
    static Guarded<ColorSettings> slot{ColorSettings{}};
    return slot;
}
Guarded<ScreenMetrics>& metricsSlot() {
    static Guarded<ScreenMetrics> slot{ScreenMetrics{}};
    return slot;
}
Guarded<Rect>& displayAreaSlot() {
    static Guarded<Rect> slot{Rect{0, 0, 240, 320}};
    return slot;
}
Guarded<std::filesystem::path>& programFolderSlot() {
    static Guarded<std::filesystem::path> slot{std::filesystem::path()};
    return slot;
}
Guarded<CString>& resourceFolderSlot() {
    static Guarded<CString> slot{CString(u"\\windows\\")};
    return slot;
}

std::atomic<bool> gDisplayExists{false};
std::atomic<int32_t> gSideIndent{0};
std::atomic<bool> gLoginFlag{false};

}  // namespace

ColorSettings colorSettings() { return colorSlot().get(); }
void storeColorSettings(const ColorSettings& colors) { colorSlot().set(colors); }

ScreenMetrics screenMetrics() { return metricsSlot().get(); }
void setScreenMetrics(const ScreenMetrics& metrics) { metricsSlot().set(metrics); }

Rect displayArea() { return displayAreaSlot().get(); }
void setDisplayArea(const Rect& area) { displayAreaSlot().set(area); }

std::filesystem::path programFolder() { return programFolderSlot().get(); }
void setProgramFolder(const std::filesystem::path& folder) { programFolderSlot().set(folder); }

CString resourceFolder() { return resourceFolderSlot().get(); }
void setResourceFolder(const CString& folder) { resourceFolderSlot().set(folder); }

bool displayExists() { return gDisplayExists.load(std::memory_order_acquire); }
void setDisplayExists(bool exists) { gDisplayExists.store(exists, std::memory_order_release); }

int32_t sideIndent() { return gSideIndent.load(std::memory_order_relaxed); }
void setSideIndent(int32_t indent) { gSideIndent.store(indent, std::memory_order_relaxed); }

bool loginFlag() { return gLoginFlag.load(std::memory_order_relaxed); }
void setLoginFlag(bool set) { gLoginFlag.store(set, std::memory_order_relaxed); }

}  // namespace zq
