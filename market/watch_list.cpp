#include "market/watch_list.h"

#include <algorithm>
#include <string>

#include "core/string_utils.h"
#include "platform/files.h"

namespace zq {
namespace {

constexpr int kFileCodePage = 936;
constexpr size_t kMaxFileBytes = 16 * 1024 * 1024;

const std::vector<CString> kNoCodes;

// A section header: its type and, for a user's section, the user's name.
struct SectionHeader {
    int type = -1;
    bool forUser = false;
    CString user;
};

CString encodeUserName(const CString& name) { return urlEncode(name); }

// urlEncode's inverse; a '%' without two hex digits stays as it is.
CString decodeUserName(const CString& text) {
    auto hexValue = [](char16_t c) -> int {
        if (c >= u'0' && c <= u'9') return c - u'0';
        if (c >= u'A' && c <= u'F') return c - u'A' + 10;
        if (c >= u'a' && c <= u'f') return c - u'a' + 10;
        return -1;
    };
    const std::u16string_view v = text.view();
    std::string bytes;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] == u'+') {
            bytes += ' ';
        } else if (v[i] == u'%' && i + 2 < v.size() && hexValue(v[i + 1]) >= 0 &&
                   hexValue(v[i + 2]) >= 0) {
            bytes += static_cast<char>(hexValue(v[i + 1]) * 16 + hexValue(v[i + 2]));
            i += 2;
        } else if (v[i] < 0x80) {
            bytes += static_cast<char>(v[i]);
        } else {
            bytes += CString(std::u16string(1, v[i])).toUtf8();
        }
    }
    return CString::fromUtf8(bytes);
}

// "[stock]", "[fund]", "[stock:NAME]" or "[fund:NAME]" (the words in any
// case); anything else is no section of ours.
SectionHeader readHeader(const CString& line) {
    SectionHeader header;
    if (line.length() < 2 || line.at(line.length() - 1) != u']') return header;
    CString inside = line.mid(1, line.length() - 2);
    const int colon = inside.find(u':');
    if (colon >= 0) {
        header.forUser = true;
        header.user = decodeUserName(inside.mid(colon + 1));
        inside = inside.left(colon);
    }
    header.type = watchEntryType(inside);
    if (inside.find(u' ') >= 0) header.type = -1;
    return header;
}

void appendSections(CString& text, const WatchList& list, const CString& suffix) {
    for (int type : {kWatchStock, kWatchFund}) {
        text += CString(type == kWatchStock ? u"[stock" : u"[fund") + suffix + u"]\n";
        int n = 1;
        for (const CString& code : list.codes(type)) {
            text += CString::format(CString(u"%d="), n++) + code + u'\n';
        }
    }
}

// A name in the recent-stock file: no separator of it, no line break.
CString recentName(const CString& name) {
    std::u16string kept;
    for (char16_t c : name.view()) {
        if (c >= 0x20 && c != 0x7F && c != u',' && c != u':') kept += c;
    }
    return CString(std::move(kept)).trim();
}

// Each item's `code(item)` joined by "," (no "," after the last).
template <typename Items, typename Code>
CString joinedCodes(const Items& items, Code code) {
    CString joined;
    for (const auto& item : items) {
        if (!joined.isEmpty()) joined += u',';
        joined += code(item);
    }
    return joined;
}

}  // namespace

int watchEntryType(const CString& text) {
    CString word = text;
    word.trim();
    if (word.equalsNoCase(CString(u"stock"))) return kWatchStock;
    if (word.equalsNoCase(CString(u"fund"))) return kWatchFund;
    return -1;
}

// --- WatchList ---------------------------------------------------------------------------

std::vector<CString>* WatchList::list(int type) {
    if (type == kWatchStock) return &stocks_;
    if (type == kWatchFund) return &funds_;
    return nullptr;
}

const std::vector<CString>& WatchList::codes(int type) const {
    if (type == kWatchStock) return stocks_;
    if (type == kWatchFund) return funds_;
    return kNoCodes;
}

bool WatchList::canHold(const CString& code) {
    if (code.isEmpty() || code.length() > kMaxCodeLength) return false;
    if (CString(code).trim().length() != code.length()) return false;
    for (char16_t c : code.view()) {
        if (c < 0x20 || c == 0x7F) return false;
    }
    // A code never holds a separator of the files that carry it.
    if (code.findOneOf(CString(u",:=[]")) >= 0) return false;
    return CString::fromCodePage(code.toCodePage(kFileCodePage), kFileCodePage) == code;
}

bool WatchList::add(int type, const CString& code) {
    std::vector<CString>* codes = list(type);
    if (!codes || codes->size() >= kMaxCodes || !canHold(code) || contains(type, code)) {
        return false;
    }
    codes->push_back(code);
    return true;
}

void WatchList::assign(int type, const std::vector<CString>& codes) {
    std::vector<CString>* list = this->list(type);
    if (!list) return;
    list->clear();
    // A page's codes are no better than the user's: add() checks each.
    for (const CString& code : codes) add(type, code);
}

bool WatchList::remove(int type, const CString& code) {
    std::vector<CString>* codes = list(type);
    if (!codes) return false;
    auto it = std::find(codes->begin(), codes->end(), code);
    if (it == codes->end()) return false;
    codes->erase(it);
    return true;
}

