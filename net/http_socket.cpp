#include "net/http_socket.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/string_utils.h"

namespace zq {

namespace {

enum HttpErrorCode : int {
    kHttpSocketFailed = 14,
    kHttpResolveFailed = 16,
    kHttpCloseFailed = 17,
};

constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr size_t kHeadChunk = 512;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i])) return false;
    }
    return true;
}

bool breaksHead(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

// --- request ---------------------------------------------------------------------

CString withoutHttpScheme(const CString& url) {
    // Only the scheme: a link in the query goes on to the server as written.
    constexpr std::u16string_view kScheme = u"http://";
    return startsWithNoCase(url.view(), kScheme) ? url.mid(static_cast<int>(kScheme.size())) : url;
}

void splitHttpUrl(const CString& url, CString& host, CString& port, CString& path) {
    const std::u16string text = withoutHttpScheme(url).str();
    const size_t slash = text.find(u'/');
    const size_t colon = text.find(u':');
    const bool hasColon =
        colon != std::u16string::npos && (slash == std::u16string::npos || colon < slash);
    host = hasColon ? CString(text.substr(0, colon)) : CString();
    if (slash == std::u16string::npos) {
        port = hasColon ? CString(text.substr(colon + 1)) : CString();
        path = CString();
        return;
    }
    port = hasColon ? CString(text.substr(colon + 1, slash - colon - 1)) : CString();
    path = CString(text.substr(slash));
}

void splitHttpTarget(const CString& url, CString& host, CString& port, CString& path) {
    splitHttpUrl(url, host, port, path);
    if (!host.isEmpty() || !port.isEmpty()) return;
    // "http://h/p": the host runs up to the path.
    const CString bare = withoutHttpScheme(url);
    const int slash = bare.find(u'/');
    host = slash < 0 ? bare : bare.left(slash);
}

std::string buildRequestHead(std::string_view method, std::string_view host, int port,
                             std::string_view path, std::string_view extraHeaders) {
    if (breaksHead(method) || breaksHead(host) || breaksHead(path) ||
        extraHeaders.find('\0') != std::string_view::npos) {
        return {};
    }
    const std::string hostPort = std::string(host) + ":" + std::to_string(port);
    std::string head;
    head.reserve(320 + host.size() * 2 + path.size() + extraHeaders.size());
    head.append(method).append(" ").append(path).append(" HTTP/1.0\r\n");
    head.append("Host: ").append(hostPort).append("\r\n");
    head.append("X-Online-Host: ").append(hostPort).append("\r\n");
    head.append("Accept: */*\r\n");
    head.append("User-Agent: ").append(kHttpUserAgent).append("\r\n");
    head.append("UA-OS: Windows CE (Pocket PC) - Version 5.1\r\n");
    head.append("Connection: Keep-Alive\r\n");
    head.append(extraHeaders);
    head.append("\r\n");
    return head;
}

// --- response head -------------------------------------------------------------------

HeadScanResult scanResponseHead(std::string_view received) {
    const std::string_view window = received.substr(0, kMaxResponseHead);
    const size_t end = window.find(kHeadEnd);
    if (end != std::string_view::npos) return {HeadScan::Complete, end + kHeadEnd.size()};
    if (received.size() >= kMaxResponseHead) return {HeadScan::TooLong, 0};
    return {HeadScan::NeedMore, 0};
}

bool isStatusOk(std::string_view head) { return head.size() >= 12 && head.substr(9, 3) == "200"; }

int headerValue(std::string_view head, std::string_view name, std::string& value) {
    value.clear();
    if (name.empty()) return -1;
    // Header lines start after the status line's CR LF.
    for (size_t line = head.find("\r\n"); line != std::string_view::npos;
         line = head.find("\r\n", line + 2)) {
        const size_t start = line + 2;
        const std::string_view rest = head.substr(start);
        if (rest.size() <= name.size() || rest[name.size()] != ':' ||
            !equalsIgnoreCase(rest.substr(0, name.size()), name)) {
            continue;
        }
        size_t from = name.size() + 1;
        while (from < rest.size() && (rest[from] == ' ' || rest[from] == '\t')) ++from;
        const size_t to = rest.find("\r\n", from);
        if (to == std::string_view::npos || to == from) return -1;
        value.reserve(to - from);
        for (size_t i = from; i < to; ++i) value.push_back(lowerAscii(rest[i]));
        return static_cast<int>(value.size());
    }
    return -1;
}

long long contentLength(std::string_view head) {
    std::string text;
    if (headerValue(head, "Content-Length", text) < 0) return -1;
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
    if (text.empty()) return -1;
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
        // Checked per digit, so a long run of digits cannot overflow.
        if (value > static_cast<long long>(kMaxContentLength)) return -1;
    }
    return value;
}

