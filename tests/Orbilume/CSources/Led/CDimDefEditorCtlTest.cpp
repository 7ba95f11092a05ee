#include "Orbilume/CSources/Led/CDimDefEditorCtl.h"

#include <dirent.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/CNamingDialog.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"
#include "tests/support/CommandOutput.h"
#include "tests/support/TempDir.h"

namespace {

using T = CDimTypes;

std::string Str(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

std::string DefText(const std::string& name, uint32_t columns, uint32_t rows) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<YOBM_DIDF dfid=\"" + name + "\" dthz=\"" +
           std::to_string(columns) + "\" dtvt=\"" + std::to_string(rows) + "\"/>\n";
}

// Every path below the folder, with the file sizes: a picture of the tree to compare.
void Walk(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) continue;
        out.push_back(prefix + name + (S_ISDIR(st.st_mode) ? "/" : " " + std::to_string(st.st_size)));
        if (S_ISDIR(st.st_mode)) Walk(path, prefix + name + "/", out);
    }
    closedir(dir);
}

std::vector<std::string> Tree(const std::string& folder) {
    std::vector<std::string> out;
    Walk(folder, "", out);
    std::sort(out.begin(), out.end());
    return out;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// The editor window as the controller sees it.
class FakeView : public CDimDefEditorView {
public:
    explicit FakeView(CDimDefStore* store) : watch(store) {}
    void ShowDefinition(CRecord* def) override { watch.Show(def); }
    CRecord* ShownDefinition() const override { return watch.Shown(); }
    bool TakeChanged() override { return watch.TakeChanged(); }
    void ShowWindow() override { ++shown; }
    void HideWindow() override { ++hidden; }
    LHandler* ViewHandler() override { return &frame; }
    LHandler* Selector() override { return selector; }

    CDimDefWatch watch;
    LHandler frame;
    LHandler* selector = nullptr;
    int shown = 0;
    int hidden = 0;
};

class DimDefCtlTest : public dialogtest::HeadlessDialogTest {
protected:
    DimDefCtlTest() {
        documents = dir.File("Documents");
        mkdir(documents.c_str(), 0755);
        mkdir(dir.File("builtin").c_str(), 0755);
        dir.Write("builtin/Built In", DefText("Built In", 8, 1));
        library = std::make_unique<CDimDefLibrary>(&store, documents);
        library->SetBuiltInFolder(dir.File("builtin"));
        store.LoadAll(dir.File("builtin"), library->UserFolder());
        ctl = std::make_unique<CDimDefEditorCtl>(&root, &store, library.get());
        ctl->SetViewFactory([this](CDimDefEditorCtl&) {
            auto v = std::make_unique<FakeView>(&store);
            view = v.get();
            return std::unique_ptr<CDimDefEditorView>(std::move(v));
        });
        CNamingDialog::SetRunHook(&Answer, this);
        UDimDefMessage::SetHook(&Message, this);
    }
    ~DimDefCtlTest() override {
        ctl.reset();
        CNamingDialog::SetRunHook(nullptr, nullptr);
        UDimDefMessage::SetHook(nullptr, nullptr);
        CDimDefEditorCtl::SetUnlinkForTesting(nullptr);
    }

    // The naming dialog takes the next typed text (OK), or Cancel when none is left.
    static uint32_t Answer(CNamingDialog& dialog, void* context) {
        auto* self = static_cast<DimDefCtlTest*>(context);
        ++self->runs;
        if (self->typed.empty()) return 2;
        const std::string text = self->typed.front();
        self->typed.erase(self->typed.begin());
        dialog.Field()->SetText(LString(text.data(), uint32_t(text.size())));
        dialog.UpdateOk();
        self->okEnabled.push_back(dialog.OkButton()->IsActive());
        return 1;
    }
    static uint32_t Message(uint32_t index, bool, void* context) {
        auto* self = static_cast<DimDefCtlTest*>(context);
        self->messages.push_back(index);
        return self->confirm;
    }
    std::string UserFile(const std::string& name) const { return library->UserFolder() + "/" + name; }
    // The commands the controller enables on a bar holding its menu.
    std::vector<std::string> Enabled() {
        LPopupMenuBar bar(nullptr);
        LMenu* menu = new LMenu(&bar, SRsrcRequest("DIMDEFCTL"));
        bar.AddMenu(menu, 0);
        bar.ResetItemStates();
        LHandler::Dispatch(LMessage(LMenuBar_Ready, &bar, ctl.get()));
        std::vector<std::string> on;
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
            if (i->IsEnabled()) on.push_back(Str(i->GetFirstCommand()));
        bar.RemoveMenu(menu);
        delete menu;
        return on;
    }
    void Command(const char* id) {
        LMenuItem item(nullptr);
        item.SetCommand(id);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, &item, ctl.get()));
    }
    std::string Xmllint(const std::string& path) {
        return testsupport::CommandOutput("xmllint --noout '" + path + "' 2>&1; echo $?");
    }

    testsupport::TempDir dir;
    std::string documents;
    CDimDefStore store;
    std::unique_ptr<CDimDefLibrary> library;
    std::unique_ptr<CDimDefEditorCtl> ctl;
    FakeView* view = nullptr;
    std::vector<std::string> typed;
    std::vector<bool> okEnabled;
    std::vector<uint32_t> messages;
    uint32_t confirm = 1;
    int runs = 0;
};

