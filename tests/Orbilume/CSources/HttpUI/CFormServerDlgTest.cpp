#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LDropPane.h"
#include "Orbilume/CSources/HttpUI/CFormServerDlg.h"
#include "Orbilume/CSources/HttpUI/CPassField.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/Foundation/URLOpener.h"
#include "tests/Lib3/LSources/CoreUI/BundleResources.h"
#include "tests/Lib3/LSources/CoreUI/PaneTestSupport.h"
#include "tests/Lib3/LSources/Mac/DropTestSupport.h"
#include "tests/support/PinnedFonts.h"
#include "tests/support/TempDir.h"

namespace {

// A folder chooser that records where it started and answers a folder, or cancels when none is set.
struct ChooserScript {
    std::string answer;
    std::string startedIn;
    bool choseFiles = true;
    int runs = 0;
};

struct ScriptedChooser : MFilePanelBase {
    ScriptedChooser(Kind kind, ChooserScript* s) : MFilePanelBase(kind), script(s) {}
    int32_t RunModal(const std::string& folder, const std::string&) override {
        ++script->runs;
        script->startedIn = folder;
        script->choseFiles = CanChooseFiles();
        if (script->answer.empty()) return kCancelButton;
        SetChosenPath(script->answer);
        return kOKButton;
    }
    ChooserScript* script;
};

std::unique_ptr<MFilePanelBase> MakeChooser(MFilePanelBase::Kind kind, void* context) {
    return std::make_unique<ScriptedChooser>(kind, static_cast<ChooserScript*>(context));
}

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

struct FormServerDlgTest : ::testing::Test {
    BundleResources resources;
    MessageLog log;
    FakeOwner owner{&log, {0, 0, 500, 600}};
    testsupport::TempDir dir;
    void SetUp() override { ASSERT_TRUE(resources.Ok()); }
};

TEST_F(FormServerDlgTest, BuildsFromItsResources) {
    CFormServerDlg dlg(&owner, &owner);
    EXPECT_TRUE(dlg.HasLayout());
    EXPECT_EQ(Str(dlg.ChooseButton()->GetTitle()), "Choose…");
    EXPECT_EQ(Str(dlg.FlagBox(0)->GetTitle()), "Open same-named files");
    EXPECT_EQ(Str(dlg.FlagBox(7)->GetTitle()), "Link to the home page");
    EXPECT_EQ(Str(dlg.DefaultButton()->GetTitle()), "OK");
    // Defaults before any load.
    EXPECT_EQ(dlg.PortField()->GetValue(), 51000.0f);
    EXPECT_EQ(dlg.MonitorSizeField()->GetValue(), 160.0f);
    dlg.SetBounds({0, 0, 480, 560});
    dlg.UpdateLayout();
    EXPECT_LT(dlg.PortField()->Bounds().bottom, dlg.RootField()->Bounds().top);
    EXPECT_LT(dlg.FlagBox(1)->Bounds().bottom, dlg.FlagBox(7)->Bounds().top);
}

TEST_F(FormServerDlgTest, RoundTripsEverySetting) {
    CFormServerDlg dlg(&owner, &owner);
    FormServerSettings s;
    s.port = 8123;
    s.root = dir.Path();
    s.pass = FormPassword::Store("old1");
    s.monsz = 256;
    s.opensame = true;
    s.monimg = false;
    s.valnum = true;
    s.valsld = false;
    s.upld = true;
    s.uplddel = false;
    s.upldsel = true;
    s.gohome = false;
    dlg.Load(s);
    EXPECT_STREQ(dlg.PasswordField()->Placeholder(), CPassField::kPlaceholder);
    FormServerSettings back = dlg.Result();
    EXPECT_EQ(back.port, 8123);
    EXPECT_EQ(back.root, s.root);
    EXPECT_EQ(back.pass, s.pass);  // an empty field keeps the stored password
    EXPECT_EQ(back.monsz, 256u);
    const bool FormServerSettings::*flags[] = {&FormServerSettings::opensame, &FormServerSettings::monimg,
                                               &FormServerSettings::valnum,   &FormServerSettings::valsld,
                                               &FormServerSettings::upld,     &FormServerSettings::uplddel,
                                               &FormServerSettings::upldsel,  &FormServerSettings::gohome};
    for (auto f : flags) EXPECT_EQ(back.*f, s.*f);

    // Edits come back; a typed password is stored anew.
    dlg.PortField()->SetValue(80);
    dlg.MonitorSizeField()->SetValue(2000);  // clamped
    dlg.FlagBox(0)->SetValue(0);
    dlg.PasswordField()->SetTextByProgram(LString("new2"));
    back = dlg.Result();
    EXPECT_EQ(back.port, 80);
    EXPECT_EQ(back.monsz, 512u);
    EXPECT_FALSE(back.opensame);
    EXPECT_EQ(FormPassword::Verify(back.pass, "new2"), FormPassword::kMatch);
}

TEST_F(FormServerDlgTest, RootFromDropChooserAndShow) {
    CFormServerDlg dlg(&owner, &owner);
    EXPECT_FALSE(dlg.DropFolder(dir.File("missing")));
    dir.Write("file.txt", "x");
    EXPECT_FALSE(dlg.DropFolder(dir.File("file.txt")));
    EXPECT_TRUE(dlg.DropFolder(dir.Path()));
    EXPECT_EQ(Str(dlg.RootField()->GetText()), dir.Path());

    std::string chosen = dir.Path() + "/sub";
    ASSERT_EQ(mkdir(chosen.c_str(), 0755), 0);
    // The choose button runs the folder chooser from the root shown; its folder becomes the root, a
    // cancel or a file changes nothing.
    ChooserScript script;
    CFileDialog::SetPanelFactory(MakeChooser, &script);
    script.answer = chosen;
    LHandler::Dispatch(LMessage(LStdCtl_Selected, dlg.ChooseButton(), &dlg));
    EXPECT_EQ(script.runs, 1);
    EXPECT_FALSE(script.choseFiles);
    EXPECT_EQ(script.startedIn, dir.Path());
    EXPECT_EQ(Str(dlg.RootField()->GetText()), chosen);
    script.answer.clear();
    LHandler::Dispatch(LMessage(LStdCtl_Selected, dlg.ChooseButton(), &dlg));
    EXPECT_EQ(script.startedIn, chosen);
    EXPECT_EQ(Str(dlg.RootField()->GetText()), chosen);
    script.answer = dir.File("file.txt");
    LHandler::Dispatch(LMessage(LStdCtl_Selected, dlg.ChooseButton(), &dlg));
    EXPECT_EQ(Str(dlg.RootField()->GetText()), chosen);
    CFileDialog::SetPanelFactory(nullptr, nullptr);

    std::vector<std::string> urls;
    plat::SetURLOpenerFunction(
        [](const std::string& url, void* context) {
            static_cast<std::vector<std::string>*>(context)->push_back(url);
            return true;
        },
        &urls);
    LHandler::Dispatch(LMessage(LStdCtl_Selected, dlg.ShowButton(), &dlg));
    plat::SetURLOpenerFunction(nullptr, nullptr);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], "file://" + chosen);
    struct stat st {};
    EXPECT_EQ(stat((chosen + "/Upload").c_str(), &st), 0);
}

}  // namespace

