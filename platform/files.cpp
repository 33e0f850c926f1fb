#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <system_error>
#include <vector>

#include "platform/cstring.h"

namespace zq {

namespace fs = std::filesystem;

namespace {

class UniqueFd {
public:
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int get() const { return fd_; }
    // Closes now and reports the result; close can report a write error.
    bool reset() {
        int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool equalsAsciiNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) return false;
    }
    return true;
}

std::vector<std::string_view> splitComponents(std::string_view path) {
    std::vector<std::string_view> parts;
    size_t begin = 0;
    for (size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/' || path[i] == '\\') {
            parts.push_back(path.substr(begin, i - begin));
            begin = i + 1;
        }
    }
    return parts;
}

// The entry of `folder` named `name` without regard to case: the exact
// spelling when it exists, else the first matching name in sorted order so
// the choice does not depend on directory order.
std::optional<std::string> findEntryNoCase(const fs::path& folder, std::string_view name) {
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder / name, ec))) return std::string(name);
    std::optional<std::string> best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string entry = it->path().filename().string();
        if (equalsAsciiNoCase(entry, name) && (!best || entry < *best)) best = std::move(entry);
    }
    return best;
}

// `base` followed by `components`, each matched without regard to case
// while the folders on the way exist.
fs::path findNoCase(const fs::path& base, const std::vector<std::string_view>& components) {
    fs::path result = base;
    bool exists = true;
    for (std::string_view part : components) {
        if (exists) {
            std::optional<std::string> found = findEntryNoCase(result, part);
            exists = found.has_value();
            result /= found ? *found : std::string(part);
        } else {
            result /= part;
        }
    }
    return result;
}

std::atomic<unsigned> tempCounter{0};
constexpr std::string_view kTempMark = ".zqtmp-";

// The process that made temporary file `name` (".NAME.zqtmp-PID-N"), 0 when
// the name is not one of them.
long tempFileOwner(std::string_view name) {
    if (name.empty() || name.front() != '.') return 0;
    const size_t mark = name.rfind(kTempMark);
    if (mark == std::string_view::npos) return 0;
    const std::string_view rest = name.substr(mark + kTempMark.size());
    const size_t dash = rest.find('-');
    if (dash == std::string_view::npos || dash + 1 >= rest.size()) return 0;
    long pid = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + dash, pid);
    if (error != std::errc() || end != rest.data() + dash || pid <= 0) return 0;
    unsigned counter = 0;
    const auto [end2, error2] =
        std::from_chars(rest.data() + dash + 1, rest.data() + rest.size(), counter);
    if (error2 != std::errc() || end2 != rest.data() + rest.size()) return 0;
    return pid;
}

bool processRuns(long pid) {
    return pid == static_cast<long>(::getpid()) || ::kill(static_cast<pid_t>(pid), 0) == 0 ||
           errno == EPERM;
}

// Creates a new, empty file next to `path` for writing.
std::pair<UniqueFd, fs::path> createTempFile(const fs::path& path) {
    fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::string stem(1, '.');
    stem += path.filename().string();
    stem += ".zqtmp-";
    stem += std::to_string(::getpid());
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path temp = folder / (stem + "-" + std::to_string(tempCounter.fetch_add(1)));
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) return {UniqueFd(fd), temp};
        if (errno != EEXIST) break;
    }
    return {UniqueFd(-1), fs::path()};
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void syncFolder(const fs::path& path) {
    fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0) ::fsync(fd.get());
}

// True when `path`, with every symbolic link on it followed, still lies in
// `folder` (itself followed too): a link must not lead a confined name out.
bool staysInside(const fs::path& folder, const fs::path& path) {
    std::error_code ec;
    const fs::path base = fs::weakly_canonical(folder, ec);
    if (ec) return false;
    const fs::path real = fs::weakly_canonical(path, ec);
    if (ec) return false;
    const fs::path inside = real.lexically_relative(base);
    return !inside.empty() && *inside.begin() != ".." && inside != ".";
}

}  // namespace

std::optional<std::string> readFile(const fs::path& path, size_t maxBytes) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    if (st.st_size < 0 || static_cast<uintmax_t>(st.st_size) > maxBytes) return std::nullopt;
    std::string bytes;
    bytes.resize(static_cast<size_t>(st.st_size));
    size_t used = 0;
    // The file may change while it is read: stop at the cap, not at st_size.
    for (;;) {
        if (used == bytes.size()) {
            if (bytes.size() >= maxBytes) {
                char probe;
                ssize_t n = ::read(fd.get(), &probe, 1);
                if (n < 0 && errno == EINTR) continue;
                if (n != 0) return std::nullopt;
                break;
            }
            bytes.resize(std::min(maxBytes, std::max<size_t>(bytes.size() * 2, 4096)));
        }
        ssize_t n = ::read(fd.get(), bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        used += static_cast<size_t>(n);
    }
    bytes.resize(used);
    return bytes;
}

