#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordMergeMemory.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreUI/CLRect.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace rtest;

namespace {

struct Row {
    uint32_t kind;
    uint32_t field;
    int32_t index1;
    int32_t index2;
    std::string label;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r) {
    return os << "{" << r.kind << ", " << r.field << ", " << r.index1 << ", " << r.index2 << ", " << r.label
              << "}";
}

constexpr uint32_t W = CRecord::kWholeRecord;
using E = SRecordEvent;

// A holder over a fresh node tree with an observer that records every event.
class RecordTree : public ::testing::Test {
protected:
    void SetUp() override {
        gHook = HookState();
        holder = std::make_unique<CRecordHolder>(NewNode("root"));
        holder->AddObserver(this, Observe);
        gHook.newCount = 0;
    }
    void TearDown() override {
        holder.reset();
        gHook = HookState();
    }

    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<RecordTree*>(context);
        self->rows.push_back({e->kind, e->field, e->index1, e->index2, Label(e->record.Get())});
        if (self->onEvent) self->onEvent(*e);
    }

    CRecordRef Root() { return holder->RootRef(); }
    std::vector<Row> Take() { return std::exchange(rows, {}); }

    LHandler editor;
    std::unique_ptr<CRecordHolder> holder;
    std::vector<Row> rows;
    std::function<void(const SRecordEvent&)> onEvent;
};

TEST_F(RecordTree, InsertSendsInsertingAttachedForTheSubtreeThenInserted) {
    CRecord* inner = NewNode("inner");
    EXPECT_TRUE(inner->InsertElementRaw(kKids, -1, NewLeaf("k0")));
    EXPECT_TRUE(inner->InsertElementRaw(kKids, -1, NewLeaf("k1")));
    EXPECT_TRUE(inner->InsertElementRaw(kHush, -1, NewLeaf("hushed")));  // silent: no events below it
    inner->GetSubRecord(kLeaf)->StringSlot(kLLabel) = LString("sub");
    inner->GetSubRecord(kHidden)->StringSlot(kLLabel) = LString("hidden");

    ASSERT_TRUE(Root().InsertRecord(&editor, kNodes, CRecordRef::kAppend, inner));
    const std::vector<Row> expected = {
        {E::kInserting, W, 0, -1, "inner"},    {E::kAttached, W, -1, 0, "inner"},
        {E::kAttached, W, -1, 0, "sub"},       {E::kAttached, W, -1, 0, "k0"},
        {E::kAttached, W, -1, 1, "k1"},        {E::kAttached, W, -1, 0, "hidden"},
        {E::kInserted, kNodes, 0, -1, "root"},
    };
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(inner->Parent(), holder->Root());
    EXPECT_EQ(CRecordRef(&inner).GetHolder(), holder.get());
    // The kind 6 hook is the parent's; kinds 4 each record's own.
    EXPECT_EQ(gHook.hookEvents.front(), "NODE:6");
    EXPECT_EQ(gHook.hookEvents[2], "LEAF:4");
}

TEST_F(RecordTree, RemoveSendsRemovingRemovedThenDeletingChildrenFirst) {
    CRecord* inner = NewNode("inner");
    EXPECT_TRUE(inner->InsertElementRaw(kKids, -1, NewLeaf("k0")));
    EXPECT_TRUE(inner->InsertElementRaw(kKids, -1, NewLeaf("k1")));
    inner->GetSubRecord(kLeaf)->StringSlot(kLLabel) = LString("sub");
    inner->GetSubRecord(kHidden)->StringSlot(kLLabel) = LString("hidden");
    Root().InsertRecord(nullptr, kNodes, 0, NewNode("first"));
    Root().InsertRecord(nullptr, kNodes, 1, inner);
    Root().InsertRecord(nullptr, kNodes, 2, NewNode("last"));
    Take();

    CRecord* removed = Root().RemoveRecord(&editor, kNodes, 1);
    ASSERT_EQ(removed, inner);
    const std::vector<Row> expected = {
        {E::kRemoving, W, 1, -1, "inner"},  {E::kRemoved, kNodes, 1, -1, "root"},
        {E::kDeleting, W, -1, 0, "hidden"}, {E::kDeleting, W, -1, 1, "k1"},
        {E::kDeleting, W, -1, 0, "k0"},     {E::kDeleting, W, -1, 0, "sub"},
        {E::kDeleting, W, -1, 1, "inner"},
    };
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(removed->Parent(), nullptr);
    EXPECT_EQ(removed->PositionWord(), 0u);
    EXPECT_EQ(removed->ArrayIndex(), -1);
    EXPECT_EQ(Root()->GetElement(kNodes, 1)->ArrayIndex(), 1);  // "last" renumbered
    EXPECT_EQ(Root().RemoveRecord(&editor, kNodes, 2), nullptr);
    CRecord::Delete(removed);
}

