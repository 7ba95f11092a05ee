#include "Orbilume/CSources/Led/DimDeviceScrap.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Orbilume/CSources/Led/CDimDeviceList.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"
#include "tests/support/PinnedFonts.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

// The scrap image of the records, as the list writes it.
std::vector<uint8_t> Image(const std::vector<const CRecord*>& records) {
    CBytes buffer;
    {
        CScrapWriter writer(1, 1, buffer);
        for (const CRecord* r : records) EXPECT_TRUE(writer.WriteRecord(r));
        writer.Close();
    }
    return std::vector<uint8_t>(buffer.Data(), buffer.Data() + buffer.Count());
}

int32_t Universe(const CRecord* device) {
    CRecord* set = device->GetSubRecord(T::kDidvParams);
    return set ? CParamSet::GetIntOr(CRecordRef(&set), LString("anuniv"), -1) : -1;
}

struct DimDeviceScrapTest : ::testing::Test {
    Documents docs;
    void SetUp() override {
        ASSERT_TRUE(docs.Read(DimsXml({{.def = "Quad-RGB", .x = 0.25f, .dxch = 7, .conn = 1, .universe = "300"},
                                       {.x = -0.5f, .w = 0.3f, .rota = 45, .dxch = 100}})));
    }
};

TEST_F(DimDeviceScrapTest, DevicesComeBackWithTheirValuesAndWithoutRunTimeState) {
    CRecord* a = docs.DeviceAt(0);
    a->Slot(T::kDidvSelected).u8 = 1;
    a->Slot(T::kDidvPortFault).u8 = 1;
    a->Slot(T::kDidvReserved).u32 = 5;
    a->Slot(T::kDidvSnapshot).f32 = 3;
    docs.DeviceAt(1)->Slot(T::kDidvPosY).f32 = std::numeric_limits<float>::quiet_NaN();
    docs.DeviceAt(1)->Slot(T::kDidvWidth).f32 = std::numeric_limits<float>::infinity();
    // A record of another type between them is skipped.
    const CRecord* def = docs.dims.Root()->GetElement(T::kDimsDefinitions, 0);
    ASSERT_NE(def, nullptr);
    const std::vector<uint8_t> bytes = Image({a, def, docs.DeviceAt(1)});

    const std::vector<dimscrap::DevicePtr> got = dimscrap::ReadDevices(bytes.data(), bytes.size());
    ASSERT_EQ(got.size(), 2u);
    EXPECT_STREQ(got[0]->GetString(T::kDidvDefinition).CStr(), "Quad-RGB");
    EXPECT_FLOAT_EQ(got[0]->GetFloat(T::kDidvPosX), 0.25f);
    EXPECT_EQ(got[0]->GetUInt(T::kDidvFirstSlot), 7u);
    EXPECT_EQ(got[0]->GetByte(T::kDidvConnection), 1);
    EXPECT_EQ(Universe(got[0].get()), 300);
    EXPECT_EQ(got[0]->GetByte(T::kDidvSelected), 0);
    EXPECT_EQ(got[0]->GetByte(T::kDidvPortFault), 0);
    EXPECT_EQ(got[0]->GetUInt(T::kDidvReserved), 0u);
    EXPECT_FLOAT_EQ(got[0]->GetFloat(T::kDidvSnapshot), 0);
    EXPECT_FLOAT_EQ(got[1]->GetFloat(T::kDidvRotation), 45);
    EXPECT_EQ(got[1]->GetUInt(T::kDidvFirstSlot), 100u);
    EXPECT_FLOAT_EQ(got[1]->GetFloat(T::kDidvPosX), -0.5f);
    EXPECT_FLOAT_EQ(got[1]->GetFloat(T::kDidvPosY), 0);
    EXPECT_FLOAT_EQ(got[1]->GetFloat(T::kDidvWidth), 0);
}

TEST_F(DimDeviceScrapTest, BrokenImagesGiveWhatIsWholeAndNoMore) {
    const std::vector<uint8_t> bytes = Image({docs.DeviceAt(0), docs.DeviceAt(1)});
    // Every cut of the image, and every byte flipped: no crash (the sanitizers watch), only devices.
    for (size_t n = 0; n <= bytes.size(); ++n) {
        const auto got = dimscrap::ReadDevices(bytes.data(), n);
        EXPECT_LE(got.size(), 2u) << n;
        for (const auto& d : got) EXPECT_EQ(d->Type(), T::Didv());
    }
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::vector<uint8_t> bad = bytes;
        bad[i] ^= 0xFF;
        for (const auto& d : dimscrap::ReadDevices(bad.data(), bad.size())) EXPECT_EQ(d->Type(), T::Didv());
    }
    const std::vector<uint8_t> noise(4096, 0xA5);
    EXPECT_TRUE(dimscrap::ReadDevices(noise.data(), noise.size()).empty());
    EXPECT_TRUE(dimscrap::ReadDevices(nullptr, 100).empty());
}