bool WatchList::contains(int type, const CString& code) const {
    const std::vector<CString>& all = codes(type);
    return std::find(all.begin(), all.end(), code) != all.end();
}

bool WatchList::move(int type, const CString& code, bool up) {
    std::vector<CString>* codes = list(type);
    if (!codes) return false;
    auto it = std::find(codes->begin(), codes->end(), code);
    if (it == codes->end()) return false;
    const size_t index = static_cast<size_t>(it - codes->begin());
    if (up ? index == 0 : index + 1 >= codes->size()) return false;
    std::swap((*codes)[index], (*codes)[up ? index - 1 : index + 1]);
    return true;
}

void WatchList::clear() {
    stocks_.clear();
    funds_.clear();
}

CString WatchList::joinCodes(int type) const {
    return joinedCodes(codes(type), [](const CString& code) -> const CString& { return code; });
}

CString WatchList::requestCodes(int type) const { return joinedCodes(codes(type), urlEncode); }

// --- the file of every user's list ---------------------------------------------------------

std::string WatchListFile::toFileText(const WatchList& own,
                                      const std::vector<const WatchList*>& users) {
    CString text;
    appendSections(text, own, CString());
    for (const WatchList* user : users) {
        if (!user || user->getName().isEmpty()) continue;
        if (user->codes(kWatchStock).empty() && user->codes(kWatchFund).empty()) continue;
        appendSections(text, *user, CString(u":") + encodeUserName(user->getName()));
    }
    return text.toCodePage(kFileCodePage);
}

WatchListFile WatchListFile::fromFileText(std::string_view bytes) {
    WatchListFile result;
    WatchList* target = nullptr;
    int type = -1;
    const CString text = CString::fromCodePage(bytes.substr(0, kMaxFileBytes), kFileCodePage);
    for (CString line : splitByString(CString(u"\n"), text)) {
        line.trim();
        if (line.isEmpty()) continue;
        if (line.at(0) == u'[') {
            const SectionHeader header = readHeader(line);
            type = header.type;
            target = nullptr;
            if (type < 0) continue;
            if (!header.forUser) {
                target = &result.own;
            } else if (!header.user.isEmpty()) {
                // A user's two sections fill one list.
                for (WatchList& user : result.users) {
                    if (user.getName() == header.user) target = &user;
                }
                if (!target && result.users.size() < kMaxUsers) {
                    target = &result.users.emplace_back(header.user);
                }
            }
            continue;
        }
        const int eq = line.find(u'=');
        if (eq < 0 || !target) continue;
        CString code = line.mid(eq + 1);
        target->add(type, code.trim());
    }
    return result;
}

WatchListFile WatchListFile::load(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readFile(path, kMaxFileBytes);
    return bytes ? fromFileText(*bytes) : WatchListFile();
}

bool WatchListFile::save(const std::filesystem::path& path, const WatchList& own,
                         const std::vector<const WatchList*>& users) {
    return writeFileAtomic(path, toFileText(own, users));
}

// --- recent stocks -------------------------------------------------------------------------

RecentStockEntry::RecentStockEntry(const CString& code, const CString& name)
    : code_(CString(code).trim()), name_(recentName(name)) {}

RecentStockEntry RecentStockEntry::fromText(const CString& text) {
    const int colon = text.find(u':');
    if (colon < 0) return RecentStockEntry(text, CString());
    return RecentStockEntry(text.left(colon), text.mid(colon + 1));
}

void RecentStockList::moveToFront(const RecentStockEntry& entry) {
    // Never a code other than the one viewed, nor one the file breaks.
    if (!WatchList::canHold(entry.code())) return;
    auto same = std::find(entries_.begin(), entries_.end(), entry);
    if (same != entries_.end()) entries_.erase(same);
    if (max_ != 0 && entries_.size() >= max_)
        entries_.erase(entries_.begin() + static_cast<long>(max_ - 1), entries_.end());
    entries_.insert(entries_.begin(), entry);
}

void RecentStockList::fromText(const CString& text) {
    for (const CString& part : splitByString(CString(u","), text)) {
        if (max_ != 0 && entries_.size() >= max_) break;
        RecentStockEntry entry = RecentStockEntry::fromText(part);
        if (!WatchList::canHold(entry.code())) continue;
        if (std::find(entries_.begin(), entries_.end(), entry) != entries_.end()) continue;
        entries_.push_back(entry);
    }
}

CString RecentStockList::toText() const {
    CString text;
    for (const RecentStockEntry& entry : entries_) {
        if (!text.isEmpty()) text += u',';
        text += entry.toText();
    }
    return text;
}

CString RecentStockList::requestCodes() const {
    return joinedCodes(entries_,
                       [](const RecentStockEntry& entry) { return urlEncode(entry.code()); });
}

void RecentStockList::load(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readFile(path, kMaxFileBytes);
    if (bytes) fromText(CString::fromCodePage(*bytes, kFileCodePage));
}

bool RecentStockList::save(const std::filesystem::path& path) const {
    return writeFileAtomic(path, toText().toCodePage(kFileCodePage));
}

}  // namespace zq
