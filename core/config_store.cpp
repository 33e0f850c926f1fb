#include "core/config_store.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace zq {

namespace fs = std::filesystem;

namespace {

constexpr std::u16string_view kCounterNameKey = u"cli-myreginfopath";
constexpr std::u16string_view kOldCounterNameKey = u"sys-MyRegInfoPath";
constexpr std::u16string_view kDefaultCounterName = u"MyRegInfo.ini";
constexpr const char* kDefaultsFileName = "ZQConfigDefault.ini";

struct CounterKey {
    std::u16string_view key;
    std::u16string_view oldKey;  // spelling of older releases, taken over once
};
constexpr CounterKey kCounterKeys[] = {
    {u"sys-sentcounth", u"sys-sentCountH"},
    {u"sys-recvcounth", u"sys-recvCountH"},
};

using DefaultsMap = std::map<CString, CString>;

CString fromFileText(std::string_view bytes) {
    return CString::fromCodePage(bytes, kCodePageDefault);
}

// The blanks of the C library's isspace in the "C" locale; none of them is a
// GBK trail byte, so narrow lines can be split on them before decoding.
bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

size_t skipBlanks(std::string_view line, size_t pos) {
    while (pos < line.size() && isBlank(line[pos])) ++pos;
    return pos;
}

size_t skipWord(std::string_view line, size_t pos) {
    while (pos < line.size() && !isBlank(line[pos])) ++pos;
    return pos;
}

// Calls onLine with each line, its line feed included. Over-long lines are
// dropped whole; a NUL ends the line's text as it would for a C string.
template <class OnLine>
void forEachLine(std::string_view bytes, OnLine&& onLine) {
    size_t pos = 0;
    while (pos < bytes.size()) {
        const size_t feed = bytes.find('\n', pos);
        const size_t next = feed == std::string_view::npos ? bytes.size() : feed + 1;
        std::string_view line = bytes.substr(pos, next - pos);
        pos = next;
        const size_t textBytes = line.size() - (line.back() == '\n' ? 1 : 0);
        if (textBytes > ConfigStore::kMaxLineBytes) continue;
        onLine(line.substr(0, line.find('\0')));
    }
}

enum class LineKind { kOther, kSection, kEntry };

struct IniLine {
    LineKind kind = LineKind::kOther;
    CString name;  // the section, or the key of an entry
    CString value;
};

IniLine parseLine(std::string_view line) {
    IniLine out;
    if (!line.empty() && line[0] == '[') {
        // The line end is not part of a name that runs to it. Decoded before
        // looking for "]": it can be the second byte of a GBK character.
        std::string_view name = line.substr(1);
        while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.remove_suffix(1);
        out.kind = LineKind::kSection;
        out.name = fromFileText(name);
        const int close = out.name.find(u']');
        if (close >= 0) out.name = out.name.left(close);
        return out;
    }
    if (line.find('=') == std::string_view::npos) return out;

    const KeyValueWords words = splitKeyValue(line);
    const std::string_view key = words.key;
    const std::string_view value = words.value;
    if (key.size() > ConfigStore::kMaxKeyBytes || value.size() > ConfigStore::kMaxValueBytes) {
        return out;
    }
    out.kind = LineKind::kEntry;
    out.name = fromFileText(key);
    out.name.replace(u'_', u'-');
    out.value = fromFileText(value);
    return out;
}

// Feeds each entry to onEntry(key, value, section). Lines before the first
// header are in `section`: a section never carries from one file into the
// next, so what a file holds does not hang on the file read before it.
template <class OnEntry>
void readEntries(std::string_view bytes, CString section, OnEntry&& onEntry) {
    forEachLine(bytes, [&](std::string_view line) {
        IniLine parsed = parseLine(line);
        if (parsed.kind == LineKind::kSection) {
            section = std::move(parsed.name);
        } else if (parsed.kind == LineKind::kEntry) {
            onEntry(parsed.name, parsed.value, section);
        }
    });
}

// All entries of the defaults file; its section headers do not matter.
std::optional<DefaultsMap> readDefaults(const fs::path& path) {
    std::optional<std::string> bytes = readFile(path);
    if (!bytes) return std::nullopt;
    DefaultsMap defaults;
    readEntries(*bytes, CString(), [&](const CString& key, const CString& value, const CString&) {
        defaults[key] = value;
    });
    return defaults;
}

// The counter file's name from the settings, moving the older key over.
CString takeCounterName(SettingsMap& settings) {
    const CString key(kCounterNameKey);
    if (auto it = settings.find(key); it != settings.end()) return it->second.value;
    CString name(kDefaultCounterName);
    if (auto old = settings.find(CString(kOldCounterNameKey)); old != settings.end()) {
        name = old->second.value;
        settings.erase(old);
    }
    settings[key] = SettingEntry{key, name, CString(kSectionSystem)};
    return name;
}

bool isPlainFileName(const CString& name) {
    return !name.isEmpty() && name.find(u'/') < 0 && name.find(u'\\') < 0 &&
           name != CString(u".") && name != CString(u"..");
}

// The counter file in `folder`. The name comes from a setting that pages can
// write, so anything but a plain file name falls back to the default name.
// The file is named as the settings file holds the name, so that the next
// start, which reads the name from there, finds the same file.
std::optional<fs::path> counterPath(const fs::path& folder, const CString& setting) {
    if (folder.empty()) return std::nullopt;
    const CString name = readBackValue(setting);
    std::optional<fs::path> path;
    if (isPlainFileName(name)) path = resolveConfined(folder, name);
    if (!path) path = resolveConfined(folder, CString(kDefaultCounterName));
    return path;
}

CString lineSafe(CString text) {
    text.remove(u'\r');
    text.remove(u'\n');
    text.remove(u'\0');
    return text;
}

struct Group {
    CString section;
    std::vector<std::pair<CString, CString>> lines;  // key, value
};

std::string renderGroup(const Group& group) {
    CString text = u"[" + lineSafe(group.section) + u"]\n";
    for (const auto& [key, value] : group.lines) {
        text += lineSafe(key) + u" = " + lineSafe(value) + u'\n';
    }
    return text.toCodePage(kCodePageDefault);
}

std::vector<Group> groupEntries(SettingsMap& settings, const DefaultsMap& defaults, int groupCount,
                                const CString& sectionToClear, ClearMode mode) {
    std::vector<Group> groups;
    for (auto& [key, entry] : settings) {
        // What would not read back as itself is not written at all.
        if (!isWritableKey(key) || !isWritableSection(entry.section) ||
            !ConfigStore::fitsValue(entry.value)) {
            continue;
        }
        if (mode == ClearMode::kClearSection) {
            if (entry.section.equalsNoCase(sectionToClear)) {
                entry.value.clear();
                continue;
            }
            if (auto d = defaults.find(key); d != defaults.end()) entry.value = d->second;
        }
        const CString& section = entry.section;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const Group& g) { return g.section.equalsNoCase(section); });
        if (group == groups.end()) {
            if (static_cast<int>(groups.size()) >= groupCount) break;
            groups.push_back(Group{section, {}});
            group = std::prev(groups.end());
        }
        group->lines.emplace_back(key, entry.value);
    }
    return groups;
}

}  // namespace

