// The client's settings: the live map the running client reads and the
// stored map that is written to "ZQConfig.ini", the system values pages and
// requests ask for, the traffic totals, colour settings, the quick-path
// table and the link variables.
//
// Keys read "_" as "-". Values that would end an ini line (CR, LF, NUL) are
// cut there before they are stored, so no setting can start a new line.
// UI thread (the start-up worker fills the maps before any page runs).
#pragma once

#include <filesystem>
#include <map>

#include "core/config_store.h"
#include "core/settings.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "ui/client_context.h"

namespace zq {

// What the client settings change besides the toolkit's globals.
struct ClientSettings {
    int waitSeconds = 0;
    bool debug = false;
};

class SettingsStore {
public:
    static constexpr const char* kUserFile = "ZQConfig.ini";
    static constexpr const char* kDefaultsFile = "ZQConfigDefault.ini";
    static constexpr const char* kQuickPathFile = "QuictPath.ini";

    // `resourceFolder` holds the settings files; `userData` the traffic
    // counter file (empty: none).
    SettingsStore(std::filesystem::path resourceFolder, std::filesystem::path userData);

    SettingsMap& live() { return live_; }
    const SettingsMap& live() const { return live_; }
    SettingsMap& stored() { return stored_; }
    const SettingsMap& stored() const { return stored_; }

    // Fills the live map from the files; false when the defaults are missing.
    bool load();
    // The stored map becomes a copy of the live map.
    void takeStoredCopy() { stored_ = live_; }
    // Writes the stored map to "ZQConfig.ini" (and the counter file); while
    // saves are held, only notes that the files are due (and returns true).
    bool saveStored();
    // A page's side effects may each ask for a save: between holdSaves and
    // the matching releaseSaves they are written once, at the end. Holds
    // nest; the outermost release writes when a save was asked for. Each
    // file is replaced whole, so a kill leaves the old file or the new.
    void holdSaves() { ++saveHolds_; }
    void releaseSaves();

    // The value of `key` ("_" read as "-"); empty when absent.
    CString value(const CString& key) const;
    CString storedValue(const CString& key) const;

    // A system value: the traffic figures, the client version, else the
    // live setting (empty when absent).
    CString systemValue(const CString& name, TrafficBytes session) const;

    // Writes into the stored map: an existing non-empty entry keeps its
    // section, otherwise the entry is rewritten under the section of
    // `sectionKind` (0 "info-data", 1 "info-RegInfo", else "info-system").
    // False, and nothing stored, for what the settings file cannot hold as
    // given: a key that would not read back (see isWritableKey), a value
    // longer than a line may hold, a counter-file name other than a plain
    // one that the file's code page holds (see isStorableCounterName).
    bool setStored(const CString& key, const CString& value, int sectionKind);
    // Writes an entry (key, value, section) into `map`.
    static void putEntry(SettingsMap& map, const CString& key, const CString& value,
                         std::u16string_view section);

    // The new total of a traffic counter: the stored text (a number with an
    // optional K/k for kilobytes) plus the session's bytes, as "%.2fK".
    static CString trafficTotal(const CString& storedText, float sessionBytes);
    // Stores both traffic totals including the session's bytes.
    void storeTrafficTotals(TrafficBytes session);
    // Both totals become "0.00K" in both maps.
    void resetTraffic();

    // Applies "cli-timeout", "sys-screenw"/"sys-screenh", "cli-model",
    // "sys-rowscount" (added when empty) and the colours of `map` to the
    // toolkit's globals; returns the rest.
    static ClientSettings applyClientSettings(SettingsMap& map);
    // Each colour key present with a value that parses replaces its colour.
    static ColorSettings applyColourSettings(const SettingsMap& map, ColorSettings colors);
    // "sys-waittime" in seconds as milliseconds; 0 when it does not apply.
    int waitTimeMs() const;

    // The stock font's height changed by a "sys-fontsize" name.
    static int fontHeight(const CString& sizeName, int baseFontSize, int stockHeight);

    // "QuictPath.ini": "key = value" lines, quoted values unquoted.
    static std::map<CString, CString> readQuickPaths(const std::filesystem::path& file);
    std::filesystem::path quickPathFile() const { return resource_ / kQuickPathFile; }
    // The quick-path table the code-input pad reads (typed code -> page
    // link), read from quickPathFile(); empty for an unknown code. UI thread.
    void loadQuickPaths() { quickPaths_ = readQuickPaths(quickPathFile()); }
    CString quickPath(const CString& code) const;

    // "&amp;" becomes "&"; every "$name=value&...$" block is cut out of the
    // link and its pairs stored as "@" + name -> value.
    static void extractLinkVariables(CString& link, std::map<CString, CString>& variables);

    // "_" read as "-".
    static CString normalizeKey(const CString& key);

private:
    std::filesystem::path userFile() const;
    ConfigStore store() const;

    std::filesystem::path resource_;
    std::filesystem::path userData_;
    SettingsMap live_;
    SettingsMap stored_;
    std::map<CString, CString> quickPaths_;
    int saveHolds_ = 0;
    bool saveDue_ = false;
};

}  // namespace zq
