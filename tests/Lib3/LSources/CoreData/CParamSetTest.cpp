#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CScrapReader.h"
#include "Lib3/LSources/CoreData/CScrapWriter.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "tests/Lib3/LSources/CoreData/ParamTestTypes.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace ptest;

namespace {

class Document : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x10000};
};

class ParamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CParamSet::SetType().IsRegistered());
        holder = std::make_unique<CRecordHolder>(CRecord::New(&gHolderType));
        ASSERT_TRUE(holder->Root());
        holder->AddObserver(this, Observe);
    }
    // The tree goes first: its last events still reach the observer.
    void TearDown() override { holder.reset(); }
    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<ParamTest*>(context);
        uint32_t index = 0;
        const int change = CParamTable::ParseChange(*e, index);
        if (change != CParamTable::kNoChange) self->tableChanges.emplace_back(change, index);
        CParamSet::Change c;
        if (CParamSet::ParseChange(*e, c)) self->setChanges.push_back(c);
    }
    CRecordRef Set() { return CRecordRef(&holder->Root()->Slot(kSets).record); }
    CRecordRef Table() { return CRecordRef(&holder->Root()->Slot(kTable).record); }
    std::string Value(const char* key) {
        LString v;
        return CParamSet::Find(Set(), LString(key), &v) >= 0 ? v.CStr() : "<none>";
    }
    std::string Cells() {
        uint32_t cols = 0, rows = 0;
        CParamTable::GetSize(Table(), cols, rows);
        std::string out = std::to_string(cols) + "x" + std::to_string(rows) + ":";
        for (uint32_t r = 0; r < rows; ++r)
            for (uint32_t c = 0; c < cols; ++c) {
                LString v;
                out += ' ';
                out += CParamTable::GetCell(Table(), c, r, LString("id"), v) ? v.CStr() : "_";
            }
        return out;
    }

    Document doc;
    LHandler editor{&doc};
    std::unique_ptr<CRecordHolder> holder;
    std::vector<std::pair<int, uint32_t>> tableChanges;
    std::vector<CParamSet::Change> setChanges;
};

TEST_F(ParamTest, ValuesAreTexts) {
    CParamSet::SetString(Set(), &editor, LString("name"), LString("x"));
    CParamSet::SetString(Set(), &editor, LString("name"), LString("y"));
    EXPECT_EQ(Value("name"), "y");
    CParamSet::SetString(Set(), &editor, LString("missing"), LString());
    EXPECT_EQ(Set()->ArrayCount(0), 1u);
    CParamSet::SetString(Set(), &editor, LString("name"), LString());
    EXPECT_EQ(Value("name"), "<none>");

    CParamSet::SetInt(Set(), &editor, LString("int"), -42);
    CParamSet::SetFloat(Set(), &editor, LString("f1"), 2, 1.5);
    CParamSet::SetFloat(Set(), &editor, LString("f2"), 2, 2.0);
    const uint8_t bytes[] = {0x0A, 0xFF};
    CParamSet::SetBytes(Set(), &editor, LString("bytes"), bytes, 2);
    CParamSet::SetRect(Set().Get(), LString("rect"), CLRect{1, 2, 3, 4});
    CParamSet::SetString(Set(), &editor, LString("short"), LString("1 2 3"));
    EXPECT_EQ(Value("int"), "-42");
    EXPECT_EQ(Value("f1"), "1.5");
    EXPECT_EQ(Value("f2"), "2");
    EXPECT_EQ(Value("bytes"), "0aff");
    EXPECT_EQ(Value("rect"), "1 2 3 4");
    EXPECT_EQ(CParamSet::GetIntOr(Set(), LString("int"), 0), -42);
    EXPECT_EQ(CParamSet::GetIntOr(Set(), LString("none"), 7), 7);
    double f = 0;
    EXPECT_GE(CParamSet::GetFloat(Set(), LString("f1"), f), 0);
    EXPECT_EQ(f, 1.5);
    CBytes back;
    EXPECT_GE(CParamSet::GetBytes(Set(), LString("bytes"), back), 0);
    ASSERT_EQ(back.Count(), 2u);
    EXPECT_EQ(back[0], 0x0A);
    EXPECT_EQ(back[1], 0xFF);
    EXPECT_EQ(CParamSet::GetRect(Set(), LString("rect")), (CLRect{1, 2, 3, 4}));
    EXPECT_EQ(CParamSet::GetRect(Set(), LString("short")), CLRect());
}

