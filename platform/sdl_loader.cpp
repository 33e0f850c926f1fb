// createSdlWindow for the client: opens the SDL window module on first use.
// The module stays loaded for the life of the process, as windows made by it
// may outlive any one call.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <memory>
#include <mutex>
#include <string>

#include "platform/window.h"

namespace zq {
namespace {

constexpr char kModuleName[] = "libzq_sdl_window.so";

using CreateFunction = WindowBackend* (*)(int, int, const char*, std::string*);

std::string executableFolder() {
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return {};
    std::string folder(path, static_cast<size_t>(length));
    return folder.substr(0, folder.rfind('/') + 1);
}

struct Module {
    CreateFunction create = nullptr;
    std::string error;
};

// Next to the program first, then where the build put it.
const Module& module() {
    static const Module loaded = [] {
        Module m;
        void* handle = nullptr;
        for (const std::string& path :
             {executableFolder() + kModuleName, std::string(ZQ_SDL_MODULE_PATH)}) {
            handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle) break;
            if (m.error.empty()) {
                const char* why = dlerror();
                m.error = why ? why : path;
            }
        }
        if (!handle) {
            m.error = "SDL window module: " + m.error;
            return m;
        }
        m.create = reinterpret_cast<CreateFunction>(dlsym(handle, "zqCreateSdlWindow"));
        if (!m.create) m.error = "SDL window module: no zqCreateSdlWindow";
        return m;
    }();
    return loaded;
}

}  // namespace

std::unique_ptr<WindowBackend> createSdlWindow(Size size, const std::string& title,
                                               std::string* error) {
    const Module& m = module();
    if (!m.create) {
        if (error) *error = m.error;
        return nullptr;
    }
    return std::unique_ptr<WindowBackend>(m.create(size.width, size.height, title.c_str(), error));
}

}  // namespace zq
