#pragma once

// A simulated USB bus behind the UsbHost interface, for tests. Devices are plugged and unplugged by the
// test; a device keeps the transfers submitted to it until its behaviour or the test completes them,
// in any order and with any status, and the completions reach the claiming loop's thread through a
// run-loop source, as the real backend's do.
//
// Test controls may be called from any thread. A device serves one claim at a time.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Platform/Foundation/Object.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/USB/UsbHost.h"

namespace plat::sim {

class SimUsbInterface;
class SimUsbHost;

class SimUsbDevice : public Object {
public:
    SimUsbDevice(const UsbDeviceInfo& info, std::vector<UsbPipeInfo> pipes);

    UsbDeviceInfo Info() const;
    const std::vector<UsbPipeInfo>& Pipes() const { return fPipes; }

    // Opens and claims then report exclusive use, or no permission.
    void SetBusy(bool busy);
    void SetAccessDenied(bool denied);
    // The first interface shows up only after this many looks (a device still settling).
    void SetInterfaceDelay(int looks);
    // Every transfer is refused at submission.
    void SetRefuseTransfers(bool refuse);
    // OUT transfers and control requests wait for the test instead of completing at once.
    void SetHoldWrites(bool hold);
    void SetHoldControls(bool hold);
    // Aborts leave the transfers pending (a backend that never gives them back).
    void SetIgnoreAbort(bool ignore);

    bool IsClaimed() const;
    size_t PendingReads() const;
    size_t PendingWrites() const;
    size_t PendingControls() const;
    // Completes the pending transfer at position (0 = oldest) of its kind. For reads the bytes are
    // copied into the buffer (cut to its length); transferred is their count.
    bool CompleteRead(size_t position, const std::vector<uint8_t>& bytes,
                      UsbStatus status = UsbStatus::kDone);
    bool CompleteWrite(size_t position, UsbStatus status = UsbStatus::kDone);
    bool CompleteControl(size_t position, UsbStatus status = UsbStatus::kDone);
    // Number of transfers submitted since plugging (refused ones included).
    uint32_t Submitted() const;

protected:
    ~SimUsbDevice() override;

    enum Kind : uint8_t { kRead, kWrite, kControl };
    struct Transfer {
        Kind kind = kRead;
        uint8_t pipe = 0;
        uint8_t* buffer = nullptr;
        uint32_t length = 0;
        UsbSetup setup;
        UsbCallback callback = nullptr;
        void* context = nullptr;
    };
    // Device behaviour, called with the device lock held.
    virtual void OnWrite(uint8_t endpoint, const uint8_t* data, uint32_t length);
    // Fills a device-to-host reply; returns the status and the byte count.
    virtual UsbStatus OnControl(const UsbSetup& setup, uint8_t* data, uint32_t& transferred);
    // A read was queued.
    virtual void OnReadQueued() {}

    // Lock held: the oldest pending transfer of a kind completes.
    bool CompleteLocked(Kind kind, size_t position, UsbStatus status, const uint8_t* bytes, uint32_t count);
    size_t CountLocked(Kind kind) const;

    mutable std::mutex fLock;

private:
    friend class SimUsbHost;
    friend class SimUsbDeviceHandle;
    friend class SimUsbInterface;

    bool Submit(SimUsbInterface* owner, const Transfer& t);
    void AbortLocked(uint8_t pipe);
    void Detach(SimUsbInterface* owner);
    void Unplugged();

    UsbDeviceInfo fInfo;
    std::vector<UsbPipeInfo> fPipes;
    bool fBusy = false, fDenied = false, fRefuse = false, fHoldWrites = false, fHoldControls = false;
    bool fIgnoreAbort = false, fPlugged = true;
    int fInterfaceDelay = 0;
    uint32_t fSubmitted = 0;
    SimUsbInterface* fClaim = nullptr;
    std::deque<Transfer> fPending;
};

// The simulated bus. Install it with UsbHost::SetCurrent for the code under test.
class SimUsbHost : public UsbHost {
public:
    SimUsbHost();
    ~SimUsbHost() override;

    // Adds a device (retained); watches report it.
    void Plug(SimUsbDevice* device);
    // Removes it: its pending transfers fail as gone, watches report it.
    void Unplug(SimUsbDevice* device);
    // Hot-plug can be switched off to test its absence.
    void SetHotplug(bool on) { fHotplug = on; }

    bool IsAvailable() const override { return true; }
    bool HasHotplug() const override { return fHotplug; }
    std::vector<UsbDeviceInfo> Devices(const UsbMatch& match) override;
    UsbOpenResult Open(const char* path, std::unique_ptr<UsbDevice>& out) override;
    std::unique_ptr<UsbWatch> Watch(const UsbMatch& match, RunLoop* loop, UsbWatch::Callback callback,
                                    void* context) override;

private:
    class SimWatch;
    void Report(UsbWatch::Event event, const UsbDeviceInfo& info);

    std::mutex fLock;
    std::vector<Ref<SimUsbDevice>> fDevices;
    std::vector<SimWatch*> fWatches;
    bool fHotplug = true;
};

}  // namespace plat::sim
