// ContactPicker: lets the person choose entries of the handset's contacts
// for the "GetOutLookToID" action. The client installs none by default
// (NoContactPicker), so that action changes nothing. UI thread.
#pragma once

#include <optional>
#include <vector>

#include "platform/cstring.h"

namespace zq {

class ContactPicker {
public:
    virtual ~ContactPicker() = default;
    // False when no picker is installed.
    virtual bool isInstalled() const { return true; }
    // The numbers of the chosen contacts in the order chosen, at most
    // `maxCount`; nullopt when nothing was chosen or there is no picker.
    virtual std::optional<std::vector<CString>> pickContacts(int maxCount) = 0;
};

// Says that no picker is installed and picks nothing.
class NoContactPicker : public ContactPicker {
public:
    bool isInstalled() const override { return false; }
    std::optional<std::vector<CString>> pickContacts(int) override { return std::nullopt; }
};

}  // namespace zq
