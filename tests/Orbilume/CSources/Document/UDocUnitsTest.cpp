#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "tests/Orbilume/CSources/Document/ShowTestSupport.h"

using namespace showtest;

namespace {

class Units : public ::testing::Test {
protected:
    CRecordRef Mix() { return h.Mix(); }
    uint64_t UndoPosition() { return doc.queue.Buffer().mCurrent; }
    UndoDocument doc;
    LHandler editor{&doc};
    CDocModelHolder h;
};

// Fills the mix with one layer whose unit has filters with every id but the skipped ones.
void FillIds(CRecordRef mix, const std::vector<uint32_t>& skip) {
    CRecord* layer = CRecord::New(&T::LayerReadType());
    CRecord* unit = layer->GetSubRecord(T::kLayrUnit);
    unit->Slot(T::kUnitId).u32 = 1;
    size_t s = 0;
    for (uint32_t id = 2; id <= T::kMaxUnitId; ++id) {
        if (s < skip.size() && skip[s] == id) {
            ++s;
            continue;
        }
        CRecord* filter = CRecord::New(T::Type(T::kUNIT));
        filter->Slot(T::kUnitId).u32 = id;
        EXPECT_TRUE(unit->InsertElementRaw(T::kUnitFilters, -1, filter));
    }
    mix.InsertRecord(nullptr, T::kMixsLayers, 0, layer);
}

TEST_F(Units, IdsRunRoundRobinAndWrapSkippingUsedOnes) {
    struct Case {
        uint32_t last;
        std::vector<uint32_t> used;
        uint32_t expected;
    } cases[] = {
        {0, {}, 1},
        {5, {}, 6},
        {5, {6, 7}, 8},
        {32766, {}, 32767},
        {32767, {}, 1},      // wraps to 1
        {32767, {1, 2}, 3},  // and skips used ids
        {32760, {32761, 32767, 1}, 32762},
        {40000, {1}, 2},  // an out-of-range 'luid' from a file wraps too
        {0xFFFFFFFF, {}, 1},
    };
    for (const Case& c : cases) {
        CDocModelHolder doc;
        CRecordRef mix = doc.Mix();
        for (uint32_t id : c.used) {
            CRecord* unit = CRecord::New(T::Type(T::kUNIT));
            unit->Slot(T::kUnitId).u32 = id;
            ASSERT_GE(UDocUnits::InsertLayer(mix, nullptr, 99, unit, false), 0);
        }
        mix.SetUInt(nullptr, T::kMixsLastUnitId, c.last);
        EXPECT_EQ(UDocUnits::NewUnitId(mix), c.expected) << c.last;
        EXPECT_EQ(mix->GetUInt(T::kMixsLastUnitId), c.expected);
    }
}

TEST_F(Units, AnotherTreeIsSkippedToo) {
    CRecord* other = CRecord::New(T::Type(T::kUNIT));
    other->Slot(T::kUnitId).u32 = 1;
    EXPECT_EQ(UDocUnits::NewUnitId(Mix(), other), 2u);
    CRecord::Delete(other);
}

TEST_F(Units, PastedTreeRenumbersOnlyItsCollidingUnits) {
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("a.qtz")), 0);  // id 1
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), &editor, 1, 0, LString("f.qtz")));      // id 2
    CRecord* tree = CRecord::New(T::Type(T::kUNIT));
    tree->Slot(T::kUnitId).u32 = 2;  // collides
    CRecord* filter = CRecord::New(T::Type(T::kUNIT));
    filter->Slot(T::kUnitId).u32 = 40;  // free
    EXPECT_TRUE(tree->InsertElementRaw(T::kUnitFilters, -1, filter));
    CRecord* input = CRecord::New(T::Type(T::kINPT));
    CRecord* anim = CRecord::New(T::Type(T::kUNIT));
    anim->Slot(T::kUnitId).u32 = 1;  // collides
    CRecord::Delete(input->SetSubRecord(T::kInptAnim, anim));
    EXPECT_TRUE(tree->InsertElementRaw(T::kUnitInputs, -1, input));
    ASSERT_EQ(UDocUnits::InsertLayer(Mix(), &editor, 1, tree, true), 1);
    const CRecord* unit = LayerUnit(h, 1);
    EXPECT_EQ(unit->GetUInt(T::kUnitId), 3u);
    EXPECT_EQ(unit->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId), 40u);
    EXPECT_EQ(unit->GetElement(T::kUnitInputs, 0)->GetSubRecord(T::kInptAnim)->GetUInt(T::kUnitId), 4u);
}

