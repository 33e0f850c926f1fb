// The entry point of the SDL window module. The module is built on its own
// (see the root CMakeLists.txt) and opened by sdl_loader.cpp only when a
// window is asked for, so that headless runs never map SDL and its X11 and
// audio libraries.
#include <memory>
#include <string>

#include "platform/window.h"

// A C name, so that the loader can find it with dlsym. The window crosses as a
// raw pointer only for the call; the loader takes it into a unique_ptr at once.
extern "C" __attribute__((visibility("default"))) zq::WindowBackend* zqCreateSdlWindow(
    int width, int height, const char* title, std::string* error) {
    return zq::createSdlWindow({width, height}, title, error).release();
}
