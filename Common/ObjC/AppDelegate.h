#pragma once

#include "Platform/AppKit/Application.h"

class CMacMainLoop;

// The application's delegate: runs the bootstrap and teardown, and turns launching, opening,
// activation, update cycles, quit requests and Apple events into messages to the application root
// (sender the main loop unless said otherwise). One instance, made by main.
class AppDelegate : public plat::ApplicationDelegate {
public:
    using Hook = void (*)();

    // create runs when launching begins, destroy when the application terminates.
    AppDelegate(Hook create, Hook destroy);
    ~AppDelegate() override;

    static AppDelegate* Get();

    CMacMainLoop* Main() const { return mMain; }
    void SetMain(CMacMainLoop* loop) { mMain = loop; }
    bool Opened() const { return mOpened; }

    void WillFinishLaunching() override;
    void DidFinishLaunching() override;
    bool OpenFile(const char* path) override;
    bool OpenUntitledFile() override;
    TerminateReply ShouldTerminate() override;
    void WillTerminate() override;
    void DidBecomeActive() override;
    void DidResignActive() override;
    void WillUpdate() override;
    void HandleAppleEvent(const plat::Object* event, plat::Object* reply) override;

    // Readies the framework menu bar for the focus target ("LMenuBar_Ready").
    void MenuBarTrack();

    // Menu actions without a target: "menuitemchoosen:" sends "LMenuItem_Selected" from the
    // framework item to the focus target (nothing for items with a submenu); "terminate:" does
    // nothing here, the send-action notice below quits.
    bool RespondsToAction(const char* action) const override;
    void PerformAction(const char* action, plat::MenuItem* sender) override;
    // "terminate:" is enabled only while an enabled framework item carries "LStdCmd_Quit".
    int ValidateMenuItem(const plat::MenuItem* item) override;
    // Observer of plat::kMenuDidSendActionNotification: an item whose action is "terminate:" asks the
    // application to terminate.
    static void MenuAction(const char* name, const void* item, void* self);
    // Observer of plat::kMenuDidBeginTrackingNotification of the main menu: MenuBarTrack.
    static void MenuBarTracking(const char* name, const void* menu, void* self);
    // While a pop-up menu runs, its items' actions are answered by the pop-up, not sent here.
    void BeginPopup() { ++mPopups; }
    void EndPopup() { --mPopups; }

private:
    Hook mCreate;
    Hook mDestroy;
    CMacMainLoop* mMain = nullptr;
    bool mOpened = false;
    int mPopups = 0;
};
