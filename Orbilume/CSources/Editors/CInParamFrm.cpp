#include "Orbilume/CSources/Editors/CInParamFrm.h"

#include <algorithm>
#include <cmath>

#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPaint.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LRectFrame.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Editors/CFlatBtn.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CInParamImage.h"
#include "Orbilume/CSources/Editors/CInParamPanes.h"
#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr uint32_t kNestedKind = 3;
constexpr uint8_t kNestedGrey = 191;

// A decimal number of a description; non-finite and unreadable ones read 0.
float ReadBound(const PropertyTreeObject& entry, const char* name) {
    const double v = CUnitParam::ReadNumber(entry.GetMemberValue(name));
    return std::isfinite(v) ? float(std::clamp(v, -3.4e38, 3.4e38)) : 0.0f;
}

uint32_t ReadCount(const PropertyTreeObject& entry, const char* name, int32_t low, int32_t high,
                   int32_t absent) {
    const LString text = entry.GetMemberValue(name);
    const int32_t n = text.IsEmpty() ? absent : CUnitParam::ReadInt(text);
    return uint32_t(std::clamp(n, low, high));
}

constexpr const char* kBypassKey = "_obunit_Bypass";

bool Same(const CInParamPane* pane, uint32_t unitId, const LString& key) {
    return pane->UnitId() == unitId && pane->Key() == key;
}

}  // namespace

CInParamFrm::CInParamFrm(LHandler* upper, LPane* owner, uint32_t kind) : LFrame(upper, owner), fKind(kind) {
    PLAT_DCHECK_MAIN_THREAD();
}

CInParamFrm::~CInParamFrm() {
    Clear();
}

void CInParamFrm::Clear() {
    while (!fPanes.empty()) {
        delete fPanes.back();
        fPanes.pop_back();
    }
}

CInParamPane* CInParamFrm::MakePane(const PropertyTreeObject& entry, CRecord* unit, bool showEditors) {
    const LString key = entry.GetMemberValue("id");
    const LString type = entry.GetMemberValue("type");
    if (type == LString("check")) return new CInParamBool(this, this, fUnitId, key);
    if (type == LString("selector")) {
        std::vector<LString> items;
        if (const PropertyTreeMember* list = entry.FindMember("items"))
            for (uint32_t i = 0; i < list->ObjectCount(); ++i)
                items.push_back(list->ObjectAt(i)->GetMemberValue("text"));
        return new CInParamIndex(this, this, fUnitId, key, std::move(items));
    }
    if (type == LString("numeric")) {
        float low = ReadBound(entry, "min"), high = ReadBound(entry, "max");
        if (low > high) std::swap(low, high);
        const uint32_t decimals = ReadCount(entry, "prec", 0, int32_t(kMaxDecimals), 0);
        auto* pane = new CInParamNumber(this, this, fUnitId, key, low, high, decimals);
        pane->SetValueText(entry.GetMemberValue("ini"));
        return pane;
    }
    if (type == LString("edittext"))
        return new CInParamString(this, this, fUnitId, key,
                                  ReadCount(entry, "lines", 1, int32_t(kMaxLines), 1));
    if (type == LString("mode")) return new CInParamMode(this, this, fUnitId, key, entry, unit, showEditors);
    return nullptr;
}

void CInParamFrm::BuildFromControls(const PropertyTreeObject* desc, CRecord* unit, bool showEditors) {
    PLAT_DCHECK_MAIN_THREAD();
    const PropertyTreeMember* controls = desc ? desc->FindMember("controls") : nullptr;
    if (!controls) {
        Stack();
        return;
    }
    Clear();
    fUnitId = 0;
    fBuilding = true;
    for (uint32_t i = 0; i < controls->ObjectCount(); ++i) {
        const PropertyTreeObject& entry = *controls->ObjectAt(i);
        CInParamPane* pane = MakePane(entry, unit, showEditors);
        if (!pane) continue;
        pane->SetShowControls(showEditors);
        pane->SetLabel(entry.GetMemberValue("name"));
        CRecord* input =
            unit ? UDocUnits::FindOrAddUnitInput(unit, nullptr, pane->Key(), pane->GetValueText()) : nullptr;
        if (input) pane->SetValueText(input->GetString(T::kInptValue));
        fPanes.push_back(pane);
        if (showEditors && input && pane->ControlEditor())
            pane->ControlEditor()->Apply(input->GetSubRecord(T::kInptCtl));
    }
    fBuilding = false;
    Stack();
}

