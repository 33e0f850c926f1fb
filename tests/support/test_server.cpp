#include "tests/support/test_server.h"

#include <gtest/gtest.h>

#include "platform/files.h"

namespace zq::test {

namespace {

testserver::ServerOptions optionsFor(const std::filesystem::path& root,
                                     testserver::Packing packing) {
    testserver::ServerOptions options;
    options.root = root;
    options.packing = packing;
    // Tests end their connections; a forgotten one must not hold a thread long.
    options.idleMs = 10000;
    return options;
}

}  // namespace

TestServer::TestServer(testserver::Packing packing)
    : PageServer(optionsFor(folder.path(), packing)) {
    std::string error;
    started_ = start(&error);
    if (!started_) ADD_FAILURE() << "test server did not start: " << error;
}

void TestServer::writePage(const std::string& relativePath, std::string_view bytes) {
    const std::filesystem::path file = root() / relativePath;
    ASSERT_TRUE(makeDirectories(file.parent_path())) << file;
    ASSERT_TRUE(writeFileAtomic(file, bytes)) << file;
}

std::vector<std::string> TestServer::queriesFor(const std::string& path) const {
    std::vector<std::string> queries;
    for (const testserver::ReceivedRequest& r : requests()) {
        if (r.target.path != path) continue;
        std::string query = r.target.query;
        const size_t ids = query.find("pageid=");
        if (ids != std::string::npos) query.erase(ids == 0 ? 0 : ids - 1);
        queries.push_back(query);
    }
    return queries;
}

}  // namespace zq::test
