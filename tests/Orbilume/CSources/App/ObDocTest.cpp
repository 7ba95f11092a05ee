#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "Common/Container/CBytes.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/Stream/CMemStream.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/XmlDocument.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/CaptureName.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/CSeqPlayer.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Platform/AppKit/Event.h"
#include "Platform/Foundation/RunLoop.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"
#include "tests/support/CommandOutput.h"

namespace {

using apptest::AppFixture;
using apptest::Dialogs;
using T = CDocModelTypes;
using P = CAppPrefs;

LFsSpec Spec(const std::string& path) {
    return CMacFileU::LFsSpecFromPath(path.c_str());
}

std::string RecordText(const CRecord* record) {
    CBytes bytes;
    {
        CMemStream out(bytes);
        WriteXmlDocument(out, record);
    }
    return std::string(reinterpret_cast<const char*>(bytes.Data()), bytes.Count());
}

// Every record of the file is in the model as the file has it: scenes, sequences, controls and
// the schedule whole; in the mix every layer, unit and stored input value (the engine adds the
// inputs of its compositions, and the blend inputs get their controls).
void ExpectHoldsFixture(CDocModelHolder& model, const std::string& path) {
    CDocModelHolder fixture;
    std::string text = AppFixture::ReadFile(path);
    CMemStream in(text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_TRUE(fixture.ReadXml(in));
    // The scenes as the file has them, but the start-up recall may fill in the mix's current values
    // where the scene it recalled has none.
    CRecord* wantScenes = fixture.Scenes().Get();
    CRecord* gotScenes = model.Scenes().Get();
    ASSERT_EQ(gotScenes->ArrayCount(T::kScnsScenes), wantScenes->ArrayCount(T::kScnsScenes));
    for (uint32_t i = 0; i < wantScenes->ArrayCount(T::kScnsScenes); ++i) {
        CRecord* w = wantScenes->GetElement(T::kScnsScenes, i);
        CRecord* g = gotScenes->GetElement(T::kScnsScenes, i);
        EXPECT_EQ(g->GetString(T::kScneName), w->GetString(T::kScneName));
        EXPECT_EQ(g->GetFloat(T::kScneTime), w->GetFloat(T::kScneTime));
        for (uint32_t k = 0; k < w->ArrayCount(T::kScneValues); ++k) {
            CRecord* v = w->GetElement(T::kScneValues, k);
            const int32_t at =
                UDocModel::FindSceneValue(g, v->GetUInt(T::kPrmtUnitId), v->GetString(T::kPrmtKey));
            ASSERT_GE(at, 0);
            EXPECT_EQ(g->GetElement(T::kScneValues, uint32_t(at))->GetString(T::kPrmtValue),
                      v->GetString(T::kPrmtValue));
        }
    }
    for (uint32_t i = 0; i < wantScenes->ArrayCount(T::kScnsSequences); ++i)
        EXPECT_EQ(RecordText(gotScenes->GetElement(T::kScnsSequences, i)),
                  RecordText(wantScenes->GetElement(T::kScnsSequences, i)));
    for (uint32_t field : {T::kObmxBlendCtl, T::kObmxSceneCtl, T::kObmxSeqCtl, T::kObmxSchedule})
        EXPECT_EQ(RecordText(model.Root()->GetSubRecord(field)),
                  RecordText(fixture.Root()->GetSubRecord(field)))
            << field;
    CRecord* want = fixture.Mix().Get();
    CRecord* got = model.Mix().Get();
    ASSERT_EQ(got->ArrayCount(T::kMixsLayers), want->ArrayCount(T::kMixsLayers));
    std::vector<std::pair<CRecord*, CRecord*>> units;
    for (uint32_t i = 0; i < want->ArrayCount(T::kMixsLayers); ++i) {
        EXPECT_EQ(got->GetElement(T::kMixsLayers, i)->GetString(T::kLayrName),
                  want->GetElement(T::kMixsLayers, i)->GetString(T::kLayrName));
        units.emplace_back(got->GetElement(T::kMixsLayers, i)->GetSubRecord(T::kLayrUnit),
                           want->GetElement(T::kMixsLayers, i)->GetSubRecord(T::kLayrUnit));
    }
    uint32_t inputs = 0;
    while (!units.empty()) {
        auto [g, w] = units.back();
        units.pop_back();
        ASSERT_TRUE(g && w);
        EXPECT_EQ(g->GetUInt(T::kUnitId), w->GetUInt(T::kUnitId));
        EXPECT_EQ(g->GetString(T::kUnitSpec), w->GetString(T::kUnitSpec));
        for (uint32_t k = 0; k < w->ArrayCount(T::kUnitInputs); ++k) {
            CRecord* wi = w->GetElement(T::kUnitInputs, k);
            CRecord* gi = UDocModel::FindUnitInput(g, wi->GetString(T::kInptKey));
            ASSERT_TRUE(gi) << wi->GetString(T::kInptKey).CStr();
            EXPECT_EQ(gi->GetString(T::kInptValue), wi->GetString(T::kInptValue));
            ++inputs;
            for (uint32_t f : {T::kInptImage, T::kInptAnim})
                if (wi->GetSubRecord(f)) units.emplace_back(gi->GetSubRecord(f), wi->GetSubRecord(f));
        }
        for (uint32_t k = 0; k < w->ArrayCount(T::kUnitFilters); ++k)
            units.emplace_back(g->GetElement(T::kUnitFilters, k), w->GetElement(T::kUnitFilters, k));
    }
    EXPECT_EQ(inputs, 5u);
}

std::vector<double> Blends(CObDoc* doc) {
    std::vector<double> out;
    CRecord* mix = doc->Model().Mix().Get();
    for (uint32_t i = 0; i < mix->ArrayCount(T::kMixsLayers); ++i)
        out.push_back(UDocModel::GetLayerBlend(mix->GetElement(T::kMixsLayers, i)));
    return out;
}

bool Shell(const std::string& command) {
    return std::system(command.c_str()) == 0;
}

class ObDocTest : public ::testing::Test {
protected:
    void SetUp() override { app.Create(); }
    AppFixture app;
};

TEST_F(ObDocTest, ShowOpensSavesThroughARenameAndReopensAfterQuit) {
    const std::string path = app.ShowPath();
    const std::string original = AppFixture::ReadFile(path);
    gMainApp->OpenRequest({Spec(path)});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    CObDoc* doc = gMainApp->DocumentAt(0);
    EXPECT_FALSE(doc->IsDirty());
    EXPECT_STREQ(doc->Title().CStr(), "show.obm -Orbilume");
    ExpectHoldsFixture(doc->Model(), path);
    EXPECT_EQ(Blends(doc), (std::vector<double>{0.75, 1.0}));
    // Opening it again, under another spelling, fronts the open one.
    EXPECT_EQ(
        gMainApp->OpenDocument(Spec(app.shows.Path() + "/../" +
                                    app.shows.Path().substr(app.shows.Path().rfind('/') + 1) + "/show.obm"),
                               nullptr),
        1);
    ASSERT_EQ(symlink(path.c_str(), app.shows.File("link.obm").c_str()), 0);
    EXPECT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("link.obm")), nullptr), 1);
    EXPECT_EQ(gMainApp->DocumentCount(), 1u);
    ASSERT_EQ(unlink(app.shows.File("link.obm").c_str()), 0);

    AppFixture::Command(doc, "cFaderZero");
    EXPECT_TRUE(doc->IsDirty());
    EXPECT_EQ(Blends(doc), (std::vector<double>{0.0, 0.0}));
    const uint64_t inode = AppFixture::Inode(path);
    AppFixture::Command(doc, "LStdCmd_Save");
    EXPECT_FALSE(doc->IsDirty());
    EXPECT_EQ(Dialogs().savePathAsked, 0u);
    EXPECT_NE(AppFixture::Inode(path), inode) << "replaced through a rename";
    EXPECT_EQ(AppFixture::Listing(app.shows.Path()),
              (std::vector<std::string>{"fill.qtz", "picture.qtz", "show.obm", "source.qtz", "tint.qtz",
                                        "wave.qtz"}));
    EXPECT_NE(AppFixture::ReadFile(path), original);
    EXPECT_TRUE(Shell("xmllint --noout '" + path + "' 2>/dev/null")) << "xmllint refuses the saved show";

    EXPECT_TRUE(gMainApp->CanQuit());
    app.Delete();
    // The preferences list the show as open at quit.
    app.Create();
    CRecord* prefs = gMainApp->Prefs().Root();
    bool listed = false;
    for (uint32_t i = 0; i < prefs->ArrayCount(P::kPrefDocs); ++i) {
        CRecord* d = prefs->GetElement(P::kPrefDocs, i);
        if (std::string(d->GetString(P::kDocPath).CStr()) == path) listed = d->GetByte(P::kDocReopen) != 0;
    }
    EXPECT_TRUE(listed);
    gMainApp->OpenRequest({});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    doc = gMainApp->DocumentAt(0);
    EXPECT_EQ(Blends(doc), (std::vector<double>{0.0, 0.0}));
    const std::string saved = AppFixture::ReadFile(path);
    ASSERT_TRUE(doc->SaveToFile(Spec(path)));
    EXPECT_EQ(AppFixture::ReadFile(path), saved) << "an unchanged show saves to the same bytes";
}