BodyPlan bodyPlan(std::string_view head) {
    std::string encoding;
    if (headerValue(head, "Transfer-Encoding", encoding) >= 0) {
        while (!encoding.empty() && (encoding.back() == ' ' || encoding.back() == '\t')) {
            encoding.pop_back();
        }
        if (encoding == "chunked") return {BodyFraming::Chunked, 0};
        // Anything else (gzip, ...) would hand the page over still encoded.
        if (encoding != "identity") return {BodyFraming::Refused, 0};
    }
    std::string text;
    if (headerValue(head, "Content-Length", text) < 0) return {BodyFraming::UntilClose, 0};
    const long long length = contentLength(head);
    if (length < 0) return {BodyFraming::Refused, 0};
    return {BodyFraming::Length, static_cast<size_t>(length)};
}

// --- chunked bodies --------------------------------------------------------------------

ChunkedDecoder::State ChunkedDecoder::feed(std::string_view bytes, std::vector<uint8_t>& body) {
    while (state_ == State::NeedMore && !bytes.empty()) {
        if (part_ == Part::Data) {
            const size_t take = std::min(remaining_, bytes.size());
            body.insert(body.end(), bytes.begin(), bytes.begin() + static_cast<long>(take));
            bytes.remove_prefix(take);
            remaining_ -= take;
            if (remaining_ == 0) part_ = Part::DataEnd;
            continue;
        }
        const size_t feed = bytes.find('\n');
        const size_t take = feed == std::string_view::npos ? bytes.size() : feed;
        if (line_.size() + take > kMaxLine) return state_ = State::Bad;
        line_.append(bytes.substr(0, take));
        if (feed == std::string_view::npos) break;
        bytes.remove_prefix(feed + 1);
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        state_ = takeLine(line_, body.size());
        line_.clear();
    }
    return state_;
}

ChunkedDecoder::State ChunkedDecoder::takeLine(std::string_view line, size_t bodySize) {
    switch (part_) {
        case Part::DataEnd:
            if (!line.empty()) return State::Bad;
            part_ = Part::Size;
            return State::NeedMore;
        case Part::Trailer:
            return line.empty() ? State::Done : State::NeedMore;
        case Part::Size: {
            size_t size = 0;
            size_t digits = 0;
            for (; digits < line.size(); ++digits) {
                const char c = lowerAscii(line[digits]);
                const int value = c >= '0' && c <= '9'   ? c - '0'
                                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                         : -1;
                if (value < 0) break;
                size = size * 16 + static_cast<size_t>(value);
                // Checked per digit, so a long run of digits cannot overflow.
                if (size > kMaxContentLength - bodySize) return State::TooLong;
            }
            const std::string_view rest = line.substr(digits);
            if (digits == 0 || (!rest.empty() && rest.front() != ';' && rest.front() != ' ' &&
                                rest.front() != '\t')) {
                return State::Bad;
            }
            remaining_ = size;
            part_ = size == 0 ? Part::Trailer : Part::Data;
            return State::NeedMore;
        }
        case Part::Data:
            break;
    }
    return State::Bad;
}

// --- cancelling --------------------------------------------------------------------------

void HttpCancel::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    flag_.store(true, std::memory_order_release);
    if (socket_ != nullptr) socket_->shutdown();
}

bool HttpCancel::attach(TcpSocket* socket) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled()) return false;
    socket_ = socket;
    return true;
}

void HttpCancel::detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    socket_ = nullptr;
}

// --- HttpSocket -----------------------------------------------------------------------

HttpSocket::HttpSocket(Deadline deadline, const std::atomic<bool>* stop, HttpCancel* cancel)
    : deadline_(deadline), stop_(cancel != nullptr ? cancel->flag() : stop), cancel_(cancel) {}

HttpSocket::~HttpSocket() { close(); }

int HttpSocket::create() {
    if (connected_) return 0;
    if (socket_.open() != 0) {
        errors_.setError(kHttpSocketFailed, kNetworkFailureText);
        return 0;
    }
    if (cancel_ != nullptr && !cancel_->attach(&socket_)) {
        socket_.close();
        return 0;
    }
    return 1;
}

