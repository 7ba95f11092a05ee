#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/CUndoStrm.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Lib3/LSources/CoreData/RecordTestTypes.h"

using namespace rtest;

namespace {

// A document: owns a queue and answers for it, as the owners of queues do.
class Document : public LHandler {
public:
    explicit Document(uint64_t limit) : queue(limit) {}
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue;
};

class UndoTest : public ::testing::Test {
public:
    void SetUp() override {
        gHook = HookState();
        CRecord* root = NewNode("root");
        EXPECT_TRUE(root->InsertElementRaw(kKids, -1, NewLeaf("k0")));
        EXPECT_TRUE(root->InsertElementRaw(kKids, -1, NewLeaf("k1")));
        CRecord* sub = NewNode("sub");
        EXPECT_TRUE(sub->InsertElementRaw(kKids, -1, NewLeaf("deep")));
        EXPECT_TRUE(root->InsertElementRaw(kNodes, -1, sub));
        const int32_t ints[] = {1, 2, 3};
        EXPECT_TRUE(root->SetArrayRaw(kInts, ints, 3));
        const LString strings[] = {LString("a"), LString("b")};
        EXPECT_TRUE(root->SetArrayRaw(kStrings, strings, 2));
        holder = std::make_unique<CRecordHolder>(root);
    }
    void TearDown() override {
        holder.reset();
        gHook = HookState();
    }

    void MakeDocument(uint64_t limit) {
        doc = std::make_unique<Document>(limit);
        editor.SetUpper(doc.get());
    }
    CRecordRef Root() { return holder->RootRef(); }
    std::string Tree() { return Dump(holder->Root()); }
    CUndoQueue& Queue() { return doc->queue; }
    int UndoAll() {
        int steps = 0;
        while (Queue().Perform(0)) ++steps;
        return steps;
    }

