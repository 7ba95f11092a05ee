#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CMainLoopUI.h"

// What the main loop and the application root need of windows, the mouse and the keyboard, answered
// from the window manager and the LMouse and LKeyboard records. The menu operations answer "no menu
// bar" until the menus arrive. Installed by the window manager. Main thread only.
class CMacMainLoopUI : public CMainLoopUI {
public:
    LHandler* FrontModalOwner() override;
    bool HasKeyWindow() override;
    LHandler* KeyWindowTarget() override;

    LHandler* MouseRecord() override;
    LHandler* CaptureHolder() override;
    void ReleaseCapture() override;
    void SetCaptureHolder(LHandler* pane) override;
    void SetArrowCursor() override;

    LHandler* KeyboardRecord() override;
    uint32_t KeyChar() override;
    uint32_t KeyModifiers() override;
    void ClearKeyHandled() override;

    LHandler* MenuBar() override { return nullptr; }
    void ResetMenuCommands() override {}
    void EnableCommand(const char*, const char*) override {}
    LHandler* FindEnabledItem(const char*) override { return nullptr; }
    LHandler* FindEnabledKeyItem() override { return nullptr; }
    bool ItemHasCommand(LHandler*, const char*) override { return false; }

    void TakeFocus(LHandler* pane) override;

    void RunAboutBox(LHandler*) override {}
    LHandler* MakeViewPrefsWindow(LHandler*) override { return nullptr; }
    void ShowWindow(LHandler*) override {}
};
