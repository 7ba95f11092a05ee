#include <gtest/gtest.h>

#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Orbilume/CSources/Led/DimDeviceCells.h"
#include "tests/Orbilume/CSources/Led/DimOutputFixture.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace dimtest;
using namespace dimcell;

namespace {

struct Root : LHandler {
    CUndoQueue undo{1 << 20};
    LMessage Handle(const LMessage& msg) override {
        if (undo.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
};

CRecord* Definition(const char* name, uint32_t columns, uint32_t rows) {
    CRecord* d = CRecord::New(T::Didf());
    d->StringSlot(T::kDidfName) = LString(name);
    d->Slot(T::kDidfColumns).u32 = columns;
    d->Slot(T::kDidfRows).u32 = rows;
    return d;
}

struct DimDeviceCellsTest : ::testing::Test {
    Root root;
    Documents docs;
    CEdits edits{&docs.dims, &docs.defs};
    int knob = 0, other = 0;  // stand-ins for two cell controls

    int32_t Anuniv(uint32_t i) {
        CRecord* prms = docs.DeviceAt(i)->GetSubRecord(T::kDidvParams);
        return CParamSet::GetIntOr(CRecordRef(&prms), LString("anuniv"), -1);
    }
    void Edit(uint32_t row, std::vector<uint32_t> sel, const void* control, CEdits::Setter s, double v,
              const std::string& text = {}, bool lyodiv = false) {
        edits.Edit(&root, row, sel, control, s, v, text, lyodiv);
    }
};

}  // namespace

TEST(DimDeviceCells, AnunivParts) {
    struct Case {
        int32_t before;
        Part part;
        int32_t value;
        uint32_t after;
    } cases[] = {
        {0, Part::kNet, 127, 0x7F00},      {0x7F00, Part::kSubNet, 15, 0x7FF0}, {0x7FF0, Part::kUniverse, 15, 32767},
        {32767, Part::kSubNet, 3, 0x7F3F}, {0x7F3F, Part::kNet, 0, 0x3F},       {0, Part::kNet, 200, 0x4800},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WithPart(c.before, c.part, c.value), c.after);
        if (c.value < 16) {
            EXPECT_EQ(PartOf(int32_t(c.after), c.part), c.value);
        }
    }
}

TEST(DimDeviceCells, EndChannelText) {
    EXPECT_EQ(EndChannelText(5, 30), "- 34");
    EXPECT_EQ(EndChannelText(5, 0), "- 5");
    EXPECT_EQ(EndChannelText(512, 1u << 20), "- " + std::to_string(512 + (1u << 20) - 1));
}

TEST(DimDeviceCells, SerialNotConnectedStaysAfterASeparatorUntilAnotherIsChosen) {
    std::vector<PopupItem> items;
    FillInterfaces(items, {"AAA", "BBB"});
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(SelectSerial(items, ""), 0u);
    EXPECT_EQ(SelectSerial(items, "BBB"), 2u);
    EXPECT_EQ(SelectSerial(items, "XXX"), 4u);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_TRUE(items[3].separator);
    EXPECT_EQ(items[4].title, "XXX");
    // Refilled with the same serial: still there, once.
    EXPECT_EQ(SelectSerial(items, "XXX"), 4u);
    EXPECT_EQ(items.size(), 5u);
    // Another unplugged serial replaces it behind the same separator.
    EXPECT_EQ(SelectSerial(items, "YYY"), 4u);
    EXPECT_EQ(items.size(), 5u);
    EXPECT_EQ(items[4].title, "YYY");
    // A connected one chosen: the separator and the stray serial go.
    EXPECT_EQ(SelectSerial(items, "AAA"), 1u);
    EXPECT_EQ(items.size(), 3u);
    // Bytes that are not UTF-8 are kept as they are for the pop-up to draw.
    EXPECT_EQ(SelectSerial(items, std::string("\xff\xfe", 2)), 4u);
    EXPECT_EQ(SelectSerial(items, ""), 0u);
    EXPECT_EQ(items.size(), 3u);
}

TEST(DimDeviceCells, HalfPixelOffsets) {
    CRecord* dims = CRecord::New(T::Dims());
    dims->Slot(T::kDimsCanvasWidth).u32 = 640;
    dims->Slot(T::kDimsCanvasHeight).u32 = 480;
    CRecord* device = CRecord::New(T::Didv());
    CRecord* ten = Definition("Ten", 10, 10);
    CRecord* nine = Definition("Nine", 9, 9);
    CRecord* tall = Definition("Tall", 1, 9);
    struct Case {
        const CRecord* def;
        float rota;
        uint8_t gap;
        double ox, oy;
    } cases[] = {
        {ten, 0, 0, 0, 0},    {nine, 0, 0, 0.5, 0.5}, {tall, 0, 0, 0.5, 0.5}, {tall, 90, 0, 0.5, 0.5},
        {nine, 0, 1, 0, 0},   {nullptr, 0, 0, 0.5, 0.5}, {tall, 0, 1, 0, 0},
    };
    for (const Case& c : cases) {
        device->Slot(T::kDidvRotation).f32 = c.rota;
        dims->Slot(T::kDimsDotGap).u8 = c.gap;
        const Scale s = LayoutScale(dims, device, c.def, true);
        EXPECT_DOUBLE_EQ(s.s, 320);
        EXPECT_DOUBLE_EQ(s.ox, c.ox);
        EXPECT_DOUBLE_EQ(s.oy, c.oy);
        EXPECT_TRUE(s.pixels);
        EXPECT_EQ(s.posLimit, 1000);
    }
    // A 1 × 9 device turned upright on a 641 × 480 canvas: x counts its 9 rows.
    dims->Slot(T::kDimsCanvasWidth).u32 = 641;
    dims->Slot(T::kDimsDotGap).u8 = 0;
    device->Slot(T::kDidvRotation).f32 = 90;
    EXPECT_DOUBLE_EQ(LayoutScale(dims, device, tall, true).ox, 0);
    EXPECT_DOUBLE_EQ(LayoutScale(dims, device, tall, true).oy, 0.5);
    const Scale plain = LayoutScale(dims, device, tall, false);
    EXPECT_DOUBLE_EQ(plain.s, 100);
    EXPECT_DOUBLE_EQ(plain.ox, 0);
    EXPECT_EQ(plain.decimals, 1u);
    dims->Slot(T::kDimsCanvasWidth).u32 = 0;
    dims->Slot(T::kDimsCanvasHeight).u32 = 0;
    EXPECT_DOUBLE_EQ(LayoutScale(dims, device, tall, true).s, 0.5);
    device->Slot(T::kDidvPosX).f32 = 0.25f;
    device->Slot(T::kDidvRotation).f32 = -2.5f;
    const LayoutValues v = Shown(plain, device);
    EXPECT_DOUBLE_EQ(v.x, 25);
    EXPECT_EQ(v.rotation, -3);
    for (CRecord* r : {dims, device, ten, nine, tall}) CRecord::Delete(r);
}

TEST_F(DimDeviceCellsTest, ArtNetAndSacnNumbers) {
    ASSERT_TRUE(docs.Read(DimsXml({{.universe = "0"}, {.universe = "0"}})));
    Edit(0, {}, &knob, CEdits::Setter::kNet, 127);
    Edit(0, {}, &knob, CEdits::Setter::kSubNet, 15);
    Edit(0, {}, &knob, CEdits::Setter::kUniverse, 15);
    EXPECT_EQ(Anuniv(0), 32767);
    Edit(0, {}, &other, CEdits::Setter::kSubNet, 2);
    EXPECT_EQ(Anuniv(0), 0x7F2F);
    Edit(0, {}, &knob, CEdits::Setter::kNet, 999);  // clamped
    EXPECT_EQ(Anuniv(0), 0x7F2F);
    EXPECT_EQ(Anuniv(1), 0);
    Edit(1, {}, &knob, CEdits::Setter::kSacn, 1);
    EXPECT_EQ(Anuniv(1), 0);
    Edit(1, {}, &knob, CEdits::Setter::kSacn, 32768);
    EXPECT_EQ(Anuniv(1), 32767);
    Edit(1, {}, &knob, CEdits::Setter::kSacn, 0);  // clamped to 1
    EXPECT_EQ(Anuniv(1), 0);
}

TEST_F(DimDeviceCellsTest, EditOfASelectedRowMovesTheSelectionInOneMergedStep) {
    ASSERT_TRUE(docs.Read(DimsXml({{.x = 0.1f}, {.x = 0.2f}, {.x = 0.3f}, {.x = 0.4f}})));
    const std::vector<uint32_t> sel{0, 2, 3};
    Edit(2, sel, &knob, CEdits::Setter::kX, 50);
    for (uint32_t i : sel) EXPECT_NEAR(docs.DeviceAt(i)->GetFloat(T::kDidvPosX), 0.5, 1e-6);
    EXPECT_FLOAT_EQ(docs.DeviceAt(1)->GetFloat(T::kDidvPosX), 0.2f);
    Edit(2, sel, &knob, CEdits::Setter::kX, 60);  // merges
    EXPECT_NEAR(docs.DeviceAt(3)->GetFloat(T::kDidvPosX), 0.6, 1e-6);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_FLOAT_EQ(docs.DeviceAt(0)->GetFloat(T::kDidvPosX), 0.1f);
    EXPECT_FLOAT_EQ(docs.DeviceAt(2)->GetFloat(T::kDidvPosX), 0.3f);
    EXPECT_FLOAT_EQ(docs.DeviceAt(3)->GetFloat(T::kDidvPosX), 0.4f);
    EXPECT_FALSE(root.undo.Perform(0));
    // A row outside the selection changes alone; another control starts a new step.
    Edit(1, sel, &knob, CEdits::Setter::kX, -250);  // clamped to -200
    EXPECT_NEAR(docs.DeviceAt(1)->GetFloat(T::kDidvPosX), -2, 1e-6);
    EXPECT_FLOAT_EQ(docs.DeviceAt(0)->GetFloat(T::kDidvPosX), 0.1f);
    Edit(1, sel, &other, CEdits::Setter::kX, 10);
    EXPECT_TRUE(root.undo.Perform(0));
    EXPECT_NEAR(docs.DeviceAt(1)->GetFloat(T::kDidvPosX), -2, 1e-6);
    // The first channel is the row's own, even when selected.
    Edit(2, sel, &knob, CEdits::Setter::kFirstChannel, 100);
    EXPECT_EQ(docs.DeviceAt(2)->GetUInt(T::kDidvFirstSlot), 100u);
    EXPECT_EQ(docs.DeviceAt(0)->GetUInt(T::kDidvFirstSlot), 1u);
    // Output and interface for the selection.
    Edit(0, sel, &knob, CEdits::Setter::kOutput, 1);
    Edit(0, sel, &other, CEdits::Setter::kInterface, 0, "AAA");
    for (uint32_t i : sel) {
        EXPECT_EQ(docs.DeviceAt(i)->GetByte(T::kDidvConnection), 1);
        CRecord* prms = docs.DeviceAt(i)->GetSubRecord(T::kDidvParams);
        LString serial;
        EXPECT_GE(CParamSet::Find(CRecordRef(&prms), LString("drsern"), &serial), 0);
        EXPECT_STREQ(serial.CStr(), "AAA");
    }
}
