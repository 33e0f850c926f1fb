#include "tools/zq-testserver/request_target.h"

#include <charconv>
#include <cstdint>

namespace zq::testserver {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) return false;
    }
    return true;
}

std::vector<std::pair<std::string, std::string>> splitParams(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> params;
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view item = query.substr(0, amp);
        if (!item.empty()) {
            const size_t eq = item.find('=');
            if (eq == std::string_view::npos) {
                params.emplace_back(percentDecode(item), std::string());
            } else {
                params.emplace_back(percentDecode(item.substr(0, eq)),
                                    percentDecode(item.substr(eq + 1)));
            }
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
    return params;
}

// "h" and "h:80" name the same server; host names in any case.
bool sameHost(std::string_view a, std::string_view b) {
    const auto withPort = [](std::string_view text) {
        std::string out;
        for (const char c : text) out.push_back(lower(c));
        if (out.find(':') == std::string::npos) out += ":80";
        return out;
    };
    return withPort(a) == withPort(b);
}

}  // namespace

std::optional<std::string> RequestTarget::param(std::string_view name) const {
    for (const auto& [key, value] : params) {
        if (key == name) return value;
    }
    return std::nullopt;
}

int16_t RequestTarget::pageId() const {
    const auto text = param("pageid");
    if (!text) return 0;
    long long value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || end == text->data()) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(value & 0xFFFF));
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 &&
            hexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

RequestTarget parseRequestUrl(std::string_view url) {
    RequestTarget target;
    if (startsWithNoCase(url, "http://")) url.remove_prefix(7);
    std::string_view rest = url;
    const size_t slash = url.find('/');
    if (slash == std::string_view::npos) {
        const size_t q = url.find('?');
        target.hostPort = std::string(url.substr(0, q));
        rest = q == std::string_view::npos ? std::string_view() : url.substr(q);
    } else {
        target.hostPort = std::string(url.substr(0, slash));
        rest = url.substr(slash);
    }
    const size_t q = rest.find('?');
    std::string_view path = rest.substr(0, q);
    if (q != std::string_view::npos) target.query = std::string(rest.substr(q + 1));
    // The session parameter rides on the path; it names no file.
    path = path.substr(0, path.find(';'));
    target.path = path.empty() ? std::string("/") : percentDecode(path);
    target.params = splitParams(target.query);
    return target;
}

GatewayRequest checkGatewayHead(std::string_view head) {
    GatewayRequest result;
    const size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    constexpr std::string_view kMethod = "GET ";
    constexpr size_t kVersionSize = std::string_view(" HTTP/1.x").size();
    const std::string_view version = requestLine.size() > kVersionSize
                                         ? requestLine.substr(requestLine.size() - kVersionSize)
                                         : std::string_view();
    if (requestLine.size() <= kMethod.size() + kVersionSize ||
        requestLine.substr(0, kMethod.size()) != kMethod ||
        (version != " HTTP/1.0" && version != " HTTP/1.1")) {
        result.problem = "request line is not GET ... HTTP/1.0 or HTTP/1.1";
        return result;
    }
    std::string_view target =
        requestLine.substr(kMethod.size(), requestLine.size() - kMethod.size() - kVersionSize);
    // A proxy may send the absolute URL; its host names the server too.
    std::optional<std::string> urlHost;
    if (startsWithNoCase(target, "http://")) {
        const std::string_view rest = target.substr(7);
        const size_t slash = rest.find('/');
        urlHost = std::string(rest.substr(0, slash));
        target = slash == std::string_view::npos ? std::string_view("/") : rest.substr(slash);
    }
    if (target.empty() || target[0] != '/' || target.find(' ') != std::string_view::npos ||
        (urlHost && urlHost->empty())) {
        result.problem = "bad request target";
        return result;
    }

    std::optional<std::string> host;
    std::optional<std::string> onlineHost;
    std::string_view lines =
        lineEnd == std::string_view::npos ? std::string_view() : head.substr(lineEnd + 2);
    while (!lines.empty()) {
        const size_t end = lines.find("\r\n");
        const std::string_view line = lines.substr(0, end);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            std::string_view value = line.substr(colon + 1);
            while (!value.empty() && (value[0] == ' ' || value[0] == '\t')) value.remove_prefix(1);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
                value.remove_suffix(1);
            }
            const std::string_view name = line.substr(0, colon);
            if (name.size() == 4 && startsWithNoCase(name, "host")) host = std::string(value);
            if (name.size() == 13 && startsWithNoCase(name, "x-online-host")) {
                onlineHost = std::string(value);
            }
        }
        if (end == std::string_view::npos) break;
        lines.remove_prefix(end + 2);
    }
    // The client names its server in X-Online-Host; a proxy in front of this
    // gateway may drop it and name the server only in Host (without the
    // port when it is 80) or in the URL. Whatever is named must agree.
    std::optional<std::string> named;
    for (const std::optional<std::string>* candidate : {&onlineHost, &urlHost, &host}) {
        if (!*candidate || (*candidate)->empty()) continue;
        if (!named) {
            named = **candidate;
        } else if (!sameHost(*named, **candidate)) {
            result.problem = "Host, X-Online-Host and the URL name different servers";
            return result;
        }
    }
    if (!named) {
        result.problem = "no Host or X-Online-Host";
        return result;
    }
    result.ok = true;
    result.url = "http://" + *named + std::string(target);
    result.target = parseRequestUrl(result.url);
    return result;
}

}  // namespace zq::testserver
