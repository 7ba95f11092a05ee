#include <clocale>
#include <cmath>
#include <string>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/LEditText.h"
#include "Common/ObjC/UMachPanel.h"
#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Lib3/LSources/CoreUI/CColorBtn.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CFlatBtn.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamNote.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Orbilume/CSources/Editors/CTimeVol.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/AppKit/ColorPanel.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/support/NestedLoopGuard.h"

namespace {

using T = CDocModelTypes;

struct Owner : LHandler {
    std::vector<std::string> changes;   // "unit key value"
    std::vector<std::string> controls;  // "unit key value path..."
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CInParamNote_Change)) {
            auto* n = static_cast<CInParamNote*>(msg.sender);
            changes.push_back(std::to_string(n->unitId) + " " + n->key.CStr() + " " + n->value.CStr());
        }
        if (msg.Is(CInParamNote_Anim)) {
            auto* n = static_cast<CInParamNote*>(msg.sender);
            changes.push_back(std::string("anim ") + n->key.CStr() + " " + n->value.CStr());
        }
        if (msg.Is(CInCtlPrmNote_Note)) {
            auto* n = static_cast<CInCtlPrmNote*>(msg.sender);
            std::string s = std::to_string(n->unitId) + " " + n->key.CStr() + " " + n->value.CStr();
            for (const LString& k : n->path) s += std::string(" ") + k.CStr();
            controls.push_back(s);
        }
        return LMessage();
    }
};

std::unique_ptr<PropertyTreeObject> Desc(const std::string& text) {
    auto root = std::make_unique<PropertyTreeObject>();
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(text.data()), uint32_t(text.size()));
    EXPECT_EQ(PropertyTreeReader::Parse(in, *root), 0) << text;
    return root;
}

std::string InputValue(CRecord* unit, const char* key) {
    CRecord* input = UDocModel::FindUnitInput(unit, LString(key));
    return input ? input->GetString(T::kInptValue).CStr() : "<none>";
}

class CInParamFrmTest : public dialogtest::HeadlessDialogTest {
protected:
    CInParamFrm* Frame(uint32_t kind = 0) {
        auto* f = new CInParamFrm(&owner, &dialog, kind);
        f->SetBounds({0, 0, 600, 400});
        return f;
    }
    CRecord* Unit() { return prefs.Root()->GetSubRecord(CAppPrefs::kPrefOutAdjUnit); }

    CAppPrefs prefs;
    Owner owner;
    LModalDialog dialog{&root, nullptr};
};

