#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CMainLoopUI.h"

// What the main loop and the application root need of windows, the mouse and the keyboard, answered
// from the window manager, the main menu bar and the LMouse and LKeyboard records. Installed by the window
// manager. Main thread only.
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

    // Over the main menu bar (LMenuBar::Main).
    LHandler* MenuBar() override;
    void ResetMenuCommands() override;
    void EnableCommand(const char* command, const char* itemText) override;
    LHandler* FindEnabledItem(const char* command) override;
    LHandler* FindEnabledKeyItem() override;
    bool ItemHasCommand(LHandler* item, const char* command) override;

    void TakeFocus(LHandler* pane) override;

    // The application's About box and view preferences, through the functions it installs (none:
    // nothing happens, and no window is made).
    struct AppWindows {
        void (*runAboutBox)(LHandler* root);
        LHandler* (*makeViewPrefs)(LHandler* root);
        void (*showWindow)(LHandler* window);
    };
    static void SetAppWindows(const AppWindows* windows);

    void RunAboutBox(LHandler* root) override;
    LHandler* MakeViewPrefsWindow(LHandler* root) override;
    void ShowWindow(LHandler* window) override;
};
