// What the test peer reads from a request: the URL the client sends as a
// frame body ("http://host:port/path;session=x?a=1&pageid=7&screenid=3"), or
// the head of an HTTP/1.0 GET that the client sends to the WAP gateway.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zq::testserver {

// The speed-test request's path; it is answered with a short reply.
inline constexpr char kSpeedTestPath[] = "/kolm_k1/CheckNetServlet";

struct RequestTarget {
    std::string hostPort;  // "host:port", empty when the URL named none
    std::string path;      // from the first '/', percent-decoded, no ';' or '?' part
    std::string query;     // after the '?', as sent
    std::vector<std::pair<std::string, std::string>> params;

    // The first parameter of that name (exact case).
    std::optional<std::string> param(std::string_view name) const;
    // "pageid" read as a number and kept to its low 16 bits; 0 when absent.
    int16_t pageId() const;
};

// Splits "http://host:port/path?query" (the "http://" may be missing, and a
// bare "/path?query" has no host). Always gives a target; a URL without a
// '/' after its host has the path "/".
RequestTarget parseRequestUrl(std::string_view url);

// %XX sequences become bytes; a '%' without two hex digits stays as it is.
std::string percentDecode(std::string_view text);

// The checks a WAP gateway makes on a request head (without the closing
// empty line): "GET <target> HTTP/1.0" (or HTTP/1.1, as a proxy in front
// may send), a target starting with '/' or an absolute "http://" URL, and
// at least one of X-Online-Host, the URL's host and Host, all naming the
// same server ("h" is "h:80"). On success the target's hostPort is the
// first of them that is there.
struct GatewayRequest {
    bool ok = false;
    std::string problem;  // why it was refused
    std::string url;      // "http://" + Host + target
    RequestTarget target;
};
GatewayRequest checkGatewayHead(std::string_view head);

}  // namespace zq::testserver
