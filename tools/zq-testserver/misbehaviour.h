// The misbehaviour modes of the command line: "--misbehave MODE[:ARG]".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tools/zq-testserver/page_server.h"

namespace zq::testserver {

struct Misbehaviour {
    Fault fault = Fault::None;
    int times = kEveryRequest;  // replies that misbehave
    uint32_t lateDelayMs = 0;   // late: 0 keeps the server's
    uint32_t splitPauseMs = 0;  // split: 0 keeps the server's
    bool refusing = false;
    uint32_t refuseMs = 0;  // refusing: 0 refuses until the server stops
};

// Reads "MODE[:ARG]". nullopt, with the reason in `error`, for an unknown
// mode or a bad argument.
std::optional<Misbehaviour> parseMisbehaviour(std::string_view text, std::string* error = nullptr);

// Sets the fault and its timing on `server` (refusing is the caller's: it
// needs the server started).
void applyMisbehaviour(PageServer& server, const Misbehaviour& misbehaviour);

// One line per mode, for --help.
const char* misbehaviourHelp();

}  // namespace zq::testserver