TEST_F(ObDocTest, ShiftHeldAtStartReopensNothingAndNamedFilesOpenAlone) {
    app.shows.Write("other.obm", AppFixture::ReadFile(app.ShowPath()));
    gMainApp->OpenRequest({Spec(app.ShowPath())});
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("other.obm")), nullptr), 1);
    app.Delete();
    app.Create();
    app.screens.Backend().SetModifierFlags(plat::kShiftKeyMask);
    gMainApp->OpenRequest({});
    app.screens.Backend().SetModifierFlags(0);
    EXPECT_EQ(gMainApp->DocumentCount(), 0u);
    // Both are still marked; a request naming one file opens only that one.
    gMainApp->OpenRequest({Spec(app.shows.File("other.obm"))});
    ASSERT_EQ(gMainApp->DocumentCount(), 1u);
    EXPECT_STREQ(gMainApp->DocumentAt(0)->Title().CStr(), "other.obm -Orbilume");
    // A later request without files reopens the rest, the open one not twice.
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMainApp->DocumentCount(), 2u);
}

TEST_F(ObDocTest, DamagedShowsGiveTheMessageAnEmptyUntitledDocumentAndStayUntouched) {
    const std::string full = AppFixture::ReadFile(app.ShowPath());
    struct Case {
        const char* name;
        std::string bytes;
        bool lineKnown;
    } cases[] = {
        {"cut", full.substr(0, full.size() / 2), true},
        {"broken", full.substr(0, 200) + "<<" + full.substr(200), true},
        {"foreign", "<?xml version=\"1.0\"?>\n<html><body/></html>\n", false},
        {"empty", "", true},
        {"nul", full.substr(0, 100) + std::string(1, '\0') + full.substr(100), true},
        {"deep",
         "<YOBM_OBMX>" +
             [] {
                 std::string s;
                 for (int i = 0; i < 300; ++i) s += "<YOBM_OBMX_mixs><YOBM_MIXS><YOBM_MIXS_lyrs>";
                 return s;
             }(),
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = app.shows.File(std::string(c.name) + ".obm");
        app.shows.Write(std::string(c.name) + ".obm", c.bytes);
        Dialogs() = apptest::Script{};
        EXPECT_EQ(gMainApp->OpenDocument(Spec(path), nullptr), 0);
        CObDoc* doc = gMainApp->DocumentAt(gMainApp->DocumentCount() - 1);
        ASSERT_EQ(Dialogs().messages.size(), 1u);
        EXPECT_NE(Dialogs().messages[0].find(path), std::string::npos) << Dialogs().messages[0];
        if (c.lineKnown) {
            EXPECT_NE(Dialogs().messages[0].find("line"), std::string::npos) << Dialogs().messages[0];
        }
        EXPECT_FALSE(doc->IsDirty());
        EXPECT_TRUE(doc->Path().IsEmpty());
        EXPECT_STREQ(doc->Title().CStr(), "untitled.obm -Orbilume");
        EXPECT_EQ(doc->Model().Mix()->ArrayCount(T::kMixsLayers), 0u);
        // Saving asks for a path; cancelled, nothing is written.
        AppFixture::Command(doc, "cFaderZero");
        (void)doc->Model().Mix();
        AppFixture::Command(doc, "LStdCmd_Save");
        EXPECT_EQ(Dialogs().savePathAsked, 1u);
        EXPECT_EQ(AppFixture::ReadFile(path), c.bytes);
    }
    // None of them is reopened at the next start.
    const uint32_t open = gMainApp->DocumentCount();
    EXPECT_EQ(open, std::size(cases));
    app.Delete();
    app.Create();
    gMainApp->OpenRequest({});
    EXPECT_EQ(gMainApp->DocumentCount(), 0u);
}

TEST_F(ObDocTest, AHugeOrUnreadableFileIsRefusedWithoutReadingIt) {
    const std::string huge = app.shows.File("huge.obm");
    app.shows.Write("huge.obm", "<YOBM_OBMX>");
    ASSERT_EQ(truncate(huge.c_str(), off_t{600} << 20), 0);  // sparse: no disk used
    EXPECT_EQ(gMainApp->OpenDocument(Spec(huge), nullptr), 0);
    ASSERT_EQ(Dialogs().messages.size(), 1u);
    EXPECT_NE(Dialogs().messages[0].find("too large"), std::string::npos) << Dialogs().messages[0];
    // A folder in the show's place cannot be read.
    ASSERT_EQ(mkdir(app.shows.File("folder.obm").c_str(), 0755), 0);
    EXPECT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("folder.obm")), nullptr), 0);
    ASSERT_EQ(Dialogs().messages.size(), 2u);
    EXPECT_TRUE(gMainApp->DocumentAt(1)->Path().IsEmpty());
}