TEST_F(CInParamFrmTest, BuildsOnePanePerKnownControl) {
    ASSERT_TRUE(resources.Ok());
    CRecord* unit = Unit();
    ASSERT_NE(unit, nullptr);
    const auto desc = Desc(
        "controls: { id: on; type: check; name: On },"
        " { id: pick; type: selector; name: Pick },"
        " { id: bogus; type: slider; name: Nope },"
        " { id: gain; type: numeric; name: Gain; min: 5; max: \"-5\"; prec: 2; ini: \"1.25\" },"
        " { id: note; type: edittext; name: Note; lines: \"\" },"
        " { id: huge; type: numeric; min: nan; max: 1000; prec: 99 },"
        " { id: tall; type: edittext; lines: 100000 }");
    CInParamFrm* f = Frame();
    f->BuildFromControls(desc.get(), unit, true);
    ASSERT_EQ(f->PaneCount(), 6u);  // the unknown type made none and did not stop the loop
    EXPECT_STREQ(f->PaneAt(0)->Label()->Text().CStr(), "On");
    auto* pick = static_cast<CInParamIndex*>(f->PaneAt(1));
    EXPECT_EQ(pick->Menu()->ItemCount(), 0u);  // no "items": an empty menu
    auto* gain = static_cast<CInParamNumber*>(f->PaneAt(2));
    EXPECT_FLOAT_EQ(gain->Knob()->Minimum(), -5);  // a reversed range is swapped
    EXPECT_FLOAT_EQ(gain->Knob()->Maximum(), 5);
    EXPECT_EQ(gain->Knob()->Decimals(), 2u);
    EXPECT_STREQ(gain->GetValueText().CStr(), "1.25");
    EXPECT_EQ(static_cast<CInParamString*>(f->PaneAt(3))->Lines(), 1u);  // empty "lines"
    auto* huge = static_cast<CInParamNumber*>(f->PaneAt(4));
    EXPECT_EQ(huge->Knob()->Decimals(), CInParamFrm::kMaxDecimals);
    EXPECT_FLOAT_EQ(huge->Knob()->Minimum(), 0);  // non-finite reads as 0
    EXPECT_EQ(static_cast<CInParamString*>(f->PaneAt(5))->Lines(), CInParamFrm::kMaxLines);
    // Missing inputs were made with the panes' values; editors shown.
    EXPECT_EQ(InputValue(unit, "gain"), "1.25");
    EXPECT_EQ(InputValue(unit, "on"), "");
    EXPECT_EQ(InputValue(unit, "bogus"), "<none>");
    EXPECT_TRUE(gain->ControlEditor()->State() & LPane::kShown);
    // Stacked at full width, top to bottom.
    EXPECT_EQ(f->PaneAt(0)->Bounds().top, 0);
    for (uint32_t i = 1; i < f->PaneCount(); ++i) {
        EXPECT_EQ(f->PaneAt(i)->Bounds().top, f->PaneAt(i - 1)->Bounds().bottom) << i;
        EXPECT_EQ(f->PaneAt(i)->Bounds().Width(), 600) << i;
    }
    // With editors the controls take the left half, the editor the right half.
    EXPECT_LE(gain->Knob()->Bounds().right, 300);
    EXPECT_GE(gain->ControlEditor()->Bounds().left, 300);

    // Stored values are shown on the next build; without editors the controls span the width.
    CRecord* input = UDocModel::FindUnitInput(unit, LString("gain"));
    input->StringSlot(T::kInptValue) = LString("-2.5");
    f->BuildFromControls(desc.get(), unit, false);
    gain = static_cast<CInParamNumber*>(f->PaneAt(2));
    EXPECT_STREQ(gain->GetValueText().CStr(), "-2.50");
    EXPECT_FALSE(gain->ControlEditor()->State() & LPane::kShown);
    EXPECT_GT(gain->Knob()->Bounds().right, 300);
    // A description without "controls" keeps the panes.
    const auto none = Desc("other: 1");
    f->BuildFromControls(none.get(), unit, false);
    EXPECT_EQ(f->PaneCount(), 6u);
}

TEST_F(CInParamFrmTest, PaneValueTables) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    // Index over A, "-", B: separators are not counted.
    auto* index = new CInParamIndex(f, f, 7, LString("i"), {LString("A"), LString("-"), LString("B")});
    struct IndexCase {
        const char* set;
        const char* shown;
        const char* read;
    } indexCases[] = {{"1", "B", "1"}, {"5", "B", "1"}, {"0", "A", "0"}, {"-3", "A", "0"}, {"x", "A", "0"}};
    for (const IndexCase& c : indexCases) {
        index->SetValueText(LString(c.set));
        EXPECT_STREQ(index->Slot()->Text().CStr(), c.shown) << c.set;
        EXPECT_STREQ(index->GetValueText().CStr(), c.read) << c.set;
    }
    index->Choose(1);
    index->Choose(1);  // the same item again: no note
    // Boolean.
    auto* check = new CInParamBool(f, f, 7, LString("b"));
    struct BoolCase {
        const char* set;
        const char* read;
    } boolCases[] = {{"0", ""}, {"2", "1"}, {"", ""}, {"1", "1"}, {"abc", ""}};
    for (const BoolCase& c : boolCases) {
        check->SetValueText(LString(c.set));
        EXPECT_STREQ(check->GetValueText().CStr(), c.read) << c.set;
    }
    // Time: decimal seconds as the engine's float port reads them.
    auto* time = new CInParamTime(f, f, 7, LString("t"), -600, 6000, 0);
    time->Knob()->SetValue(0);
    (void)time->Knob()->SetText(LString("1:30"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, time->Knob(), time));
    time->SetValueText(LString("-90"));
    EXPECT_STREQ(time->Knob()->GetText().CStr(), "  -1:30");
    // Bypass: a toggle that reports "1" or empty.
    auto* bypass = new CInParamBypass(f, f, 7, LString("_obunit_Bypass"));
    LHandler::Dispatch(LMessage(CFlatBtn_Selected, bypass->Button(), bypass));
    LHandler::Dispatch(LMessage(CFlatBtn_Selected, bypass->Button(), bypass));
    EXPECT_EQ(owner.changes,
              (std::vector<std::string>{"7 i 1", "7 t 90", "7 _obunit_Bypass 1", "7 _obunit_Bypass "}));
    delete index;
    delete check;
    delete time;
    delete bypass;
}