bool writeFileAtomic(const fs::path& path, std::string_view bytes) {
    if (path.filename().empty()) return false;
    // Settings are saved on every start, mostly unchanged: a file that
    // already holds these bytes is left alone, which spares its syncs.
    if (const auto held = readFile(path, bytes.size()); held && *held == bytes) return true;
    auto [fd, temp] = createTempFile(path);
    if (fd.get() < 0) return false;
    bool ok = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    ok = fd.reset() && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0) {
        syncFolder(path);
        return true;
    }
    ::unlink(temp.c_str());
    return false;
}

size_t removeStaleTempFiles(const fs::path& folder) {
    size_t removed = 0;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const long owner = tempFileOwner(it->path().filename().string());
        if (owner == 0 || processRuns(owner)) continue;
        std::error_code ignored;
        if (it->is_regular_file(ignored) && ::unlink(it->path().c_str()) == 0) ++removed;
    }
    return removed;
}

bool makeDirectories(const fs::path& folder) {
    std::error_code ec;
    fs::create_directories(folder, ec);
    return fs::is_directory(folder, ec);
}

std::optional<fs::path> resolveConfined(const fs::path& baseFolder, std::string_view relativePath) {
    if (relativePath.empty() || relativePath.front() == '/' || relativePath.front() == '\\' ||
        relativePath.find_first_of(std::string_view(":\0", 2)) != std::string_view::npos) {
        return std::nullopt;
    }
    std::vector<std::string_view> parts;
    for (std::string_view part : splitComponents(relativePath)) {
        if (part.empty() || part == ".") continue;
        if (part != "..") {
            parts.push_back(part);
        } else if (parts.empty()) {
            return std::nullopt;  // leaves the folder
        } else {
            parts.pop_back();
        }
    }
    if (parts.empty()) return std::nullopt;
    fs::path found = findNoCase(baseFolder, parts);
    if (!staysInside(baseFolder, found)) return std::nullopt;
    return found;
}

std::optional<fs::path> resolveConfined(const fs::path& baseFolder, const CString& relativePath) {
    return resolveConfined(baseFolder, relativePath.toUtf8());
}

ExclusiveFileLock::ExclusiveFileLock(const fs::path& file)
    : fd_(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    held_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
}

ExclusiveFileLock::~ExclusiveFileLock() {
    if (fd_ >= 0) ::close(fd_);
}

fs::path defaultDeviceRoot() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return fs::path(xdg) / "zqclient";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return fs::path(home) / ".local" / "share" / "zqclient";
    return fs::path("zqclient");
}

DeviceFiles::DeviceFiles(fs::path root) : root_(std::move(root)) {}

fs::path DeviceFiles::hostPath(std::string_view devicePath) const {
    devicePath = devicePath.substr(0, devicePath.find('\0'));
    std::vector<std::string_view> parts;
    for (std::string_view part : splitComponents(devicePath)) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    return findNoCase(root_, parts);
}

fs::path DeviceFiles::hostPath(const CString& devicePath) const {
    return hostPath(devicePath.toUtf8());
}

// ---------------------------------------------------------------------------
// Program folder installation

