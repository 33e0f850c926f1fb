// Every way codes enter a watch-list, fed arbitrary bytes: the file text,
// the list's own operations (one per line: "a", "f" add a stock or fund,
// "s", "F" replace the stocks or funds with a ","-separated list, "r"
// remove, "u"/"d" move, "c" clear) and a page whose "add" and "autodown"
// elements fill the current list. Whatever a list then holds is a code the
// file can carry, at most kMaxCodes of a kind without repeats, and reads
// back the same from the file written for it; a second write gives the
// same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/string_utils.h"
#include "market/watch_list.h"
#include "markup/markup_page.h"
#include "tools/fuzz/page_host.h"
#include "ui/style.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::string written(const zq::WatchListFile& file) {
    std::vector<const zq::WatchList*> users;
    for (const zq::WatchList& user : file.users) users.push_back(&user);
    return zq::WatchListFile::toFileText(file.own, users);
}

void checkHeld(const zq::WatchList& list) {
    for (int type : {zq::kWatchStock, zq::kWatchFund}) {
        const std::vector<zq::CString>& codes = list.codes(type);
        check(codes.size() <= zq::WatchList::kMaxCodes);
        std::set<zq::CString> seen;
        for (const zq::CString& code : codes) {
            check(zq::WatchList::canHold(code));
            check(seen.insert(code).second);
        }
    }
    const zq::WatchListFile back =
        zq::WatchListFile::fromFileText(zq::WatchListFile::toFileText(list, {}));
    check(back.users.empty());
    for (int type : {zq::kWatchStock, zq::kWatchFund}) {
        check(back.own.codes(type) == list.codes(type));
    }
}

void runOperations(const zq::CString& text) {
    zq::WatchList list;
    for (const zq::CString& line : zq::splitString(text, u'\n')) {
        if (line.isEmpty()) continue;
        const zq::CString rest = line.mid(1);
        switch (line.at(0)) {
            case u'a':
                list.add(zq::kWatchStock, rest);
                break;
            case u'f':
                list.add(zq::kWatchFund, rest);
                break;
            case u's':
                list.assign(zq::kWatchStock, zq::splitString(rest, u','));
                break;
            case u'F':
                list.assign(zq::kWatchFund, zq::splitString(rest, u','));
                break;
            case u'r':
                list.remove(zq::kWatchStock, rest);
                break;
            case u'u':
                list.move(zq::kWatchStock, rest, true);
                break;
            case u'd':
                list.move(zq::kWatchStock, rest, false);
                break;
            case u'c':
                list.clear();
                break;
            default:
                break;
        }
    }
    checkHeld(list);
}

void runPage(std::string_view bytes) {
    zqfuzz::useFixedFonts();
    zqfuzz::SideEffectPageHost host;
    {
        zq::MarkupPage page;
        page.loadPage(bytes, &host, zq::CString(u"h:1"));
    }
    zq::freeTrackedStyles();
    checkHeld(host.list);
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
    checkHeld(first.own);

    runOperations(zq::CString::fromUtf8(input));
    runPage(input);
    return 0;
}