TEST_F(ObDocTest, AMissingFileIsANewShowBoundToThatPath) {
    const std::string path = app.shows.File("new.obm");
    EXPECT_EQ(gMainApp->OpenDocument(Spec(path), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    EXPECT_TRUE(Dialogs().messages.empty());
    EXPECT_STREQ(doc->Title().CStr(), "new.obm -Orbilume");
    AppFixture::Command(doc, "LStdCmd_Save");
    EXPECT_EQ(Dialogs().savePathAsked, 0u);
    EXPECT_TRUE(Shell("xmllint --noout '" + path + "' 2>/dev/null"));
}

TEST_F(ObDocTest, AFailedSaveKeepsTheOldFileThePathAndTheDirtyFlag) {
    const std::string path = app.ShowPath();
    const std::string original = AppFixture::ReadFile(path);
    ASSERT_EQ(gMainApp->OpenDocument(Spec(path), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    AppFixture::Command(doc, "cFaderZero");
    // A file in the folder's place makes every new file there fail, whoever runs the test.
    const std::string blocked = app.shows.File("blocked");
    ASSERT_EQ(mkdir(blocked.c_str(), 0755), 0);
    app.shows.Write("blocked/show.obm", original);
    ASSERT_EQ(chmod(blocked.c_str(), 0555), 0);
    const bool enforced = access(blocked.c_str(), W_OK) != 0;  // root writes anyway
    if (enforced) {
        EXPECT_FALSE(doc->SaveToFile(Spec(blocked + "/show.obm")));
        EXPECT_EQ(AppFixture::ReadFile(blocked + "/show.obm"), original);
        EXPECT_EQ(AppFixture::Listing(blocked), std::vector<std::string>{"show.obm"});
    }
    EXPECT_FALSE(doc->SaveToFile(Spec(app.shows.File("no-such-folder/show.obm"))));
    EXPECT_TRUE(doc->IsDirty());
    EXPECT_EQ(CMacFileU::PathFromLFsSpec(doc->Path()).CStr(), path);
    EXPECT_STREQ(doc->Title().CStr(), "show.obm -Orbilume");
    EXPECT_EQ(AppFixture::ReadFile(path), original);
    (void)chmod(blocked.c_str(), 0755);

    // "Save" whose write fails offers the panel; cancelled, the document stays dirty and bound.
    const std::string moved = app.shows.Path() + "-moved";
    ASSERT_EQ(rename(app.shows.Path().c_str(), moved.c_str()), 0);
    AppFixture::Command(doc, "LStdCmd_Save");
    EXPECT_EQ(Dialogs().savePathAsked, 1u);
    EXPECT_TRUE(doc->IsDirty());
    EXPECT_EQ(CMacFileU::PathFromLFsSpec(doc->Path()).CStr(), path);
    ASSERT_EQ(rename(moved.c_str(), app.shows.Path().c_str()), 0);
    EXPECT_EQ(AppFixture::ReadFile(path), original);
}

TEST_F(ObDocTest, QuittingAndRemoteOpensNeverDiscardUnsavedChanges) {
    const std::string path = app.ShowPath();
    app.shows.Write("other.obm", AppFixture::ReadFile(path));
    ASSERT_EQ(gMainApp->OpenDocument(Spec(path), nullptr), 1);
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("other.obm")), nullptr), 1);
    CObDoc* first = gMainApp->DocumentAt(0);
    AppFixture::Command(first, "cFaderZero");
    ASSERT_TRUE(first->IsDirty());

    Dialogs().saveChangesAnswer = SDocDialogs::kCancel;
    EXPECT_FALSE(gMainApp->CanQuit());
    EXPECT_EQ(Dialogs().saveChangesAsked, 1u);
    EXPECT_EQ(gMainApp->DocumentCount(), 2u);

    // Operation 1 refuses while a document it would close is dirty.
    LFsSpec other = Spec(app.shows.File("other.obm"));
    EXPECT_EQ(gMainApp->OnPanelDocument(1, &other), 0);
    EXPECT_EQ(gMainApp->DocumentCount(), 2u);
    EXPECT_TRUE(first->IsDirty());

    // Save through the panel answers; cancelling the panel keeps it open.
    Dialogs().saveChangesAnswer = SDocDialogs::kSave;
    EXPECT_FALSE(first->CanClose());
    EXPECT_EQ(Dialogs().savePathAsked, 1u);

    Dialogs().saveChangesAnswer = SDocDialogs::kDiscard;
    EXPECT_TRUE(gMainApp->CanQuit());
    // Discarded by the user here, so the remote request may proceed once it is clean.
    first->Model().SetModified(false);
    EXPECT_EQ(gMainApp->OnPanelDocument(1, &other), 2);
    EXPECT_EQ(gMainApp->DocumentCount(), 1u);
    LFsSpec show = Spec(path);
    EXPECT_EQ(gMainApp->OnPanelDocument(1, &show), 1);
    EXPECT_EQ(gMainApp->DocumentCount(), 1u);
    CObDoc* front = nullptr;
    EXPECT_EQ(gMainApp->OnPanelDocument(0, &front), 1);
    EXPECT_EQ(CMacFileU::PathFromLFsSpec(front->Path()).CStr(), path);
}

// The quit request as the application delegate sends it: true when it came back to the main loop
// unconsumed, so that the program ends.
bool RequestQuit() {
    auto* loop = static_cast<CMacMainLoop*>(gMainApp->MainLoop());
    loop->SetQuitPending(true);
    LHandler::Dispatch(LMessage(CMainLoopBase_Quit, loop, loop->Upper()));
    return !loop->QuitPending();
}

TEST_F(ObDocTest, QuittingWithDiscardEndsTheProgramWithTheShowsAsOnDisk) {
    const std::string path = app.ShowPath();
    const std::string original = AppFixture::ReadFile(path);
    app.shows.Write("other.obm", original);
    const std::vector<std::string> listing = AppFixture::Listing(app.shows.Path());
    ASSERT_EQ(gMainApp->OpenDocument(Spec(path), nullptr), 1);
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("other.obm")), nullptr), 1);
    CObDoc* first = gMainApp->DocumentAt(0);
    AppFixture::Command(first, "cFaderZero");
    ASSERT_TRUE(first->IsDirty());

    Dialogs().saveChangesAnswer = SDocDialogs::kCancel;
    EXPECT_FALSE(RequestQuit());
    EXPECT_EQ(gMainApp->DocumentCount(), 2u);
    EXPECT_TRUE(first->IsDirty());

    Dialogs().saveChangesAnswer = SDocDialogs::kDiscard;
    EXPECT_TRUE(RequestQuit());
    EXPECT_EQ(Dialogs().saveChangesAsked, 2u);
    // The program then deletes the application with its shows: nothing asks again, nothing is
    // written, and both shows were open at the end.
    app.Delete();
    EXPECT_EQ(Dialogs().saveChangesAsked, 2u);
    EXPECT_EQ(Dialogs().savePathAsked, 0u);
    EXPECT_EQ(AppFixture::ReadFile(path), original);
    EXPECT_EQ(AppFixture::ReadFile(app.shows.File("other.obm")), original);
    EXPECT_EQ(AppFixture::Listing(app.shows.Path()), listing);
    app.Create();
    gMainApp->OpenRequest({});
    ASSERT_EQ(gMainApp->DocumentCount(), 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        EXPECT_FALSE(gMainApp->DocumentAt(i)->IsDirty());
        EXPECT_EQ(RecordText(gMainApp->DocumentAt(i)->Model().Mix().Get()),
                  RecordText(gMainApp->DocumentAt(1 - i)->Model().Mix().Get()));
    }
}

