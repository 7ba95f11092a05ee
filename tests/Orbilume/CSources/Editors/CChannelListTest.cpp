#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamImage.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CLayerFrm.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/Foundation/URLOpener.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

CRecordRef Ref(CRecord*& r) {
    return CRecordRef(&r);
}

// The document: owns the undo queue the edits go to.
struct UndoDocument : LHandler {
    LMessage Handle(const LMessage& msg) override {
        if (queue.HandleMessage(msg)) return LMessage();
        return LHandler::Handle(msg);
    }
    CUndoQueue queue{0x100000};
};

// An engine that knows every layer and records what it is asked.
struct FakeEngine : IChannelEngine {
    bool HasLayer(uint32_t) override { return true; }
    std::unique_ptr<CUnitPortList> PortList(uint32_t unitId) override {
        auto list = std::make_unique<CUnitPortList>();
        list->unitId = unitId;
        if (auto it = imagePorts.find(unitId); it != imagePorts.end()) {
            CUnitPort port;
            port.kind = 6;
            port.key = port.name = LString(it->second.c_str());
            list->ports.push_back(std::move(port));
        }
        return list;
    }
    void RequestCapture(uint32_t unitId, COpenGLContext_Cca*, bool immediate) override {
        captures.push_back(std::to_string(unitId) + (immediate ? "!" : ""));
    }
    void CancelCaptures(COpenGLContext_Cca*) override { ++cancels; }
    void SetUnitParamByKey(uint32_t unitId, const LString& key, const LString& value) override {
        params.push_back(std::to_string(unitId) + " " + key.CStr() + " " + value.CStr());
    }
    bool OutputStrings(uint32_t, const LString&, std::vector<LString>&) override { return false; }
    std::vector<std::string> captures;
    std::vector<std::string> params;
    int cancels = 0;
    std::map<uint32_t, std::string> imagePorts;  // unit id -> the key of its one image input
};

std::string Value(const CRecord* unit, const char* key) {
    const CRecord* input = UDocModel::FindUnitInput(unit, LString(key));
    return input ? input->GetString(T::kInptValue).CStr() : "<none>";
}

class CChannelListTest : public dialogtest::HeadlessDialogTest {
protected:
    CChannelListTest() {
        CLayerFrm::SetPreviewsEnabled(false);
        dcpf = prefs.AppendDocument();
    }
    ~CChannelListTest() override {
        delete list;
        CSrcRendrFrm::SetChooseFileFunction(nullptr);
        CLayerFrm::SetPreviewsEnabled(true);
    }

    CRecordRef Mix() { return model.Mix(); }
    uint32_t Layers() { return Mix()->ArrayCount(T::kMixsLayers); }
    // A "CAppCmd_LoadFilter" item as a chain's menu sends it; the open panel picks /tmp/edge.qtz.
    LMenuItem* LoadEdgeItem() {
        CSrcRendrFrm::SetChooseFileFunction([](const LFsSpec&, LFsSpec& chosen) {
            chosen = LFsSpec(LString("/tmp/edge.qtz"));
            return true;
        });
        if (!loadItem) {
            loadItem = new LMenuItem(&loadMenu);
            loadItem->SetCommand("CAppCmd_LoadFilter");
            loadMenu.AppendItem(loadItem);
        }
        return loadItem;
    }
    LMenu loadMenu{nullptr, LString("m")};
    LMenuItem* loadItem = nullptr;
    CRecord* Layer(uint32_t n) { return Mix()->GetElement(T::kMixsLayers, n); }
    CRecord* Unit(uint32_t n) {
        CRecord* l = Layer(n);
        return l ? l->GetSubRecord(T::kLayrUnit) : nullptr;
    }
    uint32_t Id(CRecord* unit) { return unit ? unit->GetUInt(T::kUnitId) : 0; }
    CRecord* Filter(uint32_t layer, uint32_t k) { return Unit(layer)->GetElement(T::kUnitFilters, k); }
    // n layers "cN.qtz", each with `filters` filters "fN_k.qtz".
    void MakeShow(uint32_t n, uint32_t filters = 0) {
        for (uint32_t i = 0; i < n; ++i) {
            ASSERT_EQ(UDocUnits::AddCompositionLayer(Mix(), nullptr, i, LString(("c" + std::to_string(i) + ".qtz").c_str())),
                      int32_t(i));
            // As a saved layer holds them.
            ASSERT_NE(UDocUnits::FindOrAddUnitInput(Unit(i), nullptr, LString("_oblayer_MixFunc"), LString()), nullptr);
            ASSERT_NE(UDocUnits::FindOrAddUnitInput(Unit(i), nullptr, LString("_oblayer_Blend"), LString("1")), nullptr);
            for (uint32_t k = 0; k < filters; ++k)
                ASSERT_TRUE(UDocUnits::AddFilterUnit(Mix(), nullptr, Id(Unit(i)), k,
                                                     LString(("f" + std::to_string(i) + "_" + std::to_string(k) + ".qtz").c_str())));
        }
    }
    CChannelList* List() {
        if (!list) {
            list = new CChannelList(&dialog, &doc, &model, &engine, dcpf);
            dialog.SetWindowFrame({0, 0, 1440, 600});
            dialog.ShowWindow();
            list->SetBounds({0, 0, 1440, 600});
        }
        return list;
    }
    CLayerFrm* Cell(uint32_t c) {
        CCellRef ref(List(), {int32_t(c), 0}, false);
        return static_cast<CLayerFrm*>(ref.Pane());
    }
    // A scene holding one value for each given unit id.
    void AddScene(const std::vector<uint32_t>& ids) {
        CRecord* scene = CRecord::New(T::Type(T::kSCNE));
        for (uint32_t id : ids) {
            CRecord* v = CRecord::New(T::Type(T::kPRMT));
            v->Slot(T::kPrmtUnitId).u32 = id;
            v->StringSlot(T::kPrmtKey) = LString("k");
            (void)Ref(scene).InsertRecord(nullptr, T::kScneValues, CRecordRef::kAppend, v);
        }
        ASSERT_TRUE(model.Scenes().InsertRecord(nullptr, T::kScnsScenes, CRecordRef::kAppend, scene));
    }
    std::set<uint32_t> SceneIds() {
        std::set<uint32_t> out;
        CRecord* scns = model.Scenes().Get();
        for (uint32_t s = 0; s < UDocModel::GetSceneCount(scns); ++s) {
            CRecord* scene = UDocModel::GetSceneAt(scns, s);
            for (uint32_t v = 0; v < scene->ArrayCount(T::kScneValues); ++v)
                out.insert(scene->GetElement(T::kScneValues, v)->GetUInt(T::kPrmtUnitId));
        }
        return out;
    }
    std::vector<CRecord*> Copies(std::vector<const CRecord*> records) {
        std::vector<CRecord*> out;
        for (const CRecord* r : records) out.push_back(CRecord::Clone(r, nullptr));
        return out;
    }
    bool Undo() { return doc.queue.Perform(0); }