TEST_F(DimDefCtlTest, TypedNamesAreCleaned) {
    const struct {
        std::string typed, name;
    } cases[] = {
        {"my/led:1", "my_led_1"},
        {"\xc3\xa9", "\xc3\xa9"},
        {"A (b)-c_d 9", "A (b)-c_d 9"},
        {"..", "__"},
        {std::string("a\0b", 3), "a_b"},
        {std::string(300, 'x'), std::string(255, 'x')},
    };
    for (const auto& c : cases) {
        typed = {c.typed};
        EXPECT_EQ(RunNamingDialog(ctl.get(), &store, library.get()), c.name);
    }
}

TEST_F(DimDefCtlTest, ATakenOrEmptyNameShowsMessageOneAndAsksAgain) {
    // A built-in name, an empty field, a file the loading refused, then a free name.
    mkdir(library->UserFolder().c_str(), 0755);
    dir.Write("Documents/ObDimInstruments/Damaged", "<YOBM_DIDF");
    typed = {"Built In", "", "Damaged", "Fresh"};
    EXPECT_EQ(RunNamingDialog(ctl.get(), &store, library.get()), "Fresh");
    EXPECT_EQ(runs, 4);
    EXPECT_EQ(messages, (std::vector<uint32_t>{1, 1, 1}));
    // OK follows the field.
    EXPECT_EQ(okEnabled, (std::vector<bool>{true, false, true, true}));
    EXPECT_EQ(Str(CNamingDialog(nullptr, nullptr).Prompt()->Text()), "Name:");
}

TEST_F(DimDefCtlTest, CancelMakesNothing) {
    Command("cDimDefNew");
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(store.Count(), 1u);
    EXPECT_FALSE(Exists(library->UserFolder()));
}

TEST_F(DimDefCtlTest, CommandsFollowTheShownDefinition) {
    EXPECT_EQ(Enabled(), (std::vector<std::string>{"cDimDefNew"}));
    ctl->Open("Built In");
    EXPECT_EQ(Enabled(), (std::vector<std::string>{"cDimDefNew", "cDimDefDup"}));
    store.AddNew("Mine", true);
    ctl->Open("Mine");
    EXPECT_EQ(Enabled(), (std::vector<std::string>{"cDimDefNew", "cDimDefDup", "cDimDefDel"}));
}

