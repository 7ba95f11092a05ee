#include <vector>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocScenes.h"
#include "Orbilume/CSources/Editors/CCtlInDlg.h"
#include "Orbilume/CSources/Editors/CDmxIoDlg.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "Orbilume/CSources/Editors/CScnCtlDlg.h"
#include "Orbilume/CSources/Editors/CSeqCtlIn.h"
#include "Orbilume/CSources/Editors/UCtlDlgCmds.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CSceneCtlIn.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

using T = CDocModelTypes;

std::string Value(CRecordRef set, const char* key) {
    LString value;
    if (CParamSet::Find(set, LString(key), &value) < 0) return "<absent>";
    return value.CStr();
}

// The dialog as the command made it, and what the test does with it before answering.
LModalDialog* gDialog = nullptr;
void (*gDrive)(LModalDialog* d) = nullptr;
uint32_t gAnswer = 1;

uint32_t Drive(LModalDialog* d) {
    gDialog = d;
    if (gDrive) gDrive(d);
    return gAnswer;
}

class UCtlDlgCmdsTest : public dialogtest::HeadlessDialogTest {
protected:
    UCtlDlgCmdsTest() { UCtlDlgCmds::SetRunner(&Drive); }
    ~UCtlDlgCmdsTest() override {
        UCtlDlgCmds::SetRunner(nullptr);
        gDrive = nullptr;
        gAnswer = 1;
        gDialog = nullptr;
    }
    void Choose(LPopupList* popup, int32_t value) {
        popup->SetValue(value);
        LHandler::Dispatch(LMessage(LPopupList_Changed, popup, popup->Upper()));
    }
};

TEST_F(UCtlDlgCmdsTest, SequenceControlStoresAndSetsTheInputUp) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    CCtlInHub hub;
    for (int i = 0; i < 3; ++i) ASSERT_GE(UDocScenes::AppendSequence(doc.Scenes(), nullptr), 0);
    UDocScenes::SetSequenceEditing(doc.Scenes(), true);
    CSeqCtlIn input(doc.Scenes(), &hub);
    input.Setup(doc.SequenceControl().Get());
    gDrive = [](LModalDialog* d) {
        auto* s = static_cast<CSeqCtlDlg*>(d);
        s->SourcePopup()->SetValue(4);
        LHandler::Dispatch(LMessage(LPopupList_Changed, s->SourcePopup(), s->SourcePopup()->Upper()));
        s->MidiChannel(CScnCtlDlg::kChannelNote)->SetValue(1);
        (void)s->NoteKnob()->SetText(LString("C 4"));
    };
    ASSERT_TRUE(UCtlDlgCmds::SequenceControl(&root, doc.SequenceControl(), &input));
    EXPECT_EQ(Value(doc.SequenceControl(), "ctlr"), "mnt");
    EXPECT_EQ(Value(doc.SequenceControl(), "midich"), "0");
    EXPECT_EQ(Value(doc.SequenceControl(), "midinn"), "60");
    EXPECT_EQ(input.GetCtlr(), 4u);
    const uint8_t note[3] = {0x90, 61, 100};
    hub.MidiIn(note);
    (void)plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0, false);
    EXPECT_EQ(doc.Scenes()->GetInt(T::kScnsEdited), 1);

    // Cancel stores nothing.
    gDrive = [](LModalDialog* d) { static_cast<CSeqCtlDlg*>(d)->SourcePopup()->SetValue(0); };
    gAnswer = 2;
    EXPECT_FALSE(UCtlDlgCmds::SequenceControl(&root, doc.SequenceControl(), &input));
    EXPECT_EQ(Value(doc.SequenceControl(), "ctlr"), "mnt");
}

TEST_F(UCtlDlgCmdsTest, SceneControlStoresAndSetsTheInputUp) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    CCtlInHub hub;
    CSceneCtlIn input(doc.Scenes(), &hub);
    gDrive = [](LModalDialog* d) {
        auto* s = static_cast<CScnCtlDlg*>(d);
        s->SourcePopup()->SetValue(1);
        s->DmxMode()->SetValue(2);
        LHandler::Dispatch(LMessage(LPopupList_Changed, s->DmxMode(), s->DmxMode()->Upper()));
        s->DmxChannel()->SetValue(11);
    };
    ASSERT_TRUE(UCtlDlgCmds::SceneControl(&root, doc.SceneControl(), &input));
    EXPECT_EQ(Value(doc.SceneControl(), "ctlr"), "dmx");
    EXPECT_EQ(Value(doc.SceneControl(), "usage"), "trig");
    EXPECT_EQ(Value(doc.SceneControl(), "dmxch"), "10");
    ASSERT_NE(gDialog, nullptr);
}

