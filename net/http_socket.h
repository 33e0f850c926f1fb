// One HTTP/1.0 exchange through a carrier's WAP gateway.
//
// The request head (each line ends with CR LF):
//   GET <path> HTTP/1.0
//   Host: <host>:<port>          (port 80 when the link names none)
//   X-Online-Host: <host>:<port>
//   Accept: */*
//   User-Agent: <kHttpUserAgent>
//   UA-OS: Windows CE (Pocket PC) - Version 5.1
//   Connection: Keep-Alive
//   <extra header lines, if any>
//   <empty line>
// The response head ends with an empty line within kMaxResponseHead bytes;
// its status code (bytes 9-11) must be "200". The body is what gateways
// send: exactly Content-Length bytes, a "Transfer-Encoding: chunked" body
// (decoded), or, with neither, everything up to the peer's close. Each is
// 1 to kMaxContentLength bytes; anything else fails.
//
// The whole exchange ends by one deadline (the reply wait time), and a
// stop flag or an HttpCancel ends it early. Failures are recorded in the
// socket's ZQException with kNetworkFailureText: 14 no socket could be
// opened, 16 the host could not be resolved, 17 close failed. A bad status,
// a head without its end, a closed or reset connection and a short, broken
// or empty body fail with no code.
//
// Exchanges run on an HttpRequestRunner: a few threads at most, each
// exchange with its own HttpCancel, which shuts its connection at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/zq_exception.h"
#include "net/framed_socket.h"
#include "platform/cstring.h"
#include "platform/socket.h"
#include "platform/threading.h"

namespace zq {

// Gateways add cookies and their own headers: a few KiB are common.
constexpr size_t kMaxResponseHead = 8 * 1024;
constexpr size_t kMaxContentLength = 1u << 20;
constexpr uint32_t kHttpConnectWaitMs = 4000;
constexpr int kDefaultGatewayPort = 80;
constexpr int kDefaultHttpPort = 80;
// Exchanges running at once; more wait in the runner's queue.
constexpr size_t kMaxHttpThreads = 3;

inline constexpr char kHttpUserAgent[] =
    "Lurin/5.1.65/WAP1.2 Profile/MIDP2.0 Configuration/CLDC1.0 Mozilla/4.0 (compatible; "
    "MSIE 4.01; Windows CE; PPC; 240x320)";

// `url` without its leading "http://" (any case); the rest as it stands.
CString withoutHttpScheme(const CString& url);
// Splits "http://host:port/path?query": the leading "http://" is removed; host is
// the text before the first ':', port the text between it and the first
// '/', path the rest from that '/'. With no '/', port is everything after
// the ':' and path is empty. A ':' that only appears after the first '/'
// (or none at all) leaves host and port empty.
void splitHttpUrl(const CString& url, CString& host, CString& port, CString& path);
// As splitHttpUrl, but a link without a port ("http://h/p") still names its
// host: the one a request to that link connects to.
void splitHttpTarget(const CString& url, CString& host, CString& port, CString& path);

// The request head above. Empty when host, path or the extra headers
// would break the head (NUL, or CR/LF in host and path).
std::string buildRequestHead(std::string_view method, std::string_view host, int port,
                             std::string_view path, std::string_view extraHeaders = {});

// --- response head decoding (pure, for any bytes) ---------------------------
enum class HeadScan { NeedMore, Complete, TooLong };
struct HeadScanResult {
    HeadScan kind = HeadScan::NeedMore;
    size_t headLength = 0;  // with the closing CR LF CR LF, when Complete
};
// Looks for the end of the head at the start of `received`.
HeadScanResult scanResponseHead(std::string_view received);
// The three bytes after "HTTP/x.y " read "200".
bool isStatusOk(std::string_view head);
// The value of header `name` (any letter case, at the start of a line),
// lower-cased, blanks after the colon skipped, up to CR LF. Its length, or
// -1 when the header is missing or empty.
int headerValue(std::string_view head, std::string_view name, std::string& value);
// The Content-Length: -1 when missing, not a number or above
// kMaxContentLength.
long long contentLength(std::string_view head);

// How the body after `head` is delimited.
enum class BodyFraming {
    Length,      // Content-Length bytes
    Chunked,     // Transfer-Encoding: chunked
    UntilClose,  // neither header: up to the peer's close
    Refused,     // a length that is no number or too big, another encoding
};
struct BodyPlan {
    BodyFraming framing = BodyFraming::Refused;
    size_t length = 0;  // for Length
};
BodyPlan bodyPlan(std::string_view head);

// Decodes a chunked body fed in pieces cut anywhere. Lines may end in CR LF
// or LF; chunk extensions and trailers are skipped. The decoded body never
// exceeds kMaxContentLength.
class ChunkedDecoder {
public:
    enum class State { NeedMore, Done, Bad, TooLong };
    static constexpr size_t kMaxLine = 1024;

    // Appends the data in `bytes` to `body`; bytes after the last chunk's
    // trailer are ignored. Once Done, Bad or TooLong nothing changes.
    State feed(std::string_view bytes, std::vector<uint8_t>& body);
    State state() const { return state_; }

private:
    enum class Part { Size, Data, DataEnd, Trailer };
    State takeLine(std::string_view line, size_t bodySize);

    Part part_ = Part::Size;
    State state_ = State::NeedMore;
    std::string line_;
    size_t remaining_ = 0;
};

// Cancels one exchange from any thread, at any time: the exchange's
// connection is shut down at once (every wait of it ends), and an exchange
// that has not connected yet fails at once. Shared by the exchange and
// whoever may cancel it; lives as long as the longer of them.
class HttpCancel {
public:
    void cancel();
    bool cancelled() const { return flag_.load(std::memory_order_acquire); }
    const std::atomic<bool>* flag() const { return &flag_; }

private:
    friend class HttpSocket;
    // The socket the exchange uses now; false (not attached) once cancelled.
    bool attach(TcpSocket* socket);
    void detach();