// A full mix refuses every operation that needs a fresh id, with tree and undo stream unchanged.
TEST_F(Units, FullMixRefusesNewUnits) {
    FillIds(Mix(), {});
    Mix().SetUInt(nullptr, T::kMixsLastUnitId, 100);
    EXPECT_EQ(UDocUnits::NewUnitId(Mix()), 0u);
    const std::string before = Flat(h.Root());
    const uint64_t undo = UndoPosition();
    CRecord* unit = LayerUnit(h, 0);

    EXPECT_EQ(UDocUnits::NewUnitRecord(Mix(), LString("x.qtz")), nullptr);
    EXPECT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("x.qtz")), -1);
    EXPECT_EQ(UDocUnits::AddMediaLayer(h, &editor, 0, CMacFileU::LFsSpecFromPath("/tmp/x.mov")), -1);
    EXPECT_FALSE(UDocUnits::AddFilterUnit(Mix(), &editor, 1, 0, LString("f.qtz")));
    EXPECT_FALSE(UDocUnits::SetUnitInput(Mix(), &editor, unit, LString("img"), LString("v"), true));
    EXPECT_EQ(Flat(h.Root()), before);
    CRecord* input = UDocUnits::FindOrAddUnitInput(unit, nullptr, LString("k"), LString());
    const std::string withInput = Flat(h.Root());
    EXPECT_FALSE(UDocUnits::SetAnimator(Mix(), &editor, input, LString("w.qtz")));
    CRecord* pasted = CRecord::New(T::Type(T::kUNIT));
    pasted->Slot(T::kUnitId).u32 = 5;
    EXPECT_FALSE(UDocUnits::SetAnimator(Mix(), &editor, input, pasted, true));
    EXPECT_EQ(Flat(h.Root()), withInput);
    UDocUnits::DeleteUnitById(h, nullptr, 2);  // undo-free: make room for one filter, then fill it
    ASSERT_FALSE(UDocModel::FindUnitById(Mix().Get(), 2));
    CRecord* layer = CRecord::New(T::Type(T::kLAYR));  // its unit has id 0: needs a fresh one
    CRecord* filter = CRecord::New(T::Type(T::kUNIT));
    filter->Slot(T::kUnitId).u32 = 9;  // collides, and the layer unit takes the last free id
    EXPECT_TRUE(layer->GetSubRecord(T::kLayrUnit)->InsertElementRaw(T::kUnitFilters, -1, filter));
    const std::string beforeInsert = Flat(h.Root());
    EXPECT_EQ(UDocUnits::InsertLayer(Mix(), &editor, 0, layer, true), -1);
    CRecord* chain = CRecord::New(T::Type(T::kUNIT));
    chain->Slot(T::kUnitId).u32 = 3;
    CRecord* more = CRecord::New(T::Type(T::kUNIT));
    more->Slot(T::kUnitId).u32 = 4;
    EXPECT_TRUE(chain->InsertElementRaw(T::kUnitFilters, -1, more));
    EXPECT_FALSE(UDocUnits::InsertFilterUnit(Mix(), &editor, 1, 0, chain, true));
    EXPECT_EQ(Flat(h.Root()), beforeInsert);
    EXPECT_EQ(UndoPosition(), undo);
}