// "cAddSeq" reaches the sequence window, which adds a sequence to the show; the command is ready
// only while a sequence's scene list is edited.
TEST_F(ObDocTest, AddSequenceGoesToTheSequenceWindow) {
    CDocConsoleWin::Install();
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    SetDocWindowFactories(nullptr);
    CObDoc* doc = gMainApp->DocumentAt(0);
    CRecord* scns = doc->Model().Scenes().Get();
    const uint32_t before = scns->ArrayCount(T::kScnsSequences);
    auto ready = [&] {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand("cAddSeq");
        menu->AppendItem(item);
        (void)doc->Handle(LMessage(LMenuBar_Ready, &bar, doc));
        return item->IsEnabled();
    };
    scns->Slot(T::kScnsEdited).i32 = -1;
    EXPECT_FALSE(ready());
    scns->Slot(T::kScnsEdited).i32 = 0;
    EXPECT_TRUE(ready());
    AppFixture::Command(doc, "cAddSeq");
    EXPECT_EQ(scns->ArrayCount(T::kScnsSequences), before + 1);
    EXPECT_TRUE(doc->IsDirty());
}

// The console and sequence windows come back where they were left, frame for frame (the whole
// window, borders included), at the next start.
TEST_F(ObDocTest, ConsoleAndSequenceWindowsComeBackWhereTheyWereLeft) {
    struct Factories {
        Factories() { CDocConsoleWin::Install(); }
        ~Factories() { SetDocWindowFactories(nullptr); }
    } factories;
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    ASSERT_NE(doc->Console(), nullptr);
    ASSERT_NE(doc->SequenceList(), nullptr);
    AppFixture::Command(doc, "cSeqsWin");
    const CLRect console{300, 120, 900, 620};
    const CLRect sequences{1500, 200, 1800, 500};
    doc->Console()->SetFrame(console);
    doc->SequenceList()->SetFrame(sequences);
    EXPECT_EQ(doc->Console()->Frame(), console);
    EXPECT_EQ(doc->SequenceList()->Frame(), sequences);
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        app.Delete();
        app.Create();
        gMainApp->OpenRequest({});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        doc = gMainApp->DocumentAt(0);
        EXPECT_EQ(doc->Console()->Frame(), console);
        EXPECT_TRUE(doc->SequenceList()->IsVisible());
        EXPECT_EQ(doc->SequenceList()->Frame(), sequences);
    }
    // A stored sequence window place off every screen or out of range is not applied.
    for (const CLRect bad : {CLRect{5000, 5000, 5300, 5300}, CLRect{INT32_MIN, 0, INT32_MAX, 400}}) {
        app.Delete();
        app.Create();
        CRecord* record = gMainApp->Prefs().FindDocument(Spec(app.ShowPath()));
        ASSERT_NE(record, nullptr);
        (void)CRecordRef(&record).SetRectField(nullptr, P::kDocSeqWinRect, bad);
        gMainApp->OpenRequest({});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        const CLRect placed = gMainApp->DocumentAt(0)->SequenceList()->Frame();
        EXPECT_NE(placed, bad);
        EXPECT_TRUE(placed.left >= 0 && placed.right <= 2720 && placed.top >= 0 && placed.bottom <= 1024)
            << placed.left << "," << placed.top << "," << placed.right << "," << placed.bottom;
    }
}

