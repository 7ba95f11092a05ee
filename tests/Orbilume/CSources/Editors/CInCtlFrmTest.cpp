#include <string>
#include <utility>
#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

struct Seen {
    std::string key, value;
    std::vector<std::string> path;
    bool operator==(const Seen&) const = default;
};

// The owner above the frame: records the notes and the relayout requests.
struct Owner : LHandler {
    std::vector<Seen> notes;
    int prefs = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CInCtlPrmNote_Note)) {
            auto* n = static_cast<CInCtlPrmNote*>(msg.sender);
            Seen s{n->key.CStr(), n->value.CStr(), {}};
            for (const LString& k : n->path) s.path.push_back(k.CStr());
            notes.push_back(s);
        }
        if (msg.Is(LPane_Pref)) ++prefs;
        return LMessage();
    }
};

// A parameter set with its entries, and nested sets by key.
class Sets {
public:
    CRecord* Make(const std::vector<std::pair<const char*, const char*>>& keys) {
        CRecord* set = doc.SequenceControl().Get();
        for (auto& [k, v] : keys) CParamSet::SetString(CRecordRef(&set), nullptr, LString(k), LString(v));
        return set;
    }
    CRecord* Sub(CRecord* set, const char* key) {
        return CParamSet::GetOrCreateSubSet(CRecordRef(&set), nullptr, LString(key));
    }
    void Clear() {
        CRecordRef set = doc.SequenceControl();
        while (set->ArrayCount(CParamSet::kSetEntries) > 0)
            set.DeleteElement(nullptr, CParamSet::kSetEntries, 0);
    }
    CDocModelHolder doc;
};

class CInCtlFrmTest : public dialogtest::HeadlessDialogTest {
protected:
    static void Fix(CNumVol* knob, float value) {
        knob->SetValue(value);
        LHandler::Dispatch(LMessage(CNumVol_Fix, knob, knob->Upper()));
    }
    LMenuItem* Item(uint32_t index) {
        LMenu* menu = CInCtlFrm::SharedMenu();
        LMenuItem* item = menu ? menu->FirstItem() : nullptr;
        for (uint32_t i = 0; item && i < index; ++i) item = menu->NextItem(item);
        return item;
    }
    LMenuItem* RangeItem() {
        LMenu* menu = CInCtlFrm::SharedMenu();
        for (LMenuItem* item = menu->FirstItem(); item; item = menu->NextItem(item))
            if (item->HasCommand("cRange")) return item;
        return nullptr;
    }

    LModalDialog dialog{&root, nullptr};
    Owner owner;
    Sets sets;
};

// A DMX channel of the green component travels up with the component's key, then the input's.
TEST_F(CInCtlFrmTest, NotesCarryTheirPath) {
    ASSERT_TRUE(resources.Ok());
    auto* frame = new CInCtlFrm(&owner, &dialog, LString("brt"), true);
    CRecord* set = sets.Make({{"type", "rgb"}});
    CRecord* green = sets.Sub(set, "compo2");
    CParamSet::SetString(CRecordRef(&green), nullptr, LString("type"), LString("dmx"));
    frame->Apply(set);
    auto* colour = static_cast<CInCtlPrmColor*>(frame->Editor());
    ASSERT_NE(colour, nullptr);
    EXPECT_STREQ(colour->Type(), "rgb");
    EXPECT_EQ(colour->Component(0)->Editor(), nullptr);
    auto* dmx = static_cast<CInCtlPrmDmx*>(colour->Component(1)->Editor());
    ASSERT_NE(dmx, nullptr);
    EXPECT_STREQ(dmx->Type(), "dmx");
    Fix(dmx->Channel(), 5);
    ASSERT_EQ(owner.notes.size(), 1u);
    EXPECT_EQ(owner.notes[0], (Seen{"dmxch", "4", {"compo2", "brt"}}));
}

TEST_F(CInCtlFrmTest, TypeChoicesAreOnlySentUntilApplied) {
    ASSERT_TRUE(resources.Ok());
    auto* frame = new CInCtlFrm(&owner, &dialog, LString("fade"), true);
    ASSERT_NE(CInCtlFrm::SharedMenu(), nullptr);
    ASSERT_GE(CInCtlFrm::SharedMenu()->ItemCount(), CInCtlFrm::kTypeCount);
    frame->Apply(sets.Make({{"type", "midic"}, {"range", "1"}, {"min", "2.5"}, {"max", "7"}}));
    EXPECT_EQ(frame->Type(), 3u);
    EXPECT_STREQ(frame->TypeSlot()->Text().CStr(), "MIDI Control Change");
    EXPECT_TRUE(frame->RangeShown());
    // Stored bounds show in the range fields.
    EXPECT_FLOAT_EQ(frame->RangeMax()->GetValue(), 7);
    EXPECT_FLOAT_EQ(frame->RangeMin()->GetValue(), 2.5f);
    // "midicc" absent shows 7.
    auto* cc = static_cast<CInCtlPrmMidiCc*>(frame->Editor());
    EXPECT_FLOAT_EQ(cc->Controller()->GetValue(), 7);
    EXPECT_EQ(owner.prefs, 1);

    frame->PrepareMenu();
    EXPECT_TRUE(Item(3)->IsMarked());
    EXPECT_FALSE(Item(1)->IsMarked());
    EXPECT_TRUE(RangeItem()->IsEnabled());
    EXPECT_TRUE(RangeItem()->IsMarked());
    frame->Choose(RangeItem());
    frame->Choose(Item(1));
    frame->Choose(Item(0));
    EXPECT_EQ(owner.notes, (std::vector<Seen>{
                               {"range", "", {"fade"}}, {"type", "dmx", {"fade"}}, {"type", "", {"fade"}}}));
    EXPECT_EQ(frame->Type(), 3u);  // unchanged until applied
    // Range edits send their text.
    owner.notes.clear();
    Fix(frame->RangeMax(), 9.5f);
    EXPECT_EQ(owner.notes, (std::vector<Seen>{{"max", "9.500", {"fade"}}}));

    // Applied without a type: no editor, no range, one more relayout request.
    sets.Clear();
    frame->Apply(sets.Make({{"range", "1"}}));
    EXPECT_EQ(frame->Editor(), nullptr);
    EXPECT_FALSE(frame->RangeShown());
    EXPECT_EQ(owner.prefs, 2);
    frame->Apply(sets.Make({{"range", "1"}}));
    EXPECT_EQ(owner.prefs, 2);
    // "spect", "loc" and unknown types have no editor; "spect" still takes a range.
    for (const char* type : {"spect", "loc", "bogus"}) {
        sets.Clear();
        frame->Apply(sets.Make({{"type", type}, {"range", "1"}}));
        EXPECT_EQ(frame->Editor(), nullptr) << type;
        EXPECT_EQ(frame->RangeShown(), std::string(type) == "spect") << type;
    }
}

