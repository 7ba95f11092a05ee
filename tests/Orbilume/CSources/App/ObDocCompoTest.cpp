// The document's composition commands: "CAppCmd_LoadCompo" through the open panel and
// "CAppCmd_AddCompo" from the repository's menu items, each inserting a layer at the console's
// insert position and selecting it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/App/DocDialogs.h"
#include "Orbilume/CSources/App/DocWindows.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Lib3/LSources/CoreData/CUndoQueue.h"
#include "tests/Orbilume/CSources/App/AppTestSupport.h"

namespace {

using apptest::AppFixture;
using T = CDocModelTypes;

// A console that answers an insert position and keeps the channels it was asked to select.
class InsertConsole : public IConsoleWin {
public:
    explicit InsertConsole(LHandler* upper) : handler(upper) {}
    LHandler* Handler() override { return &handler; }
    void Show() override {}
    void Hide() override {}
    bool IsVisible() const override { return true; }
    void Select() override {}
    CLRect Frame() const override { return CLRect{0, 0, 400, 300}; }
    void SetFrame(const CLRect&) override {}
    void SetTitle(const LString&) override {}
    float Divider(uint32_t) const override { return 0.5f; }
    void SetDivider(uint32_t, float) override {}
    uint32_t InsertIndex() const override { return 1; }
    void SelectChannel(uint32_t index) override { selected.push_back(index); }

    LHandler handler;
    std::vector<uint32_t> selected;
};

InsertConsole* gConsole = nullptr;
std::string gChosen;
std::string gStartFolder;

bool ChooseCompo(const LFsSpec& folder, LFsSpec& chosen) {
    gStartFolder = folder.IsEmpty() ? "" : CMacFileU::PathFromLFsSpec(folder).CStr();
    if (gChosen.empty()) return false;
    chosen = CMacFileU::LFsSpecFromPath(gChosen.c_str());
    return true;
}

class ObDocCompoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SDocWindowFactories f;
        f.console = [](const SDocWindowArgs& args) -> std::unique_ptr<IConsoleWin> {
            auto c = std::make_unique<InsertConsole>(args.upper);
            gConsole = c.get();
            return c;
        };
        SetDocWindowFactories(&f);
        SetCompoPathChooser(&ChooseCompo);
        app.Create();
        gMainApp->OpenRequest({CMacFileU::LFsSpecFromPath(app.ShowPath().c_str())});
        ASSERT_EQ(gMainApp->DocumentCount(), 1u);
        doc = gMainApp->DocumentAt(0);
        ASSERT_NE(gConsole, nullptr);
    }
    void TearDown() override {
        app.Delete();
        SetCompoPathChooser(nullptr);
        SetDocWindowFactories(nullptr);
        gConsole = nullptr;
        gChosen.clear();
    }
    uint32_t Layers() { return doc->Model().Mix()->ArrayCount(T::kMixsLayers); }
    std::string LayerSpec(uint32_t n) {
        CRecord* layer = doc->Model().Mix()->GetElement(T::kMixsLayers, n);
        CRecord* unit = layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr;
        return unit ? unit->GetString(T::kUnitSpec).CStr() : "<none>";
    }
    // Sends the command from a menu item titled `text`, as the "EDIT" menu's entries are.
    void Command(const char* command, const char* text = "") {
        LMenuBar bar(nullptr);
        auto* menu = new LMenu(&bar, LString("Test"));
        bar.AppendMenu(menu);
        auto* item = new LMenuItem(menu);
        item->SetCommand(command);
        item->SetText(LString(text));
        menu->AppendItem(item);
        LHandler::Dispatch(LMessage(LMenuItem_Selected, item, doc));
    }

    AppFixture app;
    CObDoc* doc = nullptr;
};

TEST_F(ObDocCompoTest, LoadCompoInsertsTheChosenFileAtTheInsertPositionAndRemembersItsFolder) {
    const uint32_t before = Layers();
    ASSERT_GE(before, 1u);
    // Cancelled: nothing changes.
    Command("CAppCmd_LoadCompo");
    EXPECT_EQ(Layers(), before);
    EXPECT_TRUE(gConsole->selected.empty());

    gChosen = app.shows.File("tint.qtz");
    Command("CAppCmd_LoadCompo");
    ASSERT_EQ(Layers(), before + 1);
    EXPECT_EQ(LayerSpec(1), "tint.qtz") << "stored beside the show";
    EXPECT_EQ(gConsole->selected, std::vector<uint32_t>{1});
    EXPECT_EQ(std::string(CMacFileU::PathFromLFsSpec(gLastCompoFolder).CStr()), gChosen);
    // The next panel starts there.
    gChosen.clear();
    Command("CAppCmd_LoadCompo");
    EXPECT_EQ(gStartFolder, app.shows.File("tint.qtz"));
    // One undo step takes it away.
    ASSERT_TRUE(doc->Undo().Perform(0));
    EXPECT_EQ(Layers(), before);
}

