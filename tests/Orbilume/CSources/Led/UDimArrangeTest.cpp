#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Orbilume/CSources/Led/UDimArrange.h"
#include "tests/Orbilume/CSources/Led/DimDocumentFixture.h"

namespace {

using T = CDimTypes;

struct Dev {
    float x, y, w, h, rota;
};

class DimArrangeTest : public ::testing::Test {
protected:
    DimArrangeTest() { f.Make(); }
    void Place(const std::vector<Dev>& devs, bool select = true) {
        for (const Dev& d : devs) {
            CRecordRef r = f.AddDevice("X", d.x, d.y, d.w, d.h, d.rota);
            if (select) (void)r.SetByte(nullptr, T::kDidvSelected, 1);
        }
        f.doc->Undo().Clear();
        f.doc->Dims().SetModified(false);
    }
    float Get(uint32_t i, uint32_t field) { return f.Device(i)->GetFloat(field); }
    std::string Snapshot() {
        std::string s;
        for (uint32_t i = 0; i < f.DeviceCount(); ++i) {
            const CRecord* d = f.Device(i).Get();
            for (uint32_t field = T::kDidvPosX; field <= T::kDidvRotation; ++field)
                s += std::to_string(d->GetFloat(field)) + ",";
            s += std::to_string(d->GetUInt(T::kDidvFirstSlot)) + ";";
        }
        return s;
    }
    // The command changed something, in one undo step that puts everything back.
    void ExpectOneStep(const std::string& before) {
        EXPECT_NE(Snapshot(), before);
        ASSERT_TRUE(f.doc->Undo().Perform(0));
        EXPECT_EQ(Snapshot(), before);
        EXPECT_FALSE(f.doc->Undo().CanUndo());
        ASSERT_TRUE(f.doc->Undo().Perform(1));
    }
    CRecordRef Dims() { return f.doc->Dims().RootRef(); }

