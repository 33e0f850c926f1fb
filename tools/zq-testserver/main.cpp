// zq-testserver --root DIR [--port N] [--http-port N] [--pack stored|lzss|zlib]
//
// Serves the pages under DIR on 127.0.0.1: framed requests on --port and the
// HTTP/1.0 WAP gateway on --http-port (0 or absent picks free ports). Prints
// the two ports and serves until SIGINT or SIGTERM.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "tools/zq-testserver/page_server.h"

namespace {

void usage() {
    std::fprintf(stderr,
                 "usage: zq-testserver --root DIR [--port N] [--http-port N] "
                 "[--pack stored|lzss|zlib]\n");
}

bool parsePort(const char* text, uint16_t& port) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
    port = static_cast<uint16_t>(value);
    return true;
}

bool parseArguments(int argc, char** argv, zq::testserver::ServerOptions& options) {
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
        } else {
            return false;
        }
    }
    return !options.root.empty();
}

}  // namespace

int main(int argc, char** argv) {
    zq::testserver::ServerOptions options;
    if (!parseArguments(argc, argv, options)) {
        usage();
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
    std::printf("framed 127.0.0.1:%u\nhttp 127.0.0.1:%u\n", server.framedPort(),
                server.gatewayPort());
    std::fflush(stdout);

    int received = 0;
    sigwait(&signals, &received);
    server.stop();
    return 0;
}