    CAppPrefs prefs;
    CRecord* dcpf = nullptr;
    CDocModelHolder model;
    UndoDocument doc;
    FakeEngine engine;
    LFrame dialog{&root, nullptr, ModalSpec()};
    CChannelList* list = nullptr;
};

// --- model tables -------------------------------------------------------------------------------

TEST_F(CChannelListTest, FaderWritesBlendTextAndPopupWritesMixFunction) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1);
    struct {
        int32_t fader;
        const char* text;
    } const blends[] = {{128, "0.5"}, {0, "0"}, {256, "1"}, {1, "0.004"}, {300, "1"}, {-5, "0"}};
    for (const auto& b : blends) {
        List()->SetBlendFromFader(0, b.fader);
        EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), b.text) << b.fader;
    }
    const char* const mixes[] = {"max", "add", "sub", "rep"};
    for (int i = 3; i >= 0; --i) {
        List()->SetMixFromPopup(0, i);
        EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), mixes[i]);
    }
}

TEST_F(CChannelListTest, CellShowsMixAndBlendWithDefaultsAndClamping) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    CRecord* mix0 = UDocModel::FindUnitInput(Unit(0), LString("_oblayer_MixFunc"));
    Ref(mix0).SetString(nullptr, T::kInptValue, LString("bogus"));
    CRecord* unit1 = Unit(1);
    CRecord* blend1 = UDocModel::FindUnitInput(unit1, LString("_oblayer_Blend"));
    Ref(unit1).DeleteElement(nullptr, T::kUnitInputs, uint32_t(blend1->ArrayIndex()));
    CRecord* mix1 = UDocModel::FindUnitInput(Unit(1), LString("_oblayer_MixFunc"));
    Ref(mix1).SetString(nullptr, T::kInptValue, LString("rep"));
    EXPECT_EQ(Cell(0)->MixPopup()->GetValue(), 0);  // unknown text: "max"
    EXPECT_EQ(Cell(1)->MixPopup()->GetValue(), 3);
    EXPECT_EQ(Cell(1)->Fader()->GetValue(), 256);  // no blend input: 1.0
    EXPECT_STREQ(Cell(1)->Number()->Text().CStr(), "2");
    struct {
        const char* text;
        int32_t fader;
    } const reads[] = {{"0.5", 128}, {"0.999", 255}, {"2", 256},     {"-1", 0},  {"nan", 256},
                       {"inf", 256}, {"-inf", 0},    {"1e308", 256}, {"abc", 0}, {"0.25x", 64}, {"0,5", 0}};
    for (const auto& r : reads) EXPECT_EQ(CLayerFrm::FaderValue(LString(r.text), true), r.fader) << r.text;
    // Model changes made elsewhere show at once.
    CRecord* blend0 = UDocModel::FindUnitInput(Unit(0), LString("_oblayer_Blend"));
    Ref(blend0).SetString(nullptr, T::kInptValue, LString("0.25"));
    EXPECT_EQ(Cell(0)->Fader()->GetValue(), 64);
}

TEST_F(CChannelListTest, SwitchFaderJumpsToTheFarEnd) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1);
    prefs.RootRef().SetBool(nullptr, P::kPrefFaderDigital, true);
    CLayerFrm* cell = Cell(0);
    List()->RefreshAllCells();
    ASSERT_TRUE(cell->Fader()->IsSwitchMode());
    cell->Fader()->SetValue(200);
    EXPECT_FALSE(cell->Fader()->WillTrack());
    EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), "0");
    cell->Fader()->SetValue(128);
    EXPECT_FALSE(cell->Fader()->WillTrack());
    EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), "1");
}

TEST_F(CChannelListTest, ChangesApplyToTheSelectionOnlyFromInsideIt) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(3);
    List()->SelectCell({0, 0});
    List()->AddToSelection({1, 0});
    List()->SetBlendFromFader(2, 0);
    EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), "1");
    EXPECT_EQ(Value(Unit(1), "_oblayer_Blend"), "1");
    EXPECT_EQ(Value(Unit(2), "_oblayer_Blend"), "0");
    List()->SetBlendFromFader(1, 64);
    EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), "0.25");
    EXPECT_EQ(Value(Unit(1), "_oblayer_Blend"), "0.25");
    EXPECT_EQ(Value(Unit(2), "_oblayer_Blend"), "0");
    List()->SetMixFromPopup(0, 1);
    EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), "add");
    EXPECT_EQ(Value(Unit(1), "_oblayer_MixFunc"), "add");
    EXPECT_EQ(Value(Unit(2), "_oblayer_MixFunc"), "");
}

TEST_F(CChannelListTest, UndoRevertsMixGesturesButNoFaderMoves) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    List()->SelectCell({0, 0});
    List()->AddToSelection({1, 0});
    List()->SetBlendFromFader(0, 128);
    EXPECT_FALSE(doc.queue.CanUndo());  // a live fader writes no undo entry
    List()->SetMixFromPopup(0, 2);
    List()->SetMixFromPopup(0, 2);  // the same gesture again: no second step
    List()->SetMixFromPopup(1, 3);
    EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), "rep");
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), "sub");
    EXPECT_EQ(Value(Unit(1), "_oblayer_MixFunc"), "sub");
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), "");
    EXPECT_EQ(Value(Unit(1), "_oblayer_MixFunc"), "");
    EXPECT_FALSE(doc.queue.CanUndo());
    EXPECT_EQ(Value(Unit(0), "_oblayer_Blend"), "0.5");
}

