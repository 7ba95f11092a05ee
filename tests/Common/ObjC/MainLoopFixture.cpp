#include "tests/Common/ObjC/MainLoopFixture.h"

#include <algorithm>

#include "Common/ObjC/CExtCmd.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Platform/AppKit/Application.h"

LMessage RecordingRoot::Handle(const LMessage& msg) {
    ids.push_back(msg.id.Text());
    senders.push_back(msg.sender);
    if (msg.Is(CMainLoopBase_Quit) && vetoes > 0) {
        --vetoes;
        return LMessage();
    }
    if (msg.Is(CExtCmd_Open)) {
        auto* cmd = static_cast<const CExtCmd*>(msg.sender);
        LFsSpec spec;
        if (cmd->FileCount() == 0) files.push_back("-");
        for (uint32_t i = 0; cmd->GetFile(i, &spec); ++i)
            files.push_back(CMacFileU::PathFromLFsSpec(spec).CStr());
    }
    if (msg.Is(LMenuBar_Ready))
        for (const std::string& c : enable) static_cast<LMenuBar*>(msg.sender)->EnableCommand(c.c_str());
    if (msg.Is("CExtCmd_AE") && takeAppleEvents) return LMessage();
    if (msg.Is(CMainLoopBase_Deferred) && onDeferred) onDeferred();
    return LHandler::Handle(msg);
}

int RecordingRoot::Count(const char* id) const {
    return int(std::count(ids.begin(), ids.end(), std::string(id)));
}

MainLoopFixture::MainLoopFixture() {
    plat::Application::Shared()->SetDelegate(&delegate);
    plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
    loop = new CMacMainLoop(&root);
}

MainLoopFixture::~MainLoopFixture() {
    delete loop;
    plat::Application::Shared()->SetDelegate(nullptr);
    plat::Application::Shared()->DiscardEvents(plat::kAnyEventMask);
}
