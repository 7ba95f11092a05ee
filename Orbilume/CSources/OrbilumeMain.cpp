#include "Common/ObjC/AppDelegate.h"
#include "Common/ObjC/MMainMenu.h"
#include "Lib3/LSources/CoreUI/CSeparatorPane.h"
#include "Lib3/LSources/Mac/SystemInfo.h"
#include "Orbilume/CSources/AppGlobals.h"
#include "Orbilume/CSources/Editors/CAppWindows.h"
#include "Orbilume/CSources/Editors/CConsoleWin.h"
#include "Orbilume/CSources/Editors/CDocMonitorWin.h"
#include "Platform/AppKit/Application.h"

// Hands over to the application loop; files on the command line are the launch's open requests.
int main(int argc, char** argv) {
    ProbeSystemInfo(gSystemInfo);
    // Bit 0 of the first flag word asks for thick separator lines.
    CSeparatorPane::SetThickLines(gSystemInfo.flagWords[0] & 1);
    // Each document shows its mix in a monitor window.
    CDocMonitorWin::Install();
    // The application's own windows: start-up, video devices, view preferences, About.
    CAppWindows::Install();
    // Its console and sequence window.
    CDocConsoleWin::Install();
    AppDelegate delegate(&CreateAppGlobals, &DeleteAppGlobals);
    plat::Application* app = plat::Application::Shared();
    app->SetDelegate(&delegate);
    MMainMenu::InstallDefault();
    int status = app->Run(argc, argv);
    app->SetDelegate(nullptr);
    app->SetMainMenu(nullptr);
    return status;
}