// Value texts stay in the C locale where the user's writes decimal commas.
TEST_F(CInParamFrmTest, PaneValuesUnderAGermanLocale) {
    ASSERT_TRUE(resources.Ok());
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
    CInParamFrm* f = Frame();
    auto* number = new CInParamNumber(f, f, 7, LString("n"), -10, 10, 2);
    number->SetValueText(LString("1.25"));
    EXPECT_STREQ(number->GetValueText().CStr(), "1.25");
    auto* time = new CInParamTime(f, f, 7, LString("t"), -600, 6000, 1);
    time->SetValueText(LString("-90.5"));
    EXPECT_STREQ(time->Knob()->GetText().CStr(), "  -1:30.5");
    (void)time->Knob()->SetText(LString("1:30.5"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, time->Knob(), time));
    auto* index = new CInParamIndex(f, f, 7, LString("i"), {LString("A"), LString("-"), LString("B")});
    index->SetValueText(LString("5"));
    EXPECT_STREQ(index->Slot()->Text().CStr(), "B");
    auto* check = new CInParamBool(f, f, 7, LString("b"));
    check->SetValueText(LString("2"));
    EXPECT_STREQ(check->GetValueText().CStr(), "1");
    EXPECT_EQ(owner.changes, (std::vector<std::string>{"7 t 90.5"}));
    delete number;
    delete time;
    delete index;
    delete check;
    std::setlocale(LC_ALL, before.c_str());
}

TEST_F(CInParamFrmTest, ModesRebuildTheirNestedFrame) {
    ASSERT_TRUE(resources.Ok());
    const auto desc = Desc(
        "controls: { id: mode; type: mode; name: Mode; modes: "
        "{ label: Plain; controls: { id: a; type: check } },"
        "{ label: Fancy; controls: { id: b; type: numeric; max: 10 }, { id: c; type: check } } }");
    CInParamFrm* f = Frame();
    f->BuildFromControls(desc.get(), Unit(), false);
    ASSERT_EQ(f->PaneCount(), 1u);
    auto* mode = static_cast<CInParamMode*>(f->PaneAt(0));
    EXPECT_STREQ(mode->Slot()->Text().CStr(), "Plain");
    EXPECT_EQ(mode->Modes()->PaneCount(), 1u);
    mode->Choose(1);
    EXPECT_STREQ(mode->Slot()->Text().CStr(), "Fancy");
    EXPECT_EQ(mode->Modes()->PaneCount(), 2u);
    EXPECT_NE(f->FindPane(0, LString("c")), nullptr);  // lookups descend into the mode's frame
    mode->SetValueText(LString("9"));
    EXPECT_STREQ(mode->Slot()->Text().CStr(), "");  // past the end: empty label and frame
    EXPECT_EQ(mode->Modes()->PaneCount(), 0u);
    EXPECT_EQ(owner.changes, (std::vector<std::string>{"0 mode 1"}));
}