TEST_F(DimDefCtlTest, NewSavesAFileTheMenuListsAndDeleteUndoRedo) {
    LMenu* before = library->GetMenu();
    ASSERT_NE(before, nullptr);
    typed = {"my/led:1"};
    Command("cDimDefNew");
    const std::string file = UserFile("my_led_1");
    ASSERT_TRUE(Exists(file));
    EXPECT_EQ(Xmllint(file), "0\n");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->ShownDefinition(), store.Find("my_led_1"));
    EXPECT_FALSE(library->HasMenu());  // dropped by the save
    LMenu* user = library->GetMenu()->FindSubmenu(LString(CDimDefLibrary::kUserMenuName));
    ASSERT_NE(user, nullptr);
    ASSERT_EQ(user->ItemCount(), 1u);
    EXPECT_EQ(Str(user->FirstItem()->Text()), "my_led_1");
    EXPECT_TRUE(user->FirstItem()->HasCommand("cDimDefSel"));

    // Delete asks, removes the file and the definition in one step.
    Command("cDimDefDel");
    EXPECT_EQ(messages, (std::vector<uint32_t>{2}));
    EXPECT_FALSE(Exists(file));
    EXPECT_EQ(store.Find("my_led_1"), nullptr);
    EXPECT_EQ(view->ShownDefinition(), nullptr);
    ASSERT_TRUE(ctl->Undo().CanUndo());
    ASSERT_TRUE(ctl->Undo().Perform(0));
    ASSERT_NE(store.Find("my_led_1"), nullptr);
    EXPECT_TRUE(Exists(file));
    EXPECT_EQ(Xmllint(file), "0\n");
    EXPECT_EQ(view->ShownDefinition(), store.Find("my_led_1"));
    ASSERT_TRUE(ctl->Undo().Perform(1));
    EXPECT_EQ(store.Find("my_led_1"), nullptr);
    EXPECT_FALSE(Exists(file));
}

TEST_F(DimDefCtlTest, CancelledDeleteKeepsEverything) {
    typed = {"Keep"};
    Command("cDimDefNew");
    confirm = 0;
    Command("cDimDefDel");
    EXPECT_TRUE(Exists(UserFile("Keep")));
    EXPECT_NE(store.Find("Keep"), nullptr);
}

TEST_F(DimDefCtlTest, DuplicateIsAUserDefinitionWithItsOwnFile) {
    ctl->Open("Built In");
    typed = {"Copy"};
    Command("cDimDefDup");
    CRecord* copy = store.Find("Copy");
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->GetUInt(T::kDidfColumns), 8u);
    EXPECT_EQ(copy->GetByte(T::kDidfUser), 1);
    EXPECT_EQ(copy->GetByte(T::kDidfEmbedded), 0);
    EXPECT_EQ(Xmllint(UserFile("Copy")), "0\n");
    // The built-in one has no file written.
    EXPECT_FALSE(Exists(UserFile("Built In")));
    EXPECT_FALSE(ctl->Save("Built In"));
}

// Deleting an embedded definition whose name is no file name, or names a folder of definitions,
// touches nothing on disk.
TEST_F(DimDefCtlTest, DeleteNeverRemovesAFolder) {
    mkdir(library->UserFolder().c_str(), 0755);
    mkdir(UserFile("sub").c_str(), 0755);
    dir.Write("Documents/ObDimInstruments/sub/Inner", DefText("Inner", 2, 2));
    dir.Write("Documents/ObDimInstruments/Top", DefText("Top", 2, 2));
    dir.Write("Documents/other.txt", "keep");
    const std::vector<std::string> before = Tree(dir.Path());
    for (const char* name : {"", "..", "sub", "."}) {
        CRecord* def = CRecord::New(T::Didf());
        def->StringSlot(T::kDidfName) = LString(name);
        ASSERT_TRUE(store.AddEmbedded(def)) << name;
        ctl->Open(name);
        ASSERT_EQ(view->ShownDefinition(), store.Find(name));
        EXPECT_TRUE(ctl->DeleteFile(name));
        Command("cDimDefDel");
        EXPECT_EQ(store.Find(name), nullptr) << name;
        EXPECT_EQ(Tree(dir.Path()), before) << name;
    }
}

TEST_F(DimDefCtlTest, AFileThatStaysKeepsItsDefinition) {
    typed = {"Stuck"};
    Command("cDimDefNew");
    CDimDefEditorCtl::SetUnlinkForTesting([](const char*) {
        errno = EACCES;
        return -1;
    });
    Command("cDimDefDel");
    EXPECT_EQ(messages, (std::vector<uint32_t>{2, 4}));
    EXPECT_NE(store.Find("Stuck"), nullptr);
    EXPECT_TRUE(Exists(UserFile("Stuck")));
    EXPECT_EQ(view->ShownDefinition(), store.Find("Stuck"));
    EXPECT_FALSE(ctl->Undo().CanUndo());
}

