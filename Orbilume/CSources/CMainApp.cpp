#include "Orbilume/CSources/CMainApp.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "Common/ObjC/CExtCmd.h"
#include "Common/ObjC/CMacMainLoop.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Engine/CMediaLoader.h"
#include "Platform/AppKit/Application.h"
#include "Platform/Foundation/FileIO.h"

namespace {

CMainLoopBase* MakeLoop(CAppBase* root) {
    return new CMacMainLoop(root);
}

}  // namespace

CMainApp::CMainApp() : CAppBase(&MakeLoop), mMediaLoader(std::make_unique<CMediaLoader>()) {
    const char* log = std::getenv("ORBILUME_TEST_LOG");
    if (log && log[0]) mLog = open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

CMainApp::~CMainApp() {
    Log("CMainApp_Destructing", nullptr);
    if (mLog >= 0) close(mLog);
}

void CMainApp::Log(const char* what, const char* detail) {
    if (mLog < 0) return;
    std::string line = what;
    if (detail) {
        line += ' ';
        line += detail;
    }
    line += '\n';
    // The log is best effort: a failed write loses the line.
    (void)plat::WriteAllToFd(mLog, line.data(), line.size());
}

LMessage CMainApp::Handle(const LMessage& msg) {
    if (msg.Is(CExtCmd_Open)) {
        // The sender is the external-command record the delegate built.
        auto* cmd = static_cast<const CExtCmd*>(msg.sender);
        if (cmd->FileCount() == 0) Log("CExtCmd_Open", nullptr);
        LFsSpec spec;
        for (uint32_t i = 0; cmd->GetFile(i, &spec); ++i)
            Log("CExtCmd_Open", CMacFileU::PathFromLFsSpec(spec).CStr());
        return LMessage();
    }
    if (msg.Is(CMainLoopBase_Quit)) Log("CMainLoopBase_Quit", nullptr);
    // Of the application's commands only Quit exists yet (the system Quit item follows it).
    if (msg.Is(LMenuBar_Ready) && msg.sender)
        static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Quit");
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand("LStdCmd_Quit")) {
        plat::Application::Shared()->Terminate();
        return LMessage();
    }
    return CAppBase::Handle(msg);
}
