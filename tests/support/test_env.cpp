#include "tests/support/test_env.h"

#include <cstdlib>
#include <random>
#include <system_error>

namespace zq::test {

std::filesystem::path sourceDir() {
    if (const char* env = std::getenv("ZQ_SOURCE_DIR")) return env;
    return ZQ_SOURCE_DIR;
}

std::filesystem::path testOutputDir() {
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "zq-test-output";
    if (const char* binary = std::getenv("ZQ_BINARY_DIR")) {
        folder = std::filesystem::path(binary) / "test-output";
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return folder;
}

TempDir::TempDir() {
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("zqtest-" + std::to_string(rd()));
        std::error_code ec;
        if (std::filesystem::create_directory(path_, ec)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace zq::test
