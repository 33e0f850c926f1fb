// The test peer running inside the test process.
//
// A TestServer serves a fresh temporary folder of pages on 127.0.0.1, on
// its own threads, from construction to destruction (which stops and joins
// them). Everything of PageServer is at hand: replies set by path, packing,
// faults (setFault), refusing connections and the log of the requests it
// received (requests(), waitForRequests()). Framed clients connect to
// framedPort(); gateway clients use gatewayAddress():gatewayPort() as their
// WAP gateway.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/test_env.h"
#include "tools/zq-testserver/page_server.h"

namespace zq::test {

namespace detail {
// Made before the server so that the server can serve it.
struct TestServerRoot {
    TempDir folder;
};
}  // namespace detail

class TestServer : private detail::TestServerRoot, public testserver::PageServer {
public:
    // Starts at once; a port that cannot be bound fails the current test.
    explicit TestServer(testserver::Packing packing = testserver::Packing::Stored);

    bool started() const { return started_; }
    const std::filesystem::path& root() const { return folder.path(); }
    static constexpr const char* gatewayAddress() { return "127.0.0.1"; }

    // Writes `bytes` to the file `relativePath` ('/' separated) under the
    // root, making its folders. The page is served at "/" + relativePath.
    void writePage(const std::string& relativePath, std::string_view bytes);
    // The queries of the requests for `path`, in order, without the page
    // and screen ids the client adds.
    std::vector<std::string> queriesFor(const std::string& path) const;

private:
    bool started_ = false;
};

}  // namespace zq::test