TEST_F(ObDocTest, BlendControlsSpreadOverTheLayers) {
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    CRecord* ctrl = doc->Model().BlendControl().Get();
    struct Case {
        uint8_t type;
        uint32_t dmx, ch, cc;
        const char* first;
        const char* second;
    } cases[] = {
        {1, 510, 0, 0, "dmx 510", "dmx 511"},
        {1, 511, 0, 0, "dmx 511", "none"},
        {3, 0, 2, 126, "midic 2 126", "midic 2 127"},
        {3, 0, 2, 127, "midic 2 127", "none"},
        {2, 0, 14, 7, "midic 14 7", "midic 15 7"},
        {2, 0, 15, 7, "midic 15 7", "none"},
        {0, 0, 0, 0, "none", "none"},
    };
    auto describe = [&](uint32_t layer) {
        CRecord* unit = doc->Model().Mix()->GetElement(T::kMixsLayers, layer)->GetSubRecord(T::kLayrUnit);
        CRecord* set = UDocModel::FindUnitInput(unit, LString("_oblayer_Blend"))->GetSubRecord(T::kInptCtl);
        CRecordRef ref(&set);
        auto value = [&](const char* key) {
            LString text;
            (void)CParamSet::Find(ref, LString(key), &text);
            return std::string(text.CStr());
        };
        const std::string type = value("type");
        if (type == "dmx") return "dmx " + value("dmxch");
        if (type == "midic") return "midic " + value("midich") + " " + value("midicc");
        return std::string("none");
    };
    for (const Case& c : cases) {
        ctrl->Slot(T::kCtrlType).u8 = c.type;
        ctrl->Slot(T::kCtrlDmxCh).u32 = c.dmx;
        ctrl->Slot(T::kCtrlMidiCh).u32 = c.ch;
        ctrl->Slot(T::kCtrlMidiCc).u32 = c.cc;
        doc->SpreadBlendControls();
        EXPECT_EQ(describe(0), c.first) << int(c.type);
        EXPECT_EQ(describe(1), c.second) << int(c.type);
    }
}

