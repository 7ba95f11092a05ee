#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Common/Container/CArrayBase.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

using T = CDimTypes;
using S = CDimDefStore;

class Editor : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x10000};
};

std::vector<int32_t> Ints(const CRecord* def, uint32_t field) {
    std::vector<int32_t> out;
    const CArrayBase* a = def->GetArray(field);
    for (uint32_t i = 0; a && i < a->Count(); ++i) out.push_back(*static_cast<const int32_t*>(a->At(i)));
    return out;
}

struct Def {
    Def(uint32_t columns, uint32_t rows, uint8_t comp, std::vector<int32_t> codes = {}, uint8_t pre = 0,
        uint8_t post = 0)
        : record(CRecord::New(T::Didf())) {
        CRecordRef ref = Ref();
        EXPECT_TRUE(ref.SetUInt(nullptr, T::kDidfColumns, columns));
        EXPECT_TRUE(ref.SetUInt(nullptr, T::kDidfRows, rows));
        EXPECT_TRUE(ref.SetByte(nullptr, T::kDidfComposition, comp));
        EXPECT_TRUE(ref.SetByte(nullptr, T::kDidfPrefixCount, pre));
        EXPECT_TRUE(ref.SetByte(nullptr, T::kDidfSuffixCount, post));
        if (!codes.empty()) {
            EXPECT_TRUE(ref.SetArray(nullptr, T::kDidfChannels, codes.data(), uint32_t(codes.size())));
        }
    }
    ~Def() { CRecord::Delete(record); }
    CRecordRef Ref() { return CRecordRef(&record); }
    CRecord* record;
};

TEST(DimDefStore, DerivedValues) {
    struct Row {
        const char* what;
        Def def;
        uint32_t perDot;
        uint64_t footprint;
    };
    Row rows[] = {
        {"RGB 8x1", Def(8, 1, 1), 3, 24},
        {"RGB+255 8x1", Def(8, 1, 3), 4, 32},
        {"RGB+0 2x2", Def(2, 2, 2), 4, 16},
        {"codes 4x4", Def(4, 4, 0, {9, -1, -2, 7, 8}, 1, 2), 2, 35},
        {"codes shorter than pre+post", Def(2, 1, 0, {1, 2}, 2, 1), 0, 3},
        {"odd composition counts 3", Def(1, 2, 7), 3, 6},
    };
    for (Row& row : rows) {
        EXPECT_EQ(S::ChannelsPerDot(row.def.record), row.perDot) << row.what;
        EXPECT_EQ(S::Footprint(row.def.record), row.footprint) << row.what;
    }
    EXPECT_EQ(S::PreChannels(rows[3].def.record), 1u);
    EXPECT_EQ(S::PostChannels(rows[3].def.record), 2u);
    EXPECT_EQ(S::PreChannels(rows[0].def.record), 0u);
    EXPECT_EQ(S::CodeArrayLength(rows[4].def.record), 3u);
    EXPECT_EQ(S::ChannelCode(rows[3].def.record, 1), -1);
    EXPECT_EQ(S::ChannelCode(rows[3].def.record, 5), 0);
}

TEST(DimDefStore, DotOrderEdits) {
    Def def(3, 2, 1);
    const int32_t order[] = {3, 1, 2};
    ASSERT_TRUE(def.Ref().SetArray(nullptr, T::kDidfDotOrder, order, 3));
    EXPECT_EQ(S::DotOrder(def.record, 1), 1);
    EXPECT_EQ(S::DotOrder(def.record, 5), 6);

    Def empty(5, 1, 1);
    ASSERT_TRUE(S::SetDotOrder(nullptr, empty.Ref(), 4, 9));
    EXPECT_EQ(Ints(empty.record, T::kDidfDotOrder), (std::vector<int32_t>{1, 2, 3, 4, 9}));

    const std::pair<std::vector<int32_t>, std::vector<int32_t>> normalized[] = {
        {{1, 2, 3}, {}},
        {{2, 1, 3}, {2, 1}},
        {{0, 2, 3, 5}, {0, 2, 3, 5}},
    };
    for (const auto& [before, after] : normalized) {
        Def d(4, 1, 0, {1, 2, 3}, 1, 1);
        ASSERT_TRUE(d.Ref().SetArray(nullptr, T::kDidfDotOrder, before.data(), uint32_t(before.size())));
        S::Normalize(nullptr, d.Ref());
        EXPECT_EQ(Ints(d.record, T::kDidfDotOrder), after);
        EXPECT_EQ(Ints(d.record, T::kDidfChannels).size(), 3u);  // composition 0 keeps its codes
    }
    Def rgb(1, 1, 1, {5, 6}, 1, 1);
    S::Normalize(nullptr, rgb.Ref());
    EXPECT_TRUE(Ints(rgb.record, T::kDidfChannels).empty());
    EXPECT_EQ(rgb.record->GetByte(T::kDidfPrefixCount), 0);
    EXPECT_EQ(rgb.record->GetByte(T::kDidfSuffixCount), 0);
}

