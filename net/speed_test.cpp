#include "net/speed_test.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include "net/framed_socket.h"
#include "platform/clock.h"
#include "platform/socket.h"

namespace zq {
namespace {

constexpr uint32_t kCancelPollMs = 50;

// The runs whose worker is running.
std::atomic<int> gRunning{0};

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

bool isFramedType(int type) { return type == 1 || type == 3 || type == 5; }
bool isGatewayType(int type) { return type == 2 || type == 4 || type == 6; }

// Connect, send the URL as one frame, read frames until one arrives or the
// wait has passed since sending.
bool timeFramed(const CString& url, const SpeedTestConfig& config,
                const std::atomic<bool>* cancel) {
    CString host;
    CString port;
    CString path;
    splitHttpUrl(url, host, port, path);
    const int portNumber = port.toInt();
    if (portNumber <= 0 || portNumber > 65535) return false;
    std::optional<Ipv4Address> address = resolveIpv4(host.toUtf8());
    if (!address || cancelled(cancel)) return false;
    TcpSocket socket;
    if (socket.open() != 0) return false;
    const Deadline connectBy = Deadline::in(config.waitMs);
    if (socket.connect(*address, static_cast<uint16_t>(portNumber), connectBy, cancel).status !=
        IoStatus::Ok) {
        return false;
    }
    const std::string narrow = url.toCodePage(936);
    if (sendFrameTo(socket, narrow, config.waitMs).status != IoStatus::Ok) return false;
    const Deadline replyBy = Deadline::in(config.waitMs);
    std::vector<uint8_t> body;
    while (!replyBy.passed() && !cancelled(cancel)) {
        const uint32_t slice = std::min(replyBy.remainingMs(), kCancelPollMs * 4);
        switch (readFrameFrom(socket, body, slice, cancel)) {
            case FrameRead::Frame:
                return true;
            case FrameRead::Idle:
            case FrameRead::Discarded:
                break;
            default:
                return false;
        }
    }
    return false;
}

bool timeGateway(const CString& url, const SpeedTestConfig& config,
                 const std::atomic<bool>* cancel) {
    HttpExchangeResult result;
    bool ok = httpExchange(url, config.gateway, config.waitMs, result, cancel) != 0;
    // The gateway's own page in place of the server's reply: once more.
    if (ok && result.contentType.find("vnd.wap.wml") != std::string::npos) {
        result = HttpExchangeResult();
        ok = httpExchange(url, config.gateway, config.waitMs, result, cancel) != 0;
    }
    return ok && !cancelled(cancel);
}

}  // namespace

CString speedTestUrl(const HostRecord& host, int connectionType) {
    const CString& port = isGatewayType(connectionType) ? host.httpPort : host.socketPort;
    return CString(u"http://") + host.address + u':' + port + CString(kSpeedTestPath);
}

int timeHost(const HostRecord& host, const SpeedTestConfig& config,
             const std::atomic<bool>* cancel) {
    const CString url = speedTestUrl(host, config.connectionType);
    const uint32_t start = tickCount();
    bool ok = false;
    if (isFramedType(config.connectionType)) {
        ok = timeFramed(url, config, cancel);
    } else if (isGatewayType(config.connectionType)) {
        ok = timeGateway(url, config, cancel);
    }
    if (!ok || cancelled(cancel)) return HostRecord::kSpeedFailed;
    return std::max<int32_t>(ticksSince(start), 0);
}

// --- the run ---------------------------------------------------------------------------------

bool SpeedTestRun::start(std::vector<HostRecord> hosts, const SpeedTestConfig& config,
                         Report report, Done done) {
    if (running_.load()) return false;
    worker_.join();
    running_.store(true);
    gRunning.fetch_add(1);
    worker_.start([this, hosts = std::move(hosts), config, report = std::move(report),
                   done = std::move(done)](const StopSignal& stop) {
        for (size_t i = 0; i < hosts.size() && !stop.requested(); ++i) {
            const int index = static_cast<int>(i);
            if (report) report(index, -2);
            const int result = timeHost(hosts[i], config, &stop.flag());
            if (stop.requested()) break;
            if (report) report(index, result);
        }
        if (done) done(stop.requested());
        running_.store(false);
        gRunning.fetch_sub(1);
    });
    return true;
}

bool SpeedTestRun::anyRunning() { return gRunning.load() > 0; }

bool SpeedTestRun::cancel(uint32_t waitMs) {
    worker_.requestStop();
    // The real clock: a test's injected tick source must not stretch this.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (running_.load()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        sleepMs(10);
    }
    return true;
}

}  // namespace zq