TEST_F(ObDocTest, ModelChangesReachBlendControlsAndTheTimer) {
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    // A new layer gets the next blend control at once ('ctyp' 1 from channel 10).
    ASSERT_EQ(UDocUnits::AddCompositionLayer(doc->Model().Mix(), nullptr, 2, LString("fill.qtz")), 2);
    CRecord* unit = doc->Model().Mix()->GetElement(T::kMixsLayers, 2)->GetSubRecord(T::kLayrUnit);
    CRecord* set = UDocModel::FindUnitInput(unit, LString("_oblayer_Blend"))->GetSubRecord(T::kInptCtl);
    LString channel;
    ASSERT_GE(CParamSet::Find(CRecordRef(&set), LString("dmxch"), &channel), 0);
    EXPECT_STREQ(channel.CStr(), "12");
    // The sync source of the document's record reaches the timer.
    CRecord* docPrefs = doc->DocPrefs();
    (void)CRecordRef(&docPrefs).SetByte(nullptr, P::kDocSyncSource, 2);
    EXPECT_EQ(doc->Player().Timer().SyncSource(), 2u);
}

std::time_t FixedClock() {
    return 1714590429;  // 2024-05-01 19:07:09 UTC
}

template <typename Pred>
bool RunUntil(Pred done, double seconds = 20) {
    for (int i = 0; i < seconds * 100 && !done(); ++i)
        plat::RunLoop::Current()->RunInMode(plat::kRunLoopDefaultMode, 0.01, true);
    return done();
}