int HttpSocket::connect(const std::string& host, int port) {
    if (connected_) {
        close();
        if (create() == 0) return 0;
    }
    if (!socket_.isOpen() || port < 1 || port > 0xffff) return 0;
    const std::optional<Ipv4Address> address = resolveIpv4(host);
    if (!address) {
        errors_.setError(kHttpResolveFailed, kNetworkFailureText);
        close();
        return 0;
    }
    dotted_ = address->dotted();
    const Deadline until = deadline_.earliest(Deadline::in(kHttpConnectWaitMs));
    if (socket_.connect(*address, static_cast<uint16_t>(port), until, stop_).status !=
        IoStatus::Ok) {
        return 0;
    }
    connected_ = true;
    return 1;
}

int HttpSocket::send(std::string_view request) {
    if (!connected_ || request.empty()) return 0;
    if (socket_.sendAll(request.data(), request.size(), deadline_, stop_).status != IoStatus::Ok) {
        return 0;
    }
    return readResponseHead();
}

int HttpSocket::readResponseHead() {
    if (headRead_ || !socket_.isOpen()) return 0;
    std::string received;
    char chunk[kHeadChunk];
    for (;;) {
        const HeadScanResult scan = scanResponseHead(received);
        if (scan.kind == HeadScan::TooLong) return 0;
        if (scan.kind == HeadScan::Complete) {
            head_ = received.substr(0, scan.headLength);
            pending_ = received.substr(scan.headLength);
            headLength_ = static_cast<int>(head_.size());
            break;
        }
        // Never more than the head could still need, so the body stays small here.
        const size_t want = std::min(sizeof chunk, kMaxResponseHead - received.size());
        const IoResult r = socket_.recvSome(chunk, want, deadline_, stop_);
        if (r.status != IoStatus::Ok) return 0;
        received.append(chunk, r.bytes);
    }
    if (!isStatusOk(head_)) return 0;
    headRead_ = true;
    return 1;
}

int HttpSocket::headerValue(std::string_view name, std::string& value) const {
    if (headLength_ < 0) {
        value.clear();
        return -1;
    }
    return zq::headerValue(head_, name, value);
}

size_t HttpSocket::recv(uint8_t* buffer, size_t count) {
    if (!connected_ || buffer == nullptr) return 0;
    size_t got = std::min(count, pending_.size());
    std::memcpy(buffer, pending_.data(), got);
    pending_.erase(0, got);
    if (got < count) {
        got += socket_.recvExact(buffer + got, count - got, deadline_, stop_).bytes;
    }
    return got;
}

int HttpSocket::readBody(std::vector<uint8_t>& body) {
    body.clear();
    if (!connected_ || !headRead_) return 0;
    const auto fail = [&body] {
        body.clear();
        return 0;
    };
    const BodyPlan plan = bodyPlan(head_);
    if (plan.framing == BodyFraming::Refused) return 0;
    if (plan.framing == BodyFraming::Length) {
        if (plan.length < 1) return 0;
        body.resize(plan.length);
        const size_t got = recv(body.data(), body.size());
        bodyBytes_ += got;
        return got == body.size() ? 1 : fail();
    }
    ChunkedDecoder decoder;
    const bool chunked = plan.framing == BodyFraming::Chunked;
    // What came with the head first, then the socket.
    std::string_view piece = pending_;
    char chunk[4096];
    for (;;) {
        bodyBytes_ += piece.size();
        if (chunked) {
            const ChunkedDecoder::State state = decoder.feed(piece, body);
            if (state == ChunkedDecoder::State::Done) break;
            if (state != ChunkedDecoder::State::NeedMore) return fail();
        } else {
            if (piece.size() > kMaxContentLength - body.size()) return fail();
            body.insert(body.end(), piece.begin(), piece.end());
        }
        const IoResult r = socket_.recvSome(chunk, sizeof chunk, deadline_, stop_);
        if (r.status == IoStatus::Closed && !chunked) break;  // the close ends this body
        if (r.status != IoStatus::Ok) return fail();
        piece = std::string_view(chunk, r.bytes);
    }
    pending_.clear();
    return body.empty() ? 0 : 1;
}

int HttpSocket::close() {
    // The token must not reach a descriptor that is being released.
    if (cancel_ != nullptr) cancel_->detach();
    const bool wasOpen = socket_.isOpen();
    const int error = socket_.close();
    connected_ = false;
    headRead_ = false;
    if (wasOpen && error != 0) {
        errors_.setError(kHttpCloseFailed, kNetworkFailureText);
        return 0;
    }
    return 1;
}

// --- gateway and exchange -------------------------------------------------------------