TEST_F(CChannelListTest, PreviewQueueOrdersAndDeduplicates) {
    ASSERT_TRUE(resources.Ok());
    CChannelList* l = List();
    l->ClearPreviews();
    l->QueuePreview(5, false);
    l->QueuePreview(6, false);
    l->QueuePreview(5, false);  // already queued: dropped
    l->QueuePreview(7, true);   // before the first non-immediate
    l->QueuePreview(6, true);   // upgraded: moves ahead
    l->QueuePreview(7, true);   // already immediate: dropped
    l->QueuePreview(8, true);
    std::string order;
    for (const auto& r : l->PreviewQueue()) order += std::to_string(r.unitId) + (r.immediate ? "! " : " ");
    EXPECT_EQ(order, "7! 6! 8! 5 ");
    EXPECT_EQ(l->PreviewTimer().Due(), uint32_t(GetEventTimeMs()));  // started at 0 ms
}

// A hidden list (by itself or with its window) keeps its preview requests with the timer stopped,
// so nothing wakes it; shown again, the timer starts at once and serves them in order.
TEST_F(CChannelListTest, AHiddenListsPreviewTimerSleepsUntilItIsShown) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    LTimer& timer = List()->PreviewTimer();
    // Delivers every due timer a second later; how often the preview timer fired.
    auto wake = [&] {
        clock.AdvanceMs(1000);
        int fired = 0;
        for (LMessage m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true); !m.IsEmpty();
             m = LTimer::NextExpired(LTimer::Now(), nullptr, nullptr, true)) {
            if (m.sender == &timer) ++fired;
            LHandler::Dispatch(m);
        }
        return fired;
    };
    struct Way {
        const char* name;
        std::function<void(bool)> show;
    };
    const Way ways[] = {
        {"list", [&](bool on) { List()->ChangeState(on ? LPane::kShow : LPane::kHide); }},
        {"window", [&](bool on) { on ? dialog.ShowWindow() : dialog.HideWindow(); }},
    };
    const std::string first = std::to_string(Id(Unit(0))), second = std::to_string(Id(Unit(1)));
    for (const Way& way : ways) {
        (void)Cell(0), (void)Cell(1);
        for (int i = 0; i < 20 && List()->HasPendingPreviews(); ++i) (void)wake();
        ASSERT_FALSE(List()->HasPendingPreviews()) << way.name;
        // A request in flight when the list hides: the timer stops.
        List()->QueuePreview(Id(Unit(1)), false);
        ASSERT_TRUE(timer.IsRunning()) << way.name;
        way.show(false);
        ASSERT_FALSE(List()->IsVisible()) << way.name;
        EXPECT_FALSE(timer.IsRunning()) << way.name;
        List()->QueuePreview(Id(Unit(0)), true);
        EXPECT_FALSE(timer.IsRunning()) << way.name;
        engine.captures.clear();
        EXPECT_EQ(wake(), 0) << way.name;
        EXPECT_TRUE(engine.captures.empty()) << way.name;
        EXPECT_EQ(List()->PreviewQueue().size(), 2u) << way.name;
        // Shown: at once, the immediate request first.
        way.show(true);
        ASSERT_TRUE(List()->IsVisible()) << way.name;
        ASSERT_TRUE(timer.IsRunning()) << way.name;
        EXPECT_EQ(timer.Due(), LTimer::Now()) << way.name;
        (void)Cell(0), (void)Cell(1);
        for (int i = 0; i < 20 && List()->HasPendingPreviews(); ++i) (void)wake();
        EXPECT_EQ(engine.captures, (std::vector<std::string>{first + "!", second})) << way.name;
    }
}

TEST_F(CChannelListTest, FillQueuesTheTreeImagesFirstThenFiltersThenTheUnit) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1, 2);
    CRecord* unit = Unit(0);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("img"), LString(), true));
    CRecord* image = UDocModel::FindUnitInput(unit, LString("img"))->GetSubRecord(T::kInptImage);
    ASSERT_NE(image, nullptr);
    std::vector<uint32_t> want = {Id(image), Id(Filter(0, 0)), Id(Filter(0, 1)), Id(unit)};
    // The input's image pane: the image unit's preview goes there.
    engine.imagePorts[Id(unit)] = "img";
    (void)Cell(0);
    std::vector<uint32_t> got;
    for (const auto& r : List()->PreviewQueue()) got.push_back(r.unitId);
    EXPECT_EQ(got, want);
    // Served one per expiry, front first, into the visible cell (the image into its pane).
    engine.captures.clear();
    List()->ServePreviews();
    ASSERT_EQ(engine.captures.size(), 1u);
    EXPECT_EQ(engine.captures[0], std::to_string(Id(image)) + "!");
}

// A layer faded out is no longer drawn, so nothing refreshes its preview by itself: a blend change,
// wherever it comes from, asks an immediate preview of that layer (which blanks a faded one).
TEST_F(CChannelListTest, ABlendChangeAsksAnImmediatePreviewOfItsLayer) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    (void)Cell(1);
    auto queue = [&] {
        std::string order;
        for (const auto& r : List()->PreviewQueue()) order += std::to_string(r.unitId) + (r.immediate ? "! " : " ");
        return order;
    };
    List()->ClearPreviews();
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, Unit(1), LString("_oblayer_Blend"), LString("0"), false));
    EXPECT_EQ(queue(), std::to_string(Id(Unit(1))) + "! ");
    // Other inputs of the layer, and the blend of a filter, ask none.
    List()->ClearPreviews();
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, Unit(0), LString("_oblayer_MixFunc"), LString("add"), false));
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, Filter(0, 0), LString("_oblayer_Blend"), LString("0"), false));
    EXPECT_EQ(queue(), "");
}

TEST_F(CChannelListTest, ChainRebuildKeepsTheFramesOfUnitsThatStay) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1, 3);
    CSrcRendrFrm* chain = Cell(0)->Chain();
    ASSERT_EQ(chain->ChildCount(), 4u);
    CInParamFrm* own = chain->ChildAt(0);
    CInParamFrm* first = chain->ChildAt(1);
    CInParamFrm* last = chain->ChildAt(3);
    EXPECT_EQ(own->Kind(), 0u);
    EXPECT_EQ(first->Kind(), 2u);
    CRecord* u0 = Unit(0);
    Ref(u0).DeleteElement(nullptr, T::kUnitFilters, 1);  // observer rebuilds the chain
    ASSERT_EQ(chain->ChildCount(), 3u);
    EXPECT_EQ(chain->ChildAt(0), own);
    EXPECT_EQ(chain->ChildAt(1), first);
    EXPECT_EQ(chain->ChildAt(2), last);
    EXPECT_EQ(chain->ChildAt(2)->UnitId(), Id(Filter(0, 1)));
    // Stacked from y = 2, 2 apart.
    EXPECT_EQ(chain->ChildAt(0)->Bounds().top, 2);
    for (uint32_t i = 1; i < chain->ChildCount(); ++i)
        EXPECT_EQ(chain->ChildAt(i)->Bounds().top, chain->ChildAt(i - 1)->Bounds().bottom + 2);
}