TEST_F(ObDocCompoTest, AddCompoInsertsTheRepositorysEntryOfTheItemsTitle) {
    const CCompoRepository* repository = CCompoRepository::Global();
    ASSERT_NE(repository, nullptr);
    const CompoRepoEntry* entry = nullptr;
    for (uint32_t c = 0; c < CCompoRepository::kCategoryCount && !entry; ++c)
        if (!repository->List(c).empty()) entry = &repository->List(c).front();
    if (!entry) GTEST_SKIP() << "the bundle's SharedSupport holds no composition";
    const uint32_t before = Layers();
    Command("CAppCmd_AddCompo", "No Such Composition");
    EXPECT_EQ(Layers(), before);
    Command("CAppCmd_AddCompo", entry->name.CStr());
    ASSERT_EQ(Layers(), before + 1);
    EXPECT_EQ(LayerSpec(1), std::string(repository->LookupEntry(entry->name).CStr()));
    EXPECT_EQ(gConsole->selected, std::vector<uint32_t>{1});
}

LMenuItem* FindItem(LMenu* menu, const char* command) {
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) {
        if (i->HasCommand(command)) return i;
        if (i->Submenu())
            if (LMenuItem* found = FindItem(i->Submenu(), command)) return found;
    }
    return nullptr;
}

// Enabled or not.
LMenuItem* FindItem(const LMenuBar& bar, const char* command) {
    for (LMenu* m = bar.FirstMenu(); m; m = bar.NextMenu(m))
        if (LMenuItem* found = FindItem(m, command)) return found;
    return nullptr;
}

// Every command of the application's inputs, windows and compositions is reachable from both menu
// bars; the Edit menu's compositions are filled once, when the document makes the bar ready.
TEST_F(ObDocCompoTest, MenuBarsHoldTheCommandsAndTheEditMenuListsTheCompositions) {
    const char* const kCommands[] = {"cDmxIn",   "cSoundIn",          "cFormSvr", "cMidiIn",
                                     "cSMPTEIn", "CAppCmd_LoadCompo", "cArtIn",   "cSAcnIn",
                                     "cOscIn",   "cDeadZone",         "cSceneSelSend"};
    for (const char* barName : {"APP", "APPW"}) {
        SCOPED_TRACE(barName);
        LMenuBar bar(nullptr, SRsrcRequest(barName));
        for (const char* c : kCommands) EXPECT_NE(FindItem(bar, c), nullptr) << c;
        LMenu* add = bar.FindMenu(LString("ADDCOMPO"));
        ASSERT_NE(add, nullptr);
        EXPECT_EQ(add->ItemCount(), 0u);
    }
    LMenuBar bar(nullptr, SRsrcRequest("APPW"));
    (void)doc->Handle(LMessage(LMenuBar_Ready, &bar, doc));
    LMenu* add = bar.FindMenu(LString("ADDCOMPO"));
    ASSERT_EQ(add->ItemCount(), 10u);
    EXPECT_NE(add->FindSubmenu(LString("GraphicAnimation")), nullptr);
    // Made ready again: still one row per category.
    (void)doc->Handle(LMessage(LMenuBar_Ready, &bar, doc));
    EXPECT_EQ(add->ItemCount(), 10u);
    LMenuItem* entry = FindItem(bar, "CAppCmd_AddCompo");
    if (!CCompoRepository::Global()->List(CCompoRepository::kGraphicAnimation).empty() ||
        !CCompoRepository::Global()->List(CCompoRepository::kImageFilter).empty()) {
        ASSERT_NE(entry, nullptr);
        EXPECT_TRUE(entry->IsEnabled());
    }
    ASSERT_NE(bar.FindCommand("CAppCmd_LoadCompo"), nullptr);
    EXPECT_TRUE(bar.FindCommand("CAppCmd_LoadCompo")->IsEnabled());
}

}  // namespace
