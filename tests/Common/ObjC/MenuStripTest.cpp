#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacMenuBridge.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/MenuStrip.h"
#include "Platform/AppKit/MenuTracker.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Common/ObjC/MainLoopFixture.h"
#include "tests/support/MenuPixels.h"
#include "tests/support/NestedLoopGuard.h"
#include "tests/support/PinnedFonts.h"

namespace {

const bool kFontsPinned = testsupport::PinFontsToDejaVu();

using plat::EventType;
using plat::headless::HeadlessBackend;

constexpr const char* kDown = "\xEF\x9C\x81";

// A pane that enables some commands, records the choices that reach it and pops up a context menu.
struct Pane : LPane {
    Pane(LFrame* frame, const CLRect& bounds) : LPane(frame, frame) { SetBounds(bounds); }
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(LMenuBar_Ready)) {
            for (const std::string& c : enable) static_cast<LMenuBar*>(msg.sender)->EnableCommand(c.c_str());
            return LPane::Handle(msg);
        }
        if (msg.Is(LMenuItem_Selected)) {
            const std::string command = static_cast<LMenuItem*>(msg.sender)->GetFirstCommand().CStr();
            if (command == "LStdCmd_Close") return LPane::Handle(msg);
            chosen.push_back(command);
            return LMessage();
        }
        if (msg.Is(LMouse_Context) && context) {
            LMenuItem** answer = contextAnswer;
            LMenuItem* item = LMenu::PopupContextMenu(this, context, send);
            *answer = item;  // this pane may be gone now
            return LMessage();
        }
        return LPane::Handle(msg);
    }
    std::vector<std::string> enable;
    std::vector<std::string> chosen;
    LMenu* context = nullptr;
    bool send = false;
    LMenuItem* contextResult = nullptr;
    LMenuItem** contextAnswer = &contextResult;
};

// The application's compiled resources as the global chain, and a main loop that loads "APP".
class MenuStripTest : public MainLoopFixture {
protected:
    MenuStripTest() : fRef(plat::OpenResFile(ORBILUME_RESOURCE_FILE)) {
        plat::Application::Shared()->Activate();
        if (fRef > 0) {
            fProvider = std::make_unique<ResourceFileProvider>(fRef);
            fChain.Add(fProvider.get());
            ResourceProviderChain::SetGlobal(&fChain);
        }
        delete loop;
        MMainMenu::InstallDefault();
        loop = new CMacMainLoop(&root);
        frame = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), nullptr));
        frame->SetWindowFrame({100, 100, 500, 300});
        frame->ShowWindow();
        LHandler::Dispatch(LMessage(LWindow_Place, frame->Window(), frame));
        pane = new Pane(frame, {10, 10, 200, 100});
        pane->ChangeState(LPane::kRingInside);
        pane->TakeFocus(0, true);
        Native()->MakeKeyAndOrderFront();
    }
    ~MenuStripTest() override {
        delete frame;
        delete loop;
        loop = new CMacMainLoop(&root);
        plat::Application::Shared()->SetMainMenu(nullptr);
        if (fRef > 0) {
            ResourceProviderChain::SetGlobal(nullptr);
            fProvider.reset();
            plat::CloseResFile(fRef);
        }
    }
    plat::Window* Native() { return frame->Window()->NativeWindow(); }
    void Key(const char* chars, uint32_t mods = 0) {
        screens.Backend().Inject(HeadlessBackend::KeyEvent(EventType::kKeyDown, Native(), chars, 0, mods));
    }
    void Drain() {
        plat::Application* app = plat::Application::Shared();
        plat::Event e;
        while (app->NextEvent(plat::kAnyEventMask, 0, plat::kRunLoopDefaultMode, true, &e)) app->SendEvent(e);
    }

    plat::ResFileRef fRef;
    std::unique_ptr<ResourceFileProvider> fProvider;
    ResourceProviderChain fChain;
    LMouse mouse;
    LKeyboard keyboard;
    LFrame* frame = nullptr;
    Pane* pane = nullptr;
};

