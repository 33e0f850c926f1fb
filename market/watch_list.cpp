#include "market/watch_list.h"

#include <algorithm>
#include <set>

#include "core/string_utils.h"
#include "platform/files.h"

namespace zq {
namespace {

constexpr int kFileCodePage = 936;
constexpr size_t kMaxFileBytes = 1024 * 1024;

const std::vector<CString> kNoCodes;

CString withoutSeparators(CString text) {
    text.remove(u',');
    text.remove(u':');
    return text.trim();
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

bool WatchList::add(int type, const CString& code) {
    std::vector<CString>* codes = list(type);
    if (!codes || code.isEmpty() || contains(type, code)) return false;
    codes->push_back(code);
    return true;
}

void WatchList::assign(int type, const std::vector<CString>& codes) {
    std::vector<CString>* list = this->list(type);
    if (!list) return;
    list->clear();
    std::set<CString> seen;
    for (const CString& code : codes) {
        if (!code.isEmpty() && seen.insert(code).second) list->push_back(code);
    }
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
    CString joined;
    for (const CString& code : codes(type)) {
        if (!joined.isEmpty()) joined += u',';
        joined += code;
    }
    return joined;
}

std::string WatchList::toFileText() const {
    CString text;
    const std::pair<const char16_t*, const std::vector<CString>*> sections[] = {
        {u"[stock]", &stocks_}, {u"[fund]", &funds_}};
    for (const auto& [header, codes] : sections) {
        text += CString(header) + u'\n';
        int n = 1;
        for (const CString& code : *codes) {
            text += CString::format(CString(u"%d="), n++) + code + u'\n';
        }
    }
    return text.toCodePage(kFileCodePage);
}

WatchList WatchList::fromFileText(std::string_view bytes) {
    WatchList result;
    int type = -1;
    const CString text = CString::fromCodePage(bytes.substr(0, kMaxFileBytes), kFileCodePage);
    for (CString line : splitByString(CString(u"\n"), text)) {
        line.trim();
        if (line.isEmpty()) continue;
        if (line.at(0) == u'[') {
            if (line.equalsNoCase(CString(u"[stock]"))) {
                type = kWatchStock;
            } else if (line.equalsNoCase(CString(u"[fund]"))) {
                type = kWatchFund;
            } else {
                type = -1;
            }
            continue;
        }
        const int eq = line.find(u'=');
        std::vector<CString>* codes = result.list(type);
        if (eq < 0 || !codes || codes->size() >= kMaxCodes) continue;
        CString code = line.mid(eq + 1);
        code.trim();
        // A code never holds a separator of the files that carry it.
        if (code.length() > kMaxCodeLength || code.findOneOf(CString(u",:=[]")) >= 0) continue;
        result.add(type, code);
    }
    return result;
}

WatchList WatchList::load(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readFile(path, kMaxFileBytes);
    return bytes ? fromFileText(*bytes) : WatchList();
}

bool WatchList::save(const std::filesystem::path& path) const {
    return writeFileAtomic(path, toFileText());
}

// --- recent stocks -------------------------------------------------------------------------

RecentStockEntry::RecentStockEntry(const CString& code, const CString& name)
    : code_(withoutSeparators(code)), name_(withoutSeparators(name)) {}

RecentStockEntry RecentStockEntry::fromText(const CString& text) {
    const int colon = text.find(u':');
    if (colon < 0) return RecentStockEntry(text, CString());
    return RecentStockEntry(text.left(colon), text.mid(colon + 1));
}

void RecentStockList::moveToFront(const RecentStockEntry& entry) {
    if (entry.code().isEmpty()) return;
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
        if (entry.code().isEmpty()) continue;
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

CString RecentStockList::joinFirstFields() const {
    CString text;
    for (const RecentStockEntry& entry : entries_) {
        if (!text.isEmpty()) text += u',';
        text += entry.code();
    }
    return text;
}

void RecentStockList::load(const std::filesystem::path& path) {
    std::optional<std::string> bytes = readFile(path, kMaxFileBytes);
    if (bytes) fromText(CString::fromCodePage(*bytes, kFileCodePage));
}

bool RecentStockList::save(const std::filesystem::path& path) const {
    return writeFileAtomic(path, toText().toCodePage(kFileCodePage));
}

}  // namespace zq