    std::unique_ptr<Document> doc = std::make_unique<Document>(0x10000);
    LHandler editor{doc.get()};
    std::unique_ptr<CRecordHolder> holder;
};

CRecordRef Deep(CRecordRef root, CRecord** slot) {
    *slot = root->GetElement(kNodes, 0);
    return CRecordRef(slot);
}

TEST_F(UndoTest, EveryEditKindUndoesAndRedoesToEqualTrees) {
    struct Case {
        const char* name;
        std::function<void(UndoTest&, LHandler*)> edit;
    };
    const Case cases[] = {
        {"int", [](UndoTest& t, LHandler* e) { t.Root().SetInt(e, kInt, 42); }},
        {"uint", [](UndoTest& t, LHandler* e) { t.Root().SetUInt(e, kUInt, 7); }},
        {"byte", [](UndoTest& t, LHandler* e) { t.Root().SetByte(e, kByte, 200); }},
        {"float", [](UndoTest& t, LHandler* e) { t.Root().SetFloat(e, kFloat, -2.75f); }},
        {"string", [](UndoTest& t, LHandler* e) { t.Root().SetString(e, kLabel, LString("renamed")); }},
        {"whole int array",
         [](UndoTest& t, LHandler* e) {
             const int32_t v[] = {9, 2};
             t.Root().SetArray(e, kInts, v, 2);
         }},
        {"whole string array",
         [](UndoTest& t, LHandler* e) {
             const LString v[] = {LString("x"), LString("b"), LString("longer text")};
             t.Root().SetArray(e, kStrings, v, 3);
         }},
        {"whole float array",
         [](UndoTest& t, LHandler* e) {
             const float v[] = {0.5f, 1.25f};
             t.Root().SetArray(e, kFloats, v, 2);
         }},
        {"whole byte array",
         [](UndoTest& t, LHandler* e) {
             const uint8_t v[] = {0, 255, 7};
             t.Root().SetArray(e, kBytes, v, 3);
         }},
        {"array element", [](UndoTest& t, LHandler* e) { t.Root().SetArrayValue(e, kInts, 1, int32_t(-8)); }},
        {"string element",
         [](UndoTest& t, LHandler* e) { t.Root().SetArrayValue(e, kStrings, 0, LString("z")); }},
        {"element insert",
         [](UndoTest& t, LHandler* e) { t.Root().InsertArrayValue(e, kInts, 1, int32_t(5)); }},
        {"string insert",
         [](UndoTest& t, LHandler* e) { t.Root().InsertArrayValue(e, kStrings, 2, LString("c")); }},
        {"element remove", [](UndoTest& t, LHandler* e) { t.Root().RemoveArrayValue(e, kInts, 0); }},
        {"pad (group)", [](UndoTest& t, LHandler* e) { t.Root().PadArray(e, kUInts, uint32_t(3), 4); }},
        {"optional child added",
         [](UndoTest& t, LHandler* e) { t.Root().DeleteSubRecord(e, kOptional, NewLeaf("opt")); }},
        {"child replaced",
         [](UndoTest& t, LHandler* e) { t.Root().DeleteSubRecord(e, kLeaf, NewLeaf("new leaf")); }},
        {"record insert",
         [](UndoTest& t, LHandler* e) { t.Root().InsertRecord(e, kKids, 1, NewLeaf("mid")); }},
        {"subtree insert",
         [](UndoTest& t, LHandler* e) {
             CRecord* n = NewNode("branch");
             EXPECT_TRUE(n->InsertElementRaw(kKids, -1, NewLeaf("twig")));
             t.Root().InsertRecord(e, kNodes, 0, n);
         }},
        {"record remove", [](UndoTest& t, LHandler* e) { t.Root().DeleteElement(e, kKids, 0); }},
        {"subtree remove", [](UndoTest& t, LHandler* e) { t.Root().DeleteElement(e, kNodes, 0); }},
        {"record move", [](UndoTest& t, LHandler* e) { t.Root().MoveRecord(e, kKids, 0, 2); }},
        {"deep string",
         [](UndoTest& t, LHandler* e) {
             CRecord* slot = nullptr;
             CRecord* leaf = Deep(t.Root(), &slot)->GetElement(kKids, 0);
             CRecordRef(&leaf).SetString(e, kLLabel, LString("deeper"));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        MakeDocument(0x10000);
        const std::string before = Tree();
        c.edit(*this, &editor);
        const std::string after = Tree();
        ASSERT_NE(before, after);
        ASSERT_TRUE(Queue().CanUndo());
        ASSERT_TRUE(Queue().Perform(0));
        EXPECT_EQ(Tree(), before);
        EXPECT_FALSE(Queue().CanUndo());
        ASSERT_TRUE(Queue().Perform(1));
        EXPECT_EQ(Tree(), after);
        EXPECT_FALSE(Queue().CanRedo());
        ASSERT_TRUE(Queue().Perform(0));
        EXPECT_EQ(Tree(), before);
        TearDown();
    }
}

TEST_F(UndoTest, ContinuousGestureIsOneEntry) {
    const float start = Root()->GetFloat(kFloat);
    for (float v : {2.0f, 3.0f, 4.0f}) Root().SetFloat(&editor, kFloat, v, CRecordRef::kMergeContinuous);
    EXPECT_EQ(Root()->GetFloat(kFloat), 4.0f);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetFloat(kFloat), start);
    EXPECT_FALSE(Queue().CanUndo());
    ASSERT_TRUE(Queue().Perform(1));
    EXPECT_EQ(Root()->GetFloat(kFloat), 4.0f);
}

TEST_F(UndoTest, GesturesDoNotMergeAcrossFieldsOrAfterAStep) {
    Root().SetUInt(&editor, kUInt, 1, CRecordRef::kMergeContinuous);
    // An unchanged value writes nothing but moves the merge memory to another field...
    Root().SetInt(&editor, kInt, Root()->GetInt(kInt), CRecordRef::kMergeContinuous);
    // ...so this continuous edit must not extend the entry of the other field.
    Root().SetInt(&editor, kInt, 99, CRecordRef::kMergeContinuous);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetInt(kInt), -5);
    EXPECT_EQ(Root()->GetUInt(kUInt), 1u);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetUInt(kUInt), 0xFFFFFFF0u);