// The grid sizes its cells from the prototype cell once it makes one, and again in a relayout:
// the cells stay as tall as the list (the chain area below the header keeps its height) and as wide
// as DCPF field 10 asks.
TEST_F(CChannelListTest, CellsStayAsTallAsTheListAndAsWideAsField10Asks) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    ASSERT_NE(List()->GetPrototypeCell(), nullptr);
    EXPECT_EQ(List()->CellHeight(), 600);
    EXPECT_EQ(Cell(0)->ChainArea()->Bounds().Height(), 600 - Cell(0)->HeaderHeight());
    const int32_t narrow = List()->CellWidth();
    for (auto [shown, width] : std::vector<std::pair<int32_t, int32_t>>{{1, 2 * narrow}, {0, narrow}}) {
        Ref(dcpf).SetInt(nullptr, P::kDocRunTime10, shown);
        List()->ChangeState(LPane::kRelayout);
        EXPECT_EQ(List()->CellWidth(), width) << shown;
        EXPECT_EQ(List()->CellHeight(), 600) << shown;
        ASSERT_NE(Cell(1), nullptr);
        EXPECT_EQ(Cell(1)->Bounds().Height(), 600) << shown;
    }
}

// The cells are placed by their layouts ("CHANNELCELL" around the header "LAYERFRM"), which read
// what the cell publishes: "ctlshown" widens the cell, "listh" makes it as tall as the list, and a
// hidden name row shortens the header so that the chain area starts higher.
TEST_F(CChannelListTest, CellLayoutsFollowControlsShownTheNameRowAndTheListHeight) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    struct Geometry {
        int32_t width, height, header;
    };
    auto check = [&](const char* when) -> Geometry {
        CLayerFrm* cell = Cell(1);
        const CLRect b = cell->Bounds();
        const CLRect head = cell->Header()->Bounds(), area = cell->ChainArea()->Bounds();
        const CLRect fader = cell->Fader()->Bounds(), mix = cell->MixPopup()->Bounds();
        const CLRect number = cell->Number()->Bounds(), name = cell->NameField()->Bounds();
        EXPECT_EQ(b.Width(), List()->CellWidth()) << when;
        EXPECT_EQ(b.Height(), List()->Bounds().Height()) << when;
        // The header across the top, the chain area below it to the bottom, both as wide (the
        // edge separator aside).
        EXPECT_EQ(head.top, 0) << when;
        EXPECT_EQ(head.Width(), area.Width()) << when;
        EXPECT_GE(head.Width(), b.Width() - 2) << when;
        EXPECT_GE(area.top, head.bottom) << when;
        EXPECT_LE(area.top, head.bottom + 2) << when;
        EXPECT_EQ(area.bottom, b.Height()) << when;
        EXPECT_EQ(cell->HeaderHeight(), area.top) << when;
        EXPECT_EQ(List()->HeaderHeight(), area.top) << when;
        // In the header: the number on top, the fader at the right edge beside the pop-up, the name
        // row (when shown) below the pop-up, all inside the header.
        EXPECT_EQ(number.Width(), head.Width()) << when;
        EXPECT_EQ(fader.right, head.Width()) << when;
        EXPECT_GE(fader.top, number.bottom) << when;
        EXPECT_LT(mix.right, fader.left) << when;
        EXPECT_GT(mix.Width(), head.Width() / 2) << when;
        if (cell->NameField()->State() & LPane::kShown) {
            EXPECT_GE(name.top, mix.bottom) << when;
            EXPECT_LE(name.bottom, head.Height()) << when;
        }
        EXPECT_LE(mix.bottom, head.Height()) << when;
        // The chain frames take the chain area's width.
        CSrcRendrFrm* chain = cell->Chain();
        EXPECT_EQ(chain->Bounds().Width(), area.Width()) << when;
        for (uint32_t i = 0; i < chain->ChildCount(); ++i)
            EXPECT_EQ(chain->ChildAt(i)->Bounds().Width(), area.Width()) << when << " " << i;
        return {b.Width(), b.Height(), area.top};
    };
    const Geometry plain = check("plain");
    EXPECT_GT(plain.width, 0);
    EXPECT_GT(plain.header, 0);

    // Field 10 set: the cells are rebuilt twice as wide, and their units show the editors.
    Ref(dcpf).SetInt(nullptr, P::kDocRunTime10, 1);
    const Geometry shown = check("controls shown");
    EXPECT_EQ(shown.width, 2 * plain.width);
    EXPECT_EQ(shown.header, plain.header);
    EXPECT_EQ(Cell(1)->ControlsShown(), 1);
    Ref(dcpf).SetInt(nullptr, P::kDocRunTime10, 0);
    EXPECT_EQ(check("controls hidden again").width, plain.width);

    // The name row shows only with 'slyn' (off by default): a taller header, a shorter chain area.
    EXPECT_FALSE(Cell(1)->NameField()->State() & LPane::kShown);
    prefs.RootRef().SetBool(nullptr, P::kPrefShowLayerNames, true);
    EXPECT_TRUE(Cell(1)->NameField()->State() & LPane::kShown);
    const Geometry named = check("names");
    EXPECT_GT(named.header, plain.header);
    EXPECT_EQ(named.width, plain.width);
    prefs.RootRef().SetBool(nullptr, P::kPrefShowLayerNames, false);
    EXPECT_EQ(check("no names again").header, plain.header);

    // A taller list makes taller cells.
    List()->SetBounds({0, 0, 1440, 700});
    EXPECT_EQ(check("taller").height, 700);
}