TEST_F(RecordTree, MoveLandsBeforeTheTargetPosition) {
    for (const char* label : {"0", "1", "2", "3", "4", "5"})
        Root().InsertRecord(nullptr, kKids, 99, NewLeaf(label));
    Take();
    struct Case {
        uint32_t from, to;
        std::string order;
        std::vector<Row> events;
    } cases[] = {
        {2, 5, "013425", {{E::kMoved, kKids, 2, 4, "root"}}},
        {4, 2, "012345", {{E::kMoved, kKids, 4, 2, "root"}}},  // moves it back
        {2, 3, "012345", {}},                                  // lands where it is
        {2, 2, "012345", {}},
        {6, 0, "012345", {}},  // from past the end
        {5, 0, "501234", {{E::kMoved, kKids, 5, 0, "root"}}},
        {0, 99, "012345", {{E::kMoved, kKids, 0, 5, "root"}}},  // to clamped to the count
    };
    for (const Case& c : cases) {
        Root().MoveRecord(&editor, kKids, c.from, c.to);
        std::string order;
        for (uint32_t i = 0; i < 6; ++i) {
            CRecord* e = Root().GetElement(kKids, i);
            order += Label(e);
            EXPECT_EQ(e->ArrayIndex(), static_cast<int32_t>(i));
        }
        EXPECT_EQ(order, c.order) << c.from << "->" << c.to;
        EXPECT_EQ(Take(), c.events) << c.from << "->" << c.to;
    }
}

TEST_F(RecordTree, DetachSendsDeletingForOldAttachedForNewThenValueChanged) {
    CRecord* first = NewLeaf("first");
    EXPECT_EQ(Root().DetachSubRecord(&editor, kOptional, first), nullptr);
    EXPECT_EQ(Take(), (std::vector<Row>{{E::kAttached, W, -1, 0, "first"},
                                        {E::kValueChanged, kOptional, 0, 0, "root"}}));

    CRecord* old = Root().DetachSubRecord(&editor, kOptional, NewLeaf("second"));
    ASSERT_EQ(old, first);
    EXPECT_EQ(old->Parent(), nullptr);
    const std::vector<Row> expected = {
        {E::kDeleting, W, -1, 0, "first"},
        {E::kAttached, W, -1, 0, "second"},
        {E::kValueChanged, kOptional, 0, 0, "root"},
    };
    EXPECT_EQ(Take(), expected);
    CRecord::Delete(old);

    EXPECT_EQ(Root().DetachSubRecord(&editor, kOptional, Root()->GetSubRecord(kOptional)), nullptr);
    EXPECT_TRUE(Take().empty());
    Root().DeleteSubRecord(&editor, kOptional);
    EXPECT_EQ(Take(), (std::vector<Row>{{E::kDeleting, W, -1, 0, "second"},
                                        {E::kValueChanged, kOptional, 0, 0, "root"}}));
    EXPECT_EQ(Root()->GetSubRecord(kOptional), nullptr);
}