    // After an undo step the next continuous edit starts a new entry.
    Root().SetString(&editor, kLabel, LString("b"), CRecordRef::kMergeContinuous);
    ASSERT_TRUE(Queue().Perform(0));
    Root().SetString(&editor, kLabel, LString("c"), CRecordRef::kMergeContinuous);
    Root().SetString(&editor, kLabel, LString("d"), CRecordRef::kMergeContinuous);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_STREQ(Root()->GetString(kLabel).CStr(), "root");
}

TEST_F(UndoTest, UnchangedValuesAndEditorsWithoutQueueWriteNothing) {
    Root().SetInt(&editor, kInt, Root()->GetInt(kInt));
    Root().SetString(&editor, kLabel, LString("root"));
    EXPECT_FALSE(Queue().CanUndo());

    LHandler orphan;  // no queue above it
    Root().SetInt(&orphan, kInt, 12);
    EXPECT_EQ(Root()->GetInt(kInt), 12);
    EXPECT_FALSE(Queue().CanUndo());
}

// A control that keeps sending NaN must not flood observers and the queue: NaN over NaN is no change.
TEST_F(UndoTest, NaNSetOverNaNIsNoChange) {
    int events = 0;
    RecordObserverFunction* count = [](void* context, const SRecordEvent*) { ++*static_cast<int*>(context); };
    holder->AddObserver(&events, count);
    const float one = 1.0f;
    EXPECT_TRUE(Root()->SetArrayRaw(kFloats, &one, 1));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        const char* name;
        std::function<void()> set;
        std::function<float()> get;
    } cases[] = {
        {"float field", [&] { Root().SetFloat(&editor, kFloat, nan); },
         [&] { return Root()->GetFloat(kFloat); }},
        {"float element", [&] { Root().SetArrayValue(&editor, kFloats, 0, nan); },
         [&] { return static_cast<const float*>(Root()->ArrayData(kFloats))[0]; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const float before = c.get();
        events = 0;
        for (int i = 0; i < 4; ++i) c.set();
        EXPECT_TRUE(std::isnan(c.get()));
        EXPECT_EQ(events, 1);
        ASSERT_TRUE(Queue().Perform(0));  // one step takes the value back
        EXPECT_EQ(c.get(), before);
        EXPECT_FALSE(Queue().CanUndo());
    }
    // Zeros of either sign still count as equal.
    Root().SetFloat(&editor, kFloat, 0.0f);
    events = 0;
    Root().SetFloat(&editor, kFloat, -0.0f);
    EXPECT_EQ(events, 0);
    EXPECT_FALSE(std::signbit(Root()->GetFloat(kFloat)));
    holder->RemoveObserver(&events, count);
}

TEST_F(UndoTest, NewEditAfterUndoDropsRedo) {
    Root().SetInt(&editor, kInt, 1);
    Root().SetInt(&editor, kInt, 2);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_TRUE(Queue().CanRedo());
    Root().SetUInt(&editor, kUInt, 5);
    EXPECT_FALSE(Queue().CanRedo());
    EXPECT_FALSE(Queue().Perform(1));
    ASSERT_TRUE(Queue().Perform(0));
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetInt(kInt), -5);
    EXPECT_FALSE(Queue().Perform(0));
}

TEST_F(UndoTest, StepsWriteNoEntriesOfTheirOwn) {
    // Observers that edit through the same editor while a step runs find the queue disabled.
    holder->AddObserver(this, [](void* self, const SRecordEvent* e) {
        auto* t = static_cast<UndoTest*>(self);
        if (e->kind == SRecordEvent::kValueChanged && e->field == kInt && !e->editor)
            t->Root().SetUInt(&t->editor, kUInt, t->Root()->GetUInt(kUInt) + 1);
    });
    Root().SetInt(nullptr, kUInt, 0);
    Root().SetInt(&editor, kInt, 3);  // observer bumps kUInt only for editor-less events
    const uint32_t bumps = Root()->GetUInt(kUInt);
    const uint64_t logEnd = Queue().Buffer().mEnd;
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetUInt(kUInt), bumps + 1);
    EXPECT_FALSE(Queue().CanUndo());
    EXPECT_TRUE(Queue().CanRedo());
    EXPECT_EQ(Queue().Buffer().mEnd, logEnd);
    ASSERT_TRUE(Queue().Perform(1));
    EXPECT_EQ(Root()->GetInt(kInt), 3);
    EXPECT_EQ(Queue().Buffer().mEnd, logEnd);
}