// The image pane's layout ("INPRMIMAGE") puts the image unit's chain across the whole pane below
// the pop-up, and below the assignment editor ("ctlhi") while the editors show.
TEST_F(CChannelListTest, ImagePaneChainGoesBelowTheShownAssignmentEditor) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1);
    CRecord* unit = Unit(0);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("img"), LString(), true));
    engine.imagePorts[Id(unit)] = "img";
    int32_t hiddenTop = 0;
    for (int32_t shown : {0, 1}) {
        Ref(dcpf).SetInt(nullptr, P::kDocRunTime10, shown);
        auto* pane = static_cast<CInParamImage*>(Cell(0)->Chain()->FindPane(Id(unit), LString("img")));
        ASSERT_NE(pane, nullptr) << shown;
        const CLRect slot = pane->Slot()->Bounds(), chain = pane->Chain()->Bounds();
        ASSERT_EQ(pane->Chain()->ChildCount(), 1u) << shown;  // the image unit
        EXPECT_GT(chain.Height(), 0) << shown;
        EXPECT_EQ(chain.left, 0) << shown;
        EXPECT_EQ(chain.right, pane->Bounds().Width()) << shown;
        EXPECT_GE(chain.top, slot.bottom) << shown;
        EXPECT_LE(chain.bottom, pane->Bounds().Height()) << shown;
        CInCtlFrm* editor = pane->ControlEditor();
        ASSERT_NE(editor, nullptr);
        if (shown) {
            ASSERT_TRUE(editor->State() & LPane::kShown);
            EXPECT_GE(chain.top, editor->Bounds().bottom);
            EXPECT_GT(editor->Bounds().bottom, hiddenTop);  // the editor pushed the chain down
            EXPECT_LE(slot.right, editor->Bounds().left);
        } else {
            hiddenTop = chain.top;
            EXPECT_LE(chain.top, slot.bottom + 4);
        }
    }
}

TEST_F(CChannelListTest, FilterCommandsSendPathsAndCancelSendsNothing) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1);
    CSrcRendrFrm* chain = Cell(0)->Chain();
    LMenu menu(nullptr, LString("m"));
    auto* load = new LMenuItem(&menu);
    load->SetCommand("CAppCmd_LoadFilter");
    menu.AppendItem(load);
    CSrcRendrFrm::SetChooseFileFunction([](const LFsSpec&, LFsSpec&) { return false; });
    EXPECT_TRUE(chain->MenuCommand(load));
    EXPECT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 0u);
    EXPECT_FALSE(doc.queue.CanUndo());
    CSrcRendrFrm::SetChooseFileFunction([](const LFsSpec&, LFsSpec& chosen) {
        chosen = LFsSpec(LString("/tmp/blur.qtz"));
        return true;
    });
    EXPECT_TRUE(chain->MenuCommand(load));
    ASSERT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 1u);
    EXPECT_STREQ(Filter(0, 0)->GetString(T::kUnitSpec).CStr(), chain->LastFilterPath().CStr());
    auto* other = new LMenuItem(&menu);
    other->SetCommand("cOther");
    menu.AppendItem(other);
    EXPECT_FALSE(chain->MenuCommand(other));
}

// The preview's menu offers what the chain frame answers: the filter file, the repository's rows
// and the rows holding them; a row left empty and an unanswered command stay disabled, also after a
// pass that enabled everything.
TEST_F(CChannelListTest, LayerMenuEnablesOnlyTheCommandsTheChainAnswers) {
    ASSERT_TRUE(resources.Ok());
    LMenu menu(nullptr, SRsrcRequest("LAYERPOP"));
    LMenuItem* load = menu.FirstItem();
    ASSERT_NE(load, nullptr);
    ASSERT_TRUE(load->HasCommand("CAppCmd_LoadFilter"));
    auto row = [&](const char* title) {
        auto* item = new LMenuItem(&menu);
        item->SetTexts(LString(title));
        menu.AppendItem(item);
        return item;
    };
    LMenuItem* stylize = row("Stylize");
    LMenuItem* empty = row("Other");
    LMenuItem* odd = row("Odd");
    odd->SetCommand("CAppCmd_Nobody");
    LMenu* sub = menu.MakeSubmenu(uint32_t(menu.IndexOfItem(stylize)));
    (void)menu.MakeSubmenu(uint32_t(menu.IndexOfItem(empty)));
    auto* tint = new LMenuItem(sub);
    tint->SetTexts(LString("Deep Tint"));
    tint->SetCommand("CAppCmd_AddCompo");
    sub->AppendItem(tint);
    auto* stray = new LMenuItem(sub);
    stray->SetTexts(LString("Stray"));
    sub->AppendItem(stray);
    menu.EnableAllItems();
    odd->SetMarked(true);

    CLayerFrm::ReadyLayerMenu(&menu);
    const struct {
        LMenuItem* item;
        bool enabled;
    } cases[] = {{load, true}, {stylize, true}, {tint, true}, {empty, false}, {odd, false}, {stray, false}};
    for (const auto& c : cases) EXPECT_EQ(c.item->IsEnabled(), c.enabled) << c.item->Text().CStr();
    for (LMenuItem* i = menu.FirstItem(); i; i = menu.NextItem(i))
        if (!i->HasCommands() && !i->Submenu()) {
            EXPECT_FALSE(i->IsEnabled()) << "separator";
        }
    EXPECT_FALSE(odd->IsMarked());
}

TEST_F(CChannelListTest, CellMessagesReachTheLayer) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    CLayerFrm* cell = Cell(1);
    cell->MixPopup()->SetValue(2);
    LHandler::Dispatch(LMessage(LPopupList_Changed, cell->MixPopup(), cell->MixPopup()->Upper()));
    EXPECT_EQ(Value(Unit(1), "_oblayer_MixFunc"), "sub");
    EXPECT_EQ(Value(Unit(0), "_oblayer_MixFunc"), "");
    cell->Fader()->SetValue(64);
    LHandler::Dispatch(LMessage(CSlider_Change, cell->Fader(), cell->Fader()->Upper()));
    EXPECT_EQ(Value(Unit(1), "_oblayer_Blend"), "0.25");
    // A new filter from the chain's menu; with 'slad' it starts bypassed.
    prefs.RootRef().SetBool(nullptr, P::kPrefSilentAdd, true);
    LMenuItem* load = LoadEdgeItem();
    EXPECT_TRUE(cell->Chain()->MenuCommand(load));
    ASSERT_EQ(Unit(1)->ArrayCount(T::kUnitFilters), 1u);
    EXPECT_EQ(Value(Filter(1, 0), "_obunit_Bypass"), "1");
    EXPECT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 0u);
}

