#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "Platform/Foundation/RunLoop.h"
#include "Platform/USB/UsbHost.h"
#include "Platform/USB/libusb/LibusbHost.h"
#include "Platform/USB/sim/SimDmxInterface.h"

namespace {

TEST(UsbPathTest, ParseAndFormat) {
    struct Case {
        const char* text;
        bool ok;
        uint8_t bus;
        std::vector<uint8_t> ports;
        int configuration, interface;
    } cases[] = {
        {"usb:1-4", true, 1, {4}, -1, -1},
        {"usb:3-2.4", true, 3, {2, 4}, -1, -1},
        {"usb:12-1.2.3.4.5.6.7", true, 12, {1, 2, 3, 4, 5, 6, 7}, -1, -1},
        {"usb:2-3:1.0", true, 2, {3}, 1, 0},
        {"usb:5", true, 5, {}, -1, -1},
        {"usb:1-1.2.3.4.5.6.7.8", false, 0, {}, -1, -1},  // deeper than USB allows
        {"usb:1-0", false, 0, {}, -1, -1},
        {"usb:256-1", false, 0, {}, -1, -1},
        {"usb:1-", false, 0, {}, -1, -1},
        {"usb:1-2.", false, 0, {}, -1, -1},
        {"usb:1-2:1", false, 0, {}, -1, -1},
        {"usb:1-2x", false, 0, {}, -1, -1},
        {"usb:", false, 0, {}, -1, -1},
        {"IOService:/AppleACPIPlatformExpert", false, 0, {}, -1, -1},
        {"", false, 0, {}, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        plat::UsbPath p;
        ASSERT_EQ(plat::ParseUsbPath(c.text, p), c.ok);
        if (!c.ok) continue;
        EXPECT_EQ(p.bus, c.bus);
        EXPECT_EQ(std::vector<uint8_t>(p.ports, p.ports + p.portCount), c.ports);
        EXPECT_EQ(p.configuration, c.configuration);
        EXPECT_EQ(p.interface, c.interface);
        EXPECT_EQ(plat::MakeUsbPath(p.bus, p.ports, p.portCount, p.configuration, p.interface), c.text);
    }
    plat::UsbPath unused;
    EXPECT_FALSE(plat::ParseUsbPath(nullptr, unused));
}

TEST(UsbPathTest, LocationIds) {
    const uint8_t ports[] = {2, 4, 1};
    EXPECT_EQ(plat::MakeLocationId(3, ports, 2), 0x03240000u);
    EXPECT_EQ(plat::FormatLocationId(0x03240000u), "03240000");
    EXPECT_EQ(plat::FormatLocationId(0x00A41000u), "00A41000");  // six digits get two leading zeros
    EXPECT_EQ(plat::MakeLocationId(0, ports, 3), 0x00241000u);
    const uint8_t deep[] = {1, 2, 3, 4, 5, 6, 7};
    EXPECT_EQ(plat::MakeLocationId(1, deep, 6), 0x01123456u);
    EXPECT_EQ(plat::MakeLocationId(1, deep, 7), 0u);  // no room for a seventh port
    const uint8_t big[] = {16};
    EXPECT_EQ(plat::MakeLocationId(1, big, 1), 0u);
}

TEST(SimUsbHostTest, MatchingAndWatches) {
    plat::sim::SimUsbHost host;
    auto a = plat::sim::SimDmxInterface::Make(1, 2, "A");
    auto b = plat::sim::SimDmxInterface::Make(1, 3, "");
    plat::UsbDeviceInfo other;
    other.path = "usb:1-5";
    other.vendor = 0x1234;
    other.product = 4;
    auto c = plat::Adopt(new plat::sim::SimUsbDevice(other, {}));
    host.Plug(a.get());
    host.Plug(c.get());

    plat::UsbMatch byIds;
    byIds.vendor = 0x0AD5;
    byIds.product = 4;
    EXPECT_EQ(host.Devices(byIds).size(), 1u);
    plat::UsbMatch byClass;
    byClass.deviceSubClass = 2;
    byClass.vendor = 0x0AD5;
    EXPECT_EQ(host.Devices(byClass).size(), 1u);
    EXPECT_EQ(host.Devices(plat::UsbMatch{}).size(), 2u);

    struct Seen {
        std::vector<std::string> events;
        static void Note(void* self, plat::UsbWatch::Event e, const plat::UsbDeviceInfo& d) {
            static_cast<Seen*>(self)->events.push_back((e == plat::UsbWatch::kArrived ? "+" : "-") + d.path);
        }
    } seen;
    plat::RunLoop* loop = plat::RunLoop::Current();
    auto watch = host.Watch(byClass, loop, &Seen::Note, &seen);
    ASSERT_TRUE(watch);
    EXPECT_TRUE(seen.events.empty());  // never inside the call
    loop->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    host.Plug(b.get());
    host.Unplug(a.get());
    host.Unplug(c.get());
    loop->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(seen.events, (std::vector<std::string>{"+usb:1-2", "+usb:1-3", "-usb:1-2"}));
    EXPECT_EQ(host.Devices(byIds)[0].serial, "");

    host.SetHotplug(false);
    EXPECT_FALSE(host.Watch(byClass, loop, &Seen::Note, &seen));
}

// The real backend on this machine: it starts, lists and says whether it has hot-plug, without error.
TEST(LibusbHostTest, StartsAndLists) {
    plat::LibusbHost host;
    if (!host.IsAvailable()) GTEST_SKIP() << "libusb could not start here (no USB support in this system)";
    std::printf("libusb hot-plug: %s\n", host.HasHotplug() ? "yes" : "no");
    for (const auto& d : host.Devices(plat::UsbMatch{}))
        std::printf("  %s %04x:%04x\n", d.path.c_str(), d.vendor, d.product);
    std::unique_ptr<plat::UsbDevice> none;
    EXPECT_EQ(host.Open("usb:250-9.9", none), plat::UsbOpenResult::kNoDevice);
}

}  // namespace

namespace {

// The permission hint names a rules file that exists and grants the interface's ids to the seat user.
TEST(UsbAccessHintTest, NamesTheShippedRulesFile) {
    const std::string hint = plat::UsbAccessHint();
    const std::string name = "packaging/udev/60-orbilume-usbdmx.rules";
    ASSERT_NE(hint.find(name), std::string::npos);
    std::FILE* f = std::fopen((std::string(ORBILUME_SOURCE_DIR) + "/" + name).c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string rules;
    char line[512];
    while (std::fgets(line, sizeof line, f))
        if (line[0] != '#') rules += line;
    std::fclose(f);
    EXPECT_NE(rules.find("ATTR{idVendor}==\"0ad5\""), std::string::npos);
    EXPECT_NE(rules.find("ATTR{idProduct}==\"0004\""), std::string::npos);
    EXPECT_NE(rules.find("TAG+=\"uaccess\""), std::string::npos);
    EXPECT_EQ(hint.find('\n'), std::string::npos);  // one line
}

}  // namespace
