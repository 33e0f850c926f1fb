// Image loading for the toolkit: pictures below the program folder, and the
// process-wide image cache.
//
// Paths are relative to the program folder (ui/client_context.h) with '\'
// or '/' separators, e.g. "images\menu.png"; names are found without regard
// to case. A path that would leave the folder (a leading separator, "..", a
// drive) loads nothing. A file that is missing or does not decode gives
// nullptr and is not cached.
//
// Every function may be called from any thread.
#pragma once

#include <cstddef>

#include "platform/cstring.h"
#include "platform/image.h"

namespace zq {

// Decodes the file; nullptr for an empty path, a path outside the program
// folder, a missing or undecodable file, or while no program folder is set.
ImageRef loadImageFile(const CString& path);

// A picture with its alpha channel for the start-up code. The decoder keeps
// alpha for every format, so this is loadImageFile.
ImageRef loadCxImage(const CString& path);

// The cached picture of `path`, decoded on first use. Concurrent callers
// asking for the same path wait for one decode and all get the same
// ImageRef. A failed load is not remembered: the next call tries again.
ImageRef loadCachedImage(const CString& path);

// Empties the cache (shut-down). Pictures handed out stay valid.
void clearImageCache();
// Paths cached or being loaded.
size_t imageCacheSize();

}  // namespace zq