// What the panes of a chain send up reaches the list through the frames: a dragged control's value
// goes to the engine alone, an image input asks its image unit's preview, and reveals its file in
// the file browser (the URL opener gets the file's folder).
TEST_F(CChannelListTest, PaneMessagesReachTheEngineThePreviewsAndTheFileBrowser) {
    ASSERT_TRUE(resources.Ok());
    model.SetDocumentPath(CMacFileU::LFsSpecFromPath("/shows/a/show.obm"));
    MakeShow(2);
    CRecord* unit = Unit(0);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("img"), LString("pics/a.png"), true));
    const uint32_t image = Id(UDocModel::FindUnitInput(unit, LString("img"))->GetSubRecord(T::kInptImage));
    ASSERT_NE(image, 0u);
    engine.imagePorts[Id(unit)] = "img";
    engine.imagePorts[Id(Unit(1))] = "img";  // a port without an input record, so no image unit
    auto pane = [&](uint32_t layer) {
        return static_cast<CInParamImage*>(Cell(layer)->Chain()->FindPane(Id(Unit(layer)), LString("img")));
    };
    ASSERT_NE(pane(0), nullptr);
    ASSERT_NE(pane(1), nullptr);

    // A live value: the engine's parameter, not the model, and nothing to undo.
    CInParamNote note{Id(unit), LString("_oblayer_Blend"), LString("0.25")};
    LHandler::Dispatch(LMessage(CInParamPane_Preview, &note, pane(0)->Upper()));
    EXPECT_EQ(engine.params, (std::vector<std::string>{std::to_string(Id(unit)) + " _oblayer_Blend 0.25"}));
    EXPECT_EQ(Value(unit, "_oblayer_Blend"), "1");
    EXPECT_FALSE(doc.queue.CanUndo());

    // The preview asks for the input's image unit at once; an input without one asks nothing.
    for (uint32_t layer : {1u, 0u}) {
        List()->ClearPreviews();
        LHandler::Dispatch(LMessage(CInParamPane_image_Update, pane(layer), pane(layer)->Upper()));
        std::string queued;
        for (const auto& r : List()->PreviewQueue()) queued += std::to_string(r.unitId) + (r.immediate ? "!" : "");
        EXPECT_EQ(queued, layer == 0 ? std::to_string(image) + "!" : "") << layer;
    }

    // Reveal, from the pane's menu: the stored path resolved against the document.
    std::vector<std::string> opened;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* c) {
            static_cast<std::vector<std::string>*>(c)->push_back(url);
            return true;
        },
        &opened);
    pane(0)->SetValueText(LString("pics/a.png"));
    LMenuItem* reveal = nullptr;
    LMenu* menu = pane(0)->RebuildMenu();
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
        if (i->HasCommand("CAppCmd_ImgReveal")) reveal = i;
    ASSERT_NE(reveal, nullptr);
    EXPECT_TRUE(pane(0)->Choose(reveal));
    EXPECT_EQ(opened, (std::vector<std::string>{"file:///shows/a/pics"}));
    // A value that names no file opens nothing.
    opened.clear();
    pane(1)->SetValueText(LString());
    LHandler::Dispatch(LMessage(CInParamPane_image_Reveal, pane(1), pane(1)->Upper()));
    EXPECT_TRUE(opened.empty());
    plat::SetURLOpenerFunction(nullptr, nullptr);
}

// "CSrcRendrFrm_Filter" appends a filter to the end of the chain that sent it: a cell's chain to
// its layer's unit, an image input's chain to the image unit; 'slad' starts it bypassed; one undo
// step takes it back.
TEST_F(CChannelListTest, FilterMessagesAppendToTheEndOfTheSendingChain) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    CRecord* unit = Unit(1);
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, unit, LString("img"), LString(".colorfill"), true));
    CRecord* image = UDocModel::FindUnitInput(unit, LString("img"))->GetSubRecord(T::kInptImage);
    ASSERT_NE(image, nullptr);
    engine.imagePorts[Id(unit)] = "img";
    LMenuItem* load = LoadEdgeItem();
    struct Row {
        const char* name;
        bool image;
        bool silent;
    } const rows[] = {{"cell chain", false, false}, {"image chain", true, true}, {"cell chain, silent", false, true}};
    for (const Row& r : rows) {
        prefs.RootRef().SetBool(nullptr, P::kPrefSilentAdd, r.silent);
        CRecord* target = r.image ? image : unit;
        const uint32_t before = target->ArrayCount(T::kUnitFilters);
        CSrcRendrFrm* chain = Cell(1)->Chain();
        if (r.image) {
            auto* pane = static_cast<CInParamImage*>(chain->FindPane(Id(unit), LString("img")));
            ASSERT_NE(pane, nullptr) << r.name;
            chain = pane->Chain();
            ASSERT_EQ(chain->ChildCount(), 1u) << r.name;
            EXPECT_EQ(chain->ChildAt(0)->UnitId(), Id(image)) << r.name;
        }
        EXPECT_TRUE(chain->MenuCommand(load)) << r.name;
        ASSERT_EQ(target->ArrayCount(T::kUnitFilters), before + 1) << r.name;
        CRecord* added = target->GetElement(T::kUnitFilters, before);
        EXPECT_STREQ(added->GetString(T::kUnitSpec).CStr(), chain->LastFilterPath().CStr()) << r.name;
        EXPECT_EQ(Value(added, "_obunit_Bypass"), r.silent ? "1" : "<none>") << r.name;
        // Nothing else got one.
        EXPECT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 1u) << r.name;
        EXPECT_EQ((r.image ? unit : image)->ArrayCount(T::kUnitFilters), r.image ? 1u : 0u) << r.name;
        ASSERT_TRUE(Undo()) << r.name;
        EXPECT_EQ(target->ArrayCount(T::kUnitFilters), before) << r.name;
    }
}

// --- drops --------------------------------------------------------------------------------------