TEST_F(RecordTree, ResetPutsTaggedFieldsBackLastFirstAndCallsTheHook) {
    CRecordRef root = Root();
    root.SetInt(&editor, kInt, 42);
    root.SetString(&editor, kLabel, LString("changed"));
    const int32_t ints[] = {1, 2};
    root.SetArray(&editor, kInts, ints, 2);
    root.DetachSubRecord(&editor, kOptional, NewLeaf("opt"));
    root.InsertRecord(&editor, kKids, 0, NewLeaf("k0"));
    root.InsertRecord(&editor, kKids, 1, NewLeaf("k1"));
    CRecordRef(&root->Slot(kLeaf).record).SetInt(&editor, kLInt, 5);
    root.SetInt(&editor, kInternal, 1);  // tag 0: not reset
    Take();
    gHook.newCount = 0;

    root.Reset();
    const std::vector<Row> expected = {
        {E::kRemoving, W, 1, -1, "k1"},
        {E::kRemoved, kKids, 1, -1, "changed"},
        {E::kDeleting, W, -1, 1, "k1"},
        {E::kRemoving, W, 0, -1, "k0"},
        {E::kRemoved, kKids, 0, -1, "changed"},
        {E::kDeleting, W, -1, 0, "k0"},
        {E::kDeleting, W, -1, 0, "opt"},
        {E::kValueChanged, kOptional, 0, 0, "changed"},
        {E::kValueChanged, kLInt, 0, 0, "leaf"},  // the sub-record reset
        {E::kValueChanged, kStrings, -1, 0, "changed"},
        {E::kValueChanged, kFloats, -1, 0, "changed"},
        {E::kValueChanged, kBytes, -1, 0, "changed"},
        {E::kValueChanged, kUInts, -1, 0, "changed"},
        {E::kValueChanged, kInts, -1, 0, "changed"},
        {E::kValueChanged, kLabel, 0, 0, "node"},
        {E::kValueChanged, kInt, 0, 0, "node"},
    };
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(root->GetInt(kInt), -5);
    EXPECT_EQ(root->GetInt(kInternal), 1);
    EXPECT_EQ(root->ArrayCount(kInts), 0u);
    EXPECT_EQ(gHook.newCount, 2);  // the leaf's reset and the root's
}

TEST_F(RecordTree, ModifiedFlagAndChangeCountFollowTags) {
    CRecordRef root = Root();
    root.InsertRecord(nullptr, kNodes, 0, NewNode("child"));
    holder->SetModified(false);
    CRecord* child = root->GetElement(kNodes, 0);
    CRecordRef childRef(&child);
    CRecordRef hidden(&root->Slot(kHidden).record);

    struct Case {
        const char* name;
        std::function<void()> edit;
        bool modifies;
        bool observed;
    } cases[] = {
        {"tagged field", [&] { root.SetUInt(nullptr, kUInt, 1); }, true, true},
        {"internal field", [&] { root.SetInt(&editor, kInternal, 5); }, false, true},
        {"tagged field below an internal field", [&] { hidden.SetInt(&editor, kLInt, 8); }, false, true},
        {"internal field of a tagged child", [&] { childRef.SetInt(&editor, kInternal, 3); }, false, true},
        {"tagged field of a tagged child", [&] { childRef.SetFloat(&editor, kFloat, 9.5f); }, true, true},
        {"silent field", [&] { root.SetUInt(&editor, kQuiet, 4); }, true, false},
        {"silent record array", [&] { root.InsertRecord(&editor, kHush, 0, NewLeaf("h")); }, true, false},
        {"unchanged value", [&] { root.SetUInt(&editor, kUInt, 1); }, false, false},
    };
    for (const Case& c : cases) {
        holder->SetModified(false);
        const uint32_t before = holder->ChangeCount();
        c.edit();
        EXPECT_EQ(holder->IsModified(), c.modifies) << c.name;
        EXPECT_EQ(holder->ChangeCount() - before, c.modifies ? 1u : 0u) << c.name;
        EXPECT_EQ(!Take().empty(), c.observed) << c.name;
    }
}

TEST_F(RecordTree, ScalarArrayEditsSendElementEvents) {
    CRecordRef root = Root();
    EXPECT_TRUE(root.InsertArrayValue(&editor, kFloats, 0, 1.0f));
    EXPECT_TRUE(root.InsertArrayValue(&editor, kFloats, 9, 3.0f));  // clamped: appends
    EXPECT_TRUE(root.SetArrayValue(&editor, kFloats, 1, 2.0f));
    EXPECT_TRUE(root.SetArrayValue(&editor, kFloats, 1, 2.0f));         // unchanged: nothing sent
    EXPECT_FALSE(root.SetArrayValue(&editor, kFloats, 2, 2.0f));        // past the end: ignored
    EXPECT_FALSE(root.SetArrayValue(&editor, kFloats, 0, int32_t{1}));  // wrong element type
    EXPECT_TRUE(root.RemoveArrayValue(&editor, kFloats, 0));
    EXPECT_TRUE(root.PadArray(&editor, kStrings, LString("pad"), 2));
    EXPECT_TRUE(root.SetArrayValue(&editor, kStrings, 1, LString("set")));
    const std::vector<Row> expected = {
        {E::kInserted, kFloats, 0, 0, "root"},      {E::kInserted, kFloats, 1, 0, "root"},
        {E::kValueChanged, kFloats, 1, 0, "root"},  {E::kRemoved, kFloats, 0, 0, "root"},
        {E::kInserted, kStrings, 0, 0, "root"},     {E::kInserted, kStrings, 1, 0, "root"},
        {E::kValueChanged, kStrings, 1, 0, "root"},
    };
    EXPECT_EQ(Take(), expected);
    EXPECT_EQ(root->ArrayCount(kFloats), 1u);
    EXPECT_EQ(static_cast<const float*>(root->ArrayData(kFloats))[0], 2.0f);
    EXPECT_EQ((*root->GetStrArray(kStrings))[0], "pad");
    EXPECT_EQ((*root->GetStrArray(kStrings))[1], "set");

    const uint8_t bytes[] = {0x0A, 0xFF};
    EXPECT_TRUE(root.SetArray(&editor, kBytes, bytes, 2));
    EXPECT_EQ(Take(), (std::vector<Row>{{E::kValueChanged, kBytes, -1, 0, "root"}}));
}