// An assignment edit gets the frame's unit id and the input key on its way up.
TEST_F(CInParamFrmTest, AssignmentNotesGetTheUnitId) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    const auto desc = Desc("controls: { id: brt; type: numeric; max: 1; prec: 2 }");
    CRecord* unit = Unit();
    f->BuildFromControls(desc.get(), unit, true);
    f->SetUnitId(42);
    CRecord* input = UDocModel::FindUnitInput(unit, LString("brt"));
    ASSERT_NE(input, nullptr);
    CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
    ASSERT_NE(ctrl, nullptr);
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("dmx"));
    f->BuildFromControls(desc.get(), unit, true);
    CInCtlFrm* editor = f->PaneAt(0)->ControlEditor();
    ASSERT_NE(editor->Editor(), nullptr);
    f->SetUnitId(42);
    auto* dmx = static_cast<CInCtlPrmDmx*>(editor->Editor());
    dmx->Channel()->SetValue(5);
    LHandler::Dispatch(LMessage(CNumVol_Fix, dmx->Channel(), dmx));
    EXPECT_EQ(owner.controls, (std::vector<std::string>{"42 dmxch 4 brt"}));
}

// A string pane that goes while the text window is lent to it leaves the window without a client.
TEST_F(CInParamFrmTest, StringPaneDetachesTheTextWindowWhenItGoes) {
    ASSERT_TRUE(resources.Ok());
    CTextEditWin window;
    CTextEditWin::SetInstance(&window);
    CInParamFrm* f = Frame();
    const auto desc = Desc("controls: { id: text; type: edittext; lines: 3 }");
    f->BuildFromControls(desc.get(), Unit(), false);
    auto* pane = static_cast<CInParamString*>(f->PaneAt(0));
    pane->SetValueText(LString("one"));
    pane->OpenTextWindow();
    EXPECT_EQ(window.Client(), pane);
    EXPECT_STREQ(window.EditText()->GetText().CStr(), "one");
    window.EditText()->SetText(LString("two"));
    LHandler::Dispatch(LMessage(LEditText_Change, window.EditText(), &window));
    EXPECT_STREQ(pane->Edit()->GetText().CStr(), "two");
    // Rebuilt for another unit: the pane goes; typing then reaches nobody.
    f->BuildFromControls(desc.get(), nullptr, false);
    EXPECT_EQ(window.Client(), nullptr);
    LHandler::Dispatch(LMessage(LEditText_Change, window.EditText(), &window));
    EXPECT_EQ(owner.changes, (std::vector<std::string>{"0 text two"}));
    CTextEditWin::SetInstance(nullptr);
}