TEST_F(MenuStripTest, TheApplicationBarLoadsWithTheBundleName) {
    ASSERT_GT(fRef, 0);
    LMenuBar* bar = loop->MenuBar();
    ASSERT_EQ(LMenuBar::Main(), bar);
    ASSERT_EQ(bar->MenuCount(), 5u);
    plat::Menu* main = plat::Application::Shared()->MainMenu();
    ASSERT_EQ(main->NumberOfItems(), 5);
    const std::string name = CMacMenuBridge::ApplicationName().CStr();
    plat::Menu* app = main->ItemAtIndex(0)->Submenu();
    EXPECT_EQ(app->Title(), name);
    // About, separator, Preferences, then the system's own Quit (the framework's stays out).
    EXPECT_EQ(app->ItemAtIndex(0)->Title(), "About " + name);
    EXPECT_EQ(app->ItemAtIndex(app->NumberOfItems() - 1)->Action(), plat::kTerminateAction);
    EXPECT_EQ(main->ItemAtIndex(2)->Submenu()->Title(), "Edit");
}

TEST_F(MenuStripTest, TheStripOpensEditAndTheKeysChoose) {
    ASSERT_GT(fRef, 0);
    plat::MenuStrip* strip = Native()->Strip();
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->TitleCount(), 5);
    for (int32_t i = 0; i < 5; ++i) {
        const plat::Rect t = strip->TitleRect(i);
        EXPECT_LT(testsupport::DarkestIn(strip->Image(), {t.x, 0, t.width, plat::kMenuStripHeight}), 100)
            << i;
    }
    pane->enable = {"LStdCmd_Redo", "LStdCmd_Copy"};
    const plat::Rect edit = strip->TitleRect(2);
    const plat::Rect content = Native()->ContentRect();
    testsupport::NestedLoopGuard guard;
    plat::Rect popup;
    int undoInk = 0, redoInk = 255;
    testsupport::RunLater probe(0.02, [&] {
        plat::Window* w = plat::MenuTracker::OpenWindow(0);
        popup = w->ContentRect();
        plat::MenuLayout layout(w ? CMacMenuBridge::NativeMenuOf(loop->MenuBar()->FindMenu(LString("EDIT")))
                                  : nullptr);
        undoInk = testsupport::DarkestIn(w->BackingStore(), layout.Rows()[0]);
        redoInk = testsupport::DarkestIn(w->BackingStore(), layout.Rows()[1]);
        Key(kDown);
        Key("\r");
    });
    screens.Backend().Inject(
        HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(), {edit.x + 5, edit.y + 5}));
    Drain();
    ASSERT_TRUE(probe.Ran());
    EXPECT_FALSE(guard.Fired());
    EXPECT_DOUBLE_EQ(popup.x, content.x + edit.x);
    EXPECT_DOUBLE_EQ(popup.y, content.y);
    EXPECT_GT(undoInk, redoInk + 60);
    EXPECT_EQ(pane->chosen, std::vector<std::string>{"LStdCmd_Redo"});
}

TEST_F(MenuStripTest, KeyEquivalentsReachTheFocusedPane) {
    ASSERT_GT(fRef, 0);
    pane->enable = {"LStdCmd_Undo"};
    Key("z", plat::kCommandKeyMask);
    Key("z", plat::kCommandKeyMask | plat::kShiftKeyMask);  // Redo is not enabled
    Drain();
    EXPECT_EQ(pane->chosen, std::vector<std::string>{"LStdCmd_Undo"});
}

