// The connection types the settings store: odd ones send framed TCP straight
// to the host, even ones one HTTP exchange per request through the carrier's
// WAP gateway. Anything else sends nothing.
#pragma once

namespace zq {

enum class ConnectionMode : int {
    Direct = 1,          // framed TCP straight to the host
    Gateway = 2,         // HTTP through the carrier's WAP gateway
    Direct3 = 3,         // framed TCP, as 1
    Gateway4 = 4,        // HTTP, as 2
    Direct5 = 5,         // framed TCP, as 1
    TelecomGateway = 6,  // HTTP through China Telecom's WAP gateway
};

constexpr int connectionTypeNumber(ConnectionMode mode) { return static_cast<int>(mode); }

constexpr bool isFramedConnection(int type) {
    return type == connectionTypeNumber(ConnectionMode::Direct) ||
           type == connectionTypeNumber(ConnectionMode::Direct3) ||
           type == connectionTypeNumber(ConnectionMode::Direct5);
}

constexpr bool isHttpConnection(int type) {
    return type == connectionTypeNumber(ConnectionMode::Gateway) ||
           type == connectionTypeNumber(ConnectionMode::Gateway4) ||
           type == connectionTypeNumber(ConnectionMode::TelecomGateway);
}

}  // namespace zq
