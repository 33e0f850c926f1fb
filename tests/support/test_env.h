// Paths and scratch folders for tests.
#pragma once

#include <filesystem>
#include <string>

namespace zq::test {

// The repository root (from ZQ_SOURCE_DIR).
std::filesystem::path sourceDir();

// Where tests leave pictures for a person to look at:
// ZQ_BINARY_DIR/test-output when ctest runs them, else the system temp folder.
std::filesystem::path testOutputDir();

// A fresh empty folder under the system temp folder, removed when the
// object goes out of scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

}  // namespace zq::test
