// The settings map: key text to (key, value, section), ordered by key.
//
// Keys compare exactly (code unit by code unit, case-sensitive). A lookup
// with find() inserts nothing; operator[] inserts an empty entry. The map is
// owned and used by the UI thread (loading runs before anything reads it).
#pragma once

#include <map>
#include <string_view>

#include "platform/cstring.h"

namespace zq {

inline constexpr std::u16string_view kSectionSystem = u"info-system";
inline constexpr std::u16string_view kSectionData = u"info-data";
inline constexpr std::u16string_view kSectionRegInfo = u"info-RegInfo";

struct SettingEntry {
    CString key;
    CString value;
    CString section{kSectionSystem};
};

using SettingsMap = std::map<CString, SettingEntry>;

}  // namespace zq