TEST_F(DimDeviceScrapTest, OneScrapGivesAtMostTheLimit) {
    std::vector<const CRecord*> many(5, docs.DeviceAt(0));
    const std::vector<uint8_t> bytes = Image(many);
    EXPECT_EQ(dimscrap::ReadDevices(bytes.data(), bytes.size(), 3).size(), 3u);
    EXPECT_EQ(dimscrap::ReadDevices(bytes.data(), bytes.size()).size(), 5u);
}

// The device list in a window, taking drops.
struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        if (msg.Is(LPane_ReqCapture) && LMouse::Get()) {
            LMouse::Get()->SetTracker(msg.sender);
            return LMessage();
        }
        return LHandler::Handle(msg);
    }
};

struct DimDeviceListDropTest : ::testing::Test {
    DropWindow w;
    Root root;
    Documents docs;
    LFrame* host = nullptr;
    CDimDeviceList* list = nullptr;
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();

    void Make(const std::vector<Device>& devices) {
        ASSERT_TRUE(docs.Read(DimsXml(devices)));
        host = w.root->Adopt(new LFrame(&root, w.root.get()));
        host->SetBounds({0, 0, 400, 300});
        list = new CDimDeviceList(host, &docs.prefs, docs.Settings(), &docs.dims, &docs.defs, nullptr);
        list->SetBounds({0, 0, 400, 300});
        list->ChangeState(LPane::kChainShow);
        list->ChangeState(LPane::kChainEnable);
    }
    void TearDown() override {
        if (!host) return;
        std::erase(w.root->children, host);
        delete host;
    }
    void Offer(const std::vector<uint8_t>& bytes) {
        LScrapData data;
        ASSERT_TRUE(data.AddFlavor(dimscrap::Type().name, dimscrap::kCode, bytes.data(), uint32_t(bytes.size()), 0));
        (void)UPasteboard::WriteScrap(data, pb.get());
    }
    // Drops at a point inside the list's first rows' area.
    uint32_t DropAt(int32_t x, int32_t y) {
        const CLPoint origin = list->GetOriginIn(nullptr);
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        (void)drag.MoveTo(w.Screen(origin.x + x, origin.y + y));
        return drag.Drop();
    }
    uint32_t Count() { return docs.dims.Root()->ArrayCount(T::kDimsDevices); }
    uint32_t Slot(uint32_t i) { return docs.DeviceAt(i)->GetUInt(T::kDidvFirstSlot); }
};

TEST_F(DimDeviceListDropTest, AnotherProgramsDevicesAreInsertedSelectedInOneStep) {
    Make({{.dxch = 1}, {.dxch = 2}});
    ASSERT_NE(list->RowDrag(), nullptr);
    Documents other;
    ASSERT_TRUE(other.Read(DimsXml({{.dxch = 50}, {.dxch = 60}})));
    Offer(Image({other.DeviceAt(0), other.DeviceAt(1)}));
    EXPECT_NE(DropAt(20, 2), 0u);  // over the first row's top: before it
    ASSERT_EQ(Count(), 4u);
    EXPECT_EQ(Slot(0), 50u);
    EXPECT_EQ(Slot(1), 60u);
    EXPECT_EQ(Slot(2), 1u);
    EXPECT_TRUE(list->IsSelected({0, 0}));
    EXPECT_TRUE(list->IsSelected({0, 1}));
    EXPECT_FALSE(list->IsSelected({0, 2}));
    EXPECT_NE(docs.DeviceAt(0)->GetByte(T::kDidvSelected), 0);
    EXPECT_EQ(docs.DeviceAt(2)->GetByte(T::kDidvSelected), 0);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(Count(), 2u);
    EXPECT_EQ(Slot(0), 1u);
}

TEST_F(DimDeviceListDropTest, AHostileScrapInsertsNothing) {
    Make({{.dxch = 1}});
    Offer(std::vector<uint8_t>(512, 0xEE));
    EXPECT_EQ(DropAt(20, 2), 0u);
    EXPECT_EQ(Count(), 1u);
    EXPECT_FALSE(root.undo.Perform(0));
}

TEST_F(DimDeviceListDropTest, SelectedRowsMoveAsOneStep) {
    Make({{.dxch = 1}, {.dxch = 2}, {.dxch = 3}, {.dxch = 4}});
    CRgn rows(CLRect{0, 0, 1, 1});
    rows |= CRgn(CLRect{0, 2, 1, 3});
    list->SetSelection(rows);
    EXPECT_EQ(list->MoveSelectedRows(4), 2u);
    ASSERT_EQ(Count(), 4u);
    EXPECT_EQ(Slot(0), 2u);
    EXPECT_EQ(Slot(1), 4u);
    EXPECT_EQ(Slot(2), 1u);
    EXPECT_EQ(Slot(3), 3u);
    EXPECT_TRUE(list->IsSelected({0, 2}));
    EXPECT_TRUE(list->IsSelected({0, 3}));
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_EQ(Slot(0), 1u);
    EXPECT_EQ(Slot(2), 3u);
}

}  // namespace
