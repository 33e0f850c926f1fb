// The handset's own services: the data connection, the subscriber identity,
// text messages, voice calls, the contact picker and the system browser.
//
// DeviceServices is the one interface the client calls. The Linux
// implementation stands in for the handset, configured by DIR/device.ini
// (DIR = the device root, see files.h), a file of "key = value" lines read
// afresh on every call so a test or a person can change it while the client
// runs ('#' and ';' start comments, "[section]" lines are ignored):
//   data-connection = down    the data connection is down (default: up)
//   imsi = ..., imei = ...    the identity texts (default: empty)
//   fail-dial, fail-identity, fail-sms, fail-call, fail-contacts,
//   fail-browser = true       that service fails
// Messages are appended to DIR/sms-outbox.txt and calls to DIR/call-log.txt,
// one line each, fields separated by a tab, in UTF-8 (tab, CR, LF and '\'
// inside a field are written as \t, \r, \n and \\). The contact picker reads
// DIR/contacts.txt: one contact a line, "name<TAB>number" or just the
// number. The browser is xdg-open, started without a shell.
//
// Every member may be called from any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cstring.h"

namespace zq {

struct DeviceIdentity {
    CString subscriber;  // the IMSI
    CString imei;
};

class DeviceServices {
public:
    virtual ~DeviceServices() = default;

    // True when the data connection is up.
    virtual bool dataConnectionUp() = 0;
    // Brings the data connection up. True on success.
    virtual bool dialDataConnection() = 0;
    // nullopt when the identity cannot be read.
    virtual std::optional<DeviceIdentity> identity() = 0;
    // Sends one text message. True when it was accepted for sending.
    virtual bool sendSms(const CString& number, const CString& text) = 0;
    // Places a voice call. True when it was placed.
    virtual bool dialVoiceCall(const CString& number) = 0;
    // Lets the user pick contacts; their numbers, at most `maxCount`, in
    // the order picked. nullopt when the picker is not available or the
    // user picked nothing.
    virtual std::optional<std::vector<CString>> pickContacts(int maxCount) = 0;
    // Opens `link` in the system browser. False when it cannot be started;
    // a link that isBrowserLink refuses is never handed on.
    virtual bool openBrowser(const CString& link) = 0;
};

// A link that may leave the client for the system browser: "http://" or
// "https://" (any case) and more, no control characters. Files, other
// schemes and relative paths would make the opener run or show local things.
bool isBrowserLink(const CString& link);

// The host system as "name release machine" ("Linux 6.1.0 x86_64"); empty
// when the system does not say.
std::string hostSystemName();

class LinuxDeviceServices : public DeviceServices {
public:
    static constexpr const char* kConfigName = "device.ini";
    static constexpr const char* kOutboxName = "sms-outbox.txt";
    static constexpr const char* kCallLogName = "call-log.txt";
    static constexpr const char* kContactsName = "contacts.txt";

    // `deviceRoot` need not exist yet; the log files are created in it.
    explicit LinuxDeviceServices(std::filesystem::path deviceRoot);
    // Reaps browsers that have already exited; others are left running.
    ~LinuxDeviceServices() override;

    bool dataConnectionUp() override;
    bool dialDataConnection() override;
    std::optional<DeviceIdentity> identity() override;
    bool sendSms(const CString& number, const CString& text) override;
    bool dialVoiceCall(const CString& number) override;
    std::optional<std::vector<CString>> pickContacts(int maxCount) override;
    bool openBrowser(const CString& link) override;

private:
    bool failing(const char* service) const;
    bool appendLine(const char* fileName, const std::vector<CString>& fields);
    void reapBrowsers();

    std::filesystem::path root_;
    std::mutex logMutex_;  // one append at a time per file set
    std::mutex browserMutex_;
    std::vector<pid_t> browsers_;
};

// The process's device services, installed at start-up (not owned; null
// uninstalls). Null when none is installed. Install before other threads
// start; the object must outlive every caller.
void setDeviceServices(DeviceServices* services);
DeviceServices* deviceServices();

// DIR/device.ini as lower-case keys and trimmed values; empty when missing.
// Other stand-ins for the handset (the dialler) read their keys here too.
std::map<std::string, std::string> readDeviceConfig(const std::filesystem::path& root);
// ASCII lower case, for comparing configuration words.
std::string configLower(std::string_view text);
// "true", "1" or "yes", without regard to case.
bool isConfigTrue(std::string_view value);

}  // namespace zq