TEST(DimDefStore, ChannelBlockEdits) {
    Def def(1, 1, 0, {7, -1, -2, 8}, 1, 1);
    S::SetPreChannels(nullptr, def.Ref(), 3);
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{7, 0, 0, -1, -2, 8}));
    S::SetPostChannels(nullptr, def.Ref(), 2);
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{7, 0, 0, -1, -2, 8, 0}));
    S::SetCodeChannels(nullptr, def.Ref(), 3);
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{7, 0, 0, -1, -2, 0, 8, 0}));
    S::SetCodeChannels(nullptr, def.Ref(), 1);
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{7, 0, 0, -1, 8, 0}));
    S::SetPreChannels(nullptr, def.Ref(), 0);
    S::SetPostChannels(nullptr, def.Ref(), 0);
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{-1}));
    EXPECT_EQ(S::Footprint(def.record), 1u);
    ASSERT_TRUE(S::SetChannelCode(nullptr, def.Ref(), 3, -4));
    EXPECT_EQ(Ints(def.record, T::kDidfChannels), (std::vector<int32_t>{-1, 0, 0, -4}));
}

TEST(DimDefStore, FindAddAndDelete) {
    CDimDefStore store;
    EXPECT_EQ(store.Find("A"), nullptr);
    EXPECT_EQ(store.Find(""), nullptr);
    ASSERT_TRUE(store.AddNew("b", false));
    ASSERT_TRUE(store.AddNew("A", true));
    ASSERT_TRUE(store.AddNew("", false));
    ASSERT_TRUE(store.AddNew("Ab", false));
    EXPECT_FALSE(store.AddNew("A", false));
    ASSERT_EQ(store.Count(), 4u);
    const char* sorted[] = {"", "A", "Ab", "b"};
    for (uint32_t i = 0; i < 4; ++i) EXPECT_STREQ(store.At(i)->GetString(T::kDidfName).CStr(), sorted[i]);
    EXPECT_EQ(store.Find("A")->GetByte(T::kDidfUser), 1);  // the first "A" is kept
    EXPECT_EQ(store.Find("Aa"), nullptr);
    EXPECT_EQ(store.Find("B"), nullptr);
    EXPECT_NE(store.Find(""), nullptr);

    CRecord* embedded = CRecord::New(T::Didf());
    embedded->StringSlot(T::kDidfName) = LString("Emb");
    ASSERT_TRUE(store.AddEmbedded(embedded));
    EXPECT_EQ(store.Find("Emb")->GetByte(T::kDidfEmbedded), 1);
    EXPECT_EQ(store.Find("Emb")->GetByte(T::kDidfUser), 1);

    Editor editor;
    ASSERT_TRUE(store.Find("Ab")->GetUInt(T::kDidfColumns) == 1);
    EXPECT_TRUE(store.Delete(&editor, "Ab"));
    EXPECT_FALSE(store.Delete(&editor, "Ab"));
    EXPECT_EQ(store.Find("Ab"), nullptr);
    ASSERT_TRUE(editor.queue.Perform(0));
    ASSERT_NE(store.Find("Ab"), nullptr);
    EXPECT_EQ(store.Count(), 5u);
}

TEST(DimDefStore, EditsUndoAsOneStep) {
    CDimDefStore store;
    ASSERT_TRUE(store.AddNew("grid", true));
    Editor editor;
    CRecordRef grid = store.RefOf("grid");
    ASSERT_TRUE(S::SetDotOrder(&editor, grid, 3, 7));
    EXPECT_EQ(Ints(grid.Get(), T::kDidfDotOrder), (std::vector<int32_t>{1, 2, 3, 7}));
    ASSERT_TRUE(editor.queue.Perform(0));
    EXPECT_TRUE(Ints(grid.Get(), T::kDidfDotOrder).empty());
}

}  // namespace