TEST_F(Units, AddCompositionLayerAndSilentAdd) {
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("a.qtz")), 0);
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "");  // the new unit replaced the hook's inputs
    EXPECT_EQ(UDocModel::GetLayerBlend(Layer(h, 0)), 1.0);
    EXPECT_EQ(UDocModel::GetLayerMixFunc(Layer(h, 0)), 0);

    CAppPrefs prefs;
    prefs.RootRef().SetByte(nullptr, CAppPrefs::kPrefSilentAdd, 1);
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("b.qtz")), 0);
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "_oblayer_Blend=0;");
    const uint32_t id = LayerUnit(h, 0)->GetUInt(T::kUnitId);
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), &editor, id, 0, LString("f.qtz")));
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)->GetElement(T::kUnitFilters, 0)), "_obunit_Bypass=1;");
}

TEST_F(Units, AddMediaLayerForACompositionAndAMovie) {
    h.SetDocumentPath(CMacFileU::LFsSpecFromPath("/srv/show/a.obm"));
    ASSERT_EQ(UDocUnits::AddMediaLayer(h, &editor, 5, CMacFileU::LFsSpecFromPath("/srv/show/c/x.QTZ")), 0);
    EXPECT_STREQ(LayerUnit(h, 0)->GetString(T::kUnitSpec).CStr(), "c/x.QTZ");
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "");
    ASSERT_EQ(UDocUnits::AddMediaLayer(h, &editor, 0, CMacFileU::LFsSpecFromPath("/srv/show/m/clip 1.mov")),
              0);
    EXPECT_STREQ(LayerUnit(h, 0)->GetString(T::kUnitSpec).CStr(), "obImageInput.qtz");
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "_protocolInput_Image=m/clip%201.mov;");
    // One undo step takes the movie layer with its input away.
    EXPECT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Mix()->ArrayCount(T::kMixsLayers), 1u);
    EXPECT_STREQ(LayerUnit(h, 0)->GetString(T::kUnitSpec).CStr(), "c/x.QTZ");
}

TEST_F(Units, DeleteLayerTakesItsSceneValuesInOneUndoStep) {
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("a.qtz")), 0);
    const uint32_t id = LayerUnit(h, 0)->GetUInt(T::kUnitId);
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), &editor, id, 0, LString("f.qtz")));
    const uint32_t filterId = LayerUnit(h, 0)->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId);
    CRecordRef scns = h.Scenes();
    for (float t : {0.0f, 1.0f}) {
        CRecord* scene = UDocScenes::NewScene();
        ASSERT_GE(UDocScenes::InsertSceneByTime(scns, &editor, t, scene), 0);
    }
    CRecord* scene = UDocModel::GetSceneAt(scns.Get(), 1);
    UDocScenes::SetSceneValue(scene, &editor, id, LString("k"), LString("1"), false);
    UDocScenes::SetSceneValue(scene, &editor, filterId, LString("k"), LString("2"), false);
    UDocScenes::SetSceneValue(scene, &editor, 77, LString("k"), LString("3"), false);
    const std::string before = Flat(h.Root());

    UDocUnits::DeleteLayer(h, &editor, 0);
    EXPECT_EQ(Mix()->ArrayCount(T::kMixsLayers), 0u);
    ASSERT_EQ(scene->ArrayCount(T::kScneValues), 1u);
    EXPECT_EQ(scene->GetElement(T::kScneValues, 0)->GetUInt(T::kPrmtUnitId), 77u);
    UDocUnits::DeleteLayer(h, &editor, 3);  // out of range: nothing

    EXPECT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(Flat(h.Root()), before);
}