// Real drags through the window's drop object: only one existing folder is taken, and it becomes
// the root.
TEST_F(FormServerDlgTest, ADraggedFolderBecomesTheRoot) {
    DropWindow w;
    auto* dlg = w.root->Adopt(new CFormServerDlg(&w.log, w.root.get()));
    std::unique_ptr<LPane> hold(dlg);
    dlg->SetBounds({0, 0, 400, 300});
    const CLRect r = dlg->RootDrop()->Bounds();
    const plat::Point at = w.Screen((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    const std::string before = Str(dlg->RootField()->GetText());
    dir.Write("file.txt", "x");
    const std::string other = dir.Path() + "/other";
    ASSERT_EQ(mkdir(other.c_str(), 0755), 0);
    struct Case {
        const char* name;
        std::vector<std::string> paths;
        bool taken;
    } cases[] = {
        {"a file", {dir.File("file.txt")}, false},
        {"a missing folder", {dir.File("missing")}, false},
        {"two folders", {dir.Path(), other}, false},
        {"one folder", {other}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
        ASSERT_TRUE(pb->SetFileURLs(c.paths));
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationLink);
        EXPECT_EQ(drag.MoveTo(at) != 0, c.taken);
        EXPECT_EQ(dlg->RootDrop()->IsHighlighted(), c.taken);
        EXPECT_EQ(drag.Drop() != 0, c.taken);
        EXPECT_EQ(Str(dlg->RootField()->GetText()), c.taken ? other : before);
    }
}
