// The device's file system, kept in a folder of the host.
//
// A device path ("\UserData\MyStock.ini", "\windows\x.bmp",
// "\DBData\SysConfig\sver.bin") maps below the device root: backslashes and
// slashes both separate components, and each component that exists is found
// without regard to ASCII case (the exact spelling wins when several
// entries match). Components that do not exist keep the spelling given, so
// the path can be used to create the file. The program folder is
// ROOT/Program, filled from the repository's resources/ folder at start-up.
//
// Paths named by a page or a server never go through hostPath: they are
// confined to their folder by resolveConfined.
//
// All paths on the host side are std::filesystem::path holding UTF-8 names.
// Every function here may be called from any thread; DeviceFiles does not
// change after construction. Nothing throws: failures are returned.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zq {

class CString;

constexpr size_t kDefaultMaxFileBytes = 16u * 1024 * 1024;

// The whole file, or nullopt when it cannot be read, is not a regular file
// or holds more than `maxBytes` bytes.
std::optional<std::string> readFile(const std::filesystem::path& path,
                                    size_t maxBytes = kDefaultMaxFileBytes);

// Replaces `path` with `bytes` through a temporary file in the same folder
// that is synced and then renamed over it, so a reader sees the old file or
// the new one, never a mix. On failure the old file is left as it was, the
// temporary file is removed and false is returned. The folder must exist.
// A regular file that already holds exactly `bytes` is not written again.
bool writeFileAtomic(const std::filesystem::path& path, std::string_view bytes);

// Removes, below `folder` (without following links), the temporary files
// that writeFileAtomic leaves when its process dies between writing and
// renaming. Those of processes still running are kept. The count removed.
size_t removeStaleTempFiles(const std::filesystem::path& folder);

// Creates `folder` and its missing parents. True when it exists afterwards.
bool makeDirectories(const std::filesystem::path& folder);

// The host path of `relativePath` (a name from a page or a server, '/' or
// '\' separated) inside `baseFolder`, found without regard to case. A ".."
// component takes back the one before it. Refused (nullopt): an empty path or
// one naming only the folder itself, a leading separator, a ".." with nothing
// before it to take back, any ':' (drive letters, streams), NUL, and a path
// that a symbolic link on it leads out of the folder.
std::optional<std::filesystem::path> resolveConfined(const std::filesystem::path& baseFolder,
                                                     std::string_view relativePath);
std::optional<std::filesystem::path> resolveConfined(const std::filesystem::path& baseFolder,
                                                     const CString& relativePath);
inline std::optional<std::filesystem::path> resolveConfined(const std::filesystem::path& baseFolder,
                                                            const char* relativePath) {
    return resolveConfined(baseFolder, std::string_view(relativePath));
}

// $XDG_DATA_HOME/zqclient, else $HOME/.local/share/zqclient, else
// ./zqclient when neither is set to an absolute path.
std::filesystem::path defaultDeviceRoot();

// An exclusive lock on `file` (created when missing), held while the object
// lives; the system drops it when the process ends. Taken without waiting:
// held() is false when another holder has it.
class ExclusiveFileLock {
public:
    explicit ExclusiveFileLock(const std::filesystem::path& file);
    ~ExclusiveFileLock();
    ExclusiveFileLock(const ExclusiveFileLock&) = delete;
    ExclusiveFileLock& operator=(const ExclusiveFileLock&) = delete;
    bool held() const { return held_; }

private:
    int fd_;
    bool held_ = false;
};

class DeviceFiles {
public:
    // The root need not exist yet.
    explicit DeviceFiles(std::filesystem::path root);

    const std::filesystem::path& root() const { return root_; }
    std::filesystem::path programFolder() const { return root_ / kProgramFolderName; }

    // The host path of a device path. A path without a leading backslash
    // is taken from the root as well; "." is ignored and ".." never climbs
    // above the root. Text after a NUL is ignored.
    std::filesystem::path hostPath(std::string_view devicePath) const;
    std::filesystem::path hostPath(const CString& devicePath) const;
    std::filesystem::path hostPath(const char* devicePath) const {
        return hostPath(std::string_view(devicePath));
    }

    // Copies the shipped files under `resourcesDir` into the program folder:
    // files it lacks are added; a shipped file newer than the one installed
    // from it replaces it, unless the client has rewritten the installed
    // copy since (such files are never replaced). What was installed is
    // remembered in kInstallManifestName inside the program folder. A missing
    // `resourcesDir` installs nothing. False when any file could not be
    // written; the others are still installed. Not to be run concurrently.
    bool installProgramFolder(const std::filesystem::path& resourcesDir) const;

    static constexpr const char* kProgramFolderName = "Program";
    static constexpr const char* kInstallManifestName = ".zq-installed";

    // The process's device, installed by a CurrentDeviceFiles scope at
    // start-up. Asking for it when none is installed is a bug and aborts.
    static const DeviceFiles& current();
    static bool hasCurrent();

private:
    std::filesystem::path root_;
};

// Makes `files` the current device while the scope lives; the previous one
// (or none) is current again afterwards. `files` must outlive the scope.
// Install it before other threads start.
class CurrentDeviceFiles {
public:
    explicit CurrentDeviceFiles(const DeviceFiles& files);
    ~CurrentDeviceFiles();
    CurrentDeviceFiles(const CurrentDeviceFiles&) = delete;
    CurrentDeviceFiles& operator=(const CurrentDeviceFiles&) = delete;

private:
    const DeviceFiles* previous_;
};

}  // namespace zq