// A click in a multi-line string field, as the window system delivers it, opens the text window
// over the field with the field's text; a click in a one-line field does not.
TEST_F(CInParamFrmTest, AClickInAMultiLineStringFieldOpensTheTextWindowOverIt) {
    ASSERT_TRUE(resources.Ok());
    CTextEditWin window;
    CTextEditWin::SetInstance(&window);
    LFrame host(&root, nullptr, LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(0))));
    // The frame's upper handler is its window, as in the application: focus requests go up to it.
    auto* f = new CInParamFrm(&host, &host, 0);
    const auto desc = Desc("controls: { id: one; type: edittext }, { id: text; type: edittext; lines: 3 }");
    f->BuildFromControls(desc.get(), Unit(), false);
    Show(&host);
    f->SetBounds({0, 0, 400, 300});
    f->UpdateLayout();
    auto* single = static_cast<CInParamString*>(f->PaneAt(0));
    auto* multi = static_cast<CInParamString*>(f->PaneAt(1));
    single->SetValueText(LString("short"));
    multi->SetValueText(LString("long\ntext"));
    LWindowServices* services = LWindowServices::Get();
    const CLRect hostContent = services->ContentRect(host.Window());
    // The field's top-left corner in the window's content, and a click in its middle.
    auto fieldCorner = [](CInParamString* pane) {
        const LPanePort port(pane->Edit());
        const CLRect b = pane->Edit()->Bounds();
        return CLPoint{port.origin.x + b.left, port.origin.y + b.top};
    };
    auto click = [&](CInParamString* pane) {
        const CLRect b = pane->Edit()->Bounds();
        const CLPoint corner = fieldCorner(pane);
        const plat::Point at{double(corner.x + b.Width() / 2), double(corner.y + b.Height() / 2)};
        plat::Window* native = host.Window()->NativeWindow();
        using plat::headless::HeadlessBackend;
        // The release is queued first: a focused field tracks the press until it comes.
        testsupport::NestedLoopGuard guard;
        screens.Backend().Inject(HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseUp, native, at));
        plat::Event e = HeadlessBackend::MouseEvent(plat::EventType::kLeftMouseDown, native, at);
        e.timestamp = plat::ClockNow();
        e.eventNumber = plat::Application::Shared()->NextEventNumber();
        plat::Application::Shared()->SendEvent(e);
        plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    };
    ASSERT_FALSE(multi->Edit()->Bounds().IsEmpty());

    click(single);
    EXPECT_EQ(window.Client(), nullptr);
    EXPECT_FALSE(services->IsVisible(window.Window()));

    click(multi);
    EXPECT_TRUE(multi->Edit()->State() & LPane::kFocused);
    EXPECT_EQ(window.Client(), multi);
    EXPECT_TRUE(services->IsVisible(window.Window()));
    EXPECT_STREQ(window.EditText()->GetText().CStr(), "long\ntext");
    const CLPoint corner = fieldCorner(multi);
    const CLRect placed = services->ContentRect(window.Window());
    EXPECT_EQ(placed.left, hostContent.left + corner.x);
    EXPECT_EQ(placed.top, hostContent.top + corner.y);

    // The text window took the keys; the field keeps the focus of its own window meanwhile.
    EXPECT_TRUE(window.Window()->NativeWindow()->IsKeyWindow());
    EXPECT_TRUE(multi->Edit()->State() & LPane::kFocused);
    // Back in the host window, into the one-line field: the multi-line one loses the focus and the
    // window goes.
    host.Window()->NativeWindow()->MakeKeyAndOrderFront();
    click(single);
    EXPECT_EQ(window.Client(), nullptr);
    EXPECT_FALSE(services->IsVisible(window.Window()));
    CTextEditWin::SetInstance(nullptr);
}

CUnitPort Port(uint32_t kind, const char* key, const char* name, const char* value = "") {
    CUnitPort p;
    p.kind = kind;
    p.key = LString(key);
    p.name = LString(name);
    p.value = LString(value);
    p.min = 0;
    p.max = 10;
    return p;
}

TEST_F(CInParamFrmTest, BuildFromPortsReusesPanesByReference) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame(2);
    CUnitPortList list;
    list.unitId = 9;
    list.unitName = LString("Glow");
    list.ports.push_back(Port(1, "on", "On", "1"));
    list.ports.push_back(Port(3, "gain", "_", "2.5"));
    list.ports.push_back(Port(4, "hidden", ""));
    list.ports.push_back(Port(2, "pick", "Pick", "1"));
    list.ports.back().menuItems = {LString("A"), LString("-"), LString("B")};
    list.ports.push_back(Port(7, "struct", "Data"));
    list.ports.back().visible = 0;  // not shown
    list.ports.push_back(Port(3, "t", "Time", "90"));
    list.ports.back().displayMode = 1;
    list.ports.back().max = 6000;
    list.ports.push_back(Port(3, "_obunit_Bypass", "", "1"));
    f->BuildFromPorts(&list, nullptr, false);
    ASSERT_EQ(f->PaneCount(), 5u);  // bypass, on, gain, pick, t
    CInParamPane* bypass = f->PaneAt(0);
    EXPECT_STREQ(bypass->Key().CStr(), "_obunit_Bypass");
    EXPECT_STREQ(bypass->Label()->Text().CStr(), "Glow");
    EXPECT_STREQ(bypass->GetValueText().CStr(), "1");
    EXPECT_STREQ(f->PaneAt(2)->Label()->Text().CStr(), "");     // "_": no label
    EXPECT_STREQ(f->PaneAt(2)->GetValueText().CStr(), "2.50");  // 0..10: 2 decimals
    EXPECT_STREQ(f->PaneAt(3)->GetValueText().CStr(), "1");
    EXPECT_STREQ(f->PaneAt(4)->GetValueText().CStr(), "90");
    EXPECT_EQ(f->UnitId(), 9u);
    EXPECT_EQ(f->FindPane(9, LString("t")), f->PaneAt(4));

    // The same ports again: every pane kept. Without "on": only it goes.
    std::vector<CInParamPane*> before;
    for (uint32_t i = 0; i < f->PaneCount(); ++i) before.push_back(f->PaneAt(i));
    f->BuildFromPorts(&list, nullptr, false);
    for (uint32_t i = 0; i < f->PaneCount(); ++i) EXPECT_EQ(f->PaneAt(i), before[i]) << i;
    list.ports.erase(list.ports.begin());
    f->BuildFromPorts(&list, nullptr, false);
    ASSERT_EQ(f->PaneCount(), 4u);
    EXPECT_EQ(f->PaneAt(0), before[0]);
    EXPECT_EQ(f->PaneAt(1), before[2]);
    EXPECT_EQ(f->PaneAt(3), before[4]);

    // A unit without a bypass port or a name still gets a bypass pane, without a label.
    CUnitPortList bare;
    bare.unitId = 9;
    bare.ports.push_back(Port(1, "x", "X"));
    f->BuildFromPorts(&bare, nullptr, false);
    ASSERT_EQ(f->PaneCount(), 2u);
    EXPECT_EQ(f->PaneAt(0), before[0]);
    EXPECT_FALSE(f->PaneAt(0)->Label()->State() & LPane::kShown);
    // Another unit: a new bypass pane. Null: nothing, unit 0.
    bare.unitId = 10;
    f->BuildFromPorts(&bare, nullptr, false);
    EXPECT_STREQ(f->PaneAt(0)->Key().CStr(), "_obunit_Bypass");
    EXPECT_EQ(f->PaneAt(0)->UnitId(), 10u);
    f->BuildFromPorts(nullptr, nullptr, false);
    EXPECT_EQ(f->PaneCount(), 0u);
    EXPECT_EQ(f->UnitId(), 0u);
}

