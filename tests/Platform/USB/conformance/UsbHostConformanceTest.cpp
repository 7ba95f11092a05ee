// One suite for both USB backends, each showing the same test-bed interface: the simulated bus, and
// libusb under umockdev-run with conformance/fixtures/usbdmx.umockdev (a USB DMX interface behind a
// hub: bus 3, ports 2.4, serial "ODE00042", bcdDevice 1.04, subclass 2). umockdev emulates sysfs and
// udev, not transfers, so the suite covers listing, matching, opening by path and watches.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/USB/UsbHost.h"
#include "Platform/USB/libusb/LibusbHost.h"
#include "Platform/USB/sim/SimDmxInterface.h"

namespace {

struct Backend {
    const char* name;
    // Null with a reason when the backend cannot show the test bed here.
    std::unique_ptr<plat::UsbHost> (*make)(std::string& reason);
};

struct SimBed : plat::sim::SimUsbHost {
    SimBed() {
        device = plat::sim::SimDmxInterface::Make(3, std::vector<uint8_t>{2, 4}, "ODE00042", 0x0104);
        Plug(device.get());
    }
    plat::Ref<plat::sim::SimDmxInterface> device;
};

std::unique_ptr<plat::UsbHost> MakeSim(std::string&) {
    return std::make_unique<SimBed>();
}

std::unique_ptr<plat::UsbHost> MakeLibusb(std::string& reason) {
    if (!std::getenv("ORBILUME_UMOCKDEV_TESTBED")) {
        reason = "needs the umockdev test bed (the CTest entry test_Platform_USB_umockdev runs it)";
        return nullptr;
    }
    auto host = std::make_unique<plat::LibusbHost>();
    if (!host->IsAvailable()) {
        reason = "libusb could not start";
        return nullptr;
    }
    return host;
}

class UsbHostConformance : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        std::string reason;
        host = GetParam().make(reason);
        if (!host) GTEST_SKIP() << reason;
    }
    std::unique_ptr<plat::UsbHost> host;
};

plat::UsbMatch ByIds() {
    plat::UsbMatch m;
    m.vendor = 0x0AD5;
    m.product = 0x0004;
    return m;
}

TEST_P(UsbHostConformance, ListsTheInterfaceWithPathSerialAndLocation) {
    const auto devices = host->Devices(ByIds());
    ASSERT_EQ(devices.size(), 1u);
    const plat::UsbDeviceInfo& d = devices[0];
    EXPECT_EQ(d.path, "usb:3-2.4");
    EXPECT_EQ(d.serial, "ODE00042");
    EXPECT_EQ(d.locationId, 0x03240000u);
    EXPECT_EQ(plat::FormatLocationId(d.locationId), "03240000");
    EXPECT_EQ(d.releaseNumber, 0x0104);
    EXPECT_EQ(d.deviceSubClass, 2);

    plat::UsbMatch byClass;  // class any, subclass 2, the vendor, product any
    byClass.deviceSubClass = 2;
    byClass.vendor = 0x0AD5;
    EXPECT_EQ(host->Devices(byClass).size(), 1u);
    byClass.deviceSubClass = 3;
    EXPECT_TRUE(host->Devices(byClass).empty());
    plat::UsbMatch other = ByIds();
    other.product = 5;
    EXPECT_TRUE(host->Devices(other).empty());
}

TEST_P(UsbHostConformance, OpeningAPathWithNothingThereSaysSo) {
    std::unique_ptr<plat::UsbDevice> device;
    EXPECT_EQ(host->Open("usb:3-2.9", device), plat::UsbOpenResult::kNoDevice);
    EXPECT_EQ(host->Open("usb:nonsense", device), plat::UsbOpenResult::kNoDevice);
    EXPECT_FALSE(device);
}

TEST_P(UsbHostConformance, AWatchReportsThePresentInterfaceOnItsLoop) {
    if (!host->HasHotplug()) GTEST_SKIP() << "no hot-plug in this backend here";
    struct Seen {
        std::vector<std::string> paths;
        static void Note(void* self, plat::UsbWatch::Event e, const plat::UsbDeviceInfo& d) {
            if (e == plat::UsbWatch::kArrived) static_cast<Seen*>(self)->paths.push_back(d.path);
        }
    } seen;
    plat::RunLoop* loop = plat::RunLoop::Current();
    auto watch = host->Watch(ByIds(), loop, &Seen::Note, &seen);
    ASSERT_TRUE(watch);
    EXPECT_TRUE(seen.paths.empty());  // reported on the loop, not inside the call
    for (int i = 0; i < 50 && seen.paths.empty(); ++i)
        loop->RunInMode(plat::kRunLoopDefaultMode, 0.02, false);
    EXPECT_EQ(seen.paths, (std::vector<std::string>{"usb:3-2.4"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, UsbHostConformance,
                         ::testing::Values(Backend{"sim", &MakeSim}, Backend{"libusb", &MakeLibusb}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