// Every field of the shown definition counts as a change, and closing writes it.
TEST_F(DimDefCtlTest, CloseSavesEveryChangedField) {
    mkdir(library->UserFolder().c_str(), 0755);
    dir.Write("Documents/ObDimInstruments/Strip",
              "<?xml version=\"1.0\"?>\n<YOBM_DIDF dfid=\"Strip\" dthz=\"2\" dtvt=\"1\" comp=\"1\"/>\n");
    store.LoadFolder(library->UserFolder(), true);
    ASSERT_NE(store.Find("Strip"), nullptr);
    ctl->Open("Strip");
    CRecordRef ref = store.RefOf("Strip");
    ASSERT_TRUE(ref.SetUInt(ctl.get(), T::kDidfColumns, 4));
    ASSERT_TRUE(ref.SetByte(ctl.get(), T::kDidfComposition, 0));
    ASSERT_TRUE(CDimDefStore::SetChannelCode(ctl.get(), store.RefOf("Strip"), 0, -2));
    ctl->Open("Built In");  // closes Strip
    const std::string text = dir.Read("Documents/ObDimInstruments/Strip");
    EXPECT_NE(text.find("dthz=\"4\""), std::string::npos) << text;
    EXPECT_EQ(text.find("comp=\"1\""), std::string::npos) << text;
    EXPECT_NE(text.find("-2"), std::string::npos) << text;
    EXPECT_EQ(Xmllint(UserFile("Strip")), "0\n");

    // Each field alone, saved by the controller going away.
    ctl->Open("Strip");
    ASSERT_TRUE(store.RefOf("Strip").SetUInt(ctl.get(), T::kDidfRows, 3));
    ctl.reset();
    EXPECT_NE(dir.Read("Documents/ObDimInstruments/Strip").find("dtvt=\"3\""), std::string::npos);
}

// A definition from a sub-folder is written back where it came from, by a save, a close and the
// undo of its deletion; nothing appears at the top of the user folder.
TEST_F(DimDefCtlTest, ADefinitionFromASubFolderIsSavedInPlace) {
    mkdir(library->UserFolder().c_str(), 0755);
    mkdir(UserFile("sub").c_str(), 0755);
    dir.Write("Documents/ObDimInstruments/sub/Deep", DefText("Deep", 2, 1));
    store.LoadFolder(library->UserFolder(), true);
    ASSERT_NE(store.Find("Deep"), nullptr);
    const std::string deep = UserFile("sub/Deep");
    EXPECT_EQ(store.FileOf("Deep"), deep);

    ctl->Open("Deep");
    ASSERT_TRUE(store.RefOf("Deep").SetUInt(ctl.get(), T::kDidfColumns, 7));
    ctl->Open("Built In");  // closes Deep, saving it
    EXPECT_NE(dir.Read("Documents/ObDimInstruments/sub/Deep").find("dthz=\"7\""), std::string::npos);
    EXPECT_FALSE(Exists(UserFile("Deep")));

    ASSERT_TRUE(store.RefOf("Deep").SetUInt(ctl.get(), T::kDidfRows, 5));
    ASSERT_TRUE(ctl->Save("Deep"));
    EXPECT_NE(dir.Read("Documents/ObDimInstruments/sub/Deep").find("dtvt=\"5\""), std::string::npos);
    EXPECT_EQ(Xmllint(deep), "0\n");
    EXPECT_FALSE(Exists(UserFile("Deep")));

    ctl->Open("Deep");
    Command("cDimDefDel");
    EXPECT_FALSE(Exists(deep));
    EXPECT_TRUE(Exists(UserFile("sub")));
    ASSERT_TRUE(ctl->Undo().Perform(0));
    ASSERT_NE(store.Find("Deep"), nullptr);
    EXPECT_TRUE(Exists(deep));
    EXPECT_FALSE(Exists(UserFile("Deep")));
    EXPECT_EQ(store.FileOf("Deep"), deep);
    ASSERT_TRUE(ctl->Undo().Perform(1));
    EXPECT_FALSE(Exists(deep));
    EXPECT_FALSE(Exists(UserFile("Deep")));
}