TEST_F(RecordTree, RectAndFileSpecFieldsGoThroughTheSetters) {
    CRecordRef root = Root();
    EXPECT_EQ(root.GetRectField(kInts), CLRect{});  // empty array
    const int32_t three[] = {1, 2, 3};
    root.SetArray(nullptr, kInts, three, 3);
    EXPECT_EQ(root.GetRectField(kInts), CLRect{});  // fewer than four elements
    EXPECT_EQ(root.GetRectField(kFloats), CLRect{});
    Take();
    const CLRect rect{-5, 10, 640, 480};
    EXPECT_TRUE(root.SetRectField(&editor, kInts, rect));
    EXPECT_FALSE(root.SetRectField(&editor, kFloats, rect));  // not an int32 array
    EXPECT_EQ(root.GetRectField(kInts), rect);
    EXPECT_EQ(root->ArrayCount(kInts), 4u);
    EXPECT_EQ(Take(), (std::vector<Row>{{E::kValueChanged, kInts, -1, 0, "root"}}));

    const LFsSpec spec = CMacFileU::LFsSpecFromPath("/tmp/show files/a:b.obm");
    ASSERT_FALSE(spec.IsEmpty());
    EXPECT_TRUE(root.SetFileSpecField(&editor, kLabel, spec));
    EXPECT_STREQ(root->GetString(kLabel).CStr(), "/tmp/show files/a:b.obm");
    EXPECT_TRUE(root.GetFileSpecField(kLabel) == spec);
    EXPECT_EQ(Take(), (std::vector<Row>{{E::kValueChanged, kLabel, 0, 0, "/tmp/show files/a:b.obm"}}));
    for (const char* path : {"", "relative/show.obm"}) {
        root.SetString(nullptr, kLabel, LString(path));
        EXPECT_TRUE(root.GetFileSpecField(kLabel).IsEmpty()) << path;
    }
    EXPECT_TRUE(root.SetFileSpecField(nullptr, kLabel, LFsSpec()));
    EXPECT_TRUE(root->GetString(kLabel).IsEmpty());
}

TEST_F(RecordTree, HookStopsObserversButNotTheChange) {
    gHook.stopKind = E::kValueChanged;
    Root().SetInt(&editor, kInt, 3);
    EXPECT_EQ(Root()->GetInt(kInt), 3);
    EXPECT_TRUE(holder->IsModified());
    EXPECT_TRUE(Take().empty());
    EXPECT_EQ(gHook.hookEvents, (std::vector<std::string>{"NODE:0"}));
}

TEST_F(RecordTree, HookMovesTheInsertionPoint) {
    for (const char* label : {"a", "b", "c"}) Root().InsertRecord(nullptr, kKids, 99, NewLeaf(label));
    Take();
    gHook.moveInsertTo = 1;
    Root().InsertRecord(&editor, kKids, 3, NewLeaf("moved"));
    EXPECT_EQ(Label(Root()->GetElement(kKids, 1)), "moved");
    gHook.moveInsertTo = 50;  // clamped to the count
    Root().InsertRecord(&editor, kKids, 0, NewLeaf("end"));
    EXPECT_EQ(Label(Root()->GetElement(kKids, 4)), "end");
    const std::vector<Row> expected = {
        {E::kInserting, W, 1, -1, "moved"},   {E::kAttached, W, -1, 1, "moved"},
        {E::kInserted, kKids, 1, -1, "root"}, {E::kInserting, W, 50, -1, "end"},
        {E::kAttached, W, -1, 4, "end"},      {E::kInserted, kKids, 4, -1, "root"},
    };
    EXPECT_EQ(Take(), expected);
}