CInParamPane* CInParamFrm::FindPane(uint32_t unitId, const LString& key) {
    for (CInParamPane* pane : fPanes)
        if (CInParamPane* found = pane->FindPane(unitId, key)) return found;
    return nullptr;
}

CInParamFrm* CInParamFrm::FindFrame(uint32_t unitId) {
    if (fUnitId == unitId) return this;
    for (CInParamPane* pane : fPanes) {
        if (CInParamFrm* nested = pane->NestedFrame(false))
            if (CInParamFrm* found = nested->FindFrame(unitId)) return found;
        if (const CSrcRendrFrm* chain = pane->ImageChain())
            for (uint32_t i = 0; i < chain->ChildCount(); ++i)
                if (CInParamFrm* found = chain->ChildAt(i)->FindFrame(unitId)) return found;
    }
    return nullptr;
}

void CInParamFrm::SetFocusedLook(bool on) {
    if (fFocusedLook == on) return;
    fFocusedLook = on;
    Invalidate(CRgn(Bounds()), CRgn(Bounds()));
}

void CInParamFrm::Stack() {
    LPanePort port(this);
    LDrawContext ctx(port);
    // Panes are placed in the frame's own coordinates.
    const int32_t width = Bounds().Width();
    int32_t y = 0;
    for (CInParamPane* pane : fPanes) {
        const int32_t h = pane->PreferredHeight(ctx, 0);
        pane->SetBounds({0, y, width, y + h});
        y += h;
    }
}

void CInParamFrm::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    Stack();
}

int32_t CInParamFrm::PreferredWidth(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return LFrame::PreferredWidth(ctx, kind);
    int32_t w = 0;
    for (CInParamPane* pane : fPanes) w = std::max(w, pane->PreferredWidth(ctx, 0));
    return w;
}

int32_t CInParamFrm::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind != 0) return LFrame::PreferredHeight(ctx, kind);
    int32_t h = 0;
    for (CInParamPane* pane : fPanes) h += pane->PreferredHeight(ctx, 0);
    return h;
}

LMessage CInParamFrm::Handle(const LMessage& msg) {
    if (msg.Is(CInCtlPrmNote_Note) && msg.sender) {
        auto* note = static_cast<CInCtlPrmNote*>(msg.sender);
        if (note->unitId == 0) note->unitId = fUnitId;
        return Upper() ? msg.Retarget(Upper()) : LMessage();
    }
    if (msg.Is(LPane_Pref) && msg.sender != this) {
        if (fBuilding) return LMessage();
        Stack();
        return LMessage(LPane_Pref, this, Upper());
    }
    if (msg.Is(LMouse_Click) && (fKind == 2 || fKind == kNestedKind))
        return LMessage(CInParamFrm_Click, this, Upper());
    return LFrame::Handle(msg);
}

void CInParamFrm::Draw(LDrawContext& ctx) {
    const CLRect b = Bounds();
    if (fFocusedLook)
        LPaint(CRgn(b), LColor::System(3)).Fill(ctx);
    else if (fKind == kNestedKind)
        LPaint(CRgn(b), LColor(LRGB(kNestedGrey, kNestedGrey, kNestedGrey), 0)).Fill(ctx);
    if (fKind == 2 || fKind == kNestedKind) {
        LRoundRectStroke stroke;
        stroke.rect = b;
        stroke.colour = LColor::Grey(1);
        stroke.cornerWidth = 14;
        stroke.cornerHeight = 14;
        stroke.Draw(ctx);
    } else if (fKind == 0) {
        LPaint(CRgn(CLRect{b.left, b.bottom - 1, b.right, b.bottom}), LColor::Grey(1)).Fill(ctx);
    }
    LFrame::Draw(ctx);
}

uint32_t CInParamFrm::PortDecimals(const CUnitPort& port) {
    if (port.decimals >= 0) return std::min(uint32_t(port.decimals), kMaxDecimals);
    if (!std::isfinite(port.min) || !std::isfinite(port.max)) return 3;
    return std::min<uint32_t>(CUnitParam::DecimalsForRange(port.min, port.max), 3);
}

