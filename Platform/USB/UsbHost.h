#pragma once

// USB devices for the application: listing and matching, hot-plug watches, opening a device and one
// of its interfaces, and asynchronous transfers on its pipes.
//
// A UsbHost is a process-wide backend (libusb on Linux, a simulated bus in tests); Current() is the one
// in use. A device is named by a path "usb:<bus>-<port>.<port>..." (the same form as the kernel's sysfs
// names); "usb:<bus>-<ports>:<configuration>.<interface>" names one interface of it.
//
// Ownership: an opened UsbDevice or claimed UsbInterface belongs to its caller (unique_ptr). Transfer
// buffers and contexts are borrowed until their completion arrives.
// Threads: listing and opening from any thread. Completions and watch callbacks run on the run loop
// given when the interface was claimed or the watch made, never inside the call that submitted.
// HandleEvents and Close may be called from that loop's thread, Close from any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace plat {

class RunLoop;

constexpr uint16_t kUsbAny = 0xFFFF;

// Device criteria; kUsbAny leaves a field out.
struct UsbMatch {
    uint16_t vendor = kUsbAny;
    uint16_t product = kUsbAny;
    uint16_t deviceClass = kUsbAny;
    uint16_t deviceSubClass = kUsbAny;
};

struct UsbDeviceInfo {
    std::string path;
    uint16_t vendor = 0;
    uint16_t product = 0;
    uint8_t deviceClass = 0;
    uint8_t deviceSubClass = 0;
    uint16_t releaseNumber = 0;  // bcdDevice
    std::string serial;          // empty when the device reports none or it cannot be read
    uint32_t locationId = 0;     // bus in the top byte, then one port number per nibble
};

bool Matches(const UsbMatch& match, const UsbDeviceInfo& info);
// The bus and up to 6 port numbers (1..15 each) as a location id; ports past that or above 15 give 0.
uint32_t MakeLocationId(uint8_t bus, const uint8_t* ports, int count);
// The location id as 8 uppercase hexadecimal digits.
std::string FormatLocationId(uint32_t locationId);
// "usb:<bus>-<p1>.<p2>...", and ":<config>.<interface>" when interface >= 0.
std::string MakeUsbPath(uint8_t bus, const uint8_t* ports, int count, int configuration = -1,
                        int interface = -1);

// A parsed device path. interface < 0 when the path names the whole device.
struct UsbPath {
    uint8_t bus = 0;
    uint8_t ports[7] = {};
    int portCount = 0;
    int configuration = -1;
    int interface = -1;
};
[[nodiscard]] bool ParseUsbPath(const char* text, UsbPath& out);

enum class UsbOpenResult : uint8_t {
    kOk,
    kFailed,
    kNoDevice,      // nothing at the path
    kExclusive,     // another program or a kernel driver holds it
    kAccessDenied,  // no permission for the device node
};

// bmAttributes transfer types and directions as the descriptors give them.
enum : uint8_t { kUsbControl = 0, kUsbIsochronous = 1, kUsbBulk = 2, kUsbInterrupt = 3 };
enum : uint8_t { kUsbOut = 0, kUsbIn = 1 };

struct UsbPipeInfo {
    uint8_t type = 0;
    uint8_t direction = 0;
    uint8_t endpoint = 0;  // number without the direction bit
    uint16_t maxPacket = 0;
};

struct UsbSetup {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

enum class UsbStatus : uint8_t { kDone, kFailed, kAborted, kStalled, kNoDevice };

struct UsbCompletion {
    UsbStatus status = UsbStatus::kFailed;
    uint32_t transferred = 0;  // never more than the length submitted
};
using UsbCallback = void (*)(void* context, const UsbCompletion& completion);

// A claimed interface with its pipes (pipe references 1..PipeCount, in descriptor order).
class UsbInterface {
public:
    virtual ~UsbInterface() = default;

    virtual uint8_t PipeCount() const = 0;
    [[nodiscard]] virtual bool GetPipe(uint8_t pipe, UsbPipeInfo& out) const = 0;
    virtual uint16_t ReleaseNumber() const = 0;

    // False when the transfer was refused; then no completion follows.
    [[nodiscard]] virtual bool Read(uint8_t pipe, uint8_t* buffer, uint32_t length, UsbCallback callback,
                                    void* context) = 0;
    [[nodiscard]] virtual bool Write(uint8_t pipe, const uint8_t* buffer, uint32_t length,
                                     UsbCallback callback, void* context) = 0;
    // On the default pipe; data holds setup.length bytes (sent, or filled by a device-to-host request).
    [[nodiscard]] virtual bool Control(const UsbSetup& setup, uint8_t* data, UsbCallback callback,
                                       void* context) = 0;
    // Pending transfers of the pipe complete as aborted (pipe 0: every transfer).
    virtual void Abort(uint8_t pipe) = 0;
    // The loop's thread: handles what the backend has ready, waiting at most seconds for it.
    virtual void HandleEvents(double seconds) = 0;
    // Releases the interface and the device. Pending transfers are aborted first; after Close no
    // callback runs. Also done by the destructor.
    virtual void Close() = 0;
};

// An opened device, before one of its interfaces is claimed.
class UsbDevice {
public:
    virtual ~UsbDevice() = default;

    const UsbDeviceInfo& Info() const { return fInfo; }
    // The interface the opening path named, if any.
    int NamedInterface() const { return fNamedInterface; }

    // bConfigurationValue of the first configuration; false when it cannot be read.
    [[nodiscard]] virtual bool FirstConfiguration(uint8_t& value) = 0;
    [[nodiscard]] virtual bool SetConfiguration(uint8_t value) = 0;
    // The first interface of the active configuration; false while there is none (yet).
    [[nodiscard]] virtual bool FirstInterface(uint8_t& number) = 0;
    // Claims the interface; its completions run on loop. The device object is spent afterwards.
    [[nodiscard]] virtual UsbOpenResult ClaimInterface(uint8_t number, RunLoop* loop,
                                                       std::unique_ptr<UsbInterface>& out) = 0;

protected:
    UsbDeviceInfo fInfo;
    int fNamedInterface = -1;
};

// Arrival and removal reports for the devices of a match. The first callbacks after making one
// report the devices already present as arrived.
class UsbWatch {
public:
    enum Event : uint8_t { kArrived, kLeft };
    using Callback = void (*)(void* context, Event event, const UsbDeviceInfo& device);
    virtual ~UsbWatch() = default;
};

class UsbHost {
public:
    virtual ~UsbHost() = default;

    // The backend in use: the one installed by SetCurrent, else the libusb one, made on first use.
    static UsbHost& Current();
    // Tests install their host (borrowed; null goes back to the default).
    static void SetCurrent(UsbHost* host);

    // False when the backend could not start (no USB support); then it lists nothing.
    virtual bool IsAvailable() const = 0;
    virtual bool HasHotplug() const = 0;
    virtual std::vector<UsbDeviceInfo> Devices(const UsbMatch& match) = 0;
    [[nodiscard]] virtual UsbOpenResult Open(const char* path, std::unique_ptr<UsbDevice>& out) = 0;
    // Null when the backend cannot watch.
    virtual std::unique_ptr<UsbWatch> Watch(const UsbMatch& match, RunLoop* loop, UsbWatch::Callback callback,
                                            void* context) = 0;
};

// The line to show when opening failed for lack of permission.
const char* UsbAccessHint();

}  // namespace plat