TEST_F(RecordTree, ObserverMayRemoveItselfWhileNotified) {
    struct Other {
        int calls = 0;
        static void Fn(void* ctx, const SRecordEvent*) { ++static_cast<Other*>(ctx)->calls; }
    } other;
    holder->AddObserver(&other, Other::Fn);
    onEvent = [&](const SRecordEvent&) { holder->RemoveObserver(this, Observe); };
    Root().SetInt(nullptr, kInt, 1);
    Root().SetInt(nullptr, kInt, 2);
    EXPECT_EQ(Take().size(), 1u);
    EXPECT_EQ(other.calls, 2);
    holder->RemoveObserver(&other, Other::Fn);
}

TEST_F(RecordTree, DestroyingTheHolderSendsDeletingForTheWholeTreeChildrenFirst) {
    CRecordRef root = Root();
    root.InsertRecord(nullptr, kKids, 0, NewLeaf("k0"));
    root.InsertRecord(nullptr, kKids, 1, NewLeaf("k1"));
    root.InsertRecord(nullptr, kAny, 0, nullptr);
    root.DetachSubRecord(nullptr, kOptional, NewLeaf("opt"));
    root->GetSubRecord(kLeaf)->StringSlot(kLLabel) = LString("sub");
    root.InsertRecord(nullptr, kNodes, 0, NewNode("inner"));
    Take();
    holder.reset();
    const std::vector<Row> expected = {
        {E::kDeleting, W, -1, 0, "leaf"},  // inner's hidden leaf, then inner's leaf
        {E::kDeleting, W, -1, 0, "leaf"}, {E::kDeleting, W, -1, 0, "inner"},
        {E::kDeleting, W, -1, 0, "leaf"},  // root's hidden leaf
        {E::kDeleting, W, -1, 1, "k1"},   {E::kDeleting, W, -1, 0, "k0"},
        {E::kDeleting, W, -1, 0, "opt"},  {E::kDeleting, W, -1, 0, "sub"},
        {E::kDeleting, W, -1, 0, "root"},
    };
    EXPECT_EQ(Take(), expected);
}

TEST_F(RecordTree, SettersWithoutHolderStoreWithoutEvents) {
    CRecord* loose = NewNode("loose");
    CRecordRef ref(&loose);
    EXPECT_EQ(ref.GetHolder(), nullptr);
    EXPECT_TRUE(ref.SetString(&editor, kLabel, LString("stored")));
    EXPECT_TRUE(ref.InsertRecord(&editor, kKids, 0, NewLeaf("k")));
    EXPECT_EQ(ref->GetString(kLabel), "stored");
    EXPECT_EQ(ref->ArrayCount(kKids), 1u);
    EXPECT_TRUE(Take().empty());
    EXPECT_FALSE(holder->IsModified());

    // Wrong kinds and indexes change nothing.
    EXPECT_FALSE(ref.SetFloat(&editor, kInt, 1.0f));
    EXPECT_FALSE(ref.SetInt(&editor, kNodeFieldCount, 1));
    EXPECT_FALSE(ref.InsertRecord(&editor, kInt, 0, NewLeaf("refused")));  // deleted, not leaked
    CRecord::Delete(loose);
}

