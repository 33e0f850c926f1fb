// One HTTP/1.0 exchange through a carrier's WAP gateway.
//
// The request head (each line ends with CR LF):
//   GET <path> HTTP/1.0
//   Host: <host>:<port>
//   X-Online-Host: <host>:<port>
//   Accept: */*
//   User-Agent: <kHttpUserAgent>
//   UA-OS: Windows CE (Pocket PC) - Version 5.1
//   Connection: Keep-Alive
//   <extra header lines, if any>
//   <empty line>
// The response head ends with an empty line within kMaxResponseHead bytes;
// its status code (bytes 9-11) must be "200"; the body is exactly
// Content-Length bytes, 1 to kMaxContentLength.
//
// The whole exchange ends by one deadline (the reply wait time), and a
// stop flag ends it early. Failures are recorded in the socket's
// ZQException with kNetworkFailureText: 14 no socket could be opened, 16
// the host could not be resolved, 17 close failed. A bad status, a head
// without its end, a closed or reset connection and a short or empty body
// fail with no code.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/zq_exception.h"
#include "net/framed_socket.h"
#include "platform/cstring.h"
#include "platform/socket.h"

namespace zq {

constexpr size_t kMaxResponseHead = 1023;
constexpr size_t kMaxContentLength = 1u << 20;
constexpr uint32_t kHttpConnectWaitMs = 4000;
constexpr int kDefaultGatewayPort = 80;

inline constexpr char kHttpUserAgent[] =
    "Lurin/5.1.65/WAP1.2 Profile/MIDP2.0 Configuration/CLDC1.0 Mozilla/4.0 (compatible; "
    "MSIE 4.01; Windows CE; PPC; 240x320)";

// Splits "http://host:port/path?query": every "http://" is removed; host is
// the text before the first ':', port the text between it and the first
// '/', path the rest from that '/'. With no '/', port is everything after
// the ':' and path is empty. A ':' that only appears after the first '/'
// (or none at all) leaves host and port empty.
void splitHttpUrl(const CString& url, CString& host, CString& port, CString& path);

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

// --- one connection ----------------------------------------------------------
// Belongs to one exchange on one thread.
class HttpSocket {
public:
    // Every wait of this socket ends by `deadline`, or early when `stop`
    // (may be null; any thread may raise it) rises.
    explicit HttpSocket(Deadline deadline, const std::atomic<bool>* stop = nullptr);
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
    const std::atomic<bool>* stop_ = nullptr;
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
    std::vector<uint8_t> body;  // Content-Length bytes
    std::string contentType;    // lower case, possibly empty
    size_t bytesSent = 0;       // request head
    size_t bytesReceived = 0;   // response head and body
    int errorCode = 0;          // the code recorded, 0 when none
};

// Creates a socket and connects it to the gateway. 1 / 0.
int connectGateway(HttpSocket& socket, const HttpGateway& gateway);

// One GET of `url` through `gateway`, all within `waitMs`. 1 when a status
// 200 reply came with all of its Content-Length (at least one byte); the
// counters are filled either way. May be
// called on any thread; `stop` (may be null) ends it early.
int httpExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                 HttpExchangeResult& result, const std::atomic<bool>* stop = nullptr);

}  // namespace zq
