#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoFinder.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoNote.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Resources/ResourceFile.h"
#include "Platform/USB/sim/SimDmxInterface.h"
#include "Platform/USB/sim/SimUsbHost.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/PinnedFonts.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;
using plat::sim::SimDmxInterface;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// Interfaces coming and going on the simulated bus while the device list shows a USB device whose
// stored interface is "B".
struct DimDeviceHotPlugTest : ::testing::Test {
    // The cells' strings (the pop-up's "none" item) come from the resources.
    struct Resources {
        plat::ResFileRef ref = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
        ResourceFileProvider provider{ref};
        ResourceProviderChain chain;
        Resources() {
            chain.Add(&provider);
            ResourceProviderChain::SetGlobal(&chain);
        }
        ~Resources() {
            ResourceProviderChain::SetGlobal(nullptr);
            plat::CloseResFile(ref);
        }
    } resources;
    plat::sim::SimUsbHost host;
    plat::Ref<SimDmxInterface> a = SimDmxInterface::Make(1, 2, "A");
    plat::Ref<SimDmxInterface> b = SimDmxInterface::Make(1, 3, "B");
    Documents docs;
    std::unique_ptr<CDimDeviceList> list;
    std::unique_ptr<CDimDeviceCell> cell;

    void SetUp() override {
        host.Plug(a.get());
        ASSERT_TRUE(docs.Read(DimsXml({{.conn = 1, .universe = "", .serial = "B"}})));
        list = std::make_unique<CDimDeviceList>(nullptr, &docs.prefs, docs.Settings(), &docs.dims, &docs.defs,
                                                nullptr);
        list->SetBounds({0, 0, 600, 400});
    }
    void TearDown() override {
        cell.reset();
        list.reset();
    }
    // The pop-up's items after binding row 0 ("-" a separator), and the one chosen.
    std::vector<std::string> Items(int32_t* chosen = nullptr) {
        if (!cell) cell.reset(static_cast<CDimDeviceCell*>(list->CreateCellPane()));
        EXPECT_TRUE(list->BindCell(cell.get(), {0, 0}));
        std::vector<std::string> items;
        LPopupList* p = cell->Interface();
        for (int32_t i = 1; i < p->Count(); ++i) items.push_back(p->IsSeparator(i) ? "-" : p->ItemTitle(i).CStr());
        if (chosen) *chosen = p->GetValue();
        return items;
    }
    // Runs the main loop until the bound cell shows the items.
    bool ShowsSoon(const std::vector<std::string>& want) {
        for (int i = 0; i < 200; ++i) {
            if (Items() == want) return true;
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        }
        return Items() == want;
    }
};

TEST_F(DimDeviceHotPlugTest, KeysFollowTheBusOrderAndLeaveOutKeylessDevices) {
    plat::Ref<SimDmxInterface> located = SimDmxInterface::Make(2, std::vector<uint8_t>{1, 4}, "");
    host.Plug(b.get());
    host.Plug(located.get());
    const std::vector<std::string> keys = CDmxIoFinder::Keys(host);
    ASSERT_EQ(keys.size(), 3u);
    EXPECT_EQ(keys[0], "A");
    EXPECT_EQ(keys[1], "B");
    EXPECT_EQ(keys[2], CDmxIoFinder::GetKey(host.Devices(CDmxIoFinder::Match())[2]));
    EXPECT_EQ(keys[2].size(), 8u);
}

TEST_F(DimDeviceHotPlugTest, PopUpsFollowInterfacesArrivingAndLeaving) {
    ASSERT_TRUE(list->WatchUsb(&host));
    // "B" is stored but not plugged: after a separator, chosen.
    int32_t chosen = -1;
    EXPECT_EQ(Items(&chosen), (std::vector<std::string>{"A", "-", "B"}));
    EXPECT_EQ(chosen, 3);
    host.Plug(b.get());
    EXPECT_TRUE(ShowsSoon({"A", "B"}));
    (void)Items(&chosen);
    EXPECT_EQ(chosen, 2);
    host.Unplug(a.get());
    EXPECT_TRUE(ShowsSoon({"B"}));
    (void)Items(&chosen);
    EXPECT_EQ(chosen, 1);
    host.Unplug(b.get());
    EXPECT_TRUE(ShowsSoon({"-", "B"}));
}

TEST_F(DimDeviceHotPlugTest, WithoutHotPlugTheCellsListWhatIsAttachedWhenMade) {
    host.SetHotplug(false);
    EXPECT_FALSE(list->WatchUsb(&host));
    host.Plug(b.get());
    EXPECT_EQ(Items(), (std::vector<std::string>{"A", "B"}));
    // Nothing reports the removal: the made cell keeps its items.
    host.Unplug(a.get());
    plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.05, false);
    EXPECT_EQ(Items(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(DimDeviceHotPlugTest, TheNoteReportsPresentArrivingAndLeavingInterfaces) {
    struct Counter : LHandler {
        int changes = 0;
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(CDmxIoNote_Change)) ++changes;
            return LMessage();
        }
    } counter;
    CDmxIoNote note(&counter, nullptr, &host);
    ASSERT_TRUE(note.Start());
    auto pump = [&](int want) {
        for (int i = 0; i < 200 && counter.changes < want; ++i)
            plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, false);
        return counter.changes;
    };
    EXPECT_EQ(pump(1), 1);  // "A", already present
    host.Plug(b.get());
    EXPECT_EQ(pump(2), 2);
    host.Unplug(b.get());
    EXPECT_EQ(pump(3), 3);
}

}  // namespace
