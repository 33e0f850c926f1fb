#include "ui/image_cache.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/files.h"
#include "ui/client_context.h"

namespace zq {
namespace {

// One path's picture. Its own lock lets threads that want the same path wait
// for a single decode while other paths decode in parallel.
struct CacheEntry {
    std::mutex mutex;
    ImageRef image;
};

struct ImageCache {
    std::mutex mutex;
    std::map<CString, std::shared_ptr<CacheEntry>> entries;
};

ImageCache& cache() {
    static ImageCache instance;
    return instance;
}

std::shared_ptr<CacheEntry> entryFor(const CString& path) {
    ImageCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto& entry = c.entries[path];
    if (!entry) entry = std::make_shared<CacheEntry>();
    return entry;
}

// Drops the entry of a failed load so that missing pictures do not pile up.
// An entry that another thread is loading (its lock is taken) or has filled
// meanwhile stays; the map lock is never held while waiting for a decode.
void forgetFailed(const CString& path, const std::shared_ptr<CacheEntry>& entry) {
    ImageCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto it = c.entries.find(path);
    if (it == c.entries.end() || it->second != entry) return;
    std::unique_lock<std::mutex> entryLock(entry->mutex, std::try_to_lock);
    if (entryLock.owns_lock() && !entry->image) c.entries.erase(it);
}

}  // namespace

ImageRef loadImageFile(const CString& path) {
    if (path.isEmpty()) return nullptr;
    std::filesystem::path folder = programFolder();
    if (folder.empty()) return nullptr;
    std::optional<std::filesystem::path> file = resolveConfined(folder, path);
    if (!file) return nullptr;
    return loadImageFile(file->string());
}

ImageRef loadCxImage(const CString& path) { return loadImageFile(path); }

ImageRef loadCachedImage(const CString& path) {
    if (path.isEmpty()) return nullptr;
    std::shared_ptr<CacheEntry> entry = entryFor(path);
    ImageRef image;
    {
        std::lock_guard<std::mutex> lock(entry->mutex);
        if (!entry->image) entry->image = loadImageFile(path);
        image = entry->image;
    }
    if (!image) forgetFailed(path, entry);
    return image;
}

void clearImageCache() {
    ImageCache& c = cache();
    std::map<CString, std::shared_ptr<CacheEntry>> released;
    {
        std::lock_guard<std::mutex> lock(c.mutex);
        released.swap(c.entries);
    }
}

size_t imageCacheSize() {
    ImageCache& c = cache();
    std::lock_guard<std::mutex> lock(c.mutex);
    return c.entries.size();
}

}  // namespace zq
