#include <gtest/gtest.h>

#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace rtest;

namespace {

class CRecordTest : public ::testing::Test {
protected:
    void SetUp() override { gHook = HookState(); }
    void TearDown() override { gHook = HookState(); }
};

// Fills every value field of a node and gives it children.
void Populate(CRecord* n) {
    n->Slot(kInt).i32 = -77;
    n->Slot(kUInt).u32 = 77;
    n->Slot(kByte).u8 = 200;
    n->Slot(kFloat).f32 = 2.75f;
    n->StringSlot(kLabel) = LString("source");
    const int32_t ints[] = {1, -2, 3};
    const uint8_t bytes[] = {0x0A, 0xFF};
    const float floats[] = {0.5f};
    const LString strings[] = {LString("a b"), LString(), LString("x")};
    ASSERT_TRUE(n->SetArrayRaw(kInts, ints, 3));
    ASSERT_TRUE(n->SetArrayRaw(kUInts, ints, 2));
    ASSERT_TRUE(n->SetArrayRaw(kBytes, bytes, 2));
    ASSERT_TRUE(n->SetArrayRaw(kFloats, floats, 1));
    ASSERT_TRUE(n->SetArrayRaw(kStrings, strings, 3));
    n->GetSubRecord(kLeaf)->StringSlot(kLLabel) = LString("sub");
    CRecord::Delete(n->SetSubRecord(kOptional, NewLeaf("opt")));
    ASSERT_TRUE(n->InsertElementRaw(kKids, -1, NewLeaf("k0")));
    ASSERT_TRUE(n->InsertElementRaw(kKids, -1, NewLeaf("k1")));
    ASSERT_TRUE(n->InsertElementRaw(kAny, -1, nullptr));
    ASSERT_TRUE(n->InsertElementRaw(kNodes, -1, NewNode("inner")));
}

TEST_F(CRecordTest, NewFillsEveryKindWithDefaultsAndCallsTheHook) {
    CRecord* n = CRecord::New(&gNodeType);
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(gHook.newCount, 3);  // the node and its two non-optional leaves
    EXPECT_EQ(n->Type(), &gNodeType);
    EXPECT_EQ(n->Parent(), nullptr);
    EXPECT_EQ(n->PositionWord(), 0u);
    EXPECT_EQ(n->ArrayIndex(), -1);

    EXPECT_EQ(n->GetInt(kInt), -5);
    EXPECT_EQ(n->Slot(kInt).cell, 0xFFFFFFFBu);  // the high bytes stay zero
    EXPECT_EQ(n->GetUInt(kUInt), 0xFFFFFFF0u);
    EXPECT_EQ(n->GetByte(kByte), 1);
    EXPECT_EQ(n->Slot(kByte).cell, 1u);
    EXPECT_EQ(n->GetFloat(kFloat), 1.5f);
    EXPECT_EQ(n->GetString(kLabel), "node");
    EXPECT_EQ(n->GetInt(kInternal), 11);
    for (uint32_t f : {kInts, kUInts, kBytes, kFloats, kStrings, kKids, kAny, kNodes}) {
        EXPECT_EQ(n->ArrayCount(f), 0u) << f;
    }
    EXPECT_EQ(n->GetArray(kInts)->ElementSize(), 4);
    EXPECT_EQ(n->GetArray(kFloats)->ElementSize(), 4);
    EXPECT_EQ(n->GetArray(kBytes)->ElementSize(), 1);

    CRecord* leaf = n->GetSubRecord(kLeaf);
    ASSERT_NE(leaf, nullptr);
    EXPECT_EQ(leaf->Parent(), n);
    EXPECT_EQ(leaf->FieldInParent(), kLeaf);
    EXPECT_EQ(leaf->GetInt(kLInt), -2);
    EXPECT_EQ(leaf->GetUInt(kLUInt), 3u);
    EXPECT_EQ(leaf->GetByte(kLByte), 4);
    EXPECT_EQ(leaf->GetFloat(kLFloat), 0.25f);
    EXPECT_EQ(leaf->GetString(kLLabel), "leaf");
    EXPECT_EQ(n->GetSubRecord(kOptional), nullptr);
    EXPECT_NE(n->GetSubRecord(kHidden), nullptr);
    CRecord::Delete(n);
}

TEST_F(CRecordTest, TypeWithoutFieldsStillCallsTheHook) {
    static int calls = 0;
    const CRecordType empty(Fcc("TEST"), Fcc("NONE"), 0, nullptr, [](int op, void*) {
        if (op == 0) ++calls;
        return 0;
    });
    CRecord* r = CRecord::New(&empty);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(r->FieldCount(), 0u);
    CRecord::Delete(r);
}

TEST_F(CRecordTest, CreationFailsCleanly) {
    // A missing sub-type deep inside a tree, a bad element kind, a null or refused type: New
    // returns null and everything built so far is freed (the leak checker sees the rest).
    static const SFieldDesc missingSub[] = {
        SFieldDesc::String(Fcc("name"), "x"),
        SFieldDesc::Array(Fcc("strs"), kElemString),
        SFieldDesc::Record(Fcc("gone"), Fcc("TEST"), Fcc("GONE")),
    };
    static const SFieldDesc outer[] = {
        SFieldDesc::Record(Fcc("leaf"), Fcc("TEST"), Fcc("LEAF")),
        SFieldDesc::RecordArray(Fcc("kids"), Fcc("TEST"), Fcc("LEAF")),
        SFieldDesc::Record(Fcc("bad "), Fcc("TEST"), Fcc("MISS")),
    };
    static const SFieldDesc badElement[] = {
        SFieldDesc::Array(Fcc("ints"), kElemInt),
        SFieldDesc::Array(Fcc("what"), 9),
    };
    static const SFieldDesc optionalUnknown[] = {
        SFieldDesc::Record(Fcc("gone"), Fcc("TEST"), Fcc("GONE"), kFieldOptional),
    };
    static const SFieldDesc selfContaining[] = {
        SFieldDesc::Record(Fcc("self"), Fcc("TEST"), Fcc("SELF")),
    };
    const CRecordType missing(Fcc("TEST"), Fcc("MISS"), missingSub);
    const CRecordType outerType(Fcc("TEST"), Fcc("OUTR"), outer);
    const CRecordType badType(Fcc("TEST"), Fcc("BADE"), badElement);
    const CRecordType optionalType(Fcc("TEST"), Fcc("OPTU"), optionalUnknown);
    const CRecordType selfType(Fcc("TEST"), Fcc("SELF"), selfContaining);

    struct Case {
        const char* name;
        const CRecordType* type;
        bool refuse;
        bool made;
    } cases[] = {
        {"unknown sub-type", &missing, false, false},
        {"unknown sub-type below built fields", &outerType, false, false},
        {"unknown element kind", &badType, false, false},
        {"optional unknown sub-type", &optionalType, false, true},
        {"type containing itself", &selfType, false, false},
        {"null type", nullptr, false, false},
        {"hook refuses", &gNodeType, true, false},
    };
    for (const Case& c : cases) {
        gHook.refuseNew = c.refuse;
        CRecord* r = CRecord::New(c.type);
        EXPECT_EQ(r != nullptr, c.made) << c.name;
        CRecord::Delete(r);
    }
}

TEST_F(CRecordTest, RegistryFindsTheLastRegisteredType) {
    EXPECT_EQ(CRecordType::Find(Fcc("TEST"), Fcc("NODE")), &gNodeType);
    EXPECT_EQ(CRecordType::Find(Fcc("TEST"), Fcc("NOPE")), nullptr);
    {
        static const SFieldDesc one[] = {SFieldDesc::Int(Fcc("only"))};
        const CRecordType shadow(Fcc("TEST"), Fcc("NODE"), one);
        EXPECT_EQ(CRecordType::Find(Fcc("TEST"), Fcc("NODE")), &shadow);
    }
    EXPECT_EQ(CRecordType::Find(Fcc("TEST"), Fcc("NODE")), &gNodeType);
}

TEST_F(CRecordTest, MoreThan255FieldsAreRefusedAtRegistration) {
    static SFieldDesc many[256];
    for (uint32_t i = 0; i < 256; ++i) many[i] = SFieldDesc::String(Fcc("strn"), "default text");

    const CRecordType tooMany(Fcc("TEST"), Fcc("256F"), 256, many);
    EXPECT_FALSE(tooMany.IsRegistered());
    EXPECT_EQ(CRecordType::Find(Fcc("TEST"), Fcc("256F")), nullptr);
    EXPECT_EQ(CRecord::New(&tooMany), nullptr);

    const CRecordType most(Fcc("TEST"), Fcc("255F"), 255, many);
    EXPECT_TRUE(most.IsRegistered());
    CRecord* r = CRecord::New(&most);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->GetString(254), "default text");
    CRecord::Delete(r);
}