    std::mutex mutex_;
    TcpSocket* socket_ = nullptr;  // borrowed between attach and detach
    std::atomic<bool> flag_{false};
};

// --- one connection ----------------------------------------------------------
// Belongs to one exchange on one thread.
class HttpSocket {
public:
    // Every wait of this socket ends by `deadline`, or early when `stop`
    // (may be null; any thread may raise it) rises. With `cancel` (may be
    // null) the token's flag replaces `stop`, and cancelling it shuts the
    // connection down.
    explicit HttpSocket(Deadline deadline, const std::atomic<bool>* stop = nullptr,
                        HttpCancel* cancel = nullptr);
    ~HttpSocket();
    HttpSocket(const HttpSocket&) = delete;
    HttpSocket& operator=(const HttpSocket&) = delete;

    // A new non-blocking socket; 0 while connected. 1 / 0.
    int create();
    // Connected already: closes and creates first. 1 / 0.
    int connect(const std::string& host, int port);
    // Sends `request`, then reads the response head. 1 only when both work
    // and the status is 200.
    int send(std::string_view request);
    int readResponseHead();
    // Looks up a header of the stored head (see headerValue); -1 before one.
    int headerValue(std::string_view name, std::string& value) const;
    // Reads body bytes until `count` are in, the peer closes, the deadline
    // passes or stop is asked. Returns the count received.
    size_t recv(uint8_t* buffer, size_t count);
    // Reads the whole body the stored head announces (see bodyPlan) into
    // `body`. 1 when it all came and holds at least one byte; else 0 and
    // `body` is empty.
    int readBody(std::vector<uint8_t>& body);
    // Bytes of the body as they came over the wire (chunk sizes included).
    size_t bodyBytesReceived() const { return bodyBytes_; }
    // Head bytes read, -1 before a head (the system's "state").
    int headLength() const { return headLength_; }
    const std::string& responseHead() const { return head_; }
    int close();
    bool isConnected() const { return connected_; }
    ZQException& errors() { return errors_; }

private:
    ZQException errors_;
    TcpSocket socket_;
    Deadline deadline_;
    std::string dotted_;
    std::string head_;
    std::string pending_;  // body bytes that came with the head
    bool connected_ = false;
    bool headRead_ = false;
    int headLength_ = -1;
    size_t bodyBytes_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
    HttpCancel* cancel_ = nullptr;
};

// --- gateways ------------------------------------------------------------------
// The carriers' WAP proxies. The controller fills this from the settings.
struct HttpGatewayConfig {
    std::string mobileAddress = "10.0.0.172";   // "中国移动(CM)" and "中国联通(UNI)"
    std::string telecomAddress = "10.0.0.200";  // "中国电信(CT)"
    int port = kDefaultGatewayPort;
};

struct HttpGateway {
    std::string address;  // empty: no gateway for this carrier
    int port = kDefaultGatewayPort;
};

// The gateway of a carrier name (compared without regard to case); an
// unknown carrier gets none, and every exchange through it fails.
HttpGateway gatewayForCarrier(const CString& carrier, const HttpGatewayConfig& config);

struct HttpExchangeResult {
    std::vector<uint8_t> body;  // the decoded body
    std::string contentType;    // lower case, possibly empty
    size_t bytesSent = 0;       // request head
    size_t bytesReceived = 0;   // response head and body
    int errorCode = 0;          // the code recorded, 0 when none
};

// Creates a socket and connects it to the gateway. 1 / 0.
int connectGateway(HttpSocket& socket, const HttpGateway& gateway);

// One GET of `url` through `gateway`, all within `waitMs`. 1 when a status
// 200 reply came with its whole body (at least one byte); the counters are
// filled either way. May be called on any thread; `stop` (may be null) ends
// it early.
int httpExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                 HttpExchangeResult& result, const std::atomic<bool>* stop = nullptr);
// The same, ended early (and its connection closed at once) by `cancel`.
int httpExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                 HttpExchangeResult& result, HttpCancel& cancel);

// --- request threads -------------------------------------------------------------
// Runs jobs (each usually one request: its exchanges and its settling) on
// at most `maxThreads` threads, started as needed; the others wait in order.
// Every job runs exactly once, even when cancelled before it started (its
// token is cancelled then, so its exchanges fail at once and it can settle
// its request). Any thread may submit or cancel.
class HttpRequestRunner {
public:
    using Job = std::function<void(HttpCancel& cancel)>;

    explicit HttpRequestRunner(size_t maxThreads = kMaxHttpThreads);
    // Cancels every job, lets the queued ones run (cancelled) and joins.
    // Not from inside a job.
    ~HttpRequestRunner();
    HttpRequestRunner(const HttpRequestRunner&) = delete;
    HttpRequestRunner& operator=(const HttpRequestRunner&) = delete;

    // Queues `job`. The token cancels it, queued or running; keeping it is
    // optional.
    std::shared_ptr<HttpCancel> submit(Job job);
    // Cancels every job queued or running now.
    void cancelAll();
    size_t threadCount() const;

private:
    struct Entry {
        Job job;
        std::shared_ptr<HttpCancel> cancel;
    };
    void workerLoop();

    const size_t maxThreads_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Entry> queue_;
    std::vector<std::shared_ptr<HttpCancel>> running_;
    std::vector<std::unique_ptr<WorkerThread>> threads_;
    size_t idle_ = 0;
    bool stopping_ = false;
};

}  // namespace zq
