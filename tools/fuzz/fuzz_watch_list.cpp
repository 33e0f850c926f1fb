// Reads an arbitrary watch-list file and writes it back: what the lists took
// must read back the same, and a second write must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "market/watch_list.h"

namespace {

std::string written(const zq::WatchListFile& file) {
    std::vector<const zq::WatchList*> users;
    for (const zq::WatchList& user : file.users) users.push_back(&user);
    return zq::WatchListFile::toFileText(file.own, users);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const zq::WatchListFile first = zq::WatchListFile::fromFileText(input);
    const std::string text = written(first);
    const zq::WatchListFile second = zq::WatchListFile::fromFileText(text);
    if (!(second.own.joinCodes(0) == first.own.joinCodes(0)) ||
        !(second.own.joinCodes(1) == first.own.joinCodes(1))) {
        std::abort();  // the file's own list changed on its way through the file
    }
    if (written(second) != text) std::abort();  // a user's list changed
    return 0;
}
