#include "Orbilume/CSources/Editors/CTextEditWin.h"

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Platform/Foundation/Check.h"

namespace {

constexpr const char* kName = "CTEXTEDITWIN";
constexpr uint32_t kPanelKind = 3;
CTextEditWin* gInstance = nullptr;

}  // namespace

CTextEditWin::CTextEditWin()
    : LFrame(nullptr, nullptr,
             LFrameSpec(LFrameSpec::kFloating, CMacWindowKindH(new CMacWinKind(kPanelKind)))) {
    PLAT_DCHECK_MAIN_THREAD();
    fEdit = new LEditText(this, LEditText::kMultiLine, 0);
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
}

CTextEditWin::~CTextEditWin() {
    if (gInstance == this) gInstance = nullptr;
}

void CTextEditWin::SetInstance(CTextEditWin* window) {
    PLAT_DCHECK_MAIN_THREAD();
    gInstance = window;
}

CTextEditWin* CTextEditWin::Instance() {
    return gInstance;
}

CTextEditWin* CTextEditWin::Attach(LHandler* client) {
    PLAT_DCHECK_MAIN_THREAD();
    if (gInstance) gInstance->fClient = client;
    return gInstance;
}

void CTextEditWin::Detach(LHandler* client) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!gInstance || !client || gInstance->fClient != client) return;
    gInstance->fClient = nullptr;
    gInstance->HideWindow();
}

CTextEditWin* CTextEditWin::GetIfAttached(LHandler* client) {
    return gInstance && client && gInstance->fClient == client ? gInstance : nullptr;
}

LMessage CTextEditWin::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == fEdit) {
        if (fClient) Dispatch(LMessage(CTextEditWin_Change, this, fClient));
        return LMessage();
    }
    return LFrame::Handle(msg);
}
