#include "Platform/USB/sim/SimDmxInterface.h"

#include <algorithm>
#include <cstring>

namespace plat::sim {

namespace {
constexpr uint32_t kReport = 64;
}

Ref<SimDmxInterface> SimDmxInterface::Make(uint8_t bus, uint8_t port, const char* serial, uint16_t release) {
    return Make(bus, std::vector<uint8_t>{port}, serial, release);
}

Ref<SimDmxInterface> SimDmxInterface::Make(uint8_t bus, const std::vector<uint8_t>& ports, const char* serial,
                                           uint16_t release) {
    const int count = int(ports.size());
    UsbDeviceInfo info;
    info.path = MakeUsbPath(bus, ports.data(), count);
    info.vendor = kVendor;
    info.product = kProduct;
    info.deviceSubClass = 2;
    info.releaseNumber = release;
    info.serial = serial ? serial : "";
    info.locationId = MakeLocationId(bus, ports.data(), count);
    std::vector<UsbPipeInfo> pipes = {{kUsbInterrupt, kUsbIn, kInEndpoint, 64},
                                      {kUsbInterrupt, kUsbOut, kOutEndpoint, 64}};
    return Adopt(new SimDmxInterface(info, std::move(pipes)));
}

std::vector<std::vector<uint8_t>> SimDmxInterface::Frames() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fFrames;
}
std::vector<std::vector<uint8_t>> SimDmxInterface::Writes() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fWrites;
}
uint32_t SimDmxInterface::BadReports() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fBadReports;
}
std::vector<UsbSetup> SimDmxInterface::Setups() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fSetups;
}
std::vector<std::vector<uint8_t>> SimDmxInterface::ControlData() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fControlData;
}
void SimDmxInterface::SetTiming(uint16_t brk, uint16_t mab, uint16_t mbs) {
    std::lock_guard<std::mutex> guard(fLock);
    fTiming[0] = brk;
    fTiming[1] = mab;
    fTiming[2] = mbs;
}
void SimDmxInterface::SetGetReplyLength(uint32_t length) {
    std::lock_guard<std::mutex> guard(fLock);
    fGetReplyLength = length;
}

void SimDmxInterface::OnWrite(uint8_t endpoint, const uint8_t* data, uint32_t length) {
    if (endpoint != kOutEndpoint) return;
    fWrites.emplace_back(data, data + length);
    // One transfer carries whole frames: each flagged byte starts one, the transfer's end closes the last.
    std::vector<uint8_t>* frame = nullptr;
    for (uint32_t report = 0; report < length; report += kReport) {
        const uint32_t end = std::min(length, report + kReport);
        if (data[report] != 0x00) ++fBadReports;
        for (uint32_t group = report + 1; group < end; group += 9) {
            const uint8_t flags = data[group];
            for (uint32_t i = 0; i < 8 && group + 1 + i < end; ++i) {
                if (flags & (1u << i)) {
                    fFrames.emplace_back();
                    frame = &fFrames.back();
                }
                if (frame) frame->push_back(data[group + 1 + i]);
            }
        }
    }
}

UsbStatus SimDmxInterface::OnControl(const UsbSetup& setup, uint8_t* data, uint32_t& transferred) {
    fSetups.push_back(setup);
    transferred = 0;
    if (setup.requestType == 0x42 && setup.request == 0x03 && setup.length == 4) {
        fControlData.emplace_back(data, data + 4);
        for (int i = 0; i < 3; ++i) fTiming[i] = data[i];
        transferred = 4;
        return UsbStatus::kDone;
    }
    if (setup.requestType == 0xC2 && setup.request == 0x00 && setup.length >= 6) {
        uint8_t reply[6];
        for (int i = 0; i < 3; ++i) {
            reply[2 * i] = uint8_t(fTiming[i]);
            reply[2 * i + 1] = uint8_t(fTiming[i] >> 8);
        }
        transferred = std::min<uint32_t>(fGetReplyLength, 6);
        std::memcpy(data, reply, transferred);
        fControlData.emplace_back(reply, reply + transferred);
        return UsbStatus::kDone;
    }
    fControlData.emplace_back();
    return UsbStatus::kStalled;
}

void SimDmxInterface::SendReports(const std::vector<std::vector<uint8_t>>& reports) {
    std::lock_guard<std::mutex> guard(fLock);
    for (const auto& r : reports) fInQueue.push_back(r);
    FeedLocked();
}

size_t SimDmxInterface::QueuedReports() const {
    std::lock_guard<std::mutex> guard(fLock);
    return fInQueue.size();
}

void SimDmxInterface::OnReadQueued() {
    FeedLocked();
}

void SimDmxInterface::FeedLocked() {
    while (!fInQueue.empty() && CountLocked(kRead) > 0) {
        std::vector<uint8_t> r = std::move(fInQueue.front());
        fInQueue.pop_front();
        CompleteLocked(kRead, 0, UsbStatus::kDone, r.data(), uint32_t(r.size()));
    }
}

std::vector<std::vector<uint8_t>> SimDmxInterface::EncodeFrames(
    const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<std::vector<uint8_t>> reports;
    std::vector<uint8_t>* report = nullptr;
    uint32_t flagAt = 0, inGroup = 8;
    for (const auto& frame : frames) {
        for (size_t b = 0; b < frame.size(); ++b) {
            if (inGroup == 8) {
                if (!report || report->size() + 9 > kReport) {
                    reports.emplace_back(1, 0x00);
                    report = &reports.back();
                }
                flagAt = uint32_t(report->size());
                report->push_back(0);
                inGroup = 0;
            }
            if (b == 0) (*report)[flagAt] |= uint8_t(1u << inGroup);
            report->push_back(frame[b]);
            ++inGroup;
        }
    }
    return reports;
}

}  // namespace plat::sim