TEST_F(ParamTest, PlainValueReplacesNestedSetInOneUndoStep) {
    CRecord* sub = CParamSet::GetOrCreateSubSet(Set(), &editor, LString("group"));
    ASSERT_TRUE(sub);
    EXPECT_EQ(CParamSet::GetSubSet(Set(), LString("group")), sub);
    CParamSet::SetString(CRecordRef(&sub), &editor, LString("inner"), LString("1"));
    const std::string nested = rtest::Dump(holder->Root());
    CParamSet::SetString(Set(), &editor, LString("group"), LString("plain"));
    EXPECT_EQ(CParamSet::GetSubSet(Set(), LString("group")), nullptr);
    EXPECT_EQ(Value("group"), "plain");
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(rtest::Dump(holder->Root()), nested);
    // Numbered sub-sets.
    CParamSet::GetOrCreateSubSet(Set(), &editor, LString("3"));
    EXPECT_NE(CParamSet::GetSubSetByIndex(Set(), 3), nullptr);
}

TEST_F(ParamTest, NestedAndCellChangesNameTheirPlace) {
    CRecord* sub = CParamSet::GetOrCreateSubSet(Set(), &editor, LString("outer"));
    setChanges.clear();
    CParamSet::SetString(CRecordRef(&sub), &editor, LString("k"), LString("v"));
    ASSERT_EQ(setChanges.size(), 1u);
    EXPECT_STREQ(setChanges[0].key.CStr(), "k");
    EXPECT_EQ(setChanges[0].holder, holder->Root());
    EXPECT_EQ(setChanges[0].field, uint32_t(kSets));
    ASSERT_EQ(setChanges[0].outer.size(), 1u);
    EXPECT_STREQ(setChanges[0].outer[0]->GetString(CParamSet::kEntryKey).CStr(), "outer");

    Table().SetUInt(nullptr, CParamTable::kCols, 2);
    CParamTable::AppendRow(Table(), &editor);
    CParamTable::AppendRow(Table(), &editor);
    setChanges.clear();
    CParamTable::SetCell(Table(), &editor, 1, 1, LString("id"), LString("x"));
    ASSERT_EQ(setChanges.size(), 1u);
    EXPECT_EQ(setChanges[0].table, Table().Get());
    EXPECT_EQ(setChanges[0].column, 1u);
    EXPECT_EQ(setChanges[0].row, 1u);
}

TEST_F(ParamTest, TableGeometry) {
    LString v;
    EXPECT_FALSE(CParamTable::GetCell(Table(), 0, 0, LString("id"), v));
    CParamTable::AppendRow(Table(), &editor);  // cols 0: nothing to add
    EXPECT_EQ(Cells(), "0x0:");

    Table().SetUInt(nullptr, CParamTable::kCols, 2);
    CParamTable::AppendRow(Table(), &editor);
    CParamTable::AppendRow(Table(), &editor);
    const char* ids[] = {"a", "b", "c", "d"};
    for (uint32_t i = 0; i < 4; ++i)
        CParamTable::SetCell(Table(), &editor, i % 2, i / 2, LString("id"), LString(ids[i]));
    EXPECT_EQ(Cells(), "2x2: a b c d");

    CParamTable::AppendColumn(Table(), &editor);
    EXPECT_EQ(Cells(), "3x2: a b _ c d _");
    ASSERT_TRUE(doc.queue.Perform(0));
    CScrapReader none(nullptr, 0);
    CParamTable::InsertColumn(Table(), &editor, 1, none);
    EXPECT_EQ(Cells(), "3x2: a _ b c _ d");  // new cells at indices 1 and 4
    CParamTable::DeleteRow(Table(), &editor, 0);
    EXPECT_EQ(Cells(), "3x1: c _ d");
    CParamTable::DeleteRow(Table(), &editor, 5);
    EXPECT_EQ(Cells(), "3x1: c _ d");
    ASSERT_TRUE(doc.queue.Perform(0));
    ASSERT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Cells(), "2x2: a b c d");
}