TEST_F(CInParamFrmTest, PortDecimals) {
    struct Case {
        int32_t decimals;
        float min, max;
        uint32_t want;
    } cases[] = {
        {-1, 0, 1000, 0}, {-1, -0.5f, 0.5f, 3}, {-1, 0, 0, 3},   {-1, 0, 99, 2},
        {-1, NAN, 1, 3},  {-1, 0, INFINITY, 3}, {2, 0, 1000, 2}, {40, 0, 1, CInParamFrm::kMaxDecimals},
    };
    for (const Case& c : cases) {
        CUnitPort p;
        p.decimals = c.decimals;
        p.min = c.min;
        p.max = c.max;
        EXPECT_EQ(CInParamFrm::PortDecimals(p), c.want) << c.decimals << " " << c.min << ".." << c.max;
    }
}

TEST_F(CInParamFrmTest, AnimatorsAndAssignmentsFromTheDocument) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    const int32_t layer = UDocUnits::AddCompositionLayer(doc.Mix(), nullptr, 0, LString("x.qtz"));
    ASSERT_GE(layer, 0);
    CRecord* unit = doc.Mix()->GetElement(T::kMixsLayers, uint32_t(layer))->GetSubRecord(T::kLayrUnit);
    ASSERT_NE(unit, nullptr);
    CRecord* input = UDocUnits::FindOrAddUnitInput(unit, nullptr, LString("gain"), LString("1"));
    CRecord* ctrl = input->GetSubRecord(T::kInptCtl);
    CParamSet::SetString(CRecordRef(&ctrl), nullptr, LString("type"), LString("midic"));
    CUnitPortList list;
    list.unitId = unit->GetUInt(T::kUnitId);
    list.ports.push_back(Port(3, "gain", "Gain", "1"));
    list.ports.back().nested = std::make_unique<CUnitPortList>();
    list.ports.back().nested->unitId = 999;
    list.ports.back().nested->ports.push_back(Port(3, "speed", "Speed", "3"));
    CInParamFrm* f = Frame(0);
    f->BuildFromPorts(&list, doc.Mix().Get(), true);
    ASSERT_EQ(f->PaneCount(), 2u);
    CInParamPane* gain = f->PaneAt(1);
    EXPECT_EQ(gain->ControlEditor()->Type(), 3u);
    ASSERT_NE(gain->NestedFrame(false), nullptr);
    EXPECT_EQ(gain->NestedFrame(false)->PaneCount(), 2u);
    EXPECT_EQ(f->FindFrame(999), gain->NestedFrame(false));
    EXPECT_NE(f->FindPane(999, LString("speed")), nullptr);
    EXPECT_FALSE(static_cast<CInParamNumber*>(gain)->Knob()->State() & LPane::kEnabled);  // the animator runs
    list.ports.back().nested->bypassed = 1;
    f->BuildFromPorts(&list, doc.Mix().Get(), true);
    EXPECT_TRUE(static_cast<CInParamNumber*>(gain)->Knob()->State() & LPane::kEnabled);
    list.ports.back().nested.reset();
    f->BuildFromPorts(&list, doc.Mix().Get(), true);
    EXPECT_EQ(gain->NestedFrame(false), nullptr);
}

