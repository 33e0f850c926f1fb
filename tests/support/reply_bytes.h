// Reply messages built byte by byte, heads included, so that tests can
// give the client any head a peer might send (bad factors, unknown kinds).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zq::test {

inline std::string u32le(uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return out;
}

// A text as a reply payload: its length, then the text.
inline std::string payload(const std::string& text) {
    return u32le(static_cast<uint32_t>(text.size())) + text;
}

struct Head {
    uint8_t kind = 1;
    int16_t id = 0;
    int16_t argument = 0;
    uint8_t secondKind = 0;
    uint8_t method = 0;
    uint8_t factor = 10;
    uint8_t listener = 0;
};

// The 10-byte head, then `body` as it stands.
inline std::string message(const Head& h, const std::string& body) {
    std::string m(10, '\0');
    m[0] = static_cast<char>(h.kind);
    m[1] = static_cast<char>(h.id & 0xFF);
    m[2] = static_cast<char>((h.id >> 8) & 0xFF);
    m[3] = static_cast<char>(h.argument & 0xFF);
    m[4] = static_cast<char>((h.argument >> 8) & 0xFF);
    m[5] = static_cast<char>(h.secondKind);
    m[6] = static_cast<char>(h.method);
    m[7] = static_cast<char>(h.factor);
    m[8] = static_cast<char>(h.listener);
    return m + body;
}

inline std::span<const uint8_t> bytes(const std::string& s) {
    return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

}  // namespace zq::test