HttpGateway gatewayForCarrier(const CString& carrier, const HttpGatewayConfig& config) {
    HttpGateway gateway;
    gateway.port = config.port;
    if (carrier.equalsNoCase(u"中国移动(CM)") || carrier.equalsNoCase(u"中国联通(UNI)")) {
        gateway.address = config.mobileAddress;
    } else if (carrier.equalsNoCase(u"中国电信(CT)")) {
        gateway.address = config.telecomAddress;
    }
    return gateway;
}

int connectGateway(HttpSocket& socket, const HttpGateway& gateway) {
    if (gateway.address.empty()) return 0;
    if (socket.create() == 0) return 0;
    return socket.connect(gateway.address, gateway.port);
}

namespace {

int runExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                HttpExchangeResult& result, const std::atomic<bool>* stop, HttpCancel* cancel) {
    result = HttpExchangeResult{};
    // Host, port and path of the target, and the head naming them. A
    // link without a port means the web's own, as the link resolver says.
    CString host, port, path;
    splitHttpTarget(url, host, port, path);
    const std::string narrowPort = port.toCodePage(kCodePageDefault);
    const int portNumber = narrowPort.empty() ? kDefaultHttpPort : std::atoi(narrowPort.c_str());
    const std::string head = buildRequestHead("GET", host.toCodePage(kCodePageDefault), portNumber,
                                              path.toCodePage(kCodePageDefault));
    if (head.empty()) return 0;

    // Through the gateway: request out, head in.
    HttpSocket socket(Deadline::in(waitMs), stop, cancel);
    const auto finish = [&](int ok) {
        socket.close();
        for (const int code : {kHttpSocketFailed, kHttpResolveFailed, kHttpCloseFailed}) {
            if (!socket.errors().errorText(code).isEmpty()) result.errorCode = code;
        }
        return ok;
    };
    if (connectGateway(socket, gateway) == 0) return finish(0);
    const int sent = socket.send(head);
    result.bytesSent = head.size();
    result.bytesReceived = static_cast<size_t>(std::max(socket.headLength(), 0));
    if (sent == 0) return finish(0);

    // The body, however the gateway delimits it, capped before it grows.
    socket.headerValue("Content-Type", result.contentType);
    const int ok = socket.readBody(result.body);
    result.bytesReceived += socket.bodyBytesReceived();
    return finish(ok);
}

}  // namespace

int httpExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                 HttpExchangeResult& result, const std::atomic<bool>* stop) {
    return runExchange(url, gateway, waitMs, result, stop, nullptr);
}

int httpExchange(const CString& url, const HttpGateway& gateway, uint32_t waitMs,
                 HttpExchangeResult& result, HttpCancel& cancel) {
    return runExchange(url, gateway, waitMs, result, nullptr, &cancel);
}

// --- HttpRequestRunner -------------------------------------------------------------------

HttpRequestRunner::HttpRequestRunner(size_t maxThreads)
    : maxThreads_(std::max<size_t>(maxThreads, 1)) {}

HttpRequestRunner::~HttpRequestRunner() {
    std::vector<std::unique_ptr<WorkerThread>> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        for (Entry& entry : queue_) entry.cancel->cancel();
        for (const auto& cancel : running_) cancel->cancel();
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (auto& thread : threads) thread->join();
}

std::shared_ptr<HttpCancel> HttpRequestRunner::submit(Job job) {
    auto cancel = std::make_shared<HttpCancel>();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) cancel->cancel();
        queue_.push_back(Entry{std::move(job), cancel});
        if (idle_ < queue_.size() && threads_.size() < maxThreads_ && !stopping_) {
            threads_.push_back(
                std::make_unique<WorkerThread>([this](const StopSignal&) { workerLoop(); }));
        }
    }
    wake_.notify_one();
    return cancel;
}

void HttpRequestRunner::cancelAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    for (Entry& entry : queue_) entry.cancel->cancel();
    for (const auto& cancel : running_) cancel->cancel();
}

size_t HttpRequestRunner::threadCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return threads_.size();
}

void HttpRequestRunner::workerLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        ++idle_;
        wake_.wait(lock, [this] { return !queue_.empty() || stopping_; });
        --idle_;
        if (queue_.empty()) return;  // stopping, and nothing left to run
        Entry entry = std::move(queue_.front());
        queue_.pop_front();
        running_.push_back(entry.cancel);
        lock.unlock();
        entry.job(*entry.cancel);
        entry.job = nullptr;  // whatever the job holds goes before the next one
        lock.lock();
        std::erase(running_, entry.cancel);
    }
}

}  // namespace zq