bool isWritableKey(const CString& key) {
    const std::u16string_view text = key.view();
    if (text.empty() || text.front() == u'[') return false;
    const bool plain = std::none_of(text.begin(), text.end(), [](char16_t c) {
        return c == u'\0' || c == u'_' || (c < 0x80 && isBlank(static_cast<char>(c)));
    });
    if (!plain) return false;
    // A character the file's code page cannot hold would read back as another key.
    const std::string bytes = key.toCodePage(kCodePageDefault);
    return bytes.size() <= ConfigStore::kMaxKeyBytes && fromFileText(bytes) == key;
}

bool isWritableSection(const CString& section) {
    if (CString(section).trim().isEmpty()) return false;
    const std::u16string_view text = section.view();
    const bool plain = std::none_of(text.begin(), text.end(), [](char16_t c) {
        return c == u']' || c == u'\0' || c == u'\r' || c == u'\n';
    });
    const std::string bytes = section.toCodePage(kCodePageDefault);
    // "[", the name and "]" make the line.
    return plain && bytes.size() + 2 <= ConfigStore::kMaxLineBytes &&
           fromFileText(bytes) == section;
}

CString readBackValue(const CString& value) {
    const std::string bytes = lineSafe(value).toCodePage(kCodePageDefault);
    const std::string_view line(bytes);
    const size_t start = skipBlanks(line, 0);
    return fromFileText(line.substr(start, skipWord(line, start) - start));
}

bool isStorableCounterName(const CString& name) {
    return isPlainFileName(name) && ConfigStore::fitsValue(name) && readBackValue(name) == name;
}

