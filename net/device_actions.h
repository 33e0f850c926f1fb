// What the client asks of the handset's services: the identity sent with
// requests, text messages for "sms://" links and voice calls for "tel://"
// links, over the platform's DeviceServices (platform/device_services.h).
//
// Numbers and texts are cut to the sizes the handset's records hold before
// they are handed on. SmsSender runs each "sms://" link on a thread of its
// own and reports a summary; the caller shows it.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/cstring.h"
#include "platform/device_services.h"
#include "platform/threading.h"

namespace zq {

inline constexpr int kSmsNumberMaxChars = 32;
inline constexpr int kSmsTextMaxChars = 670;
inline constexpr int kCallNumberMaxChars = 511;

// The identity texts start-up keeps: subscriber number (IMSI), then IMEI.
// nullopt without device services or when the device cannot tell.
std::optional<DeviceIdentity> readDeviceIdentity(DeviceServices* device);

// One message to one number, cut to the record sizes. False without device
// services or when the device refuses.
bool sendSms(DeviceServices* device, const CString& number, const CString& text);
// A voice call to `number`, cut to the record size.
bool dialVoiceCall(DeviceServices* device, const CString& number);

// The recipients and message of "sms://recipients#message".
struct SmsJob {
    CString recipients;  // numbers separated by '.'
    CString message;

    static SmsJob fromLink(const CString& link);
};

struct SmsReport {
    int sent = 0;
    int failed = 0;
    CString failedList;  // the refused recipients, joined by ';'

    // The summary the user sees.
    CString summary() const;
};

// Sends the job's message to each recipient in turn. A recipient that is not
// an optional '+' and decimal digits is not sent to and counts as failed.
SmsReport sendSmsJob(DeviceServices* device, const SmsJob& job);

// Runs SMS jobs, each on its own thread. The report callback runs on that
// thread; it must not wait on the UI thread (post instead). The destructor
// waits for the jobs still running.
class SmsSender {
public:
    explicit SmsSender(DeviceServices* device);
    ~SmsSender();
    SmsSender(const SmsSender&) = delete;
    SmsSender& operator=(const SmsSender&) = delete;

    using ReportFn = std::function<void(const SmsReport&)>;
    void start(SmsJob job, ReportFn report);
    // Whether any sender of the process is still sending or reporting.
    static bool anySending();

private:
    struct Worker;

    DeviceServices* device_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace zq
