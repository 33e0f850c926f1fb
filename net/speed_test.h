// The server speed test: one timed request per page server, on a worker.
//
// A host's test URL is "http://address:port/kolm_k1/CheckNetServlet", with
// the socket port for the framed connection types (1, 3, 5) and the HTTP
// port for the gateway types (2, 4, 6). Its result is the milliseconds the
// one request took, or HostRecord::kSpeedFailed when it could not connect,
// got no reply within the wait, or was cancelled.
//
// Cancelling is cooperative: the flag is checked between hosts and inside
// every bounded wait (connect, send, read), so a worker ends within a poll
// interval of a cancel. No thread is ever killed. Each host's connection is
// closed after its test.
//
// Threads: SpeedTestRun is owned and driven by one thread (the UI thread);
// its report functions run on the worker and must post what they show.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/host_record.h"
#include "net/http_socket.h"
#include "net/request_session.h"
#include "platform/cstring.h"
#include "platform/threading.h"

namespace zq {

inline constexpr std::u16string_view kSpeedTestPath = u"/kolm_k1/CheckNetServlet";

struct SpeedTestConfig {
    int connectionType = 1;
    uint32_t waitMs = kDefaultReplyWaitMs;
    // The carrier's WAP gateway, for the gateway types.
    HttpGateway gateway;
};

CString speedTestUrl(const HostRecord& host, int connectionType);

// Times one request to `host`; the milliseconds, or kSpeedFailed. `cancel`
// (may be null) ends it early, as a failure.
int timeHost(const HostRecord& host, const SpeedTestConfig& config,
             const std::atomic<bool>* cancel);

class SpeedTestRun {
public:
    // (host index, result): -2 when the host's test starts, then its result.
    using Report = std::function<void(int index, int result)>;
    // At the end, with whether it was cancelled.
    using Done = std::function<void(bool cancelled)>;

    // Destroying it cancels and joins the worker (a member, so joined before
    // the state it writes goes); bounded by the poll interval of the waits.
    SpeedTestRun() = default;
    SpeedTestRun(const SpeedTestRun&) = delete;
    SpeedTestRun& operator=(const SpeedTestRun&) = delete;

    // Starts testing `hosts` in order. False (nothing starts) while an
    // earlier worker has not ended.
    bool start(std::vector<HostRecord> hosts, const SpeedTestConfig& config, Report report,
               Done done);
    // Raises the cancel flag and waits up to `waitMs` for the worker to end.
    // True when it has ended; a worker that has not is left to end alone.
    bool cancel(uint32_t waitMs);
    // True from start until the worker's body has returned.
    bool running() const { return running_.load(); }

    // Whether the worker of any run in the process is running: work in
    // flight that a replay's idle step waits for. Any thread.
    static bool anyRunning();

private:
    std::atomic<bool> running_{false};
    // Last: its body uses running_, so it must be joined before that dies.
    WorkerThread worker_;
};

}  // namespace zq
