// Frame and HTTP response-head decoding on arbitrary bytes. The frames must
// not depend on how the stream is cut, every length must stay in its
// bounds, and header lookups must stay inside the head.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "net/framed_socket.h"
#include "net/http_socket.h"

namespace {

std::vector<std::vector<uint8_t>> decode(const uint8_t* data, size_t size, size_t step) {
    zq::FrameDecoder decoder;
    std::vector<std::vector<uint8_t>> frames;
    size_t at = 0;
    while (at < size) {
        const size_t piece = std::min(step, size - at);
        const size_t used = decoder.feed(data + at, piece);
        if (used > piece) std::abort();
        at += used;
        if (decoder.state() == zq::FrameDecoder::State::Frame) {
            frames.push_back(decoder.takeFrame());
            const size_t length = frames.back().size();
            if (length < 1 || length > zq::kMaxFrameBody) std::abort();
        } else if (decoder.state() == zq::FrameDecoder::State::Refused) {
            break;
        } else if (used == 0) {
            std::abort();  // neither progress nor an end
        }
    }
    return frames;
}

void checkHead(std::string_view bytes) {
    const zq::HeadScanResult scan = zq::scanResponseHead(bytes);
    if (scan.kind != zq::HeadScan::Complete) return;
    if (scan.headLength > zq::kMaxResponseHead || scan.headLength > bytes.size()) std::abort();
    const std::string_view head = bytes.substr(0, scan.headLength);
    if (head.substr(head.size() - 4) != "\r\n\r\n") std::abort();
    zq::isStatusOk(head);
    std::string value;
    for (const char* name : {"Content-Type", "content-length", "X", ""}) {
        const int n = zq::headerValue(head, name, value);
        if (n > static_cast<int>(head.size()) ||
            (n >= 0 && static_cast<size_t>(n) != value.size())) {
            std::abort();
        }
    }
    const long long length = zq::contentLength(head);
    if (length < -1 || length > static_cast<long long>(zq::kMaxContentLength)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto whole = decode(data, size, size == 0 ? 1 : size);
    const size_t step = size == 0 ? 1 : data[0] % 7 + 1;
    if (decode(data, size, step) != whole || decode(data, size, 1) != whole) std::abort();

    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkHead(bytes);

    zq::CString host, port, path;
    const zq::CString url = zq::CString::fromUtf8(bytes);
    zq::splitHttpUrl(url, host, port, path);
    if (host.length() + port.length() + path.length() > url.length()) std::abort();
    const std::string head =
        zq::buildRequestHead("GET", host.toUtf8(), std::atoi(port.toUtf8().c_str()), path.toUtf8());
    if (!head.empty() && head.find("\r\n\r\n") != head.size() - 4) std::abort();
    return 0;
}