TEST_F(CInParamFrmTest, ColourPaneFollowsTheSharedPanelUntilItGoes) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    auto* colour = new CInParamColor(f, f, 3, LString("tint"));
    colour->SetValueText(LString("rgba(1,0.5,0,0.25)"));
    EXPECT_STREQ(colour->GetValueText().CStr(), "rgba(1,0.5,0,0.25)");
    LHandler::Dispatch(LMessage(CColorBtn::rSelected, colour->Button(), colour));
    EXPECT_NE(UMachPanel::ColorTarget(), nullptr);
    plat::ColorPanel::Shared()->UserPickColor({0, 0, 1, 1});
    ASSERT_EQ(owner.changes.size(), 1u);
    EXPECT_EQ(owner.changes[0], "3 tint rgba(0,0,1,1)");
    // Gone: the panel no longer reports to it.
    delete colour;
    EXPECT_EQ(UMachPanel::ColorTarget(), nullptr);
    plat::ColorPanel::Shared()->UserPickColor({1, 1, 1, 1});
    EXPECT_EQ(owner.changes.size(), 1u);
}

TEST_F(CInParamFrmTest, StringSelectionMenus) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    auto* sel = new CInParamStrSel(f, f, 3, LString("clip"), 1);
    sel->SetStrings({LString("a"), LString("-"), LString("b")});
    sel->SetValueText(LString("b"));
    LMenu* menu = sel->RebuildMenu();
    ASSERT_EQ(menu->ItemCount(), 3u);
    EXPECT_TRUE(menu->NextItem(menu->NextItem(menu->FirstItem()))->IsMarked());
    EXPECT_FALSE(menu->NextItem(menu->FirstItem())->HasCommands());  // "-" is a separator
    sel->SetValueText(LString("z"));                                 // not an item: two separators on top
    menu = sel->RebuildMenu();
    ASSERT_EQ(menu->ItemCount(), 5u);
    EXPECT_FALSE(menu->FirstItem()->HasCommands());
    EXPECT_FALSE(menu->NextItem(menu->FirstItem())->HasCommands());
    sel->Choose(LString("a"));
    sel->Choose(LString("a"));
    EXPECT_EQ(owner.changes, (std::vector<std::string>{"3 clip a"}));
    delete sel;
}

