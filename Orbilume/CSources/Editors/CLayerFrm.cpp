#include "Orbilume/CSources/Editors/CLayerFrm.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "Common/ObjC/LEditText.h"
#include "Common/OpenGL/CObSampleDC.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/CSlider.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
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

// Layout of the header, top down.
constexpr int32_t kNumberH = 18;
constexpr int32_t kPreviewH = 72;
constexpr int32_t kRowH = 20;
constexpr int32_t kFaderW = 20;

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
    fInner = new LFrame(this, this);
    fNumber = new LTextPane(fInner, 0);
    (void)fNumber->SetTextStyle(LTextStyleH(2));
    fNumber->SetAlignment(1);
    if (fSample) fPreview = new COpenGLView(fInner, &fSample->context());
    fMix = new LPopupList(fInner, LStdCtlSpec());
    const LStrListRsrcH strings{SRsrcRequest(CChannelList::kCellName)};
    for (uint32_t i = 0; i < 4; ++i) fMix->AddItem(strings.GetString(i));
    fFader = new CSlider(fInner, LStdCtlSpec());
    fFader->SetRange(0, 256);
    fName = new LEditText(fInner, 0, 0);
    fName->SetTextStyle(LTextStyleH(2));
    fChainArea = new LFrame(this, this);
    fChain = new CSrcRendrFrm(list, fChainArea, list->Model(), 1);
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
    Place();
}

CLPoint CLayerFrm::ToChain(const CLPoint& p) const {
    const CLRect area = fChainArea->Bounds();
    const CLRect chain = fChain->Bounds();
    return {p.x - area.left - chain.left, p.y - area.top - chain.top};
}

void CLayerFrm::Place() {
    const CLRect b = Bounds();
    const int32_t w = b.Width(), h = b.Height();
    fInner->SetBounds({0, 0, w, kHeaderHeight});
    int32_t y = 0;
    fNumber->SetBounds({0, y, w, y + kNumberH});
    y += kNumberH;
    if (fPreview) fPreview->SetBounds({2, y, w - kFaderW - 4, y + kPreviewH});
    fFader->SetBounds({w - kFaderW, y, w, y + kPreviewH + kRowH});
    y += kPreviewH;
    fMix->SetBounds({2, y, w - kFaderW - 4, y + kRowH});
    y += kRowH + 2;
    fName->SetBounds({2, y, w - 2, y + kRowH});
    fName->ChangeState(fShowName ? kShow : kHide);
    fChainArea->SetBounds({0, kHeaderHeight, w, std::max(kHeaderHeight, h)});
    LPanePort port(fChain);
    LDrawContext ctx(port);
    const int32_t ch = fChain->PreferredHeight(ctx, 0);
    fChain->SetBounds({0, -fOffset, w, -fOffset + ch});
}

void CLayerFrm::BoundsChanged(const CLRect& old) {
    CTabFocusPane::BoundsChanged(old);
    Place();
}

int32_t CLayerFrm::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return CTabFocusPane::PreferredWidth(ctx, kind);
    return fCtlShown ? kWidthWithControls : kWidth;
}

int32_t CLayerFrm::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return CTabFocusPane::PreferredHeight(ctx, kind);
    return std::max(kHeaderHeight, fList->Bounds().Height());
}

LMessage CLayerFrm::Handle(const LMessage& msg) {
    if (msg.Is(LMouse_Click) && fPreview) {
        const CLPoint at = fInner->MouseInOwner();
        const CLRect r = fPreview->Bounds();
        if (at.x >= r.left && at.x < r.right && at.y >= r.top && at.y < r.bottom) {
            LMenu* menu = LayerMenu();
            menu->ResetItemStates();
            menu->EnableAllItems();
            LHandlerWatch self(this);
            LMenuItem* chosen = LMenu::PopupContextMenu(this, menu, false);
            if (!self.IsGone() && chosen) (void)fChain->MenuCommand(chosen);
            return LMessage();
        }
    }
    return CTabFocusPane::Handle(msg);
}
