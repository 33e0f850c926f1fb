// Reads and writes the ini files that hold the settings map.
//
// Files: the user file ("ZQConfig.ini") and the read-only defaults file
// ("ZQConfigDefault.ini") in the program folder, and the traffic-counter
// file (normally "MyRegInfo.ini", named by the setting "cli-myreginfopath")
// in the device's user-data folder. The counter file holds the section
// "info-RegInfo"; an older copy in the device's "windows" folder is taken
// over once by load().
//
// Syntax (narrow text in the default code page, GBK):
//   [section]          the section for the following lines of the file
//                      (the counter file starts in "info-RegInfo", the
//                      others in none); ends at "]" or at the line end
//   key = value        key and value are the first runs of non-blank bytes;
//                      "_" in a key reads as "-"; "key=value" is all key
//   anything else      ignored
// A line longer than kMaxLineBytes, a key longer than kMaxKeyBytes or a value
// longer than kMaxValueBytes is skipped. Written files never hold a CR, LF or
// NUL inside a key, value or section, so no setting can start a new line; an
// entry whose key or section would not read back as itself (isWritableKey,
// isWritableSection), or whose value is too long to read, is left out, so no
// setting can start a new section either. So a file that was read and saved
// reads back as the settings that were saved, and saving those again writes
// the same bytes.
//
// Every file is replaced through a temporary file and a rename: a failed or
// interrupted save leaves each file as it was. Nothing is reported to the
// user; the results say whether the work was done. Not thread-safe: loading
// runs once at start-up, saves run one at a time on the UI thread.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>
#include <utility>

#include "core/settings.h"
#include "platform/cstring.h"

namespace zq {

// A key that reads back as itself once written: not empty, no blank or NUL
// (a blank ends the key, and what follows would set another one), no "_"
// (read as "-"), not starting with "[" (the line would be a section header),
// held by the file's code page and at most kMaxKeyBytes long in it.
bool isWritableKey(const CString& key);
// A section name that reads back as itself: not blank, no "]", CR, LF or
// NUL, held by the file's code page.
bool isWritableSection(const CString& section);
// What `value` reads as once written: its first run of non-blank characters
// (CR, LF and NUL are not written),
// through the file's code page (a character it lacks reads as "?").
CString readBackValue(const CString& value);
// A traffic-counter file name ("cli-myreginfopath") that the settings file
// holds as written: a plain file name that readBackValue keeps as it is.
bool isStorableCounterName(const CString& name);

// Host folders that stand for the device folders the store uses.
struct ConfigFolders {
    // Holds "ZQConfigDefault.ini", which writeMerged merges.
    std::filesystem::path program;
    // Device "\UserData\": the counter file. Empty: no counter file.
    std::filesystem::path userData;
    // Device "\windows\": an older counter file, moved to userData (or
    // deleted when userData has one) by load(). Empty: not looked at.
    std::filesystem::path legacy;
};

enum class ClearMode {
    kKeep,          // write the map as it is
    kClearSection,  // empty the given section and reset keys with a default
};

// A line split the way sscanf(line, "%s = %s") splits it: the first
// blank-free word, then, past blanks, "=" and blanks, the next one. Without
// an "=" after the first word `equals` is false and the value empty.
struct KeyValueWords {
    std::string_view key;
    std::string_view value;
    bool equals = false;
};
KeyValueWords splitKeyValue(std::string_view line);

class ConfigStore {
public:
    static constexpr size_t kMaxLineBytes = 64 * 1024;
    static constexpr size_t kMaxKeyBytes = 500;
    static constexpr size_t kMaxValueBytes = 1000;
    // True when `value` fits a value of the GBK file, to be read back whole.
    static bool fitsValue(const CString& value);
    static constexpr int kSaveGroupCount = 3;

    explicit ConfigStore(ConfigFolders folders) : folders_(std::move(folders)) {}

    // Fills `settings` from the user file (section "info-system" only; the
    // file is created empty when missing), the defaults file (fills keys that
    // are missing or empty) and the counter file (all sections), and makes
    // sure "sys-sentcounth" and "sys-recvcounth" exist. Without a readable
    // defaults file (or when the user file can be neither read nor created)
    // nothing is loaded and the result is false.
    bool load(SettingsMap& settings, const std::filesystem::path& userFile,
              const std::filesystem::path& defaultsFile);

    // writeMerged(settings, file, kSaveGroupCount, "", ClearMode::kKeep).
    bool save(SettingsMap& settings, const std::filesystem::path& file);

    // Writes the map grouped by section, groups in the order their sections
    // first appear in key order: "info-RegInfo" to the counter file, the
    // others to `file`. The walk stops at the first section that would make
    // group number groupCount + 1. With kClearSection, entries of
    // `sectionToClear` get an empty value in the map and are not written, and
    // other keys that the defaults file has get their default value in the
    // map. Entries are written under their map key. Without the defaults file
    // nothing is written. True when `file` was written (the counter file is
    // written too when its folder allows).
    bool writeMerged(SettingsMap& settings, const std::filesystem::path& file, int groupCount,
                     const CString& sectionToClear, ClearMode mode);

private:
    ConfigFolders folders_;
};

}  // namespace zq