TEST_F(UndoTest, SmallLogWrapsAndKeepsWhatStillUndoes) {
    MakeDocument(1024);
    std::vector<std::string> history{Root()->GetString(kLabel).CStr()};
    for (int i = 0; i < 60; ++i) {
        history.push_back("label number " + std::to_string(i) + std::string(size_t(i % 7), '+'));
        Root().SetString(&editor, kLabel, LString(history.back().c_str()));
    }
    const CUndoBuffer& b = Queue().Buffer();
    EXPECT_GT(b.mWrap, 0u);

    // Everything kept undoes in order, back to some value of the history; older ones are gone.
    int steps = 0;
    while (Queue().Perform(0)) {
        ++steps;
        ASSERT_EQ(Root()->GetString(kLabel).CStr(), history[history.size() - 1 - size_t(steps)]) << steps;
    }
    EXPECT_GT(steps, 5);
    EXPECT_LT(steps, 60);
    int redone = 0;
    while (Queue().Perform(1)) ++redone;
    EXPECT_EQ(redone, steps);
    EXPECT_EQ(Root()->GetString(kLabel).CStr(), history.back());

    // Undo across the wrap point, then edit: the log keeps working.
    for (int i = 0; i < steps / 2; ++i) ASSERT_TRUE(Queue().Perform(0));
    Root().SetString(&editor, kLabel, LString("after wrap"));
    EXPECT_FALSE(Queue().CanRedo());
    for (int i = 0; i < 80; ++i) Root().SetInt(&editor, kInt, i);
    const int kept = UndoAll();
    EXPECT_GT(kept, 5);
    EXPECT_LT(kept, 80);
}

TEST_F(UndoTest, MenuTextsComeFromTheStringList) {
    const plat::ResFileRef ref = plat::OpenResFile(ORBILUME_RESOURCE_FILE);
    ASSERT_GT(ref, 0);
    ResourceFileProvider provider(ref);
    ResourceProviderChain chain;
    chain.Add(&provider);
    ResourceProviderChain::SetGlobal(&chain);
    MakeDocument(0x10000);
    ResourceProviderChain::SetGlobal(nullptr);

    EXPECT_STREQ(Queue().UndoText().CStr(), "");
    Root().SetInt(&editor, kInt, 1);
    EXPECT_STREQ(Queue().UndoText().CStr(), "Undo");
    EXPECT_STREQ(Queue().RedoText().CStr(), "");

    void* group = CRecordUndo::BeginGroup(&editor, LString("Typing"));
    Root().SetString(&editor, kLabel, LString("t"));
    Root().SetString(&editor, kLabel, LString("ty"));
    CRecordUndo::EndGroup(group);
    EXPECT_STREQ(Queue().UndoText().CStr(), "Undo Typing");
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_STREQ(Root()->GetString(kLabel).CStr(), "root");
    EXPECT_STREQ(Queue().UndoText().CStr(), "Undo");
    EXPECT_STREQ(Queue().RedoText().CStr(), "Redo Typing");
    EXPECT_TRUE(Queue().HandleCommand(LStdCmd_Redo));
    EXPECT_STREQ(Root()->GetString(kLabel).CStr(), "ty");
    plat::CloseResFile(ref);
}

TEST_F(UndoTest, ClearHistoryEmptiesTheQueue) {
    Root().SetInt(&editor, kInt, 1);
    CUndoStrm::ClearHistory(&editor);
    EXPECT_FALSE(Queue().CanUndo());
    Root().SetInt(&editor, kInt, 2);
    ASSERT_TRUE(Queue().Perform(0));
    EXPECT_EQ(Root()->GetInt(kInt), 1);
}

}  // namespace
