// Bringing the handset's data connection up before requests are sent.
//
// The handset dials through its own dial library. DialLibrary is that
// library's seven entries; OsDialBinding binds them once, picks the dialling
// mode by the handset model and turns the library's result codes into the
// texts the user is shown; ConnectionDialer owns one binding and is what the
// rest of the client asks. DiallingDeviceServices puts a dialer in front of
// the platform's device services, so the session and start-up reach it through
// deviceServices() (platform/device_services.h).
//
// The handset model is the first line of the device file
// "\DBData\SysConfig\sver.bin": the text after its last '.', cut at the first
// '-', names the model ("PHONE.Z3H-20240101" is model "Z3H"). Model kHiddenModeModel
// dials in hidden mode, every other one in selection mode. A file that cannot
// be read shows "打开手机型号文件失败！" once and dials in selection mode.
// DiallingDeviceServices gives a device folder without the file one naming
// kSimulatorModelLine (selection mode), as a handset ships it; to produce the
// box, make the file a folder.
//
// The Linux stand-in for the dial library (DeviceIniDialLibrary) reads
// DIR/device.ini afresh on every call (DIR = the device root), so every result,
// prompt and message can be produced on purpose:
//   data-connection = down       no connection is up until a dial succeeds
//                                (default: up)
//   dial-library = missing       the library cannot be loaded
//   dial-missing-entry = NAME    the entry NAME (Dial, RasDialEx, IsConnected,
//                                IsConnecting, DisconnectedEx, RasDialDmEx,
//                                DialDefCon) cannot be found
//   dial-result = N              the dial entries answer N (-6 .. 2 or any other
//                                number); default 2, or -2 when fail-dial = true
//   dial-connected = false       IsConnected answers 0 (result 1 then means
//                                "still dialling")
//   dial-connection-name = TEXT  the connection name the dial fills in
//                                (default "Internet")
//   dial-disconnect-polls = N    after a hang-up, IsConnecting still answers
//                                non-zero N times (default 0)
// A dial answering 1 or 2 brings the connection up for the rest of the run;
// a hang-up takes it down. The question after result -4 is answered by the user
// (a key script's "answer yes" / "answer no").
//
// Threads: every member may be called from any thread; message boxes are shown
// with platform/message_box.h from the calling thread.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/cstring.h"
#include "platform/device_services.h"
#include "platform/message_box.h"

namespace zq {

// The result codes of the dial entries.
enum DialResult : int {
    kDialPortBusy = -6,           // the port is held by another dial
    kDialEnumerationFailed = -5,  // the active dials could not be listed
    kDialOtherConnected = -4,     // another dial is up; ask whether to hang it up
    kDialNoCommunication = -3,
    kDialNoConnection = -2,  // no dial connection is configured
    kDialUserCancelled = -1,
    kDialNotStarted = 0,  // another dial is starting, or an unknown error
    kDialStarted = 1,     // up when IsConnected says so, else still dialling
    kDialEstablished = 2,
};

// The handset model that dials in hidden mode.
inline constexpr const char* kHiddenModeModel = "Z3H";
// The device file naming the handset model.
inline constexpr const char* kPhoneModelFile = "\\DBData\\SysConfig\\sver.bin";
// What a new device folder's model file holds.
inline constexpr const char* kSimulatorModelLine = "LINUX.SIM-20240101";
// The network id dialDataConnection asks for: the handset's Internet destination.
inline constexpr const char* kInternetNetworkId = "{436EF144-B4FB-4863-A041-8F905A62C572}";

// The handset's dial library. Entries the library lacks are reported by
// hasEntry; calling a missing entry is a bug of the caller.
class DialLibrary {
public:
    enum class Entry {
        Dial,
        RasDialEx,
        IsConnected,
        IsConnecting,
        DisconnectedEx,
        RasDialDmEx,
        DialDefCon,
    };
    // "Dial", "RasDialEx", ... as in device.ini.
    static const char* entryName(Entry entry);

    virtual ~DialLibrary() = default;
    virtual bool hasEntry(Entry entry) const = 0;
    // Selection-mode dial; fills `connectionName`. A DialResult or other code.
    virtual int rasDialEx(int dialArgument, CString& connectionName) = 0;
    // Hidden-mode dial; fills `connectionName`.
    virtual int rasDialDmEx(int dialArgument, CString& connectionName) = 0;
    virtual bool isConnected() = 0;
    // True while the named connection is connecting or up.
    virtual bool isConnecting(const CString& connectionName) = 0;
    // Hangs up.
    virtual void disconnectedEx() = 0;
};

// Loads the library; nullptr when it cannot be loaded.
using DialLibraryLoader = std::function<std::unique_ptr<DialLibrary>()>;

// Shows a box: (text, caption, type) -> one of the MessageBoxResult codes.
using DialPromptFn =
    std::function<int(const CString& text, const CString& caption, MessageBoxType type)>;

// The Linux stand-in for the handset's library, driven by DIR/device.ini (see
// above). The connection brought up by a dial is kept in this object.
class DeviceIniDialLibrary : public DialLibrary {
public:
    // nullptr when device.ini says "dial-library = missing".
    static std::unique_ptr<DialLibrary> load(const std::filesystem::path& deviceRoot);