TEST_F(Units, DeleteUnitByIdAndInputs) {
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("a.qtz")), 0);
    CRecord* unit = LayerUnit(h, 0);
    const uint32_t id = unit->GetUInt(T::kUnitId);
    ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), &editor, id, 0, LString("f.qtz")));
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), &editor, unit, LString("img"), LString("x"), true));
    CRecord* img = UDocModel::FindUnitInput(unit, LString("img"));
    ASSERT_NE(img->GetSubRecord(T::kInptImage), nullptr);
    ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), &editor, img, LString("w.qtz")));
    const uint32_t filterId = unit->GetElement(T::kUnitFilters, 0)->GetUInt(T::kUnitId);
    const uint32_t imageId = img->GetSubRecord(T::kInptImage)->GetUInt(T::kUnitId);
    const uint32_t animId = img->GetSubRecord(T::kInptAnim)->GetUInt(T::kUnitId);
    EXPECT_EQ(UDocModel::GetLayerIndexOf(img->GetSubRecord(T::kInptAnim)), 0);

    UDocUnits::DeleteUnitById(h, &editor, imageId);  // an image unit stays
    EXPECT_NE(UDocModel::FindUnitById(Mix().Get(), imageId), nullptr);
    UDocUnits::DeleteUnitById(h, &editor, animId);
    EXPECT_EQ(img->GetSubRecord(T::kInptAnim), nullptr);
    UDocUnits::DeleteUnitById(h, &editor, filterId);
    EXPECT_EQ(unit->ArrayCount(T::kUnitFilters), 0u);
    CRecord* scene = UDocScenes::NewScene();
    ASSERT_EQ(UDocScenes::InsertSceneByTime(h.Scenes(), &editor, 0, scene), 0);
    scene = UDocModel::GetSceneAt(h.Scenes().Get(), 0);
    UDocScenes::SetSceneValue(scene, &editor, imageId, LString("Color"), LString("1"), false);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), &editor, unit, LString("img"), LString("y"), false));
    EXPECT_EQ(img->GetSubRecord(T::kInptImage), nullptr);
    EXPECT_EQ(scene->ArrayCount(T::kScneValues), 0u);  // the removed image unit's values go with it
    EXPECT_STREQ(img->GetString(T::kInptValue).CStr(), "y");

    CRecord* layer = Layer(h, 0);
    CRecord* fresh = CRecord::New(T::Type(T::kLAYR));
    ASSERT_EQ(UDocUnits::InsertLayer(Mix(), &editor, 0, fresh, true), 0);
    UDocUnits::SetLayerMixFunc(Layer(h, 0), &editor, 2);
    UDocUnits::SetLayerBlend(Layer(h, 0), 0.1254);
    EXPECT_EQ(InputKeys(LayerUnit(h, 0)), "_oblayer_MixFunc=sub;_oblayer_Blend=0.125;");
    EXPECT_EQ(UDocModel::GetLayerMixFunc(Layer(h, 0)), 2);
    UDocUnits::SetLayerMixFunc(Layer(h, 0), &editor, 7);
    EXPECT_EQ(UDocModel::GetLayerMixFunc(Layer(h, 0)), 0);
    UDocUnits::SetLayerMixFunc(layer, &editor, 1);  // no such input: nothing
    EXPECT_EQ(UDocModel::FindUnitInput(LayerUnit(h, 1), LString("_oblayer_MixFunc")), nullptr);
}

TEST_F(Units, FindOrAddUnitInputAppendsOnce) {
    ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), &editor, 0, LString("a.qtz")), 0);
    CRecord* unit = LayerUnit(h, 0);
    CRecord* a = UDocUnits::FindOrAddUnitInput(unit, &editor, LString("Level"), LString("0.5"));
    CRecord* b = UDocUnits::FindOrAddUnitInput(unit, &editor, LString("Level"), LString("0.9"));
    EXPECT_EQ(a, b);
    EXPECT_EQ(InputKeys(unit), "Level=0.5;");
    EXPECT_TRUE(doc.queue.Perform(0));
    EXPECT_EQ(InputKeys(unit), "");
}

}  // namespace