// The name stamp of a capture taken at FixedClock's time.
std::string FixedStamp() {
    const std::time_t when = FixedClock();
    std::tm local{};
    localtime_r(&when, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "ob %Y_%m_%d %H_%M_%S", &local);
    return stamp;
}

// A 64 x 48 drawing target for an engine's frames, the engine's output sized to it (Release it).
COpenGLFBOTarget* StillTarget(CMixEngine& engine) {
    auto* target = new COpenGLFBOTarget(64, 48, nullptr);
    {
        COpenGLScope_Cca scope(target->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->fbo());
        glViewport(0, 0, 64, 48);
    }
    engine.SetOutputSize(64, 48);
    return target;
}

TEST_F(ObDocTest, TwoStillsInOneSecondGetTheirOwnFilesAndArePNGs) {
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    CaptureName::SetClock(&FixedClock);
    const std::time_t when = FixedClock();
    const std::string stamp = FixedStamp();
    const std::string folder = app.home.File("Documents/Orbilume Capture");
    COpenGLFBOTarget* window = StillTarget(doc->Engine());
    std::vector<std::string> paths;
    for (int i = 0; i < 2; ++i) {
        const std::string path = doc->CaptureStill();
        paths.push_back(path);
        auto saved = [&] {
            doc->Engine().RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
            struct stat st;
            return stat(path.c_str(), &st) == 0 && st.st_size > 0;
        };
        ASSERT_TRUE(RunUntil(saved)) << path;
    }
    window->Release();
    CaptureName::SetClock(nullptr);
    EXPECT_EQ(paths[0], folder + "/" + stamp + ".png");
    EXPECT_EQ(paths[1], folder + "/" + stamp + " 2.png");
    for (const std::string& p : paths) EXPECT_TRUE(Shell("pngcheck -q '" + p + "' >/dev/null")) << p;
    // A name handed out before its file exists is not handed out again.
    const std::string third = CaptureName::Next("png", when);
    EXPECT_EQ(third, folder + "/" + stamp + " 3.png");
    EXPECT_EQ(CaptureName::Next("png", when), folder + "/" + stamp + " 4.png");
}

