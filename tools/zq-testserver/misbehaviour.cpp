#include "tools/zq-testserver/misbehaviour.h"

#include <charconv>

namespace zq::testserver {

namespace {

enum class Argument { Count, Delay, Pause, Seconds };

struct Mode {
    std::string_view name;
    Fault fault;
    Argument argument;
};

constexpr Mode kModes[] = {
    {"late", Fault::Late, Argument::Delay},
    {"missing", Fault::Missing, Argument::Count},
    {"split", Fault::Split, Argument::Pause},
    {"oversize", Fault::Oversize, Argument::Count},
    {"garbage", Fault::Garbage, Argument::Count},
    {"duplicate", Fault::Duplicate, Argument::Count},
    {"close-mid-frame", Fault::CloseMidFrame, Argument::Count},
    {"gateway-page", Fault::GatewayPage, Argument::Count},
    {"refusing", Fault::None, Argument::Seconds},
};

constexpr uint32_t kMaxArgument = 24 * 3600 * 1000u;

}  // namespace

std::optional<Misbehaviour> parseMisbehaviour(std::string_view text, std::string* error) {
    const auto fail = [error](std::string why) -> std::optional<Misbehaviour> {
        if (error) *error = std::move(why);
        return std::nullopt;
    };
    const size_t colon = text.find(':');
    const std::string_view name = text.substr(0, colon);
    const Mode* mode = nullptr;
    for (const Mode& m : kModes) {
        if (m.name == name) mode = &m;
    }
    if (mode == nullptr) return fail("unknown misbehaviour \"" + std::string(name) + "\"");

    uint32_t value = 0;
    const bool hasArgument = colon != std::string_view::npos;
    if (hasArgument) {
        const std::string_view arg = text.substr(colon + 1);
        const auto [end, ec] = std::from_chars(arg.data(), arg.data() + arg.size(), value);
        if (arg.empty() || ec != std::errc() || end != arg.data() + arg.size() || value == 0 ||
            value > kMaxArgument) {
            return fail("bad argument \"" + std::string(arg) + "\" for " + std::string(name));
        }
    }
    Misbehaviour result;
    result.fault = mode->fault;
    switch (mode->argument) {
        case Argument::Count:
            if (hasArgument) result.times = static_cast<int>(value);
            break;
        case Argument::Delay:
            result.lateDelayMs = value;
            break;
        case Argument::Pause:
            result.splitPauseMs = value;
            break;
        case Argument::Seconds:
            result.refusing = true;
            if (value > kMaxArgument / 1000) return fail("refusing: at most a day");
            result.refuseMs = value * 1000;
            break;
    }
    return result;
}

void applyMisbehaviour(PageServer& server, const Misbehaviour& misbehaviour) {
    if (misbehaviour.lateDelayMs > 0) server.setLateDelayMs(misbehaviour.lateDelayMs);
    if (misbehaviour.splitPauseMs > 0) server.setSplitPauseMs(misbehaviour.splitPauseMs);
    if (misbehaviour.fault != Fault::None) server.setFault(misbehaviour.fault, misbehaviour.times);
}

const char* misbehaviourHelp() {
    return "  late[:MS]           every reply after MS milliseconds (default 2000)\n"
           "  missing[:N]         no reply; the connection stays open\n"
           "  split[:MS]          replies in small pieces, MS ms apart (default 20)\n"
           "  oversize[:N]        framed: a length above 10,000; http: Content-Length above 1 MiB\n"
           "  garbage[:N]         random bytes instead of the reply\n"
           "  duplicate[:N]       every reply sent twice\n"
           "  close-mid-frame[:N] half the reply, then the connection is closed\n"
           "  gateway-page[:N]    http: a WML page of the gateway's own\n"
           "  refusing[:S]        connections are refused (for S seconds, else until stopped)\n"
           "  N: only the first N replies misbehave (default: all)\n";
}

}  // namespace zq::testserver
