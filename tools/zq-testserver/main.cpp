// zq-testserver --root DIR [--port N] [--http-port N] [--pack stored|lzss|zlib]
//               [--misbehave MODE[:ARG]] [--help]
//
// Serves the pages under DIR on 127.0.0.1: framed requests on --port and the
// HTTP/1.0 WAP gateway on --http-port (0 or absent picks free ports). Prints
// the two ports and serves until SIGINT or SIGTERM, then prints the URL of
// every request it received, one "request URL" line each. --misbehave makes the
// replies misbehave on purpose (--help lists the modes).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <string_view>

#include "tools/zq-testserver/misbehaviour.h"
#include "tools/zq-testserver/page_server.h"

namespace {

void usage(FILE* to) {
    std::fprintf(to,
                 "usage: zq-testserver --root DIR [--port N] [--http-port N] "
                 "[--pack stored|lzss|zlib] [--misbehave MODE[:ARG]]\n");
}

void help() {
    usage(stdout);
    std::printf(
        "\nServes the pages under DIR on 127.0.0.1: framed requests on --port, the\n"
        "HTTP WAP gateway on --http-port (0 or absent: free ports, printed).\n"
        "A picture file asked for with a \"controlid\" (a page's own picture) is\n"
        "answered as a data reply of kind 3 for the listener at that position,\n"
        "any other picture as a data reply of kind 25; any other file as a page\n"
        "reply's text. Framed replies over 10000 bytes are packed to fit.\n"
        "\n--misbehave MODE[:ARG] makes replies misbehave on purpose:\n%s",
        zq::testserver::misbehaviourHelp());
}

bool parsePort(const char* text, uint16_t& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool parseArguments(int argc, char** argv, zq::testserver::ServerOptions& options,
                    zq::testserver::Misbehaviour& misbehaviour) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (arg == "--root") {
            options.root = value;
        } else if (arg == "--port") {
            if (!parsePort(value, options.framedPort)) return false;
        } else if (arg == "--http-port") {
            if (!parsePort(value, options.gatewayPort)) return false;
        } else if (arg == "--pack") {
            const auto packing = zq::testserver::packingFromName(value);
            if (!packing) return false;
            options.packing = *packing;
        } else if (arg == "--misbehave") {
            std::string error;
            const auto parsed = zq::testserver::parseMisbehaviour(value, &error);
            if (!parsed) {
                std::fprintf(stderr, "zq-testserver: %s\n", error.c_str());
                return false;
            }
            misbehaviour = *parsed;
        } else {
            return false;
        }
    }
    return !options.root.empty();
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
            help();
            return 0;
        }
    }
    zq::testserver::ServerOptions options;
    zq::testserver::Misbehaviour misbehaviour;
    if (!parseArguments(argc, argv, options, misbehaviour)) {
        usage(stderr);
        return 2;
    }
    // Blocked before any thread starts, so only sigwait below sees them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    zq::testserver::PageServer server(options);
    std::string error;
    if (!server.start(&error)) {
        std::fprintf(stderr, "zq-testserver: %s\n", error.c_str());
        return 1;
    }
    zq::testserver::applyMisbehaviour(server, misbehaviour);
    if (misbehaviour.refusing && !server.setRefusing(true)) {
        std::fprintf(stderr, "zq-testserver: could not stop listening\n");
        return 1;
    }
    for (const auto& [path, size] : server.unframedFiles()) {
        std::fprintf(stderr,
                     "zq-testserver: %s cannot be served framed (%zu bytes packed, a frame "
                     "carries %zu); the HTTP gateway serves it\n",
                     path.c_str(), size, zq::testserver::kMaxFramedMessage);
    }
    std::printf("framed 127.0.0.1:%u\nhttp 127.0.0.1:%u\n", server.framedPort(),
                server.gatewayPort());
    std::fflush(stdout);

    int received = 0;
    if (misbehaviour.refusing && misbehaviour.refuseMs > 0) {
        // Refuses for a while, then listens on the same ports again.
        const timespec wait{static_cast<time_t>(misbehaviour.refuseMs / 1000), 0};
        if (sigtimedwait(&signals, nullptr, &wait) < 0) {
            if (!server.setRefusing(false)) {
                std::fprintf(stderr, "zq-testserver: could not listen again\n");
                return 1;
            }
            std::printf("listening again\n");
            std::fflush(stdout);
            sigwait(&signals, &received);
        }
    } else {
        sigwait(&signals, &received);
    }
    // What the clients asked for, in order, for scripts that check it.
    for (const zq::testserver::ReceivedRequest& request : server.requests()) {
        std::printf("request %s\n", request.url.c_str());
    }
    std::fflush(stdout);
    server.stop();
    return 0;
}