TEST_F(CChannelListTest, FilterOntoItsOwnPlaceOrJustAfterChangesNothing) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1, 3);
    const uint32_t target = Id(Unit(0));
    const uint32_t dragged = Id(Filter(0, 1));
    (void)List();
    for (uint32_t index : {1u, 2u}) {
        List()->SetDraggedUnit(dragged);
        const uint32_t fb = List()->DropUnits({target, index, 0}, CChannelList::kScrapFilters,
                                              Copies({Filter(0, 1)}), false);
        EXPECT_EQ(fb, uint32_t(CChannelList::kFeedbackMove));
        EXPECT_EQ(Id(Filter(0, 1)), dragged) << index;
        EXPECT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 3u);
        EXPECT_FALSE(doc.queue.CanUndo()) << index;
    }
    // To the front: moved, one undo step.
    List()->DropUnits({target, 0, 0}, CChannelList::kScrapFilters, Copies({Filter(0, 1)}), false);
    EXPECT_EQ(Id(Filter(0, 0)), dragged);
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Id(Filter(0, 1)), dragged);
}

TEST_F(CChannelListTest, DropIntoAChainInsideTheDraggedUnitCopies) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    const uint32_t ownUnit = Id(Unit(0));
    List()->SetDraggedUnit(ownUnit);
    EXPECT_TRUE(List()->DropIsCopy(Id(Filter(0, 0))));  // inside the dragged unit
    EXPECT_TRUE(List()->DropIsCopy(ownUnit));
    EXPECT_FALSE(List()->DropIsCopy(Id(Unit(1))));
    const uint32_t fb = List()->DropUnits({ownUnit, 1, 0}, CChannelList::kScrapFilters, Copies({Unit(0)}), false);
    EXPECT_EQ(fb, uint32_t(CChannelList::kFeedbackCopy));
    EXPECT_EQ(Layers(), 2u);
    ASSERT_EQ(Unit(0)->ArrayCount(T::kUnitFilters), 2u);
    EXPECT_NE(Id(Filter(0, 1)), ownUnit);  // a copy with fresh ids
    EXPECT_NE(UDocModel::FindUnitById(Mix().Get(), ownUnit), nullptr);
    // Without a drag from this list, every drop copies.
    List()->SetDraggedUnit(0);
    EXPECT_TRUE(List()->DropIsCopy(Id(Unit(1))));
}

TEST_F(CChannelListTest, ColumnOntoAnotherChainMovesItsUnitAndRemovesTheLayer) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(3);
    const uint32_t moved = Id(Unit(0));
    const uint32_t target = Id(Unit(2));
    AddScene({moved, target});
    List()->SetColumnDragRunning(true);
    const uint32_t fb =
        List()->DropUnits({target, 0, 0}, CChannelList::kScrapLayers, Copies({Layer(0)}), false);
    EXPECT_EQ(fb, uint32_t(CChannelList::kFeedbackMove));
    ASSERT_EQ(Layers(), 2u);
    EXPECT_EQ(Id(Unit(1)), target);
    ASSERT_EQ(Unit(1)->ArrayCount(T::kUnitFilters), 1u);
    EXPECT_EQ(Id(Filter(1, 0)), moved);  // moved, its id and its scene values kept
    EXPECT_EQ(SceneIds(), (std::set<uint32_t>{moved, target}));
    ASSERT_TRUE(Undo());  // one group
    EXPECT_EQ(Layers(), 3u);
    EXPECT_EQ(Id(Unit(0)), moved);
    EXPECT_EQ(Unit(2)->ArrayCount(T::kUnitFilters), 0u);
    EXPECT_EQ(SceneIds(), (std::set<uint32_t>{moved, target}));
}

TEST_F(CChannelListTest, LayerDropsFromElsewhereAreRenumberedCopies) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2, 1);
    std::set<uint32_t> before;
    for (uint32_t n = 0; n < Layers(); ++n)
        UDocModel::ForEachUnit(Unit(n), [&](CRecord* u) {
            before.insert(Id(u));
            return true;
        });
    // Move feedback, but no column drag of this list runs: a copy, not a reorder.
    List()->SelectCell({1, 0});
    const uint32_t fb = List()->DropLayers(0, Copies({Layer(0), Layer(1)}), true);
    EXPECT_EQ(fb, uint32_t(CChannelList::kFeedbackCopy));
    ASSERT_EQ(Layers(), 4u);
    for (uint32_t n : {0u, 1u}) {
        EXPECT_EQ(before.count(Id(Unit(n))), 0u) << n;
        EXPECT_EQ(before.count(Id(Filter(n, 0))), 0u) << n;
    }
    EXPECT_TRUE(List()->IsSelected({0, 0}));
    EXPECT_TRUE(List()->IsSelected({1, 0}));
    EXPECT_FALSE(List()->IsSelected({3, 0}));
    // Records of other types are dropped.
    CRecord* stray = CRecord::New(T::Type(T::kSCNE));
    List()->DropLayers(0, {stray}, false);
    EXPECT_EQ(Layers(), 4u);
}

TEST_F(CChannelListTest, OwnColumnDragReordersTheSelection) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(4);
    const uint32_t a = Id(Unit(0)), b = Id(Unit(1)), c = Id(Unit(2)), d = Id(Unit(3));
    List()->SelectCell({0, 0});
    List()->AddToSelection({1, 0});
    List()->SetColumnDragRunning(true);
    EXPECT_EQ(List()->DropLayers(3, {}, true), uint32_t(CChannelList::kFeedbackMove));
    EXPECT_EQ((std::vector<uint32_t>{Id(Unit(0)), Id(Unit(1)), Id(Unit(2)), Id(Unit(3))}),
              (std::vector<uint32_t>{c, a, b, d}));
    EXPECT_TRUE(List()->IsSelected({1, 0}));
    EXPECT_TRUE(List()->IsSelected({2, 0}));
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Id(Unit(0)), a);
    EXPECT_EQ(Id(Unit(2)), c);
}