CInParamPane* CInParamFrm::MakePortPane(const CUnitPort& port) {
    switch (port.kind) {
        case 1:
            return new CInParamBool(this, this, fUnitId, port.key);
        case 2:
            if (!port.menuItems.empty())
                return new CInParamIndex(this, this, fUnitId, port.key, port.menuItems);
            return new CInParamNumber(this, this, fUnitId, port.key, port.min, port.max, 0);
        case 3:
            if (port.displayMode == 1)
                return new CInParamTime(this, this, fUnitId, port.key, port.min, port.max,
                                        PortDecimals(port));
            return new CInParamNumber(this, this, fUnitId, port.key, port.min, port.max, PortDecimals(port));
        case 4:
            if (port.key == LString("obspecial_FontName"))
                return new CInParamFont(this, this, fUnitId, port.key);
            if (!port.stringSelection.IsEmpty())
                return new CInParamStrSel(this, this, fUnitId, port.key, port.lines);
            return new CInParamString(this, this, fUnitId, port.key, port.lines);
        case 5:
            return new CInParamColor(this, this, fUnitId, port.key);
        case 6:
            if (fModel) return new CInParamImage(this, this, fUnitId, port.key, fModel);
            return new CInParamDummy(this, this, fUnitId, port.key);
        case 7:
            return port.visible ? new CInParamDummy(this, this, fUnitId, port.key) : nullptr;
        default:
            return nullptr;
    }
}

void CInParamFrm::RemovePanes(size_t from, size_t to) {
    while (to > from) {
        --to;
        delete fPanes[to];
        fPanes.erase(fPanes.begin() + std::ptrdiff_t(to));
    }
}

void CInParamFrm::BuildFromPorts(const CUnitPortList* ports, CRecord* mix, bool showEditors) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!ports) {
        Clear();
        fUnitId = 0;
        Stack();
        return;
    }
    fUnitId = ports->unitId;
    fBuilding = true;
    // The unit record, looked up once for every input.
    CRecord* unit = showEditors && mix ? UDocModel::FindUnitById(mix, fUnitId) : nullptr;
    auto applyCtrl = [&](CInParamPane* pane) {
        if (!unit || !pane->ControlEditor()) return;
        CRecord* input = UDocModel::FindUnitInput(unit, pane->Key());
        pane->ControlEditor()->Apply(input ? input->GetSubRecord(T::kInptCtl) : nullptr);
    };
    // 1. The bypass pane first, reused when it is already there.
    const LString bypassKey(kBypassKey);
    if (fPanes.empty() || !Same(fPanes[0], fUnitId, bypassKey)) {
        Clear();
        fPanes.push_back(new CInParamBypass(this, this, fUnitId, bypassKey));
    }
    auto* bypass = static_cast<CInParamBypass*>(fPanes[0]);
    bypass->SetLabel(ports->unitName);
    bypass->Label()->ChangeState(ports->unitName.IsEmpty() ? LPane::kHide : LPane::kShow);
    bypass->Button()->ChangeState(fKind <= 1 ? LPane::kHide : LPane::kShow);
    bypass->SetShowControls(showEditors);
    size_t used = 1;
    for (const CUnitPort& port : ports->ports) {
        // 2. Ports without a display name are not shown; the bypass value still arrives.
        if (port.name.IsEmpty()) {
            if (port.key == bypassKey) bypass->SetValueText(port.value);
            continue;
        }
        // 3. A later pane of this reference is kept and those between go; else a new one.
        CInParamPane* pane = nullptr;
        for (size_t i = used; i < fPanes.size() && !pane; ++i) {
            if (!Same(fPanes[i], fUnitId, port.key)) continue;
            RemovePanes(used, i);
            pane = fPanes[used];
        }
        if (!pane) {
            pane = MakePortPane(port);
            if (!pane) continue;
            fPanes.insert(fPanes.begin() + std::ptrdiff_t(used), pane);
            pane->SetExpandable(port.kind >= 1 && port.kind <= 5);
        }
        ++used;
        // 4. Label, editors, value.
        pane->SetLabel(port.name == LString("_") ? LString() : port.name);
        pane->SetShowControls(showEditors);
        if (!pane->HasFocusedControl()) pane->SetValueText(port.value);  // typing goes on
        // 5. The animator driving the input, in a nested frame; the pane is disabled while it runs.
        if (port.nested) {
            pane->NestedFrame(true)->BuildFromPorts(port.nested.get(), mix, showEditors);
            pane->SetDisabled(!port.nested->bypassed);
        } else {
            pane->DropNestedFrame();
        }
        // 6. The input's control assignment.
        applyCtrl(pane);
    }
    RemovePanes(used, fPanes.size());
    fBuilding = false;
    Stack();
}