namespace {

// What identifies one state of a file: rewriting it in place changes the
// time, replacing it through a rename changes the inode.
struct FileStamp {
    uintmax_t size = 0;
    int64_t mtimeNs = 0;
    uintmax_t inode = 0;
    bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> stampOf(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    FileStamp stamp;
    stamp.size = static_cast<uintmax_t>(st.st_size);
    stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.inode = static_cast<uintmax_t>(st.st_ino);
    return stamp;
}

// One installed file: the shipped file's time when it was copied and the
// stamp of the copy just after.
struct InstalledFile {
    int64_t shippedMtimeNs = 0;
    FileStamp copy;
};

// Manifest lines: "shippedMtime size mtime inode relative/path". The name
// comes last so that it may hold spaces.
using Manifest = std::map<std::string, InstalledFile>;

constexpr size_t kMaxManifestBytes = 4u * 1024 * 1024;
constexpr size_t kMaxShippedFileBytes = 64u * 1024 * 1024;

template <class T>
bool takeNumber(std::string_view& line, T& value) {
    auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (ec != std::errc() || end == line.data() + line.size() || *end != ' ') return false;
    line.remove_prefix(static_cast<size_t>(end - line.data()) + 1);
    return true;
}

// Lines that do not parse are dropped: their files then count as the
// client's own and are kept, which is the safe side.
Manifest parseManifest(std::string_view text) {
    Manifest manifest;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        InstalledFile file;
        if (takeNumber(line, file.shippedMtimeNs) && takeNumber(line, file.copy.size) &&
            takeNumber(line, file.copy.mtimeNs) && takeNumber(line, file.copy.inode) &&
            !line.empty()) {
            manifest[std::string(line)] = file;
        }
    }
    return manifest;
}

std::string formatManifest(const Manifest& manifest) {
    std::string text;
    for (const auto& [name, file] : manifest) {
        text += std::to_string(file.shippedMtimeNs) + ' ' + std::to_string(file.copy.size) + ' ' +
                std::to_string(file.copy.mtimeNs) + ' ' + std::to_string(file.copy.inode) + ' ' +
                name + '\n';
    }
    return text;
}

enum class InstallStep { Copy, Keep, ClientOwned };

InstallStep decide(const FileStamp& shipped, const std::optional<FileStamp>& installed,
                   const InstalledFile* recorded) {
    if (!installed) return InstallStep::Copy;
    if (!recorded || !(recorded->copy == *installed)) return InstallStep::ClientOwned;
    return shipped.mtimeNs > recorded->shippedMtimeNs ? InstallStep::Copy : InstallStep::Keep;
}

}  // namespace

bool DeviceFiles::installProgramFolder(const fs::path& resourcesDir) const {
    std::error_code ec;
    if (!fs::is_directory(resourcesDir, ec)) return true;
    const fs::path program = programFolder();
    if (!makeDirectories(program)) return false;
    const fs::path manifestPath = program / kInstallManifestName;
    Manifest manifest = parseManifest(readFile(manifestPath, kMaxManifestBytes).value_or(""));
    bool changed = false;
    bool ok = true;

    fs::recursive_directory_iterator it(resourcesDir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        std::string rel = it->path().lexically_relative(resourcesDir).generic_string();
        if (rel.empty() || rel == kInstallManifestName ||
            rel.find_first_of("\r\n") != std::string::npos) {
            continue;
        }
        std::optional<FileStamp> shipped = stampOf(it->path());
        if (!shipped) continue;
        fs::path target = findNoCase(program, splitComponents(rel));
        auto recorded = manifest.find(rel);
        InstallStep step = decide(*shipped, stampOf(target),
                                  recorded == manifest.end() ? nullptr : &recorded->second);
        if (step == InstallStep::Keep) continue;
        if (step == InstallStep::ClientOwned) {
            if (recorded != manifest.end()) {
                manifest.erase(recorded);
                changed = true;
            }
            continue;
        }
        std::optional<std::string> bytes = readFile(it->path(), kMaxShippedFileBytes);
        std::optional<FileStamp> copy;
        if (bytes && makeDirectories(target.parent_path()) && writeFileAtomic(target, *bytes)) {
            copy = stampOf(target);
        }
        if (!copy) {
            ok = false;
            continue;
        }
        manifest[rel] = InstalledFile{shipped->mtimeNs, *copy};
        changed = true;
    }
    if (ec) ok = false;
    if (changed && !writeFileAtomic(manifestPath, formatManifest(manifest))) ok = false;
    return ok;
}

// ---------------------------------------------------------------------------
// The current device

namespace {
std::atomic<const DeviceFiles*> currentFiles{nullptr};
}  // namespace

const DeviceFiles& DeviceFiles::current() {
    const DeviceFiles* files = currentFiles.load(std::memory_order_acquire);
    if (!files) {
        std::fputs("DeviceFiles::current: no device folder installed\n", stderr);
        std::abort();
    }
    return *files;
}

bool DeviceFiles::hasCurrent() { return currentFiles.load(std::memory_order_acquire) != nullptr; }

CurrentDeviceFiles::CurrentDeviceFiles(const DeviceFiles& files)
    : previous_(currentFiles.exchange(&files, std::memory_order_acq_rel)) {}

CurrentDeviceFiles::~CurrentDeviceFiles() {
    currentFiles.store(previous_, std::memory_order_release);
}

}  // namespace zq
