#include "app/settings_store.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "core/string_utils.h"
#include "platform/files.h"
#include "ui/default_styles.h"

namespace zq {

namespace {

constexpr std::u16string_view kRecvTotal = u"sys-recvcounth";
constexpr std::u16string_view kSentTotal = u"sys-sentcounth";
constexpr std::u16string_view kCounterNameKey = u"cli-myreginfopath";
constexpr size_t kMaxQuickPathLine = 999;

constexpr size_t kMaxQuickPathFile = 1024 * 1024;
// A wait longer than an hour is a typo, not a wish.
constexpr int kMaxWaitSeconds = 3600;

std::u16string_view sectionOfKind(int sectionKind) {
    if (sectionKind == 0) return kSectionData;
    if (sectionKind == 1) return kSectionRegInfo;
    return kSectionSystem;
}

// An ini line ends at CR, LF or NUL: a value never carries one.
CString cutAtLineEnd(const CString& text) {
    int end = text.findOneOf(CString(u"\r\n", 2));
    int nul = text.find(u'\0');
    if (nul >= 0 && (end < 0 || nul < end)) end = nul;
    return end < 0 ? text : text.left(end);
}

CString findValue(const SettingsMap& map, const CString& key) {
    auto it = map.find(key);
    return it == map.end() ? CString() : it->second.value;
}

CString formatKilobytes(float bytes) {
    return CString::format(u"%.2fK", static_cast<double>(bytes / 1024.0f));
}

struct ColourKey {
    std::u16string_view key;
    Color ColorSettings::*field;
};

// In the order the settings file documents them.
constexpr ColourKey kColourKeys[] = {
    {u"sys-menu-bc", &ColorSettings::menuBack},
    {u"sys-menu-fc", &ColorSettings::menuText},
    {u"sys-menu-p-fc", &ColorSettings::menuPressedText},
    {u"sys-menu-p-bc", &ColorSettings::menuPressedBack},
    {u"sys-sh-bc", &ColorSettings::keyboardBack},
    {u"sys-sh-action-bc", &ColorSettings::keyboardActionBack},
    {u"sys-sh-active-bc", &ColorSettings::keyboardActiveBack},
    {u"sys-sh-ch-bc", &ColorSettings::keyboardCharBack},
    {u"sys-sh-p-bc", &ColorSettings::keyboardPressedBack},
    {u"sys-sh-input-bc", &ColorSettings::keyboardInputBack},
    {u"sys-sh-static-bc", &ColorSettings::keyboardStaticBack},
    {u"sys-sh-action-fc", &ColorSettings::keyboardActionText},
    {u"sys-sh-actve-fc", &ColorSettings::keyboardActiveText},
    {u"sys-sh-ch-fc", &ColorSettings::keyboardCharText},
    {u"sys-sh-static-fc", &ColorSettings::keyboardStaticText},
    {u"sys-sh-p-fc", &ColorSettings::keyboardPressedText},
    {u"sys-sh-input-fc", &ColorSettings::keyboardInputText},
    {u"sys-sh-input-first-fc", &ColorSettings::keyboardInputFirstText},
    {u"sys-label-fc", &ColorSettings::labelText},
    {u"sys-marquee-bc", &ColorSettings::marqueeBack},
    {u"sys-marquee-fc", &ColorSettings::marqueeText},
    {u"sys-progress-bc", &ColorSettings::progressBar},
    {u"sys-trade-avg-fc", &ColorSettings::tradeAverageText},
};

}  // namespace

SettingsStore::SettingsStore(std::filesystem::path resourceFolder, std::filesystem::path userData)
    : resource_(std::move(resourceFolder)), userData_(std::move(userData)) {}

std::filesystem::path SettingsStore::userFile() const { return resource_ / kUserFile; }

ConfigStore SettingsStore::store() const {
    return ConfigStore(ConfigFolders{resource_, userData_, {}});
}

bool SettingsStore::load() { return store().load(live_, userFile(), resource_ / kDefaultsFile); }

bool SettingsStore::saveStored() {
    if (saveHolds_ > 0) {
        saveDue_ = true;
        return true;
    }
    return store().save(stored_, userFile());
}

void SettingsStore::releaseSaves() {
    if (saveHolds_ == 0 || --saveHolds_ > 0 || !saveDue_) return;
    saveDue_ = false;
    store().save(stored_, userFile());
}

CString SettingsStore::normalizeKey(const CString& key) {
    CString normalized = key;
    normalized.replace(u'_', u'-');
    return normalized;
}

CString SettingsStore::value(const CString& key) const {
    return findValue(live_, normalizeKey(key));
}

CString SettingsStore::storedValue(const CString& key) const {
    return findValue(stored_, normalizeKey(key));
}

CString SettingsStore::systemValue(const CString& name, TrafficBytes session) const {
    const CString key = normalizeKey(name);
    if (key.view() == u"sys-recvcountn") return formatKilobytes(session.received);
    if (key.view() == u"sys-sentcountn") return formatKilobytes(session.sent);
    if (key.view() == kRecvTotal) return trafficTotal(storedValue(key), session.received);
    if (key.view() == kSentTotal) return trafficTotal(storedValue(key), session.sent);
    if (key.view() == u"sys-clientver") return CString(u"2.2.0.11");
    return findValue(live_, key);
}

void SettingsStore::putEntry(SettingsMap& map, const CString& key, const CString& value,
                             std::u16string_view section) {
    const CString cleanKey = cutAtLineEnd(normalizeKey(key));
    SettingEntry& entry = map[cleanKey];
    entry.key = cleanKey;
    entry.value = cutAtLineEnd(value);
    entry.section = CString(section);
}

bool SettingsStore::setStored(const CString& key, const CString& value, int sectionKind) {
    const CString cleanKey = normalizeKey(key);
    const CString cleanValue = cutAtLineEnd(value);
    // A page names the key (an element id): it must not write a section
    // header or a second entry into the file. A value too long to be read
    // back would lose the setting at the next start.
    if (!isWritableKey(cleanKey) || !ConfigStore::fitsValue(cleanValue)) {
        return false;
    }
    // The counter file is looked for under the name the settings file gives
    // back; any other name would leave the counters behind.
    if (cleanKey.view() == kCounterNameKey && !cleanValue.isEmpty() &&
        !isStorableCounterName(cleanValue)) {
        return false;
    }
    auto it = stored_.find(cleanKey);
    if (it != stored_.end() && !it->second.value.isEmpty()) {
        it->second.value = cleanValue;
        return true;
    }
    putEntry(stored_, cleanKey, cleanValue, sectionOfKind(sectionKind));
    return true;
}

CString SettingsStore::trafficTotal(const CString& storedText, float sessionBytes) {
    float total = 0;
    if (!storedText.isEmpty()) {
        // Read like "%f": leading blanks, then the longest number; the
        // rest of the text (the unit letter) does not stop it.
        const std::string narrow = storedText.toUtf8();
        total = std::strtof(narrow.c_str(), nullptr);
        if (!std::isfinite(total)) total = 0;
        if (storedText.findOneOf(CString(u"Kk")) >= 0) total *= 1024.0f;
    }
    return formatKilobytes(total + sessionBytes);
}

void SettingsStore::storeTrafficTotals(TrafficBytes session) {
    const std::pair<std::u16string_view, float> totals[] = {{kSentTotal, session.sent},
                                                            {kRecvTotal, session.received}};
    for (const auto& [key, bytes] : totals) {
        const CString keyText(key);
        const CString total = trafficTotal(findValue(stored_, keyText), bytes);
        auto it = stored_.find(keyText);
        if (it != stored_.end()) {
            it->second.value = total;
        } else {
            putEntry(stored_, keyText, total, kSectionRegInfo);
        }
    }
}

void SettingsStore::resetTraffic() {
    for (std::u16string_view key : {kSentTotal, kRecvTotal}) {
        for (SettingsMap* map : {&live_, &stored_}) {
            auto it = map->find(CString(key));
            if (it != map->end()) {
                it->second.value = CString(u"0.00K");
            } else {
                putEntry(*map, CString(key), CString(u"0.00K"), kSectionRegInfo);
            }
        }
    }
}

ClientSettings SettingsStore::applyClientSettings(SettingsMap& map) {
    ClientSettings result;
    result.waitSeconds =
        std::clamp(findValue(map, CString(u"cli-timeout")).toInt(), 0, kMaxWaitSeconds);

    ScreenMetrics metrics = screenMetrics();
    const CString width = findValue(map, CString(u"sys-screenw"));
    const CString height = findValue(map, CString(u"sys-screenh"));
    if (isDecimalDigits(width)) metrics.configuredWidth = width.toInt();
    if (isDecimalDigits(height)) metrics.configuredHeight = height.toInt();
    ClientContext::current().setMetrics(metrics);

    result.debug = findValue(map, CString(u"cli-model")).equalsNoCase(CString(u"_DEBUG"));

    if (findValue(map, CString(u"sys-rowscount")).isEmpty()) {
        putEntry(map, CString(u"sys-rowscount"), CString::format(u"%d", metrics.defaultRowCount),
                 kSectionSystem);
    }
    applyColorSettings(applyColourSettings(map, colorSettings()));
    return result;
}

ColorSettings SettingsStore::applyColourSettings(const SettingsMap& map, ColorSettings colors) {
    for (const ColourKey& colour : kColourKeys) {
        auto it = map.find(CString(colour.key));
        if (it == map.end()) continue;
        CString text = it->second.value;
        Color parsed = 0;
        if (parseColor(text, parsed)) colors.*colour.field = parsed;
    }
    return colors;
}

int SettingsStore::waitTimeMs() const {
    const CString text = value(CString(u"sys-waittime"));
    if (!isDecimalDigits(text)) return 0;
    const int seconds = text.toInt();
    if (seconds <= 0) return 0;
    return std::min(seconds, kMaxWaitSeconds) * 1000;
}

int SettingsStore::fontHeight(const CString& sizeName, int baseFontSize, int stockHeight) {
    // Products are cut towards zero, as the handset's integer conversion did.
    if (sizeName.view() == u"大字体") return static_cast<int>(baseFontSize * 1.23f);
    if (sizeName.view() == u"中字体") return baseFontSize;
    if (sizeName.view() == u"小字体") return static_cast<int>(baseFontSize * 0.83f);
    return stockHeight;
}

std::map<CString, CString> SettingsStore::readQuickPaths(const std::filesystem::path& file) {
    std::map<CString, CString> paths;
    const std::optional<std::string> bytes = readFile(file, kMaxQuickPathFile);
    if (!bytes) return paths;
    size_t start = 0;
    while (start < bytes->size()) {
        size_t end = bytes->find('\n', start);
        if (end == std::string::npos) end = bytes->size();
        const std::string_view line(bytes->data() + start, end - start);
        start = end + 1;
        if (line.size() > kMaxQuickPathLine) continue;
        const KeyValueWords words = splitKeyValue(line);
        if (words.key.empty() || !words.equals || words.value.empty()) continue;
        CString value = CString::fromCodePage(words.value, kCodePageDefault);
        if (value.length() >= 2 && value.at(0) == u'"' && value.at(value.length() - 1) == u'"') {
            value = value.mid(1, value.length() - 2);
        }
        paths[CString::fromCodePage(words.key, kCodePageDefault)] = value;
    }
    return paths;
}

void SettingsStore::extractLinkVariables(CString& link, std::map<CString, CString>& variables) {
    link.replace(CString(u"&amp;"), CString(u"&"));
    for (;;) {
        const int first = link.find(u'$');
        const int second = first < 0 ? -1 : link.find(u'$', first + 1);
        if (second < 0) return;
        const CString block = link.mid(first + 1, second - first - 1);
        link = link.left(first) + link.mid(second + 1);
        // Pairs end with "&"; a pair without "=" ends the block.
        int pos = 0;
        for (int amp = block.find(u'&'); amp >= 0; amp = block.find(u'&', pos)) {
            const CString pair = block.mid(pos, amp - pos);
            const int eq = pair.find(u'=');
            if (eq < 0) break;
            variables[CString(u"@") + pair.left(eq)] = pair.mid(eq + 1);
            pos = amp + 1;
        }
    }
}

CString SettingsStore::quickPath(const CString& code) const {
    auto it = quickPaths_.find(code);
    return it == quickPaths_.end() ? CString() : it->second;
}

}  // namespace zq
