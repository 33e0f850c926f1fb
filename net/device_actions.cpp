#include "net/device_actions.h"

#include <atomic>

#include "core/string_utils.h"

namespace zq {

std::optional<DeviceIdentity> readDeviceIdentity(DeviceServices* device) {
    if (!device) return std::nullopt;
    return device->identity();
}

bool sendSms(DeviceServices* device, const CString& number, const CString& text) {
    if (!device) return false;
    return device->sendSms(number.left(kSmsNumberMaxChars), text.left(kSmsTextMaxChars));
}

bool dialVoiceCall(DeviceServices* device, const CString& number) {
    if (!device) return false;
    return device->dialVoiceCall(number.left(kCallNumberMaxChars));
}

SmsJob SmsJob::fromLink(const CString& link) {
    CString rest = startsWithNoCase(link, u"sms://") ? link.mid(6) : link;
    SmsJob job;
    int hash = rest.find(u'#');
    if (hash < 0) {
        job.recipients = rest;
    } else {
        job.recipients = rest.left(hash);
        job.message = rest.mid(hash + 1);
    }
    return job;
}

CString SmsReport::summary() const {
    if (failed > 0) {
        return CString::format(u"成功发送 %d 条短信，有 %d 条未发送成功（%s）", sent, failed,
                               failedList);
    }
    return CString::format(u"成功发送 %d 条短信。", sent);
}

SmsReport sendSmsJob(DeviceServices* device, const SmsJob& job) {
    SmsReport report;
    for (const CString& recipient : splitOutsideParens(u'.', job.recipients)) {
        if (isPlusDigits(recipient) && sendSms(device, recipient, job.message)) {
            ++report.sent;
            continue;
        }
        if (report.failed > 0) report.failedList += u';';
        report.failedList += recipient;
        ++report.failed;
    }
    return report;
}

namespace {
// Jobs started and not yet reported, for idle probes.
std::atomic<int> gSending{0};
}  // namespace

bool SmsSender::anySending() { return gSending.load() > 0; }

struct SmsSender::Worker {
    WorkerThread thread;
    std::atomic<bool> done{false};
};

SmsSender::SmsSender(DeviceServices* device) : device_(device) {}

SmsSender::~SmsSender() {
    std::lock_guard<std::mutex> lock(mutex_);
    workers_.clear();  // each WorkerThread joins as it goes
}

void SmsSender::start(SmsJob job, ReportFn report) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(workers_, [](const std::unique_ptr<Worker>& w) { return w->done.load(); });
    auto worker = std::make_unique<Worker>();
    Worker* self = worker.get();
    DeviceServices* device = device_;
    gSending.fetch_add(1);
    self->thread.start(
        [self, device, job = std::move(job), report = std::move(report)](const StopSignal&) {
            SmsReport result = sendSmsJob(device, job);
            if (report) report(result);
            gSending.fetch_sub(1);
            self->done.store(true);
        });
    workers_.push_back(std::move(worker));
}

}  // namespace zq
