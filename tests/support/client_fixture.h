// The built zqclient run headless against the in-process test server.
//
// A ClientFixture finds the client (skipping without ZQ_BINARY_DIR, as
// outside ctest), starts a TestServer and makes a device folder whose
// ZQConfig.ini names the server as the client's host. run() replays a key
// script and keeps the client's stderr; the screenshots a script takes go to
// the test output folder under the fixture's prefix, for a person to look
// at, and load back as Shots for pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "platform/image.h"
#include "tests/support/test_env.h"
#include "tests/support/test_server.h"

namespace zq::test {

// The built zqclient, or an empty path when ZQ_BINARY_DIR is not set.
std::filesystem::path clientBinary();

// A zqml file as a server sends it: the XML declaration, then `inside`
// the zqml element.
std::string zqmlDocument(const std::string& inside);

// A rectangle of a saved screen: x0 <= x < x1, y0 <= y < y1.
struct Box {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
    int centreX() const { return (x0 + x1) / 2; }
    int centreY() const { return (y0 + y1) / 2; }
};

// A saved screen, read pixel by pixel; places outside it read 0xFFFFFFFF.
struct Shot {
    ImageRef image;
    uint32_t background = 0;  // the page's own background colour

    uint32_t at(int x, int y) const;  // 0xRRGGBB
    // Pixels of `colour` inside the rectangle.
    int count(uint32_t colour, int x0, int y0, int x1, int y1) const;
    // The smallest box round the pixels of `colour` inside the rectangle;
    // nothing when fewer than `least` pixels have it.
    std::optional<Box> bounds(uint32_t colour, int x0, int y0, int x1, int y1, int least = 1) const;
    // Pixels that are neither the background nor `other`.
    int ink(int x0, int y0, int x1, int y1) const { return ink(x0, y0, x1, y1, background); }
    int ink(int x0, int y0, int x1, int y1, uint32_t other) const;
    // Whether a pixel inside the rectangle passes `test`.
    bool any(int x0, int y0, int x1, int y1,
             const std::function<bool(int r, int g, int b)>& test) const;
};

class ClientFixture : public ::testing::Test {
protected:
    // Screenshots are named `shotPrefix` + name + ".png"; loaded ones take
    // `pageBackground` as their background.
    explicit ClientFixture(std::string shotPrefix, uint32_t pageBackground = 0)
        : shotPrefix_(std::move(shotPrefix)), pageBackground_(pageBackground) {}

    void SetUp() override;

    // Script steps: the start-up is over; a page's reply is in.
    static constexpr const char* kStart = "idle 20000\n";
    static constexpr const char* kReply = "idle 10000\n";

    std::filesystem::path device() const { return dir_.path() / "device"; }
    std::filesystem::path program() const { return device() / "Program"; }
    std::filesystem::path resources() const { return program() / "ZQ Resource"; }
    // "ADDRESS:GATEWAY-PORT:FRAMED-PORT" of the server.
    std::string host() const;
    // The [info-system] lines that make the server the client's host.
    std::string serverLines() const;
    // Writes ZQConfig.ini with `lines` under [info-system]; SetUp writes
    // serverLines().
    void writeConfig(const std::string& lines) const;

    // Runs the client headless over `script`; its exit code. err_ holds
    // its stderr (the message boxes it answered among it).
    int run(const std::string& script);

    // How many requests the server got for `path`.
    int requestsFor(const std::string& path) const {
        int count = 0;
        for (const auto& request : server_.requests()) count += request.target.path == path;
        return count;
    }

    std::filesystem::path shotPath(const std::string& name) const;
    // The script line that saves the screen as `name`.
    std::string shot(const std::string& name) const;
    Shot load(const std::string& name) const;

    TempDir dir_;
    TestServer server_;
    std::filesystem::path binary_;
    std::string err_;

private:
    std::string shotPrefix_;
    uint32_t pageBackground_;
};

}  // namespace zq::test
