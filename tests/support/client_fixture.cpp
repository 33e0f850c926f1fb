#include "tests/support/client_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "platform/files.h"
#include "tests/support/spawn_client.h"

namespace zq::test {

std::filesystem::path clientBinary() {
    const char* binaryDir = std::getenv("ZQ_BINARY_DIR");
    if (!binaryDir) return {};
    return std::filesystem::path(binaryDir) / "app" / "zqclient";
}

std::string zqmlDocument(const std::string& inside) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<zqml>\n" + inside + "</zqml>\n";
}

uint32_t Shot::at(int x, int y) const {
    return image && x >= 0 && y >= 0 && x < image->width() && y < image->height()
               ? image->pixel(x, y) & 0xFFFFFF
               : 0xFFFFFFFFu;
}

int Shot::count(uint32_t colour, int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) n += at(x, y) == colour;
    }
    return n;
}

std::optional<Box> Shot::bounds(uint32_t colour, int x0, int y0, int x1, int y1, int least) const {
    Box box{x1, y1, x0, y0};
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (at(x, y) != colour) continue;
            ++n;
            box = {std::min(box.x0, x), std::min(box.y0, y), std::max(box.x1, x + 1),
                   std::max(box.y1, y + 1)};
        }
    }
    if (n < least || n == 0) return std::nullopt;
    return box;
}

int Shot::ink(int x0, int y0, int x1, int y1, uint32_t other) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) n += at(x, y) != background && at(x, y) != other;
    }
    return n;
}

bool Shot::any(int x0, int y0, int x1, int y1,
               const std::function<bool(int r, int g, int b)>& test) const {
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            const uint32_t p = at(x, y);
            if (p <= 0xFFFFFF && test((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF)) return true;
        }
    }
    return false;
}

void ClientFixture::SetUp() {
    binary_ = clientBinary();
    if (binary_.empty()) GTEST_SKIP() << "ZQ_BINARY_DIR is not set (run through ctest)";
    ASSERT_TRUE(std::filesystem::exists(binary_)) << binary_ << " is not built";
    ASSERT_TRUE(server_.started());
    ASSERT_TRUE(makeDirectories(resources()));
    writeConfig(serverLines());
}

std::string ClientFixture::host() const {
    return std::string(TestServer::gatewayAddress()) + ":" + std::to_string(server_.gatewayPort()) +
           ":" + std::to_string(server_.framedPort());
}

std::string ClientFixture::serverLines() const {
    return "sys-cm-iplist = " + host() +
           ":T:\ncli-wap-port = " + std::to_string(server_.gatewayPort()) + "\n";
}

void ClientFixture::writeConfig(const std::string& lines) const {
    std::ofstream(resources() / "ZQConfig.ini") << "[info-system]\n" << lines;
}

int ClientFixture::run(const std::string& script) {
    const std::filesystem::path keys = dir_.path() / "script.keys";
    std::ofstream(keys) << script;
    const std::string errPath = (dir_.path() / "stderr").string();
    const int exitCode = runChild(
        {binary_.string(), "--headless", "--device", device().string(), "--keys", keys.string()},
        "/dev/null", errPath);
    err_ = readFile(errPath).value_or("");
    return exitCode;
}

std::filesystem::path ClientFixture::shotPath(const std::string& name) const {
    return testOutputDir() / (shotPrefix_ + name + ".png");
}

std::string ClientFixture::shot(const std::string& name) const {
    return "screenshot " + shotPath(name).string() + "\n";
}

Shot ClientFixture::load(const std::string& name) const {
    return Shot{loadImageFile(shotPath(name).string()), pageBackground_};
}

}  // namespace zq::test