TEST_F(CInCtlFrmTest, ColourComponentsOfferNoRange) {
    ASSERT_TRUE(resources.Ok());
    auto* frame = new CInCtlFrm(&owner, &dialog, LString("col"), true);
    frame->Apply(sets.Make({{"type", "hsv"}, {"range", "1"}}));
    EXPECT_FALSE(frame->RangeShown());  // "hsv" is not range-capable
    auto* colour = static_cast<CInCtlPrmColor*>(frame->Editor());
    ASSERT_NE(colour, nullptr);
    CInCtlFrm* hue = colour->Component(0);
    CRecord* set = sets.doc.SequenceControl().Get();
    CRecord* h = sets.Sub(set, "compo1");
    CParamSet::SetString(CRecordRef(&h), nullptr, LString("type"), LString("dmx"));
    CParamSet::SetString(CRecordRef(&h), nullptr, LString("range"), LString("1"));
    frame->Apply(set);
    EXPECT_EQ(hue->Type(), 1u);
    EXPECT_FALSE(hue->RangeShown());
    hue->PrepareMenu();
    EXPECT_FALSE(RangeItem()->IsEnabled());
    // An edit in the component: its key, then the input's.
    frame->Choose(RangeItem());  // the outer frame is range-capable but "hsv" is not: still a note
    owner.notes.clear();
    hue->Choose(Item(2));
    EXPECT_EQ(owner.notes, (std::vector<Seen>{{"type", "dmx2", {"compo1", "col"}}}));
}

TEST_F(CInCtlFrmTest, EditorsSendTheirKeys) {
    ASSERT_TRUE(resources.Ok());
    auto* frame = new CInCtlFrm(&owner, &dialog, LString("k"), false);
    // "dmx2" stops at 511.
    frame->Apply(sets.Make({{"type", "dmx2"}, {"dmxch", "600"}}));
    auto* dmx = static_cast<CInCtlPrmDmx*>(frame->Editor());
    ASSERT_NE(dmx, nullptr);
    EXPECT_FLOAT_EQ(dmx->Channel()->GetValue(), 511);
    Fix(dmx->Channel(), 512);
    // Velocity: the single-note box enables the note knob.
    sets.Clear();
    frame->Apply(sets.Make({{"type", "midiv"}, {"midich", "2"}, {"midinn", "61"}}));
    auto* vel = static_cast<CInCtlPrmMidiVel*>(frame->Editor());
    ASSERT_NE(vel, nullptr);
    EXPECT_FLOAT_EQ(vel->Channel()->GetValue(), 3);
    EXPECT_STREQ(vel->NoteKnob()->GetText().CStr(), "C#4");
    EXPECT_FALSE(vel->NoteKnob()->State() & LPane::kEnabled);
    vel->Single()->SetValue(1);
    LHandler::Dispatch(LMessage(LStdCheck_Change, vel->Single(), vel));
    EXPECT_TRUE(vel->NoteKnob()->State() & LPane::kEnabled);
    (void)vel->NoteKnob()->SetText(LString("G9"));
    LHandler::Dispatch(LMessage(CNumVol_Fix, vel->NoteKnob(), vel));
    vel->Gate()->SetValue(1);
    LHandler::Dispatch(LMessage(LStdCheck_Change, vel->Gate(), vel));
    // OSC: the address on every change.
    sets.Clear();
    frame->Apply(sets.Make({{"type", "osc"}, {"oscadr", "/a"}}));
    auto* osc = static_cast<CInCtlPrmOsc*>(frame->Editor());
    ASSERT_NE(osc, nullptr);
    EXPECT_STREQ(osc->Address()->GetText().CStr(), "/a");
    osc->Address()->SetText(LString("/b/c"));
    LHandler::Dispatch(LMessage(LEditText_Change, osc->Address(), osc));
    const std::vector<std::string> k = {"k"};
    EXPECT_EQ(owner.notes, (std::vector<Seen>{{"dmxch", "510", k},
                                              {"midins", "1", k},
                                              {"midinn", "127", k},
                                              {"miding", "1", k},
                                              {"oscadr", "/b/c", k}}));
}

}  // namespace