// The still command as the menu sends it, twice in one second: once with frames between the two,
// once back to back before the next frame. Every still gets its own file.
TEST_F(ObDocTest, TheStillCommandTwiceInOneSecondKeepsBothStills) {
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    CObDoc* doc = gMainApp->DocumentAt(0);
    CaptureName::SetClock(&FixedClock);
    const std::string stamp = FixedStamp();
    const std::string folder = app.home.File("Documents/Orbilume Capture");
    COpenGLFBOTarget* window = StillTarget(doc->Engine());
    auto savedAll = [&](const std::vector<std::string>& paths) {
        return RunUntil([&] {
            doc->Engine().RenderFrame(window->context(), CMixEngine::SFrameRequest{0});
            for (const std::string& p : paths) {
                struct stat st;
                if (stat(p.c_str(), &st) != 0 || st.st_size == 0) return false;
            }
            return true;
        });
    };
    auto named = [&](const char* suffix) { return folder + "/" + stamp + suffix + ".png"; };
    AppFixture::Command(doc, "CAppCmd_CapStill");
    EXPECT_TRUE(savedAll({named("")}));
    AppFixture::Command(doc, "CAppCmd_CapStill");
    EXPECT_TRUE(savedAll({named(" 2")}));
    AppFixture::Command(doc, "CAppCmd_CapStill");
    AppFixture::Command(doc, "CAppCmd_CapStill");
    EXPECT_TRUE(savedAll({named(" 3"), named(" 4")}));
    window->Release();
    CaptureName::SetClock(nullptr);
    std::vector<std::string> want = {stamp + ".png", stamp + " 2.png", stamp + " 3.png", stamp + " 4.png"};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(AppFixture::Listing(folder), want);
    for (const std::string& f : want) EXPECT_TRUE(Shell("pngcheck -q '" + folder + "/" + f + "' >/dev/null")) << f;
}

// The mean red, green and blue of an RGB image (rows of 3 * pixels bytes); {-1, -1, -1} when empty.
std::vector<double> MeanRgb(const std::string& rgb) {
    std::vector<double> sum(3, 0.0);
    const size_t pixels = rgb.size() / 3;
    if (pixels == 0) return {-1, -1, -1};
    for (size_t i = 0; i < pixels * 3; ++i) sum[i % 3] += static_cast<unsigned char>(rgb[i]);
    for (double& v : sum) v /= double(pixels);
    return sum;
}

// Two documents ask for a still before the next frame: each engine's frame goes into that
// document's own file.
TEST_F(ObDocTest, StillsOfTwoDocumentsInOneFrameEachGetTheirOwnFile) {
    if (!Shell("command -v ffmpeg >/dev/null")) GTEST_SKIP() << "ffmpeg is not installed";
    // The copy tints its fill wholly blue: its frame differs from the first show's.
    std::string tinted = AppFixture::ReadFile(app.ShowPath());
    const std::string amount = "spec=\"Amount\" valu=\"0.25\"";
    ASSERT_NE(tinted.find(amount), std::string::npos);
    tinted.replace(tinted.find(amount), amount.size(), "spec=\"Amount\" valu=\"1\"");
    app.shows.Write("blue.obm", tinted);
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.ShowPath()), nullptr), 1);
    ASSERT_EQ(gMainApp->OpenDocument(Spec(app.shows.File("blue.obm")), nullptr), 1);
    CObDoc* docs[2] = {gMainApp->DocumentAt(0), gMainApp->DocumentAt(1)};
    ASSERT_TRUE(docs[0] && docs[1]);
    COpenGLFBOTarget* targets[2] = {StillTarget(docs[0]->Engine()), StillTarget(docs[1]->Engine())};
    const std::string paths[2] = {docs[0]->CaptureStill(), docs[1]->CaptureStill()};
    ASSERT_FALSE(paths[0].empty());
    EXPECT_NE(paths[0], paths[1]);
    std::string shown[2];
    ASSERT_TRUE(RunUntil([&] {
        bool all = true;
        for (int i = 0; i < 2; ++i) {
            docs[i]->Engine().RenderFrame(targets[i]->context(), CMixEngine::SFrameRequest{0});
            struct stat st;
            all = all && stat(paths[i].c_str(), &st) == 0 && st.st_size > 0;
        }
        return all;
    })) << paths[0] << ", " << paths[1];
    for (int i = 0; i < 2; ++i) {
        COpenGLScope_Cca scope(targets[i]->context());
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, targets[i]->fbo());
        shown[i].resize(64 * 48 * 3);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 64, 48, GL_RGB, GL_UNSIGNED_BYTE, shown[i].data());
    }
    for (COpenGLFBOTarget* t : targets) t->Release();
    const std::vector<double> frames[2] = {MeanRgb(shown[0]), MeanRgb(shown[1])};
    ASSERT_NE(frames[0], frames[1]) << "the two shows must look different";
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(paths[i]);
        EXPECT_TRUE(Shell("pngcheck -q '" + paths[i] + "' >/dev/null"));
        const std::vector<double> file = MeanRgb(testsupport::CommandOutput(
            "ffmpeg -v error -i '" + paths[i] + "' -f rawvideo -pix_fmt rgb24 -"));
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(file[c], frames[i][c], 2.0) << "channel " << c;
    }
}

}  // namespace
