// The file panel and the file dialogs: listing, filters, keys, save names, the type pop-up, the
// panel factory, the Edit-menu bridge and the embedded frame.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "Common/File/CFileTypeList.h"
#include "Common/ObjC/CEditMenuBridge.h"
#include "Common/ObjC/CEmbeddedFrame.h"
#include "Common/ObjC/CFileDialog.h"
#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/LEditText.h"
#include "Common/ObjC/MFilePanel.h"
#include "Common/ObjC/MOpenDelegete.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/AppKit/FilePackage.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/Pasteboard.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/support/TempDir.h"

namespace {

std::string Real(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

std::vector<std::string> Names(const std::vector<MFileEntry>& entries) {
    std::vector<std::string> out;
    for (const MFileEntry& e : entries) out.push_back(e.shown);
    return out;
}

// A panel that lists through the same filter and answers as scripted.
struct ScriptedPanel : MFilePanelBase {
    explicit ScriptedPanel(Kind kind) : MFilePanelBase(kind) {}
    int32_t RunModal(const std::string& folder, const std::string& name) override {
        ranIn = folder;
        offered = name;
        listed = Names(List(folder));
        if (answer.empty()) return kCancelButton;
        SetChosenPath(answer);
        return kOKButton;
    }
    void AllowedTypesChanged() override {
        ++refilters;
        if (!ranIn.empty()) listed = Names(List(ranIn));
    }
    std::string answer;
    std::string ranIn, offered;
    std::vector<std::string> listed;
    int refilters = 0;
};

struct Script {
    std::string answer;
    ScriptedPanel* made = nullptr;
    MFilePanelBase::Kind kind = MFilePanelBase::kOpenPanel;
};

std::unique_ptr<MFilePanelBase> MakeScripted(MFilePanelBase::Kind kind, void* context) {
    auto* script = static_cast<Script*>(context);
    auto panel = std::make_unique<ScriptedPanel>(kind);
    panel->answer = script->answer;
    script->made = panel.get();
    script->kind = kind;
    return panel;
}

class FilePanelTest : public dialogtest::HeadlessDialogTest {
protected:
    FilePanelTest() {
        MFilePanel::SetDefaultUpper(&root);
        CFileDialog::SetPanelFactory(MakeScripted, &script);
        folder = Real(dir.Path());
    }
    ~FilePanelTest() override {
        CFileDialog::SetPanelFactory(nullptr, nullptr);
        MFilePanel::SetDefaultUpper(nullptr);
        MFilePanel::SetReplaceQuestion(nullptr, nullptr);
        plat::UnregisterFilePackageExtension("obspkg");
    }
    void Touch(const std::string& name) { dir.Write(name, "x"); }
    void Folder(const std::string& name) { ASSERT_EQ(::mkdir(dir.File(name).c_str(), 0755), 0); }
    // A key sent through the application as the window system delivers it.
    void Key(MFilePanel& p, const char* key, uint32_t mods = 0) {
        plat::Event e = plat::headless::HeadlessBackend::KeyEvent(plat::EventType::kKeyDown,
                                                                  p.Window()->NativeWindow(), key, 0, mods);
        e.timestamp = plat::ClockNow();
        e.eventNumber = plat::Application::Shared()->NextEventNumber();
        plat::Application::Shared()->SendEvent(e);
    }
    void Keys(MFilePanel& p, const std::string& text) {
        for (char c : text) Key(p, std::string(1, c).c_str());
    }
    // The panel's answer so far: OK, Cancel, or -1 while it runs on.
    static int32_t Settle(MFilePanel& p) {
        return p.Result() == 1   ? MFilePanelBase::kOKButton
               : p.Result() == 2 ? MFilePanelBase::kCancelButton
                                 : -1;
    }

    testsupport::TempDir dir;
    std::string folder;
    Script script;
};

// The open panel's filter, one row per case.
TEST_F(FilePanelTest, OpenFilterDecidesMissingFoldersPackagesAndExtensions) {
    ASSERT_TRUE(plat::RegisterFilePackageExtension("obspkg"));
    Folder("plain");
    Folder("show.obspkg");
    Touch("set.obs");
    Touch("notes.txt");
    struct Case {
        const char* name;
        std::vector<std::string> allowed;
        bool treatPackages;
        bool shown;
    };
    const Case cases[] = {
        {"missing", {}, false, false},
        {"plain", {}, false, true},
        {"plain", {"obs"}, false, true},
        {"show.obspkg", {}, false, false},         // a package without allowed types
        {"show.obspkg", {"obspkg"}, false, true},  // a package of an allowed type
        {"show.obspkg", {"obs"}, false, false},    // ... of another type
        {"show.obspkg", {"obs"}, true, true},      // packages as folders
        {"set.obs", {}, false, true},
        {"set.obs", {"obs"}, false, true},
        {"notes.txt", {"obs"}, false, false},
    };
    MOpenDelegete filter;
    for (const Case& c : cases) {
        ScriptedPanel panel(MFilePanelBase::kOpenPanel);
        panel.SetAllowedFileTypes(c.allowed);
        panel.SetTreatsFilePackagesAsDirectories(c.treatPackages);
        EXPECT_EQ(filter.ShouldShowFilename(panel, dir.File(c.name)), c.shown)
            << c.name << " allowed " << c.allowed.size() << " packages " << c.treatPackages;
    }
    EXPECT_TRUE(plat::IsFilePackage(dir.File("show.obspkg")));
    EXPECT_TRUE(plat::IsFilePackage(dir.File("show.obspkg") + "/"));
    EXPECT_FALSE(plat::IsFilePackage(dir.File("plain")));
    EXPECT_FALSE(plat::IsFilePackage(dir.File("set.obs")));
    plat::UnregisterFilePackageExtension("obspkg");
    EXPECT_FALSE(plat::IsFilePackage(dir.File("show.obspkg")));
    EXPECT_FALSE(plat::RegisterFilePackageExtension(""));
    EXPECT_FALSE(plat::RegisterFilePackageExtension("a.b"));
}

// Folders first, each group in collation order; dot files hidden; a name that is not UTF-8 shows
// with U+FFFD and keeps its bytes; a link that loops is not listed as a folder.
TEST_F(FilePanelTest, ListingOrderHiddenFilesBadNamesAndLinkLoops) {
    Folder("beta");
    Folder("Alpha");
    Touch("zeta.obs");
    Touch("Echo.obs");
    Touch("delta.obs");
    Touch(".hidden");
    Touch("bad\xff.obs");
    ASSERT_EQ(::symlink("loop", dir.File("loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", dir.File("up").c_str()), 0);
    ScriptedPanel panel(MFilePanelBase::kOpenPanel);
    const auto entries = panel.List(folder);
    EXPECT_EQ(Names(entries), (std::vector<std::string>{"Alpha", "beta", "up", "bad\xEF\xBF\xBD.obs",
                                                        "delta.obs", "Echo.obs", "zeta.obs"}));
    ASSERT_EQ(entries.size(), 7u);
    EXPECT_EQ(entries[3].name, "bad\xff.obs");

    // The open panel answers the raw bytes, and the chosen spec keeps them.
    MFilePanel real(&root, MFilePanelBase::kOpenPanel);
    real.Begin(folder, "");
    real.SelectRow(3);
    EXPECT_TRUE(real.EnterOrConfirm(true));
    EXPECT_EQ(real.ChosenPath(), folder + "/bad\xff.obs");
    const LFsSpec spec = CMacFileU::LFsSpecFromPath(LString(real.ChosenPath().c_str()));
    EXPECT_EQ(std::string(CMacFileU::PathFromLFsSpec(spec).CStr()), folder + "/bad\xff.obs");
    real.End();

    // Entering the link to ".." lands in the real parent, not in an ever longer path.
    MFilePanel again(&root, MFilePanelBase::kOpenPanel);
    again.Begin(folder, "");
    again.SelectRow(2);
    EXPECT_FALSE(again.EnterOrConfirm(true));
    EXPECT_EQ(again.Folder(), Real(folder + "/.."));
    again.End();
}

TEST_F(FilePanelTest, UnreadableFolderListsEmpty) {
    // Folders that cannot be opened at all list empty too.
    Touch("plain.obs");
    ScriptedPanel any(MFilePanelBase::kOpenPanel);
    EXPECT_TRUE(any.List(dir.File("plain.obs")).empty());
    EXPECT_TRUE(any.List(dir.File("missing")).empty());
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every folder";
    Folder("locked");
    dir.Write("locked/file.obs", "x");
    ASSERT_EQ(::chmod(dir.File("locked").c_str(), 0), 0);
    ScriptedPanel panel(MFilePanelBase::kOpenPanel);
    EXPECT_TRUE(panel.List(dir.File("locked")).empty());
    ::chmod(dir.File("locked").c_str(), 0755);
}

TEST_F(FilePanelTest, SaveNamesAndNearestExistingFolder) {
    const struct {
        std::string name;
        bool ok;
    } names[] = {
        {"", false},
        {".", false},
        {"..", false},
        {"a/b", false},
        {std::string("a\0b", 3), false},
        {std::string(256, 'n'), false},
        {std::string(255, 'n'), true},
        {"set.obs", true},
        {"...", true},
        {".set", true},
    };
    for (const auto& n : names) EXPECT_EQ(MFilePanelBase::IsValidSaveName(n.name), n.ok) << n.name.size();

    Folder("a");
    const struct {
        std::string path;
        std::string nearest;
    } starts[] = {
        {folder + "/a", folder + "/a"},
        {folder + "/a/gone/deeper/file.obs", folder + "/a"},
        {folder + "/gone", folder},
        {"/no-such-root-folder/x", "/"},
        {"", "/"},
        {"/", "/"},
    };
    for (const auto& s : starts)
        EXPECT_EQ(MFilePanelBase::NearestExistingFolder(s.path), s.nearest) << s.path;
}

TEST_F(FilePanelTest, TypePopupPicksExactThenAnyThenFirst) {
    const LString withAny[] = {"TEXT\nOBLM\ntxt\nText", "OBSD\nOBLM\nobs\nShow", "****\nOBLM\n*\nAll files"};
    const LString withoutAny[] = {"TEXT\nOBLM\ntxt\nText", "OBSD\nOBLM\nobs\nShow"};
    CFileTypeList a(withAny, 3), b(withoutAny, 2), none(nullptr, 0);
    EXPECT_EQ(CFileDialog::EntryForExtension(a, "obs"), 1);
    EXPECT_EQ(CFileDialog::EntryForExtension(a, "png"), 2);
    EXPECT_EQ(CFileDialog::EntryForExtension(a, ""), 2);
    EXPECT_EQ(CFileDialog::EntryForExtension(b, "png"), 0);
    EXPECT_EQ(CFileDialog::EntryForExtension(none, "obs"), -1);
}

// The open dialog: a start spec in a folder that is gone starts in the nearest parent; the type
// pop-up sits in the accessory pane and a choice refilters the panel at once; the panel's answer
// becomes the chosen spec.
TEST_F(FilePanelTest, OpenDialogPreparesThePanelAndRefiltersOnAChosenType) {
    Touch("set.obs");
    Touch("notes.txt");
    Folder("sub");
    const LString types[] = {"OBSD\nOBLM\nobs\nShow", "TEXT\nOBLM\ntxt\nText", "****\nOBLM\n*\nAll files"};
    CFileTypeList list(types, 3);
    script.answer = folder + "/set.obs";
    COpenFileDialog d;
    d.SetTypes(&list);
    d.SetMessage("Pick a show");
    d.SetStartSpec(CMacFileU::LFsSpecFromPath((folder + "/gone/away/x.txt").c_str()));
    int extra = 0;
    d.SetAccessory(
        [](void* context, CEmbeddedFrame* pane) {
            ++*static_cast<int*>(context);
            auto* f = new LFrame(pane, pane);
            f->SetBounds({0, 0, 300, 40});
        },
        &extra);
    d.Run(0);
    ASSERT_NE(script.made, nullptr);
    ScriptedPanel& p = *script.made;
    EXPECT_EQ(script.kind, MFilePanelBase::kOpenPanel);
    EXPECT_EQ(d.AllowedTypes(), (std::vector<std::string>{"obs", "txt", "*"}));
    EXPECT_EQ(p.ranIn, folder);
    EXPECT_EQ(p.Message(), "Pick a show");
    EXPECT_NE(p.Delegate(), nullptr);
    EXPECT_EQ(extra, 1);
    ASSERT_NE(d.TypeFrame(), nullptr);
    // The start spec's extension chose "txt"; the pane stacks the pop-up frame above the caller's.
    EXPECT_EQ(d.TypeFrame()->Popup()->GetValue(), 1);
    EXPECT_EQ(p.AllowedFileTypes(), std::vector<std::string>{"txt"});
    EXPECT_EQ(p.listed, (std::vector<std::string>{"sub", "notes.txt"}));
    EXPECT_EQ(d.TypeFrame()->Bounds().top, 0);
    EXPECT_EQ(d.AccessoryPane()->Bounds().Width(), 300);
    EXPECT_EQ(d.AccessoryPane()->Bounds().Height(), d.TypeFrame()->Bounds().Height() + 40);
    EXPECT_EQ(p.AccessoryView(), d.AccessoryPane());
    const CLRect pop = d.TypeFrame()->Popup()->Bounds();
    EXPECT_EQ(pop.left, 10);
    EXPECT_EQ(pop.top, 10);
    EXPECT_EQ(d.TypeFrame()->Bounds().Width(), pop.Width() + 20);
    EXPECT_TRUE(d.WasConfirmed());
    EXPECT_EQ(std::string(CMacFileU::PathFromLFsSpec(d.GetChosenSpec()).CStr()), folder + "/set.obs");

    // Choosing "Show" in the pop-up restricts the panel to it at once; "*" shows every file.
    d.TypeFrame()->Popup()->SetValue(0);
    LHandler::Dispatch(LMessage(LPopupList_Changed, d.TypeFrame()->Popup(), d.TypeFrame()));
    EXPECT_EQ(p.listed, (std::vector<std::string>{"sub", "set.obs"}));
    EXPECT_EQ(d.CurrentKind().extension, LString("obs"));
    d.TypeFrame()->Popup()->SetValue(2);
    LHandler::Dispatch(LMessage(LPopupList_Changed, d.TypeFrame()->Popup(), d.TypeFrame()));
    EXPECT_EQ(p.listed, (std::vector<std::string>{"sub", "notes.txt", "set.obs"}));
    EXPECT_TRUE(p.AllowedFileTypes().empty());
}

TEST_F(FilePanelTest, OnlyAnyTypeShowsEverythingAndCancelConfirmsNothing) {
    Touch("a.obs");
    Touch("b.txt");
    const LString types[] = {"****\nOBLM\n*\nAll files"};
    CFileTypeList list(types, 1);
    COpenFileDialog d;
    d.SetTypes(&list);
    d.SetStartSpec(CMacFileU::LFsSpecFromPath((folder + "/a.obs").c_str()));
    EXPECT_EQ(d.StartFile(), CMacFileU::LFsSpecFromPath((folder + "/a.obs").c_str()));
    d.Run(0);
    EXPECT_EQ(script.made->offered, "a.obs");
    EXPECT_EQ(d.TypeFrame()->Popup()->GetValue(), 0);
    EXPECT_EQ(script.made->listed, (std::vector<std::string>{"a.obs", "b.txt"}));
    EXPECT_FALSE(d.WasConfirmed());
    EXPECT_TRUE(d.GetChosenSpec().IsEmpty());
}

TEST_F(FilePanelTest, SaveAndFolderDialogsOfferNamesAndChooseFolders) {
    Folder("shows");
    Touch("x.txt");
    const LString types[] = {"OBSD\nOBLM\nobs\nShow", "TEXT\nOBLM\ntxt\nText"};
    CFileTypeList list(types, 2);
    CSaveFileDialog save;
    save.SetTypes(&list);
    EXPECT_EQ(save.DefaultKind().extension, LString("obs"));
    save.SetStartSpec(CMacFileU::LFsSpecFromPath((folder + "/shows/new set.obs").c_str()));
    EXPECT_EQ(save.DefaultFileName(), LString("new set.obs"));
    script.answer = folder + "/shows/new set.obs";
    save.Run();
    EXPECT_EQ(script.kind, MFilePanelBase::kSavePanel);
    EXPECT_EQ(script.made->ranIn, folder + "/shows");
    EXPECT_EQ(script.made->offered, "new set.obs");
    EXPECT_TRUE(save.WasConfirmed());

    CFolderDialog chooser;
    chooser.SetStartSpec(CMacFileU::LFsSpecFromPath(folder.c_str()));
    script.answer = folder + "/shows";
    chooser.Run();
    EXPECT_FALSE(script.made->CanChooseFiles());
    EXPECT_TRUE(script.made->CanChooseDirectories());
    EXPECT_EQ(script.made->ranIn, folder);
    EXPECT_EQ(script.made->listed, std::vector<std::string>{"shows"});
    EXPECT_EQ(chooser.AccessoryPane()->Bounds().Height(), 0);
    EXPECT_EQ(script.made->AccessoryView(), nullptr);
}

// The real save panel: typing a name and Return answer <folder>/<name>; Ctrl+V pastes into the field.
TEST_F(FilePanelTest, SavePanelTypedNameAndPasteAnswerThePath) {
    Touch("old.obs");
    MFilePanel p(&root, MFilePanelBase::kSavePanel);
    p.Begin(folder, "untitled.obs");
    ASSERT_NE(p.NameField(), nullptr);
    EXPECT_EQ(std::string(p.NameField()->GetText().CStr()), "untitled.obs");
    ASSERT_TRUE(plat::Pasteboard::General()->SetString("se"));
    Key(p, "v", plat::kCommandKeyMask);
    Keys(p, "t.obs");
    Key(p, "\r");
    EXPECT_EQ(Settle(p), MFilePanelBase::kOKButton);
    EXPECT_EQ(p.ChosenPath(), folder + "/set.obs");
    p.End();
}

// Saving over a file asks first; bad names are refused; a folder's name enters it.
TEST_F(FilePanelTest, SavePanelAsksBeforeReplacingAndRefusesBadNames) {
    Touch("old.obs");
    Folder("sub");
    struct Asked {
        std::vector<std::string> paths;
        bool replace = false;
    } asked;
    MFilePanel::SetReplaceQuestion(
        [](const std::string& path, void* context) {
            auto* a = static_cast<Asked*>(context);
            a->paths.push_back(path);
            return a->replace;
        },
        &asked);
    MFilePanel p(&root, MFilePanelBase::kSavePanel);
    p.Begin(folder, "old.obs");
    Key(p, "\r");
    EXPECT_EQ(Settle(p), -1);
    EXPECT_EQ(asked.paths, std::vector<std::string>{folder + "/old.obs"});
    for (const char* bad : {"", ".", "..", "a/b"}) {
        p.NameField()->SetText(LString(bad));
        EXPECT_FALSE(p.EnterOrConfirm(false)) << bad;
    }
    EXPECT_EQ(asked.paths.size(), 1u);
    p.NameField()->SetText(LString("sub"));
    EXPECT_FALSE(p.EnterOrConfirm(false));
    EXPECT_EQ(p.Folder(), folder + "/sub");
    p.GoUp();
    EXPECT_EQ(p.Folder(), folder);
    EXPECT_EQ(p.SelectedRow(), 0);  // back on "sub"
    asked.replace = true;
    p.NameField()->SetText(LString("old.obs"));
    EXPECT_TRUE(p.EnterOrConfirm(false));
    EXPECT_EQ(p.ChosenPath(), folder + "/old.obs");
    p.End();
}

// The list's keys: typing selects by prefix, Return enters a folder and confirms a file, Backspace
// and Alt+Up go up; Escape cancels. Changed allowed types refilter at once.
TEST_F(FilePanelTest, OpenPanelKeysAndRefilter) {
    Folder("inner");
    dir.Write("inner/deep.obs", "x");
    Touch("alpha.obs");
    Touch("beta.txt");
    MFilePanel p(&root, MFilePanelBase::kOpenPanel);
    p.Begin(folder, "");
    EXPECT_EQ(Names(p.Entries()), (std::vector<std::string>{"inner", "alpha.obs", "beta.txt"}));
    EXPECT_EQ(p.Grid()->Rows(), 3);
    p.SetAllowedFileTypes({"obs"});
    EXPECT_EQ(Names(p.Entries()), (std::vector<std::string>{"inner", "alpha.obs"}));
    EXPECT_EQ(p.Grid()->Rows(), 2);
    p.SetAllowedFileTypes({});

    Keys(p, "be");
    EXPECT_EQ(Settle(p), -1);
    EXPECT_EQ(p.SelectedRow(), 2);
    clock.Advance(2.0);
    Keys(p, "i");
    Key(p, "\r");
    EXPECT_EQ(Settle(p), -1);
    EXPECT_EQ(p.Folder(), folder + "/inner");
    Key(p, "\x7f");
    EXPECT_EQ(Settle(p), -1);
    EXPECT_EQ(p.Folder(), folder);
    p.GoTo(folder + "/inner");
    Key(p, "\xEF\x9C\x80", plat::kAlternateKeyMask);  // Alt+Up
    EXPECT_EQ(Settle(p), -1);
    EXPECT_EQ(p.Folder(), folder);
    // The location pop-up: the folder, then its parents up to "/".
    ASSERT_GE(p.Locations().size(), 2u);
    EXPECT_EQ(p.Locations()[0], folder);
    EXPECT_EQ(p.Locations()[1], Real(folder + "/.."));
    clock.Advance(2.0);
    Keys(p, "a");
    Key(p, "\r");
    EXPECT_EQ(Settle(p), MFilePanelBase::kOKButton);
    EXPECT_EQ(p.ChosenPath(), folder + "/alpha.obs");
    p.End();

    MFilePanel q(&root, MFilePanelBase::kOpenPanel);
    q.Begin(folder + "/gone/away", "");
    EXPECT_EQ(q.Folder(), folder);
    Key(q, "\x1b");
    EXPECT_EQ(Settle(q), MFilePanelBase::kCancelButton);
    EXPECT_TRUE(q.ChosenPath().empty());
    q.End();
}

// A double click on a folder enters it, on a file confirms; the arrows move the selection; the
// accessory view sits in the panel's window below the list.
TEST_F(FilePanelTest, DoubleClicksArrowsAndTheAccessoryArea) {
    Folder("inner");
    Touch("one.obs");
    Touch("two.obs");
    MFilePanel p(&root, MFilePanelBase::kOpenPanel);
    CEmbeddedFrame accessory(nullptr, p.HostWindow());
    accessory.SetBounds({0, 0, 200, 40});
    p.SetAccessoryView(&accessory);
    p.Begin(folder, "two.obs");
    EXPECT_EQ(p.SelectedRow(), 2);  // the offered name
    ASSERT_EQ(accessory.View()->Superview(), p.HostWindow()->ContentView());
    EXPECT_TRUE(accessory.IsVisible());
    EXPECT_GE(accessory.View()->Frame().y, double(p.ListNavi()->Bounds().bottom));
    EXPECT_LE(accessory.View()->Frame().y + 40, double(p.OKButton()->Bounds().top));

    Key(p, "\xEF\x9C\x80");  // Up
    EXPECT_EQ(p.SelectedRow(), 1);
    Key(p, "\xEF\x9C\x81");  // Down
    Key(p, "\xEF\x9C\x81");
    EXPECT_EQ(p.SelectedRow(), 2);

    auto doubleClick = [&](int32_t row) {
        p.SelectRow(row);
        plat::Event e;
        e.type = plat::EventType::kLeftMouseDown;
        e.clickCount = 2;
        mouse.Fill(e, CLPoint{0, 0});
        LHandler::Dispatch(LMessage(LListPane_Clicked, p.Grid(), &p));
    };
    doubleClick(0);
    EXPECT_EQ(p.Folder(), folder + "/inner");
    p.GoUp();
    doubleClick(1);
    EXPECT_EQ(Settle(p), MFilePanelBase::kOKButton);
    EXPECT_EQ(p.ChosenPath(), folder + "/one.obs");
    p.End();
    p.SetAccessoryView(nullptr);
    EXPECT_EQ(accessory.View()->Superview(), nullptr);
}

// The location pop-up: the folder and its parents, then home and the user folders that exist.
TEST_F(FilePanelTest, LocationsAreTheParentsThenHomeAndUserFolders) {
    Folder("home");
    Folder("home/Desktop");
    Folder("home/Tunes");
    Folder("home/.config");
    Folder("work");
    dir.Write("home/.config/user-dirs.dirs", "XDG_MUSIC_DIR=\"$HOME/Tunes\"\n");
    const char* oldHome = std::getenv("HOME");
    const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = oldHome ? oldHome : "", savedConfig = oldConfig ? oldConfig : "";
    ::setenv("HOME", (folder + "/home").c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    MFilePanel p(&root, MFilePanelBase::kOpenPanel);
    p.Begin(folder + "/work", "");
    std::vector<std::string> expected;
    for (std::string f = folder + "/work";; f = f.substr(0, std::max<size_t>(f.rfind('/'), 1))) {
        expected.push_back(f);
        if (f == "/") break;
    }
    expected.push_back("");  // the separator
    for (const char* place : {"/home", "/home/Desktop", "/home/Tunes"}) expected.push_back(folder + place);
    EXPECT_EQ(p.Locations(), expected);
    EXPECT_EQ(p.LocationPopup()->Count(), int32_t(expected.size()));
    // Choosing a place goes there.
    p.LocationPopup()->SetValue(int32_t(expected.size()) - 1);
    LHandler::Dispatch(LMessage(LPopupList_Changed, p.LocationPopup(), &p));
    EXPECT_EQ(p.Folder(), folder + "/home/Tunes");
    p.End();
    if (oldHome)
        ::setenv("HOME", savedHome.c_str(), 1);
    else
        ::unsetenv("HOME");
    if (oldConfig) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}

// The save dialog over the real panel: the type pop-up sits in the panel's accessory area, keys
// typed into the panel name the file, and the dialog answers it.
struct RealPanelScript {
    testsupport::HeadlessScreens* screens = nullptr;
    LHandler* upper = nullptr;
    MFilePanel* made = nullptr;
    bool typePopupHosted = false;
};

std::unique_ptr<MFilePanelBase> MakeRealTyped(MFilePanelBase::Kind kind, void* context) {
    auto* script = static_cast<RealPanelScript*>(context);
    auto panel = std::make_unique<MFilePanel>(script->upper, kind);
    script->made = panel.get();
    for (const char* key : {"s", "e", "t", ".", "o", "b", "s", "\r"})
        script->screens->Backend().Inject(plat::headless::HeadlessBackend::KeyEvent(
            plat::EventType::kKeyDown, panel->Window()->NativeWindow(), key, 0));
    return panel;
}

TEST_F(FilePanelTest, SaveDialogOverTheRealPanel) {
    const LString types[] = {"OBSD\nOBLM\nobs\nShow", "****\nOBLM\n*\nAll files"};
    CFileTypeList list(types, 2);
    // Panels run under the application root, above the main loop.
    MFilePanel::SetDefaultUpper(nullptr);
    EXPECT_EQ(MFilePanel::DefaultUpper(), &root);
    MFilePanel::SetDefaultUpper(&root);
    RealPanelScript real{&screens, &root};
    CFileDialog::SetPanelFactory(MakeRealTyped, &real);
    {
        CSaveFileDialog d;
        d.SetTypes(&list);
        d.SetStartSpec(CMacFileU::LFsSpecFromPath((folder + "/untitled.obs").c_str()));
        d.Run();
        ASSERT_NE(real.made, nullptr);
        ASSERT_NE(d.TypeFrame(), nullptr);
        EXPECT_EQ(d.AccessoryPane()->View()->Superview(), real.made->HostWindow()->ContentView());
        EXPECT_EQ(d.TypeFrame()->Popup()->GetValue(), 0);
        EXPECT_EQ(real.made->AllowedFileTypes(), std::vector<std::string>{"obs"});
        EXPECT_TRUE(d.WasConfirmed());
        EXPECT_EQ(std::string(CMacFileU::PathFromLFsSpec(d.GetChosenSpec()).CStr()), folder + "/set.obs");
    }
    CFileDialog::SetPanelFactory(MakeScripted, &script);
}

// The folder chooser lists folders only and answers the selected folder, else the one shown.
TEST_F(FilePanelTest, FolderChooserAnswersFolders) {
    Folder("media");
    Touch("file.obs");
    MFilePanel p(&root, MFilePanelBase::kOpenPanel);
    p.SetCanChooseFiles(false);
    p.SetCanChooseDirectories(true);
    p.Begin(folder, "");
    EXPECT_EQ(Names(p.Entries()), std::vector<std::string>{"media"});
    EXPECT_TRUE(p.EnterOrConfirm(false));
    EXPECT_EQ(p.ChosenPath(), folder);
    p.SelectRow(0);
    EXPECT_TRUE(p.EnterOrConfirm(false));
    EXPECT_EQ(p.ChosenPath(), folder + "/media");
    p.End();
}

// The Edit bridge finds each command's native item by its tag, even when the native menu holds
// items of its own in front, and puts every action back.
TEST_F(FilePanelTest, EditBridgeRebindsByTagAndRestoresEveryAction) {
    LMenuBar* bar = loop->MenuBar();
    ASSERT_NE(bar, nullptr);
    LMenu* edit = bar->FindMenu(LString("EDIT"));
    ASSERT_NE(edit, nullptr);
    plat::Menu* native = CMacMenuBridge::NativeMenuOf(edit);
    ASSERT_NE(native, nullptr);
    // A native item the framework does not know, in front of its own.
    plat::Ref<plat::MenuItem> foreign = plat::MenuItem::Create("Emoji", "orderFrontCharacterPalette:", "");
    native->InsertItem(foreign.get(), 0);
    native->SetAutoenablesItems(false);
    std::vector<std::string> before;
    for (int32_t i = 0; i < native->NumberOfItems(); ++i) before.push_back(native->ItemAtIndex(i)->Action());
    {
        CEditMenuBridge bridge(bar);
        EXPECT_EQ(bridge.BoundCount(), 6u);
        EXPECT_TRUE(native->AutoenablesItems());
        EXPECT_EQ(foreign->Action(), "orderFrontCharacterPalette:");
        const struct {
            const char* command;
            const char* action;
        } expected[] = {{"LStdCmd_Undo", "undo:"},   {"LStdCmd_Redo", "redo:"},
                        {"LStdCmd_Cut", "cut:"},     {"LStdCmd_Copy", "copy:"},
                        {"LStdCmd_Paste", "paste:"}, {"LStdCmd_Delete", "delete:"}};
        for (const auto& e : expected) {
            LMenuItem* item = nullptr;
            for (LMenuItem* i = edit->FirstItem(); i; i = edit->NextItem(i))
                if (i->HasCommand(e.command)) item = i;
            ASSERT_NE(item, nullptr) << e.command;
            plat::MenuItem* n = nullptr;
            for (int32_t k = 0; k < native->NumberOfItems(); ++k)
                if (native->ItemAtIndex(k)->Tag() == item->Tag() && !native->ItemAtIndex(k)->IsSeparator())
                    n = native->ItemAtIndex(k);
            ASSERT_NE(n, nullptr) << e.command;
            EXPECT_EQ(n->Action(), e.action) << e.command;
        }
    }
    std::vector<std::string> after;
    for (int32_t i = 0; i < native->NumberOfItems(); ++i) after.push_back(native->ItemAtIndex(i)->Action());
    EXPECT_EQ(after, before);
    EXPECT_FALSE(native->AutoenablesItems());
    native->RemoveItemAtIndex(0);
}

// A pane counting its draws.
struct CountingPane : LPane {
    explicit CountingPane(LPane* owner) : LPane(owner, owner) {
        ChangeState(kChainShow);
        ChangeState(kChainEnable);
    }
    void Draw(LDrawContext&) override { ++draws; }
    int draws = 0;
};

// The embedded frame draws in its view's draw pass and invalidates through the view.
TEST_F(FilePanelTest, EmbeddedFrameDrawsInItsViewsDrawPass) {
    auto* host = new LModalDialog(&root, nullptr, ModalSpec());
    Show(host);
    plat::Window* window = host->Window()->NativeWindow();
    {
        CEmbeddedFrame frame(nullptr, window);
        auto* pane = new CountingPane(&frame);
        pane->SetBounds({0, 0, 50, 20});
        frame.SetBounds({0, 0, 120, 40});
        EXPECT_EQ(frame.View()->Frame().width, 120);
        EXPECT_EQ(frame.View()->Frame().height, 40);
        EXPECT_FALSE(frame.IsVisible());
        frame.AttachTo(window->ContentView(), {10, 100});
        EXPECT_TRUE(frame.IsVisible());
        LPanePort port(pane);
        EXPECT_EQ(port.window, window);
        EXPECT_EQ(port.contentView, frame.View());
        EXPECT_EQ(port.origin.x, 0);
        window->Display();
        EXPECT_GE(pane->draws, 1);
        const int drawn = pane->draws;
        EXPECT_FALSE(frame.View()->NeedsDisplay());
        pane->Invalidate(CRgn(CLRect{0, 0, 10, 10}), CRgn());
        EXPECT_TRUE(frame.View()->NeedsDisplay());
        window->Display();
        EXPECT_GT(pane->draws, drawn);
    }
    EXPECT_TRUE(window->ContentView()->Subviews().empty() ||
                window->ContentView()->Subviews().back().get() != nullptr);
    delete host;
}

}  // namespace
