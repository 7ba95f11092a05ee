#include "Orbilume/CSources/Editors/CLayerFrm.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/URsrc.h"
#include "Lib3/LSources/CoreUI/CSeparatorPane.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/String/CCLocaleScope.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

bool gPreviews = true;
LMenu* gLayerMenu = nullptr;

constexpr const char* kHeaderLayout = "LAYERFRM";

void UseLayout(LFrame* frame, const char* name) {
    LLayoutParts parts;
    if (LoadLayout(SRsrcRequest(name), parts)) frame->SetLayout(parts, LFrame::kDescriptionMode);
}

}  // namespace

void CLayerFrm::SetPreviewsEnabled(bool on) {
    gPreviews = on;
}

bool CLayerFrm::PreviewsEnabled() {
    return gPreviews;
}

LMenu* CLayerFrm::LayerMenu() {
    if (!gLayerMenu) {
        gLayerMenu = new LMenu(nullptr, SRsrcRequest("LAYERPOP"));
        static const char* const kRows[] = {"GraphicAnimation", "GraphicTransition", "FilterDistortion",
                                            "FilterStylize",    "FilterUtility",     "FilterOther",
                                            "ScreenSaver",      "RSSVisualizer",     "MusicVisualizer",
                                            "Other"};
        const LStrListRsrcH titles{SRsrcRequest(CChannelList::kCellName)};
        for (uint32_t i = 0; i < 10; ++i) {
            auto* item = new LMenuItem(gLayerMenu);
            item->SetTexts(titles.GetString(4 + i));
            gLayerMenu->AppendItem(item);
            if (LMenu* sub = gLayerMenu->MakeSubmenu(gLayerMenu->ItemCount() - 1)) sub->SetName(LString(kRows[i]));
        }
        if (const CCompoRepository* repository = CCompoRepository::Global()) repository->AddCategoryRows(gLayerMenu);
    }
    return gLayerMenu;
}

void CLayerFrm::ReadyLayerMenu(LMenu* menu) {
    if (!menu) return;
    menu->ResetItemStates();
    (void)menu->EnableCommand("CAppCmd_LoadFilter");
    (void)menu->EnableCommand("CAppCmd_AddCompo");
}

int32_t CLayerFrm::FaderValue(const LString& text, bool present) {
    double blend = 1.0;
    if (present) {
        CCLocaleScope c;
        blend = std::strtod(text.CStr(), nullptr);
    }
    if (std::isnan(blend)) blend = 1.0;
    if (blend < 0) blend = 0;
    if (blend > 1) blend = 1;
    return static_cast<int32_t>(blend * 256.0);
}

CLayerFrm::CLayerFrm(CChannelList* list) : CTabFocusPane(list, list), fList(list) {
    PLAT_DCHECK_MAIN_THREAD();
    (void)LayerMenu();
    if (gPreviews) {
        if (plat::Window* window = list->GetWindow()) fSample = new CObSampleDC(list, window);
    }
    // Panes in layout order. The cell: 1 header, 2 chain area, 3 and 4 the separators.
    fInner = new LFrame(this, this);
    fChainArea = new LFrame(this, this);
    fHeaderLine = new CSeparatorPane(this);
    fEdgeLine = new CSeparatorPane(this);
    // The header: 1 number, 2 mix pop-up, 3 fader, 4 name, 5 preview (last: it may be missing).
    fNumber = new LTextPane(fInner, 0);
    (void)fNumber->SetTextStyle(LTextStyleH(2));
    fNumber->SetAlignment(1);
    fMix = new LPopupList(fInner, LStdCtlSpec());
    const LStrListRsrcH strings{SRsrcRequest(CChannelList::kCellName)};
    for (uint32_t i = 0; i < 4; ++i) fMix->AddItem(strings.GetString(i));
    fFader = new CSlider(fInner, LStdCtlSpec());
    fFader->SetRange(0, 256);
    fName = new LEditText(fInner, 0, 0);
    fName->SetTextStyle(LTextStyleH(2));
    if (fSample) fPreview = new COpenGLView(fInner, &fSample->context());
    fChain = new CSrcRendrFrm(list, fChainArea, list->Model(), 1);
    UseLayout(fInner, kHeaderLayout);
    UseLayout(this, CChannelList::kCellName);
}

CLayerFrm::~CLayerFrm() {
    // The drawing target goes first: the list cancels its captures on "CObSampleDC_Destruct".
    delete fPreview;
    fPreview = nullptr;
    delete fSample;
    fSample = nullptr;
}

COpenGLContext_Cca* CLayerFrm::PreviewTarget() const {
    return fSample ? &fSample->context() : nullptr;
}

void CLayerFrm::SetFaderSwitch(bool on) {
    fFader->SetSwitchMode(on);
}

bool CLayerFrm::Fill(uint32_t index) {
    fIndex = index;
    return fList->FillCell(this, index);
}

void CLayerFrm::SetChainOffset(int32_t offset) {
    if (offset == fOffset) return;
    fOffset = offset;
    PlaceChain();
}

void CLayerFrm::SetNameShown(bool shown) {
    if (((fName->State() & kShown) != 0) == shown) return;
    fName->ChangeState(shown ? kShow : kHide);
    if (Bounds().IsEmpty()) return;  // laid out when placed
    // The header's height follows the name row: the header first, then the cell around it.
    fInner->UpdateLayout();
    UpdateLayout();
    PlaceChain();
}

int32_t CLayerFrm::HeaderHeight() const {
    return fChainArea->Bounds().top;
}

CLPoint CLayerFrm::ToChain(const CLPoint& p) const {
    const CLRect area = fChainArea->Bounds();
    const CLRect chain = fChain->Bounds();
    return {p.x - area.left - chain.left, p.y - area.top - chain.top};
}

void CLayerFrm::PlaceChain() {
    LPanePort port(fChain);
    LDrawContext ctx(port);
    const int32_t ch = fChain->PreferredHeight(ctx, 0);
    fChain->SetBounds({0, -fOffset, fChainArea->Bounds().Width(), -fOffset + ch});
}

void CLayerFrm::BoundsChanged(const CLRect& old) {
    CTabFocusPane::BoundsChanged(old);  // the layout places the header and the chain area
    PlaceChain();
}

void CLayerFrm::DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) {
    CTabFocusPane::DescriptionPrefer(ctx, desc);
    desc.DefineVariable(LString("ctlshown"), fCtlShown);
    desc.DefineVariable(LString("listh"), fList->Bounds().Height());
}

LMessage CLayerFrm::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click) && fPreview) {
        const CLPoint at = fInner->MouseInOwner();
        const CLRect r = fPreview->Bounds();
        if (at.x >= r.left && at.x < r.right && at.y >= r.top && at.y < r.bottom) {
            LMenu* menu = LayerMenu();
            ReadyLayerMenu(menu);
            LHandlerWatch self(this);
            LMenuItem* chosen = LMenu::PopupContextMenu(this, menu, false);
            if (!self.IsGone() && chosen) (void)fChain->MenuCommand(chosen);
            return LMessage();
        }
    }
    return CTabFocusPane::Handle(msg);
}