bool ConfigStore::load(SettingsMap& settings, const fs::path& userFile,
                       const fs::path& defaultsFile) {
    // 1. The user file; a missing one is created empty.
    std::optional<std::string> user = readFile(userFile);
    if (!user) {
        std::error_code ec;
        if (fs::exists(userFile, ec) || !writeFileAtomic(userFile, {})) return false;
        user.emplace();
    }

    // 2. Nothing at all is loaded without the defaults.
    const std::optional<DefaultsMap> defaults = readDefaults(defaultsFile);
    if (!defaults) return false;

    // 3. The user's "info-system" entries; later lines win.
    const CString systemSection(kSectionSystem);
    readEntries(*user, CString(), [&](const CString& key, const CString& value, const CString& in) {
        if (in.equalsNoCase(systemSection)) settings[key] = SettingEntry{key, value, systemSection};
    });

    // 4. Defaults fill keys that are missing or empty.
    for (const auto& [key, value] : *defaults) {
        auto [it, added] = settings.try_emplace(key, SettingEntry{key, value, systemSection});
        if (!added && it->second.value.isEmpty()) it->second.value = value;
    }

    // 5. Counter files, every section (lines before a header are counters):
    // an older one in the legacy folder, then the current one, whose entries
    // win.
    const CString counterName = takeCounterName(settings);
    auto store = [&](const CString& key, const CString& value, const CString& in) {
        settings[key] = SettingEntry{key, value, in};
    };
    const std::optional<fs::path> current = counterPath(folders_.userData, counterName);
    bool movedOver = false;
    std::optional<fs::path> old = counterPath(folders_.legacy, counterName);
    std::error_code ec;
    if (old && current && fs::equivalent(*old, *current, ec)) old.reset();
    if (old) {
        if (std::optional<std::string> bytes = readFile(*old)) {
            readEntries(*bytes, CString(kSectionRegInfo), store);
            // The old file goes only once its counters are safe in the new folder.
            const bool hasCurrent = current && fs::exists(*current, ec);
            movedOver = !hasCurrent && current && writeFileAtomic(*current, *bytes);
            if (hasCurrent || movedOver) fs::remove(*old, ec);
        }
    }
    if (current && !movedOver) {
        if (std::optional<std::string> bytes = readFile(*current)) {
            readEntries(*bytes, CString(kSectionRegInfo), store);
        }
    }

    // 6. Both traffic counters exist afterwards, taken from the older keys
    // when only those are there. An older key goes in any case: the defaults
    // file brings it back at each load, and whether it was taken over must
    // not depend on the load.
    for (const CounterKey& counter : kCounterKeys) {
        const CString key(counter.key);
        auto old = settings.find(CString(counter.oldKey));
        if (settings.count(key) == 0) {
            const CString value = old != settings.end() ? old->second.value : CString(u"0");
            settings[key] = SettingEntry{key, value, CString(kSectionRegInfo)};
        }
        if (old != settings.end()) settings.erase(old);
    }
    return true;
}

bool ConfigStore::save(SettingsMap& settings, const fs::path& file) {
    return writeMerged(settings, file, kSaveGroupCount, CString(), ClearMode::kKeep);
}

bool ConfigStore::writeMerged(SettingsMap& settings, const fs::path& file, int groupCount,
                              const CString& sectionToClear, ClearMode mode) {
    const CString counterName = takeCounterName(settings);
    if (folders_.program.empty()) return false;
    const std::optional<DefaultsMap> defaults = readDefaults(folders_.program / kDefaultsFileName);
    if (!defaults) return false;

    const std::vector<Group> groups =
        groupEntries(settings, *defaults, groupCount, sectionToClear, mode);
    const CString counterSection(kSectionRegInfo);
    std::string target;
    std::string counter;
    for (const Group& group : groups) {
        (group.section.equalsNoCase(counterSection) ? counter : target) += renderGroup(group);
    }

    // The target first: when it cannot be written the counter file is left
    // alone as well. The counter file is rewritten even when it gets no group.
    if (!writeFileAtomic(file, target)) return false;
    if (std::optional<fs::path> path = counterPath(folders_.userData, counterName)) {
        writeFileAtomic(*path, counter);
    }
    return true;
}

KeyValueWords splitKeyValue(std::string_view line) {
    KeyValueWords words;
    const size_t keyStart = skipBlanks(line, 0);
    const size_t keyEnd = skipWord(line, keyStart);
    words.key = line.substr(keyStart, keyEnd - keyStart);
    const size_t equals = skipBlanks(line, keyEnd);
    if (equals < line.size() && line[equals] == '=') {
        words.equals = true;
        const size_t valueStart = skipBlanks(line, equals + 1);
        words.value = line.substr(valueStart, skipWord(line, valueStart) - valueStart);
    }
    return words;
}

bool ConfigStore::fitsValue(const CString& value) {
    return value.toCodePage(kCodePageDefault).size() <= kMaxValueBytes;
}

}  // namespace zq