TEST_F(CChannelListTest, DroppedFilesMakeLayers) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    model.SetDocumentPath(LFsSpec(LString("/tmp/show.obm")));
    List()->DropFiles(1, {LFsSpec(LString("/tmp/pic.png")), LFsSpec(LString("/tmp/comp.qtz"))});
    ASSERT_EQ(Layers(), 4u);
    EXPECT_STREQ(Unit(1)->GetString(T::kUnitSpec).CStr(), "obImageInput.qtz");
    EXPECT_NE(Value(Unit(1), "_protocolInput_Image").find("pic.png"), std::string::npos);
    EXPECT_NE(std::string(Unit(2)->GetString(T::kUnitSpec).CStr()).find("comp.qtz"), std::string::npos)
        << Unit(2)->GetString(T::kUnitSpec).CStr() << " / " << Unit(1)->GetString(T::kUnitSpec).CStr();
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Layers(), 2u);
}

TEST_F(CChannelListTest, AnimatorOntoAnInputReplacesItsAnimator) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    CRecord* in0 = UDocModel::FindUnitInput(Unit(0), LString("_oblayer_Blend"));
    ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, in0, LString("lfo.qtz")));
    CRecord* anim = in0->GetSubRecord(T::kInptAnim);
    const uint32_t animId = Id(anim);
    CRecord* in1 = UDocModel::FindUnitInput(Unit(1), LString("_oblayer_Blend"));
    ASSERT_TRUE(UDocUnits::SetAnimator(Mix(), nullptr, in1, LString("old.qtz")));
    const uint32_t index1 = uint32_t(in1->ArrayIndex());
    // Moved from this list: detached from its input.
    List()->SetDraggedUnit(animId);
    EXPECT_EQ(List()->DropUnits({Id(Unit(1)), index1, 1}, CChannelList::kScrapAnimators, Copies({anim}), false),
              uint32_t(CChannelList::kFeedbackMove));
    EXPECT_EQ(in0->GetSubRecord(T::kInptAnim), nullptr);
    ASSERT_NE(in1->GetSubRecord(T::kInptAnim), nullptr);
    EXPECT_EQ(Id(in1->GetSubRecord(T::kInptAnim)), animId);
    // From elsewhere: a renumbered copy replaces it.
    List()->SetDraggedUnit(0);
    EXPECT_EQ(List()->DropUnits({Id(Unit(0)), uint32_t(in0->ArrayIndex()), 1}, CChannelList::kScrapAnimators,
                                Copies({in1->GetSubRecord(T::kInptAnim)}), false),
              uint32_t(CChannelList::kFeedbackCopy));
    ASSERT_NE(in0->GetSubRecord(T::kInptAnim), nullptr);
    EXPECT_NE(Id(in0->GetSubRecord(T::kInptAnim)), animId);
}

TEST_F(CChannelListTest, DeleteRemovesLayersWithTheirSceneValues) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(3, 1);
    const uint32_t keep = Id(Unit(1));
    AddScene({Id(Unit(0)), Id(Filter(0, 0)), keep, Id(Unit(2))});
    List()->SelectCell({0, 0});
    List()->AddToSelection({2, 0});
    ASSERT_TRUE(List()->CanDelete());
    List()->DeleteCommand();
    ASSERT_EQ(Layers(), 1u);
    EXPECT_EQ(Id(Unit(0)), keep);
    EXPECT_EQ(SceneIds(), std::set<uint32_t>{keep});
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Layers(), 3u);
    EXPECT_EQ(SceneIds().size(), 4u);
}

TEST_F(CChannelListTest, DeleteOfAFocusedOwnOrImageUnitRemovesTheUnit) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(2);
    // A layer's own unit: its layer goes.
    const uint32_t own = Id(Unit(0));
    const uint32_t other = Id(Unit(1));
    ASSERT_TRUE(UDocUnits::SetUnitInput(Mix(), nullptr, Unit(1), LString("img"), LString(), true));
    CRecord* input = UDocModel::FindUnitInput(Unit(1), LString("img"));
    const uint32_t image = Id(input->GetSubRecord(T::kInptImage));
    AddScene({own, other, image});
    List()->FocusUnit(own);
    List()->DeleteCommand();
    ASSERT_EQ(Layers(), 1u);
    EXPECT_EQ(Id(Unit(0)), other);
    EXPECT_EQ(SceneIds(), (std::set<uint32_t>{other, image}));
    // An image unit: cleared from its input.
    List()->FocusUnit(image);
    List()->DeleteCommand();
    EXPECT_EQ(UDocModel::FindUnitInput(Unit(0), LString("img"))->GetSubRecord(T::kInptImage), nullptr);
    EXPECT_EQ(SceneIds(), std::set<uint32_t>{other});
    ASSERT_TRUE(Undo());
    ASSERT_NE(UDocModel::FindUnitInput(Unit(0), LString("img"))->GetSubRecord(T::kInptImage), nullptr);
    ASSERT_TRUE(Undo());
    EXPECT_EQ(Layers(), 2u);
    EXPECT_EQ(Id(Unit(0)), own);
}

TEST_F(CChannelListTest, WheelOffsetIsClampedAndControlNotesNestInCtrl) {
    ASSERT_TRUE(resources.Ok());
    MakeShow(1);
    Ref(dcpf).SetInt(nullptr, P::kDocRunTime11, 500);
    Ref(dcpf).SetInt(nullptr, P::kDocRunTime12, 200);
    for (auto [in, out] : std::vector<std::pair<int32_t, int32_t>>{{-40, 0}, {120, 120}, {1000, 300}}) {
        List()->SetChainOffset(in);
        EXPECT_EQ(dcpf->GetInt(P::kDocRunTime13), out) << in;
    }
    List()->StoreControlNote(Id(Unit(0)), LString("_oblayer_Blend"), {LString("ch"), LString("dmx")}, LString("7"));
    CRecord* ctrl = UDocModel::FindUnitInput(Unit(0), LString("_oblayer_Blend"))->GetSubRecord(T::kInptCtl);
    ASSERT_NE(ctrl, nullptr);
    CRecord* dmx = CParamSet::GetSubSet(Ref(ctrl), LString("dmx"));
    ASSERT_NE(dmx, nullptr);
    LString v;
    EXPECT_GE(CParamSet::Find(Ref(dmx), LString("ch"), &v), 0);
    EXPECT_STREQ(v.CStr(), "7");
    ASSERT_TRUE(Undo());  // one group
    ctrl = UDocModel::FindUnitInput(Unit(0), LString("_oblayer_Blend"))->GetSubRecord(T::kInptCtl);
    EXPECT_TRUE(!ctrl || !CParamSet::GetSubSet(Ref(ctrl), LString("dmx")));
}

}  // namespace