TEST_F(CRecordTest, CloneCopiesEveryKindDeeply) {
    CRecord* source = NewNode("source");
    Populate(source);
    CRecord* copy = CRecord::Clone(source, nullptr);
    ASSERT_NE(copy, nullptr);
    ASSERT_NE(copy, source);

    EXPECT_EQ(copy->GetInt(kInt), -77);
    EXPECT_EQ(copy->GetUInt(kUInt), 77u);
    EXPECT_EQ(copy->GetByte(kByte), 200);
    EXPECT_EQ(copy->GetFloat(kFloat), 2.75f);
    EXPECT_TRUE(copy->GetString(kLabel).IsSame(source->GetString(kLabel)));  // text is shared
    EXPECT_EQ(copy->ArrayCount(kInts), 3u);
    EXPECT_EQ(static_cast<const int32_t*>(copy->ArrayData(kInts))[1], -2);
    EXPECT_EQ(static_cast<const uint8_t*>(copy->ArrayData(kBytes))[1], 0xFF);
    ASSERT_EQ(copy->ArrayCount(kStrings), 3u);
    EXPECT_EQ((*copy->GetStrArray(kStrings))[0], "a b");
    EXPECT_NE(copy->GetArray(kInts), source->GetArray(kInts));

    CRecord* sub = copy->GetSubRecord(kLeaf);
    EXPECT_NE(sub, source->GetSubRecord(kLeaf));
    EXPECT_EQ(Label(sub), "sub");
    EXPECT_EQ(sub->Parent(), copy);
    EXPECT_EQ(Label(copy->GetSubRecord(kOptional)), "opt");
    ASSERT_EQ(copy->ArrayCount(kKids), 2u);
    EXPECT_EQ(Label(copy->GetElement(kKids, 1)), "k1");
    EXPECT_EQ(copy->GetElement(kKids, 1)->Parent(), copy);
    EXPECT_EQ(copy->GetElement(kKids, 1)->ArrayIndex(), 1);
    EXPECT_EQ(copy->ArrayCount(kAny), 1u);
    EXPECT_EQ(copy->GetElement(kAny, 0), nullptr);
    EXPECT_EQ(Label(copy->GetElement(kNodes, 0)), "inner");

    CRecord::Delete(source);
    CRecord::Delete(copy);
}

