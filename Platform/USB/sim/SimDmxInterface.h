#pragma once

// A simulated USB DMX interface (vendor 0x0AD5, product 0x0004): one interrupt IN and one interrupt OUT
// pipe of 64-byte reports, and the two timing vendor requests. Written from the interface's wire rules,
// independently of the application's codec, so that each checks the other.
//
// Reports: byte 0 is 0x00, then up to 7 groups of a flag byte and 8 data bytes; flag bit i marks data
// byte i of its group as the start code of a new frame.

#include <cstdint>
#include <deque>
#include <vector>

#include "Platform/USB/sim/SimUsbHost.h"

namespace plat::sim {

class SimDmxInterface : public SimUsbDevice {
public:
    static constexpr uint16_t kVendor = 0x0AD5;
    static constexpr uint16_t kProduct = 0x0004;
    static constexpr uint8_t kInEndpoint = 1;
    static constexpr uint8_t kOutEndpoint = 2;

    // A device at path "usb:<bus>-<port>"; an empty serial makes one that reports none.
    static Ref<SimDmxInterface> Make(uint8_t bus, uint8_t port, const char* serial,
                                     uint16_t release = 0x0104);
    // The same behind hubs: "usb:<bus>-<p1>.<p2>...".
    static Ref<SimDmxInterface> Make(uint8_t bus, const std::vector<uint8_t>& ports, const char* serial,
                                     uint16_t release = 0x0104);

    // Frames decoded from every OUT transfer so far, and the transfers' raw bytes.
    std::vector<std::vector<uint8_t>> Frames() const;
    std::vector<std::vector<uint8_t>> Writes() const;
    // Reports of OUT transfers that broke the format (byte 0 not 0x00, a report past 64 bytes).
    uint32_t BadReports() const;

    // Setup packets received, and the payload of each (sent for a set, returned for a get).
    std::vector<UsbSetup> Setups() const;
    std::vector<std::vector<uint8_t>> ControlData() const;
    // The timing the device holds (what a get returns); a set stores its first three bytes.
    void SetTiming(uint16_t brk, uint16_t mab, uint16_t mbs);
    // How many bytes a get returns (6 normally).
    void SetGetReplyLength(uint32_t length);

    // Queues IN reports; each completes the oldest pending read, now or when one arrives.
    void SendReports(const std::vector<std::vector<uint8_t>>& reports);
    size_t QueuedReports() const;

    // Reports that carry the frames back to back, every report full except the last.
    static std::vector<std::vector<uint8_t>> EncodeFrames(const std::vector<std::vector<uint8_t>>& frames);

protected:
    SimDmxInterface(const UsbDeviceInfo& info, std::vector<UsbPipeInfo> pipes)
        : SimUsbDevice(info, std::move(pipes)) {}
    void OnWrite(uint8_t endpoint, const uint8_t* data, uint32_t length) override;
    UsbStatus OnControl(const UsbSetup& setup, uint8_t* data, uint32_t& transferred) override;
    void OnReadQueued() override;

private:
    void FeedLocked();

    std::vector<std::vector<uint8_t>> fFrames, fWrites, fControlData;
    std::vector<UsbSetup> fSetups;
    std::deque<std::vector<uint8_t>> fInQueue;
    uint32_t fBadReports = 0;
    uint16_t fTiming[3] = {0, 0, 0};
    uint32_t fGetReplyLength = 6;
};

}  // namespace plat::sim
