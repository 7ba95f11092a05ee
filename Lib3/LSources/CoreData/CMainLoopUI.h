#pragma once

#include <cstdint>

class LHandler;

// What the main-loop base and the application root need of the user-interface layer (windows, menus,
// mouse and keyboard records). The window manager installs one with CMainLoopUI::Install; without one
// the loop behaves as if there were no windows, menus or capture.
class CMainLoopUI {
public:
    enum : uint32_t { kControlKey = 1, kOptionKey = 2, kCommandKey = 4 };

    virtual ~CMainLoopUI() = default;

    static void Install(CMainLoopUI* ui);
    static CMainLoopUI* Get();

    // Windows: the upper handler of the frontmost window of kind 3 (modal), or none.
    virtual LHandler* FrontModalOwner() = 0;
    virtual bool HasKeyWindow() = 0;
    // The key window's focused pane (or the pane it names as focusable), else the window itself;
    // null when the key window is not a framework window.
    virtual LHandler* KeyWindowTarget() = 0;

    // Mouse: the state record (sender of every mouse message) and the capture.
    virtual LHandler* MouseRecord() = 0;
    virtual LHandler* CaptureHolder() = 0;
    // Sends "LMouse_Release" to the holder and clears the capture.
    virtual void ReleaseCapture() = 0;
    // Sets or clears (null) the holder without any message.
    virtual void SetCaptureHolder(LHandler* pane) = 0;
    virtual void SetArrowCursor() = 0;

    // Keyboard: the state record and the key being handled.
    virtual LHandler* KeyboardRecord() = 0;
    virtual uint32_t KeyChar() = 0;
    virtual uint32_t KeyModifiers() = 0;
    virtual void ClearKeyHandled() = 0;

    // Menus. The menu bar is null when there is none.
    virtual LHandler* MenuBar() = 0;
    virtual void ResetMenuCommands() = 0;
    // Enables the items carrying the command; a non-null text replaces the item text.
    virtual void EnableCommand(const char* command, const char* itemText) = 0;
    // The enabled item carrying the command, or null.
    virtual LHandler* FindEnabledItem(const char* command) = 0;
    // The enabled item whose key equivalent is the current key, or null.
    virtual LHandler* FindEnabledKeyItem() = 0;
    virtual bool ItemHasCommand(LHandler* item, const char* command) = 0;

    // Panes: state change "take focus".
    virtual void TakeFocus(LHandler* pane) = 0;

    // The About box, run modally to its result.
    virtual void RunAboutBox(LHandler* root) = 0;
    // Makes the view-preferences window (owned by the caller, deleted with the root) and shows it.
    virtual LHandler* MakeViewPrefsWindow(LHandler* root) = 0;
    virtual void ShowWindow(LHandler* window) = 0;
};