    dimdoc::Fixture f;
};

TEST_F(DimArrangeTest, MeanAndAlignEdges) {
    Place({{0, 0, 0.2f, 0.1f, 0}, {0.5f, 0.4f, 0.4f, 0.3f, 0}});
    const std::string before = Snapshot();
    ASSERT_TRUE(UDimArrange::DoArrange(f.doc.get(), Dims(), UDimArrange::kMeanWidth));
    EXPECT_FLOAT_EQ(Get(0, T::kDidvWidth), 0.3f);
    EXPECT_FLOAT_EQ(Get(1, T::kDidvWidth), 0.3f);
    ExpectOneStep(before);
    ASSERT_TRUE(f.doc->Undo().Perform(0));

    const struct {
        UDimArrange::Arrange what;
        uint32_t field;
        float first, second;
    } cases[] = {
        {UDimArrange::kAlignLeft, T::kDidvPosX, 0.0f, 0.1f},     // left edges at -0.1
        {UDimArrange::kAlignRight, T::kDidvPosX, 0.6f, 0.5f},    // right edges at 0.7
        {UDimArrange::kAlignTop, T::kDidvPosY, 0.5f, 0.4f},      // tops at 0.55
        {UDimArrange::kAlignBottom, T::kDidvPosY, 0.0f, 0.1f},   // bottoms at -0.05
        {UDimArrange::kMeanHeight, T::kDidvHeight, 0.2f, 0.2f},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(UDimArrange::DoArrange(f.doc.get(), Dims(), c.what));
        EXPECT_NEAR(Get(0, c.field), c.first, 1e-6) << c.what;
        EXPECT_NEAR(Get(1, c.field), c.second, 1e-6) << c.what;
        ExpectOneStep(before);
        ASSERT_TRUE(f.doc->Undo().Perform(0));
    }
}

TEST_F(DimArrangeTest, NothingWithFewerThanTwoSelected) {
    Place({{0, 0, 0.2f, 0.1f, 0}});
    Place({{0.5f, 0, 0.4f, 0.1f, 0}}, false);
    EXPECT_FALSE(UDimArrange::DoArrange(f.doc.get(), Dims(), UDimArrange::kMeanWidth));
    EXPECT_FALSE(f.doc->Undo().CanUndo());
}

TEST_F(DimArrangeTest, EvenWidthSpreadsBetweenTheOuterEdges) {
    Place({{-0.9f, 0, 0.2f, 0.1f, 0}, {0.3f, 0, 0.1f, 0.1f, 0}, {0, 0, 0.1f, 0.1f, 0}, {0.8f, 0, 0.4f, 0.1f, 0}});
    const std::string before = Snapshot();
    ASSERT_TRUE(UDimArrange::DoArrange(f.doc.get(), Dims(), UDimArrange::kEvenWidth));
    const float want[] = {-0.75f, 0.25f, -0.25f, 0.75f};
    for (uint32_t i = 0; i < 4; ++i) {
        EXPECT_NEAR(Get(i, T::kDidvPosX), want[i], 1e-6) << i;
        EXPECT_NEAR(Get(i, T::kDidvWidth), 0.5f, 1e-6) << i;
    }
    ExpectOneStep(before);
}

TEST_F(DimArrangeTest, EvenWidthDoesNothingWhenOneDeviceGivesBothExtremes) {
    Place({{-0.2f, 0, 0.1f, 0.1f, 0}, {0, -0.3f, 1.0f, 0.1f, 0}, {0.2f, 0, 0.1f, 0.1f, 0}});
    const std::string before = Snapshot();
    EXPECT_FALSE(UDimArrange::DoArrange(f.doc.get(), Dims(), UDimArrange::kEvenWidth));
    EXPECT_EQ(Snapshot(), before);
    EXPECT_FALSE(f.doc->Undo().CanUndo());
}

TEST_F(DimArrangeTest, EvenHeightPutsPlaceZeroAtTheBottom) {
    Place({{0, 0.8f, 0.1f, 0.4f, 0}, {0, -0.9f, 0.1f, 0.2f, 0}, {0, 0, 0.1f, 0.1f, 0}});
    ASSERT_TRUE(UDimArrange::DoArrange(f.doc.get(), Dims(), UDimArrange::kEvenHeight));
    // lo -1, hi 1, three places of 2/3.
    EXPECT_NEAR(Get(1, T::kDidvPosY), -1 + 1 / 3.0, 1e-6);
    EXPECT_NEAR(Get(2, T::kDidvPosY), -1 + 2 / 3.0 + 1 / 3.0, 1e-6);
    EXPECT_NEAR(Get(0, T::kDidvPosY), -1 + 4 / 3.0 + 1 / 3.0, 1e-6);
}

TEST_F(DimArrangeTest, SnapLandsOnWholeOrHalfCells) {
    f.AddDefinition("Grid-4x2", 4, 2);
    Place({{0.02f, 0.01f, 0.3f, 0.1f, 0}, {0.02f, 0.01f, 0.4f, 0.2f, 0}, {0.02f, 0.01f, 0.3f, 0.1f, 90}});
    (void)f.Device(1).SetString(nullptr, T::kDidvDefinition, LString("Grid-4x2"));
    const std::string before = Snapshot();
    // 20 x 10 pixels: cell 0.1.
    ASSERT_TRUE(UDimArrange::Snap(f.doc.get(), Dims(), &f.doc->Defs(), 20, 10, false));
    // 3 cells (odd) on an even width: half cell; 1 cell (odd) on an even height: half cell.
    EXPECT_NEAR(Get(0, T::kDidvPosX), 0.05, 1e-6);
    EXPECT_NEAR(Get(0, T::kDidvPosY), 0.05, 1e-6);
    EXPECT_NEAR(Get(0, T::kDidvWidth), 0.3, 1e-6);
    // 4 x 2 cells (even): whole cells.
    EXPECT_NEAR(Get(1, T::kDidvPosX), 0.0, 1e-6);
    EXPECT_NEAR(Get(1, T::kDidvPosY), 0.0, 1e-6);
    // Across: the sides swap roles; width 0.3 → ny 3, height 0.1 → nx 1, turned back.
    EXPECT_NEAR(Get(2, T::kDidvWidth), 0.3, 1e-6);
    EXPECT_NEAR(Get(2, T::kDidvHeight), 0.1, 1e-6);
    ExpectOneStep(before);

    // Dot mode takes the definition's grid as its size in cells.
    ASSERT_TRUE(f.doc->Undo().Perform(0));
    (void)f.Device(1).SetFloat(nullptr, T::kDidvWidth, 0.9f);
    ASSERT_TRUE(UDimArrange::Snap(f.doc.get(), Dims(), &f.doc->Defs(), 20, 10, true));
    EXPECT_NEAR(Get(1, T::kDidvWidth), 0.4, 1e-6);
    EXPECT_NEAR(Get(1, T::kDidvHeight), 0.2, 1e-6);
}

TEST_F(DimArrangeTest, SquareAndGroupRotations) {
    const struct {
        std::vector<float> in;
        bool group;
        std::vector<float> out;
    } cases[] = {
        {{44, 46, 135, -135, 181, 180}, false, {0, 90, -180, -180, -180, -180}},
        {{10, 100, 190}, true, {10, 100, -170}},
        {{44, 46}, true, {0, 90}},
    };
    for (const auto& c : cases) {
        dimdoc::Fixture g;
        g.Make();
        for (float r : c.in) (void)g.AddDevice("X", 0, 0, 0.1f, 0.1f, r).SetByte(nullptr, T::kDidvSelected, 1);
        g.doc->Undo().Clear();
        CRecordRef dims = g.doc->Dims().RootRef();
        if (c.group)
            ASSERT_TRUE(UDimArrange::Group(g.doc.get(), dims, &g.doc->Defs(), 20, 20));
        else
            ASSERT_TRUE(UDimArrange::Square(g.doc.get(), dims));
        for (size_t i = 0; i < c.out.size(); ++i)
            EXPECT_NEAR(g.Device(uint32_t(i))->GetFloat(T::kDidvRotation), c.out[i], 1e-4) << c.in[i];
        ASSERT_TRUE(g.doc->Undo().Perform(0));
        EXPECT_FALSE(g.doc->Undo().CanUndo());
        for (size_t i = 0; i < c.in.size(); ++i)
            EXPECT_FLOAT_EQ(g.Device(uint32_t(i))->GetFloat(T::kDidvRotation), c.in[i]);
    }
}

TEST_F(DimArrangeTest, SortByConnectionPortAndSlot) {
    const struct {
        int conn;
        const char* key;
        const char* value;
        uint32_t slot;
    } devs[] = {
        {2, "anuniv", "1", 1}, {0, nullptr, nullptr, 50}, {2, "anuniv", "0", 10},
        {1, "drsern", "5", 1}, {2, "anuniv", "0", 1},     {2, nullptr, nullptr, 7},
    };
    for (const auto& d : devs) {
        CRecordRef r = f.AddDevice("X", 0, 0, 0.1f, 0.1f);
        (void)r.SetByte(nullptr, T::kDidvConnection, uint8_t(d.conn));
        (void)r.SetUInt(nullptr, T::kDidvFirstSlot, d.slot);
        if (d.key) CParamSet::PutIntByName(r->GetSubRecord(T::kDidvParams), d.key, atoi(d.value));
    }
    f.doc->Undo().Clear();
    const std::string before = Snapshot();
    ASSERT_TRUE(UDimArrange::SortByChannel(f.doc.get(), Dims()));
    std::string order;
    for (uint32_t i = 0; i < f.DeviceCount(); ++i)
        order += std::to_string(f.Device(i)->GetByte(T::kDidvConnection)) + "/" +
                 std::to_string(f.Device(i)->GetUInt(T::kDidvFirstSlot)) + " ";
    EXPECT_EQ(order, "0/50 1/1 2/1 2/7 2/10 2/1 ");
    ExpectOneStep(before);
}

TEST_F(DimArrangeTest, AddDevicesWrapsUniversesAndKeepsTheLast) {
    // A definition of 200 slots: composition 0 with 200 channel codes.
    {
        CRecord* def = CRecord::New(T::Didf());
        def->StringSlot(T::kDidfName) = LString("Wide");
        def->Slot(T::kDidfComposition).u8 = 0;
        std::vector<int32_t> codes(200, -1);
        ASSERT_TRUE(def->SetArrayRaw(T::kDidfChannels, codes.data(), 200));
        ASSERT_TRUE(f.doc->Defs().Add(def));
        ASSERT_EQ(CDimDefStore::Footprint(f.doc->Defs().Find("Wide")), 200u);
    }
    const struct {
        const char* name;
        uint32_t across, down, net, subnet, universe, first;
        std::string want;  // universe/slot per device
    } cases[] = {
        {"Wide", 3, 1, 0, 0, 0, 1, "0/1 0/201 1/1 "},
        {"Wide", 3, 1, 127, 15, 15, 1, "32767/1 32767/201 32767/1 "},
        {"", 2, 2, 0, 1, 2, 510, "18/510 19/1 19/4 19/7 "},  // 3 slots without a definition
    };
    for (const auto& c : cases) {
        const uint32_t start = f.DeviceCount();
        UDimArrange::AddValues v;
        v.name = LString(c.name);
        v.across = c.across;
        v.down = c.down;
        v.net = c.net;
        v.subnet = c.subnet;
        v.universe = c.universe;
        v.firstChannel = c.first;
        f.doc->Undo().Clear();
        ASSERT_TRUE(UDimArrange::AddDevices(f.doc.get(), Dims(), &f.doc->Defs(), v));
        std::string got;
        for (uint32_t i = start; i < f.DeviceCount(); ++i) {
            const CRecord* d = f.Device(i).Get();
            CRecord* params = d->GetSubRecord(T::kDidvParams);
            got += std::to_string(CParamSet::GetIntOr(CRecordRef(&params), LString("anuniv"), -1)) + "/" +
                   std::to_string(d->GetUInt(T::kDidvFirstSlot)) + " ";
            EXPECT_EQ(d->GetByte(T::kDidvConnection), 2);
            EXPECT_EQ(d->GetByte(T::kDidvSelected), 1);
        }
        EXPECT_EQ(got, c.want) << c.name;
        for (uint32_t i = 0; i < start; ++i) EXPECT_EQ(f.Device(i)->GetByte(T::kDidvSelected), 0);
        ASSERT_TRUE(f.doc->Undo().Perform(0));
        EXPECT_EQ(f.DeviceCount(), start);
        EXPECT_FALSE(f.doc->Undo().CanUndo());
        ASSERT_TRUE(f.doc->Undo().Perform(1));
    }
}

TEST_F(DimArrangeTest, AddedGridSpansTheCanvasWithSquareDots) {
    f.AddDefinition("Quad", 2, 1);
    UDimArrange::AddValues v;
    v.name = LString("Quad");
    v.across = 2;
    v.down = 3;
    ASSERT_TRUE(UDimArrange::AddDevices(f.doc.get(), Dims(), &f.doc->Defs(), v));
    // M = max(2 x 2, 1 x 3) = 4: w = 1, h = 0.5.
    ASSERT_EQ(f.DeviceCount(), 6u);
    EXPECT_FLOAT_EQ(Get(0, T::kDidvWidth), 1.0f);
    EXPECT_FLOAT_EQ(Get(0, T::kDidvHeight), 0.5f);
    EXPECT_FLOAT_EQ(Get(0, T::kDidvPosX), -0.5f);
    EXPECT_FLOAT_EQ(Get(0, T::kDidvPosY), 0.5f);
    EXPECT_FLOAT_EQ(Get(1, T::kDidvPosX), 0.5f);
    EXPECT_FLOAT_EQ(Get(5, T::kDidvPosY), -0.5f);
}

}  // namespace