TEST_F(RecordTree, ContinuousEditsMergeByTheMergeMemory) {
    CRecordRef root = Root();
    root.InsertRecord(nullptr, kNodes, 0, NewNode("a"));
    root.InsertRecord(nullptr, kNodes, 1, NewNode("b"));
    CRecord* a = root->GetElement(kNodes, 0);
    CRecord* b = root->GetElement(kNodes, 1);
    CRecordRef ra(&a), rb(&b);
    constexpr uint32_t C = CRecordRef::kMergeContinuous;

    ra.SetFloat(&editor, kFloat, 1.0f, C);
    EXPECT_EQ(CRecordMergeMemory::Record(), a);
    struct Case {
        const char* name;
        std::function<int()> step;
        int expected;
    } cases[] = {
        {"same field, continuous", [&] { return CRecordHolder::CanMergeEdit(ra, kFloat, C); }, 2},
        {"same field, not continuous", [&] { return CRecordHolder::CanMergeEdit(ra, kFloat, 0); }, 1},
        {"then continuous again", [&] { return CRecordHolder::CanMergeEdit(ra, kFloat, C); }, 2},
        {"other field", [&] { return CRecordHolder::CanMergeEdit(ra, kInt, C); }, 1},
        {"other record", [&] { return CRecordHolder::CanMergeEdit(rb, kInt, C); }, 1},
        {"after a structural edit",
         [&] {
             root.InsertRecord(&editor, kKids, 0, NewLeaf("x"));
             return CRecordHolder::CanMergeEdit(rb, kInt, C);
         },
         1},
    };
    for (const Case& c : cases) EXPECT_EQ(c.step(), c.expected) << c.name;

    // Element edits: another element index starts over.
    ra.SetArray(&editor, kInts, nullptr, 0);
    ra.PadArray(&editor, kInts, int32_t{0}, 3);
    ra.SetArrayValue(&editor, kInts, 1, int32_t{5}, C);
    EXPECT_EQ(CRecordMergeMemory::ElementIndex(), 1);
    EXPECT_EQ(CRecordHolder::CanMergeEdit(ra, kInts, C), 2);
    ra.SetArrayValue(&editor, kInts, 2, int32_t{5}, C);
    EXPECT_EQ(CRecordMergeMemory::ElementIndex(), 2);
    ra.SetArrayValue(&editor, kInts, 2, int32_t{6}, C);
    EXPECT_EQ(CRecordHolder::CanMergeEdit(ra, kInts, C), 2);
    ra.SetArray(&editor, kInts, nullptr, 0, C);
    EXPECT_EQ(CRecordMergeMemory::ElementIndex(), -1);
}

TEST_F(RecordTree, MergeMemoryForgetsARecordThatGoes) {
    // A new record at the address of a freed one must not continue its gesture.
    CRecordRef root = Root();
    root.InsertRecord(nullptr, kNodes, 0, NewNode("doomed"));
    CRecord* doomed = root->GetElement(kNodes, 0);
    CRecordRef ref(&doomed);
    ref.SetFloat(&editor, kFloat, 2.0f, CRecordRef::kMergeContinuous);
    ASSERT_EQ(CRecordMergeMemory::Record(), doomed);

    CRecord* loose = root.RemoveRecord(nullptr, kNodes, 0);  // structural edit clears it anyway
    CRecordRef looseRef(&loose);
    looseRef.SetFloat(&editor, kFloat, 3.0f, CRecordRef::kMergeContinuous);  // no holder: not remembered
    EXPECT_EQ(CRecordMergeMemory::Record(), nullptr);

    root.InsertRecord(nullptr, kNodes, 0, loose);
    ref.SetFloat(&editor, kFloat, 4.0f, CRecordRef::kMergeContinuous);
    ASSERT_EQ(CRecordMergeMemory::Record(), loose);
    // Deleting a record through any path (here the holder's teardown) forgets it.
    holder.reset();
    EXPECT_EQ(CRecordMergeMemory::Record(), nullptr);

    CRecord* child = NewNode("child");
    CRecordHolder other(NewNode("other"));
    CRecordRef otherRoot = other.RootRef();
    otherRoot.InsertRecord(nullptr, kNodes, 0, child);
    CRecordRef childRef(&child);
    childRef.SetFloat(&editor, kFloat, 1.0f, CRecordRef::kMergeContinuous);
    ASSERT_EQ(CRecordMergeMemory::Record(), child);
    CRecord::Delete(otherRoot->SetSubRecord(kOptional, nullptr));
    CRecord::Delete(CRecord::Clone(otherRoot.Get(), nullptr));  // clones come and go without touching it
    EXPECT_EQ(CRecordMergeMemory::Record(), child);
    other.RootRef().Reset();  // resets clear it, deleted elements are forgotten
    EXPECT_EQ(CRecordMergeMemory::Record(), nullptr);
}

TEST(CRecordHolderResolve, DeclaredSubTypeUnlessTheFieldTakesAnyType) {
    CRecordHolder holder(NewNode("root"));
    CRecord* root = holder.Root();
    EXPECT_EQ(holder.ResolveType(Fcc("TEST"), Fcc("NODE"), root, kKids), &gLeafType);
    EXPECT_EQ(holder.ResolveType(Fcc("TEST"), Fcc("NODE"), root, kAny), &gNodeType);
    EXPECT_EQ(holder.ResolveType(Fcc("TEST"), Fcc("NODE"), nullptr, 0), &gNodeType);
    EXPECT_EQ(holder.ResolveType(Fcc("TEST"), Fcc("NONE"), nullptr, 0), nullptr);
    EXPECT_EQ(holder.RootRef().IndexInParent(), 0u);
    EXPECT_EQ(holder.RootRef().GetHolder(), &holder);
}

}  // namespace