    explicit DeviceIniDialLibrary(std::filesystem::path deviceRoot);

    bool hasEntry(Entry entry) const override;
    int rasDialEx(int dialArgument, CString& connectionName) override;
    int rasDialDmEx(int dialArgument, CString& connectionName) override;
    bool isConnected() override;
    bool isConnecting(const CString& connectionName) override;
    void disconnectedEx() override;

private:
    int dial(CString& connectionName);
    // device.ini, read again only when the file changed: the connection is
    // asked about before every request.
    std::map<std::string, std::string> config() const;

    std::filesystem::path root_;
    mutable std::mutex configMutex_;
    mutable bool configRead_ = false;
    mutable std::optional<std::tuple<int64_t, int64_t, uint64_t>> configStamp_;
    mutable std::map<std::string, std::string> config_;
    std::mutex mutex_;
    bool dialledUp_ = false;
    bool hungUp_ = false;  // a hang-up also takes down a connection device.ini calls up
    int pollsLeft_ = 0;    // non-zero answers still owed after a hang-up
};

struct DialerOptions {
    std::filesystem::path deviceRoot;             // where kPhoneModelFile and device.ini are
    DialLibraryLoader loadLibrary;                // empty: DeviceIniDialLibrary::load(deviceRoot)
    DialPromptFn prompt;                          // empty: messageBox
    std::chrono::milliseconds pollInterval{500};  // between polls after a hang-up
};

// The model text of the first line of the model file: after the last '.', cut
// at the first '-' after it, at most 128 characters. nullopt without a '.'.
std::optional<CString> phoneModelText(std::string_view firstLine);

// The bound library: made once, its mode and entries fixed at construction.
class OsDialBinding {
public:
    // Reads the handset model, then loads and binds the library; failures are
    // shown as they happen.
    explicit OsDialBinding(const DialerOptions& options);

    bool libraryLoaded() const { return library_ != nullptr; }
    bool hiddenMode() const { return hiddenMode_; }
    // The text of the last outcome (also when no box showed it).
    CString message() const;
    CString connectionName() const;

    // Dials in the binding's mode. True when the connection is (being) made
    // usable: result 2, result 1 with IsConnected, or -4 answered Yes and the
    // old dial gone within 50 polls.
    bool dial(int dialArgument);
    // IsConnecting(connection name); false when the library is not usable.
    bool connectionUp();
    // DisconnectedEx, when the library is loaded.
    void disconnect();
    void clearMessage();

private:
    bool readPhoneModel(const std::filesystem::path& modelFile);
    bool bindLibrary(const DialLibraryLoader& loader);
    bool actOnResult(int result, const CString& caption);
    bool replaceOtherDial();
    int show(const CString& text, const CString& caption, MessageBoxType type);
    void setMessage(const CString& text);

    DialPromptFn prompt_;
    std::chrono::milliseconds pollInterval_;
    mutable std::mutex mutex_;  // guards message_ and connectionName_
    CString message_;
    CString connectionName_;
    bool hiddenMode_ = false;
    std::unique_ptr<DialLibrary> library_;  // null when not loaded or an entry is missing
};

// One per process in practice (see DiallingDeviceServices). The binding is
// made on first use; the destructor hangs up.
class ConnectionDialer {
public:
    explicit ConnectionDialer(DialerOptions options);
    ~ConnectionDialer();
    ConnectionDialer(const ConnectionDialer&) = delete;
    ConnectionDialer& operator=(const ConnectionDialer&) = delete;

    // True when the data connection is up; false when the library is unusable.
    bool connect();
    // Dials; `networkId` is accepted and not used. True on success.
    bool dial(const CString& networkId);
    // Dials kInternetNetworkId; on failure shows "网络拨号失败，..." (caption
    // "提示信息").
    bool dialDataConnection();

    OsDialBinding& binding();

private:
    DialerOptions options_;
    std::once_flag made_;
    std::unique_ptr<OsDialBinding> binding_;
};

// Device services whose data connection is the dialer's; everything else goes
// to `inner`, which must outlive this object.
class DiallingDeviceServices : public DeviceServices {
public:
    // Writes the model file when the device folder lacks it (see above).
    DiallingDeviceServices(DeviceServices& inner, DialerOptions options);

    bool dataConnectionUp() override;
    bool dialDataConnection() override;
    std::optional<DeviceIdentity> identity() override;
    bool sendSms(const CString& number, const CString& text) override;
    bool dialVoiceCall(const CString& number) override;
    std::optional<std::vector<CString>> pickContacts(int maxCount) override;
    bool openBrowser(const CString& link) override;

    ConnectionDialer& dialer() { return dialer_; }

private:
    DeviceServices& inner_;
    ConnectionDialer dialer_;
};

// Through the installed device services (deviceServices()); with none
// installed the connection counts as up and a dial fails.
bool checkDataConnection();
bool dialDataConnection();

}  // namespace zq