TEST_F(CRecordTest, CloneReusesTargetAndItsElements) {
    CRecord* source = NewNode("source");
    Populate(source);
    CRecord* target = NewNode("target");
    target->SetLinks(nullptr, 0x1000);  // its own header stays
    target->SetArrayIndex(7);
    CRecord* keptKid = NewLeaf("old0");
    ASSERT_TRUE(target->InsertElementRaw(kKids, -1, keptKid));
    for (const char* label : {"old1", "old2", "old3"})
        EXPECT_TRUE(target->InsertElementRaw(kKids, -1, NewLeaf(label)));
    CArrayBase* keptArray = target->GetArray(kInts);

    CRecord* result = CRecord::Clone(source, target);
    EXPECT_EQ(result, target);
    EXPECT_EQ(target->PositionWord(), 0x1000u);
    EXPECT_EQ(target->ArrayIndex(), 7);
    EXPECT_EQ(target->GetArray(kInts), keptArray);
    ASSERT_EQ(target->ArrayCount(kKids), 2u);  // surplus removed from the end
    EXPECT_EQ(target->GetElement(kKids, 0), keptKid);
    EXPECT_EQ(Label(keptKid), "k0");
    EXPECT_EQ(Label(target->GetElement(kKids, 1)), "k1");

    // Fewer target elements than source: the rest are appended as new clones.
    CRecord* small = NewNode("small");
    CRecord* again = CRecord::Clone(target, small);
    EXPECT_EQ(again, small);
    ASSERT_EQ(small->ArrayCount(kKids), 2u);
    EXPECT_EQ(small->GetElement(kKids, 1)->ArrayIndex(), 1);

    // A target of another type is replaced; a null source deletes the target.
    CRecord* leaf = NewLeaf("leaf");
    CRecord* replaced = CRecord::Clone(source, leaf);
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(replaced->Type(), &gNodeType);
    EXPECT_EQ(CRecord::Clone(nullptr, replaced), nullptr);

    CRecord::Delete(source);
    CRecord::Delete(target);
    CRecord::Delete(small);
}