TEST_F(ParamTest, RowAndColumnOperationsAreReportedWhole) {
    Table().SetUInt(nullptr, CParamTable::kCols, 2);
    tableChanges.clear();
    using P = std::pair<int, uint32_t>;
    using T = CParamTable;
    CParamTable::AppendRow(Table(), &editor);
    CParamTable::AppendRow(Table(), &editor);
    EXPECT_EQ(tableChanges, (std::vector<P>{{T::kRowInserted, 0}, {T::kRowInserted, 1}}));
    tableChanges.clear();
    CScrapReader none(nullptr, 0);
    CParamTable::InsertColumn(Table(), &editor, 1, none);
    EXPECT_EQ(tableChanges, (std::vector<P>{{T::kColumnInserted, 1}}));
    tableChanges.clear();
    CParamTable::DeleteRow(Table(), &editor, 0);
    EXPECT_EQ(tableChanges, (std::vector<P>{{T::kRowRemoved, 0}}));
    tableChanges.clear();
    ASSERT_TRUE(doc.queue.Perform(0));  // the row comes back
    ASSERT_TRUE(doc.queue.Perform(0));  // the column goes
    EXPECT_EQ(tableChanges, (std::vector<P>{{T::kRowInserted, 0}, {T::kColumnRemoved, 1}}));

    // A bare change of cols is announced one column at a time.
    tableChanges.clear();
    Table().SetUInt(nullptr, CParamTable::kCols, 4);
    Table().SetUInt(nullptr, CParamTable::kCols, 3);
    EXPECT_EQ(tableChanges,
              (std::vector<P>{{T::kColumnInserted, 2}, {T::kColumnInserted, 3}, {T::kColumnRemoved, 3}}));
}

TEST_F(ParamTest, CellsComeFromTheScrap) {
    CRecord* cell = CRecord::New(&CParamSet::SetType());
    CParamSet::PutIntByName(cell, "id", 5);
    CRecord* stranger = rtest::NewLeaf("not a set");
    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        ASSERT_TRUE(writer.WriteRecord(stranger));
        ASSERT_TRUE(writer.WriteRecord(cell));
    }
    Table().SetUInt(nullptr, CParamTable::kCols, 2);
    CScrapReader reader(data.Data(), data.Count());
    CParamTable::InsertRows(Table(), &editor, 0, reader);
    EXPECT_EQ(Cells(), "2x1: 5 _");
    CRecord::Delete(cell);
    CRecord::Delete(stranger);
}

TEST_F(ParamTest, SetsRoundTripThroughTheScrap) {
    CParamSet::SetString(Set(), nullptr, LString("a"), LString("1"));
    CRecord* sub = CParamSet::GetOrCreateSubSet(Set(), nullptr, LString("nested"));
    CParamSet::SetString(CRecordRef(&sub), nullptr, LString("deep"), LString("line\nbreak"));
    CBytes data;
    {
        CScrapWriter writer(1, 1, data);
        ASSERT_TRUE(writer.WriteRecord(Set().Get()));
    }
    CScrapReader reader(data.Data(), data.Count());
    CRecord* back = reader.ReadRecord();
    ASSERT_TRUE(back);
    EXPECT_EQ(rtest::Dump(back), rtest::Dump(Set().Get()));
    CRecord::Delete(back);
}

}  // namespace

namespace {

TEST_F(ParamTest, PutIntAtMakesNoUndoEntry) {
    CParamSet::SetString(Set(), &editor, LString("other"), LString("x"));
    ASSERT_TRUE(doc.queue.CanUndo());
    ASSERT_TRUE(doc.queue.Perform(0));
    ASSERT_FALSE(doc.queue.CanUndo());
    setChanges.clear();
    CParamSet::PutIntAt(Set(), LString("usb0"), 1);
    CParamSet::PutIntAt(Set(), LString("usb0"), 0);
    CParamSet::PutIntAt(Set(), LString("usb1"), -7);
    EXPECT_EQ(Value("usb0"), "0");
    EXPECT_EQ(Value("usb1"), "-7");
    EXPECT_FALSE(doc.queue.CanUndo());
    EXPECT_EQ(setChanges.size(), 3u);  // observers still hear of it
}

}  // namespace