TEST_F(DimDefCtlTest, UnchangedDefinitionsAreNotWritten) {
    typed = {"Quiet"};
    Command("cDimDefNew");
    ASSERT_EQ(unlink(UserFile("Quiet").c_str()), 0);
    ctl->Open("Built In");
    EXPECT_FALSE(Exists(UserFile("Quiet")));
}

TEST_F(DimDefCtlTest, SaveRefusesANameWithoutAPath) {
    CRecord* def = CRecord::New(T::Didf());
    def->StringSlot(T::kDidfName) = LString("a/b");
    ASSERT_TRUE(store.AddEmbedded(def));
    EXPECT_FALSE(ctl->Save("a/b"));
    EXPECT_EQ(messages, (std::vector<uint32_t>{5}));
    EXPECT_TRUE(Tree(documents).empty());
}

TEST_F(DimDefCtlTest, TheWindowsSelectorOpensAndItsCloseSaves) {
    typed = {"One"};
    Command("cDimDefNew");
    CDIMDefSel sel(nullptr, library.get());
    sel.SetUpper(ctl.get());
    view->selector = &sel;
    (void)sel.SetText(LString("Built In"));
    LHandler::Dispatch(LMessage(CDIMDefSel_Changed, &sel, ctl.get()));
    EXPECT_EQ(view->ShownDefinition(), store.Find("Built In"));
    LHandler::Dispatch(LMessage(LFrame_Close, &view->frame, ctl.get()));
    EXPECT_EQ(view->hidden, 1);
}

TEST_F(DimDefCtlTest, EmbeddedDefinitionsJoinTheUserMenu) {
    CRecord* def = CRecord::New(T::Didf());
    def->StringSlot(T::kDidfName) = LString("From Show");
    LMenu* menu = library->GetMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(store.AddEmbedded(def));
    EXPECT_FALSE(library->HasMenu());  // the store's insert dropped it
    menu = library->GetMenu();
    bool builtIn = false;
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i))
        builtIn = builtIn || (Str(i->Text()) == "Built In" && i->HasCommand("cDimDefSel"));
    EXPECT_TRUE(builtIn);
    LMenu* user = menu->FindSubmenu(LString(CDimDefLibrary::kUserMenuName));
    ASSERT_NE(user, nullptr);
    ASSERT_EQ(user->ItemCount(), 1u);
    EXPECT_EQ(Str(user->FirstItem()->Text()), "From Show");
}

// The selector's menu: its items ready, the current name checked; a pick is reported.
class PickingSel : public CDIMDefSel {
public:
    using CDIMDefSel::CDIMDefSel;
    LMenuItem* PopUp(LMenu* menu) override {
        seen = menu;
        marked.clear();
        enabled.clear();
        for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) {
            if (i->IsMarked()) marked = Str(i->Text());
            if (i->IsEnabled() && !i->Submenu()) enabled.push_back(Str(i->Text()));
            if (!pick.empty() && Str(i->Text()) == pick) return i;
        }
        return nullptr;
    }
    LMenu* seen = nullptr;
    std::string pick, marked;
    std::vector<std::string> enabled;
};

TEST_F(DimDefCtlTest, TheSelectorPopsTheMenuAndReportsAPick) {
    struct Upper : LHandler {
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(CDIMDefSel_Changed)) ++changes;
            return LMessage();
        }
        int changes = 0;
    } upper;
    PickingSel sel(nullptr, library.get());
    sel.SetUpper(&upper);
    (void)sel.SetText(LString("Built In"));
    LHandler::Dispatch(LMessage(CTextSlot_Click, &sel, &sel));
    EXPECT_EQ(sel.seen, library->GetMenu());
    EXPECT_EQ(sel.marked, "Built In");
    EXPECT_EQ(sel.enabled, (std::vector<std::string>{"Built In"}));
    EXPECT_EQ(upper.changes, 0);  // nothing picked

    typed = {"Other"};
    Command("cDimDefNew");
    sel.pick = "Built In";
    (void)sel.SetText(LString());
    LHandler::Dispatch(LMessage(CTextSlot_Click, &sel, &sel));
    EXPECT_EQ(sel.marked, "");
    EXPECT_EQ(upper.changes, 1);
    EXPECT_EQ(Str(sel.Text()), "Built In");
}

}  // namespace