TEST_F(CRecordTest, RecordArrayRawOperationsKeepIndicesAndLinks) {
    CRecord* n = NewNode("n");
    for (const char* label : {"a", "b", "c"}) ASSERT_TRUE(n->InsertElementRaw(kKids, -1, NewLeaf(label)));
    ASSERT_TRUE(n->InsertElementRaw(kKids, 99, NewLeaf("end")));  // clamped: appends
    ASSERT_TRUE(n->InsertElementRaw(kKids, 1, NewLeaf("front")));
    std::vector<std::string> labels;
    for (uint32_t i = 0; i < n->ArrayCount(kKids); ++i) {
        CRecord* e = n->GetElement(kKids, i);
        labels.push_back(Label(e));
        EXPECT_EQ(e->ArrayIndex(), static_cast<int32_t>(i));
        EXPECT_EQ(e->Parent(), n);
        EXPECT_EQ(e->FieldInParent(), kKids);
    }
    EXPECT_EQ(labels, (std::vector<std::string>{"a", "front", "b", "c", "end"}));

    CRecord* taken = n->TakeElementRaw(kKids, 1);
    EXPECT_EQ(Label(taken), "front");
    EXPECT_EQ(taken->ArrayIndex(), -1);
    EXPECT_EQ(n->GetElement(kKids, 1)->ArrayIndex(), 1);
    CRecord::Delete(taken);
    n->RemoveElementRaw(kKids, 3);
    n->RemoveElementRaw(kKids, 3);  // out of range: nothing
    EXPECT_EQ(n->ArrayCount(kKids), 3u);

    // Sub-record slots hand back the previous child unlinked.
    CRecord* first = NewLeaf("first");
    EXPECT_EQ(n->SetSubRecord(kOptional, first), nullptr);
    EXPECT_EQ(first->Parent(), n);
    EXPECT_EQ(n->SetSubRecord(kOptional, first), nullptr);  // already there: no change
    CRecord* old = n->SetSubRecord(kOptional, nullptr);
    EXPECT_EQ(old, first);
    EXPECT_EQ(old->Parent(), nullptr);
    EXPECT_EQ(old->PositionWord(), 0u);
    CRecord::Delete(old);
    CRecord::Delete(n);
}

TEST(CStrArray, LocalRoomHoldsShortArraysAndSpillsOver) {
    alignas(LString) unsigned char room[2 * sizeof(LString)];
    const auto* local = reinterpret_cast<const LString*>(room);
    {
        CStrArray a(room, 2);
        EXPECT_EQ(a.Capacity(), 0u);
        ASSERT_TRUE(a.Append(LString("one")));
        ASSERT_TRUE(a.Append(LString("two")));
        EXPECT_EQ(a.Data(), local);
        ASSERT_TRUE(a.Insert(0, a[1]));  // its own element, moved out of the room
        EXPECT_NE(a.Data(), local);
        ASSERT_EQ(a.Count(), 3u);
        EXPECT_EQ(a[0], "two");
        EXPECT_EQ(a[2], "two");
        EXPECT_TRUE(local[0].IsEmpty());  // the room lets its strings go
        a.DestroyAll();
        const LString two[] = {LString("a"), LString("b")};
        ASSERT_TRUE(a.Assign(two, 2));
        EXPECT_EQ(a.Data(), local);
        EXPECT_EQ(a[1], "b");
    }
}

TEST(CStrArray, GrowsFromTheCountAndNeverShrinksByCount) {
    CStrArray a;
    EXPECT_EQ(a.Capacity(), 0u);
    a.Insert(0, LString("x"));
    EXPECT_EQ(a.Capacity(), 2u);
    a.Insert(0, LString("w"));
    a.Insert(9, LString("z"));  // clamped to the count
    EXPECT_EQ(a.Capacity(), 6u);
    ASSERT_EQ(a.Count(), 3u);
    EXPECT_EQ(a[0], "w");
    EXPECT_EQ(a[2], "z");

    EXPECT_TRUE(a.SetCount(1));
    EXPECT_EQ(a.Count(), 3u);
    EXPECT_TRUE(a.Assign(a.Data(), 3));  // its own elements: unchanged
    EXPECT_EQ(a[1], "x");
    EXPECT_TRUE(a.SetCount(8, 2));
    EXPECT_EQ(a.Count(), 8u);
    EXPECT_EQ(a.Capacity(), 10u);
    EXPECT_TRUE(a[7].IsEmpty());

    a.Remove(0);
    EXPECT_EQ(a[0], "x");
    EXPECT_EQ(a.Count(), 7u);
    a.Remove(7);  // not below the count: nothing
    EXPECT_EQ(a.Count(), 7u);

    CStrArray b(1);
    b.Append(LString("only"));
    EXPECT_TRUE(a.Assign(b));
    ASSERT_EQ(a.Count(), 1u);
    EXPECT_EQ(a[0], "only");
    EXPECT_TRUE(b.Assign(a));
    EXPECT_TRUE(a[0].IsSame(b[0]));
    a.RemoveAll();
    EXPECT_EQ(a.Count(), 0u);
}

}  // namespace
