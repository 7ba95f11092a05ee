#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "Common/ObjC/CDropDownCmdBtn.h"
#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Lib3/LSources/CoreData/ResourceProviderChain.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Platform/AppKit/Application.h"
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

class CDropDownCmdBtnTest : public MainLoopFixture {
protected:
    CDropDownCmdBtnTest() : fRef(plat::OpenResFile(ORBILUME_RESOURCE_FILE)) {
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
        button = new CDropDownCmdBtn(frame);
        button->SetBounds({20, 20, 140, 40});
        frame->Window()->NativeWindow()->MakeKeyAndOrderFront();
        for (const char* c : {"Alpha", "Beta"}) {
            auto* item = new LMenuItem(&menu);
            item->SetCommand(c);
            item->SetTexts(LString(c));
            menu.AppendItem(item);
        }
        root.enable = {"Alpha", "Beta"};
        root.ids.clear();
        root.senders.clear();
    }
    ~CDropDownCmdBtnTest() override {
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
    void Key(const char* chars) {
        screens.Backend().Inject(HeadlessBackend::KeyEvent(EventType::kKeyDown, Native(), chars, 0));
    }
    void Click() {
        screens.Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, Native(), {60, 30}));
        screens.Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, Native(), {60, 30}));
    }
    void Drain() {
        plat::Application* app = plat::Application::Shared();
        plat::Event e;
        while (app->NextEvent(plat::kAnyEventMask, 0, plat::kRunLoopDefaultMode, true, &e)) app->SendEvent(e);
    }
    LHandler* SelectedSender() const {
        for (size_t i = 0; i < root.ids.size(); ++i)
            if (root.ids[i] == "LMenuItem_Selected") return root.senders[i];
        return nullptr;
    }

    plat::ResFileRef fRef;
    std::unique_ptr<ResourceFileProvider> fProvider;
    ResourceProviderChain fChain;
    LMouse mouse;
    LKeyboard keyboard;
    LFrame* frame = nullptr;
    CDropDownCmdBtn* button = nullptr;
    LMenu menu{nullptr, LString("Actions")};
};

TEST_F(CDropDownCmdBtnTest, TitleAndSizes) {
    ASSERT_TRUE(kFontsPinned);
    ASSERT_GT(fRef, 0);
    button->SetMenu(&menu);
    EXPECT_STREQ(button->Title().CStr(), "Actions");
    LPanePort port(button);
    LDrawContext ctx(port);
    EXPECT_EQ(button->PreferredWidth(ctx, -11), 8);
    const int32_t m = button->PreferredWidth(ctx, -13);
    EXPECT_GT(m, 0);
    // Title, the 7-pixel arrow and 16.
    const int32_t w = button->PreferredWidth(ctx, 0);
    EXPECT_GT(w, 7 + 16);
    button->SetTitle(LString("Actions and more"));
    EXPECT_GT(button->PreferredWidth(ctx, 0), w);
    const int32_t h = button->PreferredHeight(ctx, 0);
    EXPECT_TRUE(h == 17 || h == 20 || h >= 16 + 6) << h;
    const int32_t baseline = button->PreferredHeight(ctx, -10);
    EXPECT_EQ(baseline, button->PreferredHeight(ctx, -12));
    EXPECT_GT(baseline, 0);
    EXPECT_LT(baseline, button->Bounds().Height());
}

TEST_F(CDropDownCmdBtnTest, AChoiceIsSentADismissalIsNot) {
    ASSERT_GT(fRef, 0);
    button->SetMenu(&menu);
    testsupport::NestedLoopGuard guard;
    {
        bool pressedMeanwhile = false;
        plat::Rect menuFrame;
        testsupport::RunLater probe(0.02, [&] {
            pressedMeanwhile = button->IsPressed();
            plat::Application* app = plat::Application::Shared();
            for (int64_t n : app->WindowNumbers()) {
                plat::Window* w = app->WindowWithNumber(n);
                if (w && w->Level() == plat::kPopUpMenuWindowLevel && w->IsVisible()) menuFrame = w->Frame();
            }
            Key("\x1b");
        });
        Click();
        Drain();
        ASSERT_TRUE(probe.Ran());
        EXPECT_TRUE(pressedMeanwhile);
        // The menu opened below the button: its top-left at the button's bottom-left on screen.
        const plat::Point below = Native()->ConvertToScreen({20, 40});
        EXPECT_DOUBLE_EQ(menuFrame.x, below.x);
        EXPECT_DOUBLE_EQ(menuFrame.y, below.y);
        EXPECT_FALSE(button->IsPressed());
        EXPECT_EQ(SelectedSender(), nullptr);
    }
    {
        testsupport::RunLater probe(0.02, [&] {
            Key(kDown);
            Key(kDown);
            Key("\r");
        });
        Click();
        Drain();
        ASSERT_TRUE(probe.Ran());
        EXPECT_EQ(SelectedSender(), menu.ItemAt(1));
        EXPECT_EQ(std::count(root.ids.begin(), root.ids.end(), "LMenuItem_Selected"), 1);
    }
    EXPECT_FALSE(guard.Fired());
}

TEST_F(CDropDownCmdBtnTest, WithoutAMenuAClickDoesNothing) {
    Click();
    Drain();
    EXPECT_EQ(SelectedSender(), nullptr);
    EXPECT_FALSE(button->IsPressed());
}

// A timer of the menu's nested loop destroys the button: it touches nothing of itself afterwards
// (under ASan) and sends nothing.
TEST_F(CDropDownCmdBtnTest, AButtonDestroyedDuringItsMenuSendsNothing) {
    ASSERT_GT(fRef, 0);
    button->SetMenu(&menu);
    testsupport::NestedLoopGuard guard;
    testsupport::RunLater probe(0.02, [&] {
        delete button;
        button = nullptr;
        Key(kDown);
        Key("\r");
    });
    Click();
    Drain();
    ASSERT_TRUE(probe.Ran());
    EXPECT_EQ(SelectedSender(), nullptr);
    EXPECT_FALSE(guard.Fired());
}

}  // namespace
