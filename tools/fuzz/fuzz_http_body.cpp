// HTTP body framing on arbitrary bytes: the plan a head gives stays in its
// bounds, and a chunked body decodes the same however the stream is cut and
// never past the cap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "net/http_socket.h"

namespace {

zq::ChunkedDecoder::State decode(std::string_view bytes, size_t step, std::vector<uint8_t>& body) {
    zq::ChunkedDecoder decoder;
    for (size_t at = 0; at < bytes.size(); at += step) {
        const size_t before = body.size();
        decoder.feed(bytes.substr(at, step), body);
        if (body.size() > zq::kMaxContentLength || body.size() < before) std::abort();
    }
    return decoder.state();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const zq::BodyPlan plan = zq::bodyPlan(bytes);
    if (plan.framing == zq::BodyFraming::Length && plan.length > zq::kMaxContentLength)
        std::abort();

    std::vector<uint8_t> whole;
    const zq::ChunkedDecoder::State state = decode(bytes, bytes.empty() ? 1 : bytes.size(), whole);
    for (const size_t step : {size_t{1}, size_t{3}, size_t{64}}) {
        std::vector<uint8_t> cut;
        if (decode(bytes, step, cut) != state || cut != whole) std::abort();
    }
    return 0;
}