TEST_F(MenuStripTest, FramesCloseByMenuAndLendTheirMenuGroup) {
    ASSERT_GT(fRef, 0);
    LMenuBar* bar = loop->MenuBar();
    delegate.MenuBarTrack();
    EXPECT_TRUE(bar->FindCommand("LStdCmd_Close"));  // a closable window enables Close
    // The system Quit follows the framework's Quit.
    plat::Menu* app = plat::Application::Shared()->MainMenu()->ItemAtIndex(0)->Submenu();
    plat::MenuItem* quit = app->ItemAtIndex(app->NumberOfItems() - 1);
    EXPECT_FALSE(quit->IsEnabled());
    root.enable = {"LStdCmd_Quit"};
    delegate.MenuBarTrack();
    EXPECT_TRUE(quit->IsEnabled());

    // A frame with a menu group: its menus join the main bar before "WINDOW" while it is active.
    auto* group = new LOwningMenuBar(nullptr);
    auto* tools = new LMenu(group, LString("Tools"));
    tools->SetName(LString("TOOLS"));
    group->AppendMenu(tools);
    auto* other = new LFrame(&root, nullptr, LFrameSpec(1, CMacWindowKindH(new CMacWinKind(6)), group));
    other->SetWindowFrame({600, 100, 900, 300});
    other->ShowWindow();
    other->Window()->NativeWindow()->MakeKeyAndOrderFront();
    plat::Menu* main = plat::Application::Shared()->MainMenu();
    auto titles = [&] {
        std::string s;
        for (int32_t i = 1; i < main->NumberOfItems(); ++i)
            s += main->ItemAtIndex(i)->Submenu()->Title() + " ";
        return s;
    };
    EXPECT_EQ(titles(), "File Edit Tools Window Help ");
    Native()->MakeKeyAndOrderFront();
    EXPECT_EQ(titles(), "File Edit Window Help ");
    other->Window()->NativeWindow()->MakeKeyAndOrderFront();
    EXPECT_EQ(titles(), "File Edit Tools Window Help ");
    delete other;
    EXPECT_EQ(titles(), "File Edit Window Help ");

    // Command-W closes the key window through its frame.
    Native()->MakeKeyAndOrderFront();
    Key("w", plat::kCommandKeyMask);
    Drain();
    EXPECT_FALSE(Native()->IsVisible());
}

TEST_F(MenuStripTest, ContextMenusAnswerAndSendOnlyWithSend) {
    LMenu menu(nullptr, LString("Context"));
    for (const char* c : {"Alpha", "Beta"}) {
        auto* item = new LMenuItem(&menu);
        item->SetCommand(c);
        item->SetTexts(LString(c));
        menu.AppendItem(item);
    }
    auto* holder = new LMenuItem(&menu);
    holder->SetTexts(LString("More"));
    menu.AppendItem(holder);
    menu.MakeSubmenu(2);
    pane->context = &menu;
    pane->enable = {"Beta"};
    testsupport::NestedLoopGuard guard;
    for (bool send : {false, true}) {
        pane->send = send;
        pane->chosen.clear();
        pane->contextResult = nullptr;
        testsupport::RunLater probe(0.02, [&] {
            Key(kDown);
            Key("\r");
        });
        if (!send) {
            // Without send the caller readies the menu itself.
            menu.ItemAt(0)->SetEnabled(true);
        }
        screens.Backend().Inject(HeadlessBackend::MouseEvent(EventType::kRightMouseDown, Native(), {50, 50}));
        Drain();
        ASSERT_TRUE(probe.Ran());
        ASSERT_NE(pane->contextResult, nullptr) << send;
        EXPECT_STREQ(pane->contextResult->GetFirstCommand().CStr(), send ? "Beta" : "Alpha");
        EXPECT_EQ(pane->chosen, send ? std::vector<std::string>{"Beta"} : std::vector<std::string>{});
    }
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(LMenuBar::Main(), loop->MenuBar());
}

// A timer of the nested loop destroys the owner pane: the choice is answered, nothing is sent to it.
TEST_F(MenuStripTest, AContextMenuWhoseOwnerDiesSendsNothing) {
    LMenu menu(nullptr, LString("Context"));
    auto* item = new LMenuItem(&menu);
    item->SetCommand("Alpha");
    item->SetTexts(LString("Alpha"));
    menu.AppendItem(item);
    pane->context = &menu;
    pane->send = true;
    pane->enable = {"Alpha"};
    LMenuItem* answer = nullptr;
    pane->contextAnswer = &answer;
    testsupport::NestedLoopGuard guard;
    testsupport::RunLater probe(0.02, [&] {
        delete pane;
        pane = nullptr;
        Key(kDown);
        Key("\r");
    });
    screens.Backend().Inject(HeadlessBackend::MouseEvent(EventType::kRightMouseDown, Native(), {50, 50}));
    Drain();
    ASSERT_TRUE(probe.Ran());
    EXPECT_EQ(answer, item);
    EXPECT_FALSE(guard.Fired());
}

}  // namespace
