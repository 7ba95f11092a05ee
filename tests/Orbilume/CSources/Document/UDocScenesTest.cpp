#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;

namespace {

class Scenes : public ::testing::Test {
protected:
    void SetUp() override { h.AddObserver(this, Observe); }
    static void Observe(void* context, const SRecordEvent* e) {
        auto* self = static_cast<Scenes*>(context);
        if (e->kind == SRecordEvent::kValueChanged && e->record.Get() == self->h.Scenes().Get())
            self->changedFields.push_back(e->field);
    }
    CRecordRef S() { return h.Scenes(); }
    // The current list's scene names and times.
    std::string List() {
        std::string out;
        for (uint32_t i = 0; i < UDocModel::GetSceneCount(S().Get()); ++i) {
            const CRecord* s = UDocModel::GetSceneAt(S().Get(), i);
            char buf[64];
            snprintf(buf, sizeof buf, "%s@%g ", s->GetString(T::kScneName).CStr(), s->GetFloat(T::kScneTime));
            out += buf;
        }
        return out;
    }
    void Add(const char* name, float t) {
        CRecord* s = UDocScenes::NewScene();
        s->StringSlot(T::kScneName) = LString(name);
        UDocScenes::InsertSceneByTime(S(), &editor, t, s);
    }
    int32_t Edited() { return S()->GetInt(T::kScnsEdited); }

    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
    std::vector<uint32_t> changedFields;
};

TEST_F(Scenes, InsertByTimeGoesAfterEqualTimes) {
    Add("a", 1);
    Add("b", 2);
    Add("c", 1);
    Add("d", 0);
    Add("e", 2);
    EXPECT_EQ(List(), "d@0 a@1 c@1 b@2 e@2 ");
    struct Case {
        uint32_t hint;
        float t;
        uint32_t expected;
    } bounds[] = {{0, 1, 1}, {4, 1, 1}, {99, 2, 3}, {2, 2.5f, 5}, {3, -1, 0}, {1, 0, 0}};
    for (const Case& c : bounds)
        EXPECT_EQ(UDocModel::SceneLowerBound(S().Get(), c.hint, c.t), c.expected) << c.t;
}

TEST_F(Scenes, RetimingKeepsTheListOrdered) {
    struct Run {
        uint32_t n;
        float t;
        uint32_t result;
        const char* list;
    } runs[] = {
        {0, 0.5f, 0, "a@0.5 b@1 c@2 d@3 "},
        {0, 1, 0, "a@1 b@1 c@2 d@3 "},
        {0, 2.5f, 2, "b@1 c@2 a@2.5 d@3 "},
        {3, 1.5f, 1, "d@1.5 b@1 c@2 a@2.5 "},
        {9, 5, 9, ""},
    };
    Add("a", 0);
    Add("b", 1);
    Add("c", 2);
    Add("d", 3);
    uint32_t step = 0;
    for (const Run& r : runs) {
        EXPECT_EQ(UDocScenes::SetSceneTimeSorted(S(), &editor, r.n, r.t), r.result) << step;
        if (*r.list && step < 3) {
            EXPECT_EQ(List(), r.list) << step;
        }
        ++step;
    }
    EXPECT_EQ(List(), "b@1 d@1.5 c@2 a@2.5 ");
    // Time and move of one re-timing are one undo step.
    EXPECT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(List(), "b@1 c@2 a@2.5 d@3 ");
}

TEST_F(Scenes, SelectingTheSelectedSceneBroadcastsAgain) {
    Add("a", 0);
    UDocScenes::SelectScene(S(), 0, -1, 2.5f);
    UDocScenes::SelectScene(S(), 0, 0.25f, -1);
    EXPECT_EQ(std::count(changedFields.begin(), changedFields.end(), T::kScnsRecall), 2);
    EXPECT_EQ(S()->GetInt(T::kScnsRecall), 0);
    EXPECT_EQ(S()->GetFloat(T::kScnsPosition), 0.25f);
    EXPECT_EQ(S()->GetFloat(T::kScnsFadeTime), -1.0f);
    UDocScenes::RequestLocateScene(S(), 0);
    UDocScenes::RequestLocateScene(S(), 0);
    EXPECT_EQ(std::count(changedFields.begin(), changedFields.end(), T::kScnsLocate), 2);
}

TEST_F(Scenes, SequenceIdsAreNeverZeroNorShared) {
    T::SetSequenceIdCounter(0xFFFFFFFE);
    ASSERT_EQ(UDocScenes::AppendSequence(S(), &editor), 0);
    ASSERT_EQ(UDocScenes::AppendSequence(S(), &editor), 1);
    ASSERT_EQ(UDocScenes::AppendSequence(S(), &editor), 2);
    auto id = [&](uint32_t n) { return S()->GetElement(T::kScnsSequences, n)->GetUInt(T::kSqncId); };
    EXPECT_EQ(id(0), 0xFFFFFFFFu);
    EXPECT_EQ(id(1), 1u);  // wraps past 0
    EXPECT_EQ(id(2), 2u);
    // A pasted sequence keeps a free id and gets a fresh one for a used id.
    CRecord* pasted = CRecord::New(T::Type(T::kSQNC));
    pasted->Slot(T::kSqncId).u32 = 77;
    ASSERT_TRUE(S().InsertRecord(&editor, T::kScnsSequences, 0, pasted));
    EXPECT_EQ(id(0), 77u);
    T::SetSequenceIdCounter(0);
    CRecord* copy = CRecord::New(T::Type(T::kSQNC));
    copy->Slot(T::kSqncId).u32 = 77;
    ASSERT_TRUE(S().InsertRecord(&editor, T::kScnsSequences, 0, copy));
    EXPECT_EQ(id(0), 3u);  // 1 and 2 are taken
    EXPECT_EQ(UDocModel::FindSequenceById(S().Get(), 77), 1);
}

TEST_F(Scenes, EditedSequenceFollowsInsertsRemovesAndMoves) {
    for (int i = 0; i < 4; ++i) UDocScenes::AppendSequence(S(), &editor);
    UDocScenes::SetSequenceEditing(S(), true);
    UDocScenes::SetEditedSequence(S(), 2);
    const CRecord* edited = S()->GetElement(T::kScnsSequences, 2);
    auto same = [&] { return S()->GetElement(T::kScnsSequences, static_cast<uint32_t>(Edited())) == edited; };
    S().InsertRecord(&editor, T::kScnsSequences, 0, CRecord::New(T::Type(T::kSQNC)));  // before: 3
    EXPECT_EQ(Edited(), 3);
    S().InsertRecord(&editor, T::kScnsSequences, 3, CRecord::New(T::Type(T::kSQNC)));  // at: 4
    EXPECT_EQ(Edited(), 4);
    EXPECT_TRUE(same());
    S().InsertRecord(&editor, T::kScnsSequences, 6, CRecord::New(T::Type(T::kSQNC)));  // after
    EXPECT_EQ(Edited(), 4);
    S().DeleteElement(&editor, T::kScnsSequences, 1);  // before: 3
    EXPECT_TRUE(same());
    S().DeleteElement(&editor, T::kScnsSequences, 4);  // after
    EXPECT_TRUE(same());
    S().MoveRecord(&editor, T::kScnsSequences, 3, 0);  // the edited one itself
    EXPECT_EQ(Edited(), 0);
    S().MoveRecord(&editor, T::kScnsSequences, 2, 0);  // one from after to before
    EXPECT_TRUE(same());
    S().MoveRecord(&editor, T::kScnsSequences, 0, 4);  // one from before to after
    EXPECT_TRUE(same());
    // Undoing the eight changes brings field 16 back with them.
    for (int i = 0; i < 8; ++i) EXPECT_TRUE(doc.queue.Perform(0)) << i;
    EXPECT_EQ(Edited(), 2);
    EXPECT_TRUE(same());
    UDocScenes::SetSequenceEditing(S(), false);
    EXPECT_EQ(Edited(), -1);
}

// Removing the edited sequence keeps editing the nearest one.
TEST_F(Scenes, RemovingTheEditedSequence) {
    struct Case {
        uint32_t count;
        int32_t edited;
        int32_t expected;
    } cases[] = {
        {3, 1, 1},  // middle: the next one takes its place
        {3, 2, 1},  // last: the new last one
        {1, 0, 0},  // only: 0 on the empty list
    };
    for (const Case& c : cases) {
        CDocModelHolder doc;
        CRecordRef scns = doc.Scenes();
        for (uint32_t i = 0; i < c.count; ++i) UDocScenes::AppendSequence(scns, nullptr);
        UDocScenes::SetSequenceEditing(scns, true);
        UDocScenes::SetEditedSequence(scns, c.edited);
        const CRecord* next = scns->GetElement(T::kScnsSequences, static_cast<uint32_t>(c.edited) + 1);
        scns.DeleteElement(nullptr, T::kScnsSequences, static_cast<uint32_t>(c.edited));
        EXPECT_EQ(scns->GetInt(T::kScnsEdited), c.expected) << c.edited;
        if (next) {
            EXPECT_EQ(scns->GetElement(T::kScnsSequences, c.expected), next);
        }
        EXPECT_EQ(UDocModel::GetSceneCount(scns.Get()), 0u);
    }
}

TEST_F(Scenes, CurrentListFindsAndSceneValues) {
    Add("a", 0);
    CRecord* a = UDocModel::GetSceneAt(S().Get(), 0);
    Ref(a).SetString(&editor, T::kScneKey, LString("Q"));
    EXPECT_EQ(UDocModel::FindSceneByKey(S().Get(), LString("q")), 0);
    EXPECT_EQ(UDocModel::FindSceneByKey(S().Get(), LString("x")), -1);
    UDocScenes::SetSceneValue(a, &editor, 3, LString("k"), LString("1"), false);
    UDocScenes::SetSceneValue(a, &editor, 3, LString("k"), LString("2"), true);  // add only: kept
    UDocScenes::SetSceneValue(a, &editor, 3, LString("j"), LString("5"), true);
    EXPECT_EQ(a->ArrayCount(T::kScneValues), 2u);
    EXPECT_STREQ(a->GetElement(T::kScneValues, 0)->GetString(T::kPrmtValue).CStr(), "1");
    UDocScenes::SetSceneValue(a, &editor, 3, LString("k"), LString("2"), false);
    EXPECT_STREQ(a->GetElement(T::kScneValues, 0)->GetString(T::kPrmtValue).CStr(), "2");
    UDocScenes::RemoveSceneValueFromAll(S(), &editor, 3, LString("k"));
    EXPECT_EQ(UDocModel::FindSceneValue(a, 3, LString("k")), -1);
    EXPECT_EQ(UDocModel::FindSceneValue(a, 3, LString("j")), 0);

    UDocScenes::AppendSequence(S(), &editor);
    UDocScenes::SetSequenceEditing(S(), true);
    EXPECT_EQ(UDocModel::GetSceneCount(S().Get()), 0u);
    Add("s", 1);
    const CRecord* sequence = S()->GetElement(T::kScnsSequences, 0);
    EXPECT_TRUE(UDocModel::IsCurrentSceneList(S().Get(), sequence));
    EXPECT_FALSE(UDocModel::IsCurrentSceneList(S().Get(), S().Get()));
    std::string names;
    UDocModel::ForEachScene(
        S().Get(),
        [](void* context, CRecord* scene, uint32_t) {
            *static_cast<std::string*>(context) += scene->GetString(T::kScneName).CStr();
            return true;
        },
        &names);
    EXPECT_EQ(names, "as");
    UDocScenes::SetEditedSequence(S(), 5);  // names no sequence: no list
    EXPECT_EQ(UDocModel::GetSceneCount(S().Get()), 0u);
    EXPECT_FALSE(UDocScenes::InsertScene(S(), &editor, 0, UDocScenes::NewScene()));
}

}  // namespace
