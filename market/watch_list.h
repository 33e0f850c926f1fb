// The user's watch-list and the list of recently viewed stocks.
//
// WatchList holds two ordered code lists: stocks (type 0) and funds
// (type 1). Every operation ignores any other type. The page controller
// owns the one current list (PageController::watchList); every other user
// borrows it for the length of a call.
//
// The watch-list file ("\UserData\MyStock.ini") holds a "[stock]" and a
// "[fund]" section, one "N=code" line per code (N counts from 1), in the
// default code page. A list kept for a named user follows under
// "[stock:NAME]" and "[fund:NAME]", NAME percent-encoded UTF-8. A list
// takes only codes the file can give back unchanged (canHold), so whatever
// a list holds reads back the same after a restart. The recent-stock file
// holds the entries' text forms ("code:name") joined by ",".
//
// Plain values; not thread-safe. The controller uses them on the UI thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cstring.h"

namespace zq {

enum WatchEntryType : int {
    kWatchStock = 0,
    kWatchFund = 1,
};

// How a shown page enters the current watch-list under the current user.
enum class WatchListEntry {
    KeepExisting,  // an entry the user already has stays
    Replace,
};

// "stock" 0, "fund" 1, anything else -1 (any case, surrounding blanks
// ignored).
int watchEntryType(const CString& text);

class WatchList {
public:
    // A list holds at most kMaxCodes codes of each type, each at most
    // kMaxCodeLength characters.
    static constexpr int kMaxCodeLength = 64;
    static constexpr size_t kMaxCodes = 2000;
    static constexpr const char* kFileName = "MyStock.ini";

    WatchList() = default;
    explicit WatchList(CString name) : name_(std::move(name)) {}

    const CString& getName() const { return name_; }
    void setName(const CString& name) { name_ = name; }

    // Whether the file keeps `code` as it is: not empty, at most
    // kMaxCodeLength characters, no blank at either end, no control
    // character, none of ", : = [ ]", and every character in the file's
    // code page.
    static bool canHold(const CString& code);
    // Appends `code`; false for a code canHold refuses, a code already
    // listed, a full list or a type other than 0 or 1.
    bool add(int type, const CString& code);
    // Removes `code`; false when it is not listed.
    bool remove(int type, const CString& code);
    bool contains(int type, const CString& code) const;
    // Replaces the codes of `type` with those of `codes` that add() takes,
    // in order; another type changes nothing.
    void assign(int type, const std::vector<CString>& codes);
    // Moves `code` one place up (towards the front) or down; false at the
    // end it moves towards or when it is not listed.
    bool move(int type, const CString& code, bool up);
    // Empties both lists.
    void clear();
    // The codes of `type` in order; empty for another type.
    const std::vector<CString>& codes(int type) const;
    // The codes of `type` joined by "," (no "," after the last).
    CString joinCodes(int type) const;
    // The same for a request value: each code percent-encoded (urlEncode),
    // so that "&", "#", "?", "%" or "+" in a code stay in its value.
    CString requestCodes(int type) const;

private:
    std::vector<CString>* list(int type);

    CString name_;
    std::vector<CString> stocks_;
    std::vector<CString> funds_;
};

// The whole watch-list file: the list of no user in particular and the
// lists of named users (each WatchList's name is its user's).
struct WatchListFile {
    // Users beyond this many are not taken from a file.
    static constexpr size_t kMaxUsers = 1000;

    WatchList own;
    std::vector<WatchList> users;

    // `users` with an empty name or no codes are left out.
    static std::string toFileText(const WatchList& own, const std::vector<const WatchList*>& users);
    // Unknown sections, lines without "=" and codes add refuses are
    // skipped; a bad file gives what parsed.
    static WatchListFile fromFileText(std::string_view text);
    // A missing or unreadable file gives no lists.
    static WatchListFile load(const std::filesystem::path& path);
    // Through a temporary file and a rename; false on failure (the old
    // file stays).
    static bool save(const std::filesystem::path& path, const WatchList& own,
                     const std::vector<const WatchList*>& users);
};

// One recently viewed stock. Its text form is "code:name"; the name loses
// "," and ":" and line breaks so that the joined list reads back the same,
// and a code that holds them is no code a list takes.
class RecentStockEntry {
public:
    RecentStockEntry(const CString& code, const CString& name);
    const CString& code() const { return code_; }
    const CString& name() const { return name_; }
    CString toText() const { return code_ + u':' + name_; }
    // "code:name" (a text without ":" is all code).
    static RecentStockEntry fromText(const CString& text);
    bool operator==(const RecentStockEntry& other) const { return code_ == other.code_; }

private:
    CString code_;
    CString name_;
};

class RecentStockList {
public:
    static constexpr size_t kDefaultMax = 20;
    static constexpr const char16_t* kDefaultFileName = u"MyLastBrowse.ini";

    // 0: no limit.
    explicit RecentStockList(size_t maximum = kDefaultMax) : max_(maximum) {}

    // Puts `entry` first; an entry of the same code goes first, and the
    // last one goes when the list is full. An entry whose code a watch-list
    // cannot hold (WatchList::canHold) is ignored.
    void moveToFront(const RecentStockEntry& entry);
    // Appends the entries of a ","-separated text while there is room.
    void fromText(const CString& text);
    CString toText() const;
    // The codes joined by ",", each percent-encoded for a request value.
    CString requestCodes() const;
    const std::vector<RecentStockEntry>& entries() const { return entries_; }
    void clear() { entries_.clear(); }

    // The file: whole content is toText() in the default code page. A
    // missing file leaves the list as it is.
    void load(const std::filesystem::path& path);
    bool save(const std::filesystem::path& path) const;

private:
    size_t max_;
    std::vector<RecentStockEntry> entries_;
};

}  // namespace zq
