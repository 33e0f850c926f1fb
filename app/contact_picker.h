// ContactPicker: lets the person choose entries of the handset's contacts
// for the "GetOutLookToID" action. By default the controller asks the
// installed device services (DeviceContactPicker), whose Linux stand-in
// reads the device folder's contact list. UI thread.
#pragma once

#include <optional>
#include <vector>

#include "platform/cstring.h"
#include "platform/device_services.h"

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

// The picker of the device services installed now (deviceServices());
// without them it says that no picker is installed.
class DeviceContactPicker : public ContactPicker {
public:
    bool isInstalled() const override { return deviceServices() != nullptr; }
    std::optional<std::vector<CString>> pickContacts(int maxCount) override {
        DeviceServices* services = deviceServices();
        if (!services) return std::nullopt;
        return services->pickContacts(maxCount);
    }
};

}  // namespace zq