TEST_F(UCtlDlgCmdsTest, DeadZoneSetsTheHubThreshold) {
    ASSERT_TRUE(resources.Ok());
    CAppPrefs prefs;
    CCtlInHub hub;
    prefs.Root()->Slot(CAppPrefs::kPrefDmxThreshold).u32 = 20;
    gDrive = [](LModalDialog* d) {
        auto* z = static_cast<CDeadZoneDlg*>(d);
        EXPECT_EQ(z->Percent(), 20u);
        z->SetPercent(50);
    };
    ASSERT_TRUE(UCtlDlgCmds::DeadZone(&root, prefs.RootRef(), &hub));
    EXPECT_EQ(prefs.Root()->GetUInt(CAppPrefs::kPrefDmxThreshold), 50u);
    EXPECT_EQ(hub.DmxThreshold(), 128);
    gAnswer = 2;
    gDrive = [](LModalDialog* d) { static_cast<CDeadZoneDlg*>(d)->SetPercent(90); };
    EXPECT_FALSE(UCtlDlgCmds::DeadZone(&root, prefs.RootRef(), &hub));
    EXPECT_EQ(hub.DmxThreshold(), 128);
}

struct Calls {
    int released = 0;
    int opened = 0;
    bool openResult = true;
};
int gBeeps = 0;

TEST_F(UCtlDlgCmdsTest, DmxInterfaceStoresTheKeyOrSwitchesInputOff) {
    ASSERT_TRUE(resources.Ok());
    CAppPrefs prefs;
    CRecordRef pref = prefs.RootRef();
    Calls calls;
    UCtlDlgCmds::DmxInput input;
    input.context = &calls;
    input.release = [](void* c) { ++static_cast<Calls*>(c)->released; };
    input.open = [](void* c) {
        ++static_cast<Calls*>(c)->opened;
        return static_cast<Calls*>(c)->openResult;
    };
    input.beep = [] { ++gBeeps; };
    (void)pref.SetString(nullptr, CAppPrefs::kPrefUsbDmxKey, LString("B2"));
    gDrive = [](LModalDialog* d) {
        auto* io = static_cast<CDmxIoDlg*>(d);
        EXPECT_EQ(io->KeyPopup()->GetValue(), 1);
        io->KeyPopup()->SetValue(2);
    };
    ASSERT_TRUE(UCtlDlgCmds::DmxInterface(&root, pref, {"A1", "B2", "C3"}, input));
    EXPECT_STREQ(prefs.Root()->GetString(CAppPrefs::kPrefUsbDmxKey).CStr(), "C3");
    EXPECT_EQ(prefs.Root()->GetByte(CAppPrefs::kPrefUsbDmxOn), 1);
    EXPECT_EQ(calls.released, 1);
    EXPECT_EQ(calls.opened, 1);
    EXPECT_EQ(gBeeps, 0);
    // Opening fails: a beep.
    calls.openResult = false;
    gDrive = nullptr;
    ASSERT_TRUE(UCtlDlgCmds::DmxInterface(&root, pref, {"A1"}, input));
    EXPECT_EQ(gBeeps, 1);
    // No interfaces: OK is disabled; Cancel switches the input off and keeps the key.
    gDrive = [](LModalDialog* d) {
        EXPECT_FALSE(static_cast<CDmxIoDlg*>(d)->OkButton()->State() & LPane::kEnabled);
    };
    gAnswer = 2;
    EXPECT_FALSE(UCtlDlgCmds::DmxInterface(&root, pref, {}, input));
    EXPECT_EQ(prefs.Root()->GetByte(CAppPrefs::kPrefUsbDmxOn), 0);
    EXPECT_STREQ(prefs.Root()->GetString(CAppPrefs::kPrefUsbDmxKey).CStr(), "A1");
    EXPECT_EQ(calls.released, 3);
    EXPECT_EQ(calls.opened, 2);
}

TEST_F(UCtlDlgCmdsTest, BlendControlStoresTheRecord) {
    ASSERT_TRUE(resources.Ok());
    CDocModelHolder doc;
    gDrive = [](LModalDialog* d) {
        auto* c = static_cast<CCtlInDlg*>(d);
        c->TypePopup()->SetValue(3);
        LHandler::Dispatch(LMessage(LPopupList_Changed, c->TypePopup(), c->TypePopup()->Upper()));
        c->MidiChannel()->SetValue(5);
        c->MidiController()->SetValue(30);
    };
    ASSERT_TRUE(UCtlDlgCmds::BlendControl(&root, doc.BlendControl(), nullptr));
    EXPECT_EQ(doc.BlendControl()->GetByte(T::kCtrlType), 3);
    EXPECT_EQ(doc.BlendControl()->GetByte(T::kCtrlMidiCh), 4);
    EXPECT_EQ(doc.BlendControl()->GetByte(T::kCtrlMidiCc), 30);
}

}  // namespace