// A pop-up's readying pass starts with every item disabled; each pane enables its own menu's items and
// marks the one it shows, and the assignment frame readies the shared type menu.
TEST_F(CInParamFrmTest, PopUpReadyingEnablesThePanesOwnItems) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    auto* index = new CInParamIndex(f, f, 3, LString("mode"), {LString("Plain"), LString("-"), LString("Fancy")});
    index->SetValueText(LString("1"));
    auto* sel = new CInParamStrSel(f, f, 3, LString("clip"), 1);
    sel->SetStrings({LString("a"), LString("b")});
    sel->SetValueText(LString("a"));
    auto* ctl = new CInCtlFrm(f, f, LString("brt"), true);
    struct Case {
        LPane* owner;
        LMenu* menu;
        std::vector<bool> enabled, marked;
    };
    const Case cases[] = {
        {index, index->Menu(), {true, false, true}, {false, false, true}},
        {sel, sel->RebuildMenu(), {true, true}, {true, false}},
        {ctl, CInCtlFrm::SharedMenu(), {}, {}},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.menu, nullptr);
        LPopupMenuBar bar(nullptr);
        bar.AddMenu(c.menu, 0);
        bar.ResetItemStates();
        LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, c.owner));
        std::vector<bool> enabled, marked;
        for (LMenuItem* item = c.menu->FirstItem(); item; item = c.menu->NextItem(item)) {
            enabled.push_back(item->IsEnabled());
            marked.push_back(item->IsMarked());
        }
        if (c.owner == ctl) {
            // Every type; the range switch not while no type is chosen. "No Control" marked.
            EXPECT_EQ(enabled, (std::vector<bool>{true, true, true, true, true, true, true, true, true, true, true,
                                                  false, false}));
            EXPECT_TRUE(marked[0]);
        } else {
            EXPECT_EQ(enabled, c.enabled);
            EXPECT_EQ(marked, c.marked);
        }
        bar.RemoveMenu(c.menu);
    }
    delete ctl;
    delete sel;
    delete index;
}

TEST_F(CInParamFrmTest, AnimatorMenuOnTheRightHalfOfExpandableLabels) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    CUnitPortList list;
    list.unitId = 4;
    list.ports.push_back(Port(3, "gain", "Gain"));
    list.ports.push_back(Port(7, "data", "Data"));
    f->BuildFromPorts(&list, nullptr, false);
    ASSERT_EQ(f->PaneCount(), 3u);
    ASSERT_NE(CInParamPane::CompositionMenu(), nullptr);
    CInParamPane* gain = f->PaneAt(1);
    EXPECT_TRUE(gain->IsExpandable());
    EXPECT_FALSE(f->PaneAt(0)->IsExpandable());  // bypass
    EXPECT_FALSE(f->PaneAt(2)->IsExpandable());  // placeholder
    const CLRect label = gain->Label()->Bounds();
    ASSERT_FALSE(label.IsEmpty());
    EXPECT_TRUE(gain->AnimatorMenuHit({label.right - 2, label.top + 2}));
    EXPECT_FALSE(gain->AnimatorMenuHit({label.left + 2, label.top + 2}));
    EXPECT_FALSE(f->PaneAt(2)->AnimatorMenuHit({label.right - 2, f->PaneAt(2)->Label()->Bounds().top + 2}));
    LMenu menu(nullptr, LString());
    auto* item = new LMenuItem(&menu);
    item->SetTexts(LString("Wobble"));
    menu.AppendItem(item);
    gain->ChooseAnimator(item);  // no repository here: an empty identifier
    gain->ChooseAnimator(nullptr);
    EXPECT_EQ(owner.changes, (std::vector<std::string>{"anim gain "}));
}

// The operator typing in a pane keeps the text when the owner rebuilds the frame meanwhile.
TEST_F(CInParamFrmTest, AFocusedPaneKeepsItsTextAcrossARebuild) {
    ASSERT_TRUE(resources.Ok());
    CInParamFrm* f = Frame();
    CUnitPortList list;
    list.unitId = 2;
    list.ports.push_back(Port(3, "gain", "Gain", "1"));
    f->BuildFromPorts(&list, nullptr, false);
    auto* gain = static_cast<CInParamNumber*>(f->PaneAt(1));
    gain->Knob()->ChangeState(LPane::kFocus);
    ASSERT_TRUE(gain->HasFocusedControl());
    (void)gain->Knob()->SetText(LString("7"));
    list.ports[0].value = LString("2");
    f->BuildFromPorts(&list, nullptr, false);
    EXPECT_EQ(f->PaneAt(1), gain);
    EXPECT_STREQ(gain->Knob()->GetText().CStr(), "7");
    gain->Knob()->ChangeState(LPane::kUnfocus);
    f->BuildFromPorts(&list, nullptr, false);
    EXPECT_STREQ(gain->Knob()->GetText().CStr(), "2.00");
}

}  // namespace
