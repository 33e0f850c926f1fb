// One page server: its address, ports and name as the host lists give them.
#pragma once

#include "platform/cstring.h"

namespace zq {

struct HostRecord {
    CString address;
    CString httpPort;    // used through the WAP gateway
    CString socketPort;  // used by the framed TCP transport
    CString rest;        // everything after the fourth ':', kept as it is
    CString label;       // shown in host choices; not part of the text form
    CString name;
    // -1 not tested, -2 testing, kSpeedFailed failed, else milliseconds
    int speedResult = -1;

    static constexpr int kSpeedFailed = 99999999;

    // Fills the fields from "address:http:socket:name:rest"; each field is set
    // only when its closing ':' exists. False (nothing set) without any ':'.
    bool parse(const CString& text);
    // "address:http:socket:name:rest", the form parse reads back.
    CString toText() const;
    // Same address, HTTP port and name, without regard to case.
    bool equals(const HostRecord& other) const;
};

}  // namespace zq
