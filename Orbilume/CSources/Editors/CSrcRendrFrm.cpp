#include "Orbilume/CSources/Editors/CSrcRendrFrm.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "Common/File/CFileTypeList.h"
#include "Common/ObjC/CFileDialog.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/Fs/LFsSpec.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CInParamPane.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Engine/CUnitPortList.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

// The last file chosen by "CAppCmd_LoadFilter" anywhere in the application.
LFsSpec& LastFilterFile() {
    static LFsSpec spec;
    return spec;
}

bool RunOpenPanel(const LFsSpec& start, LFsSpec& chosen) {
    const LStrListRsrcH strings{SRsrcRequest("QCOMPOFFLT")};
    std::vector<LString> texts;
    for (uint32_t i = 0; i < strings.Count(); ++i) texts.push_back(strings.GetString(i));
    CFileTypeList types(texts.data(), uint32_t(texts.size()));
    COpenFileDialog dialog;
    dialog.SetTypes(&types);
    if (!start.IsEmpty()) dialog.SetStartSpec(start);
    dialog.Run(0);
    if (!dialog.WasConfirmed()) return false;
    chosen = dialog.GetChosenSpec();
    return !chosen.IsEmpty();
}

CSrcRendrFrm::ChooseFileFunction gChoose = RunOpenPanel;

}  // namespace

void CSrcRendrFrm::SetChooseFileFunction(ChooseFileFunction f) {
    gChoose = f ? f : RunOpenPanel;
}

CSrcRendrFrm::CSrcRendrFrm(LHandler* upper, LPane* owner, CDocModelHolder* model, uint8_t flag)
    : LFrame(upper, owner), fModel(model), fFlag(flag) {
    PLAT_DCHECK_MAIN_THREAD();
}

CSrcRendrFrm::~CSrcRendrFrm() {
    Clear();
}

void CSrcRendrFrm::Clear() {
    while (!fChildren.empty()) {
        delete fChildren.back();
        fChildren.pop_back();
    }
}

CInParamFrm* CSrcRendrFrm::NewChild(uint32_t kind) {
    auto* frame = new CInParamFrm(this, this, kind);
    frame->SetModel(fModel);
    return frame;
}

void CSrcRendrFrm::Bind(CInParamFrm* frame, uint32_t unitId, IChannelEngine* engine, bool showControls) {
    std::unique_ptr<CUnitPortList> ports = engine ? engine->PortList(unitId) : nullptr;
    CRecordRef mix = fModel ? fModel->Mix() : CRecordRef();
    frame->BuildFromPorts(ports.get(), mix.Get(), showControls);
    frame->SetUnitId(unitId);
    // Image inputs show their image unit's chain.
    const CRecord* unit = mix ? UDocModel::FindUnitById(mix.Get(), unitId) : nullptr;
    for (uint32_t i = 0; i < frame->PaneCount(); ++i) {
        CInParamPane* pane = frame->PaneAt(i);
        if (CSrcRendrFrm* chain = pane->ImageChain()) {
            const CRecord* input = unit ? UDocModel::FindUnitInput(unit, pane->Key()) : nullptr;
            chain->Rebuild(input ? input->GetSubRecord(T::kInptImage) : nullptr, engine, showControls);
        }
    }
}

void CSrcRendrFrm::Rebuild(CRecord* unit, IChannelEngine* engine, bool showControls) {
    bool changed = false;
    if (!unit) {
        changed = !fChildren.empty();
        Clear();
    } else {
        if (fChildren.empty()) {
            fChildren.push_back(NewChild(1u - fFlag));
            changed = true;
        }
        Bind(fChildren[0], unit->GetUInt(T::kUnitId), engine, showControls);
        const uint32_t filters = unit->ArrayCount(T::kUnitFilters);
        for (uint32_t k = 0; k < filters; ++k) {
            const CRecord* filter = unit->GetElement(T::kUnitFilters, k);
            const uint32_t id = filter ? filter->GetUInt(T::kUnitId) : 0;
            size_t found = 0;
            for (size_t j = k + 1; j < fChildren.size(); ++j)
                if (fChildren[j]->UnitId() == id) {
                    found = j;
                    break;
                }
            if (found) {
                for (size_t j = found; j-- > k + 1;) {
                    delete fChildren[j];
                    fChildren.erase(fChildren.begin() + long(j));
                    changed = true;
                }
            } else {
                fChildren.insert(fChildren.begin() + long(k + 1), NewChild(2));
                changed = true;
            }
            Bind(fChildren[k + 1], id, engine, showControls);
        }
        while (fChildren.size() > filters + 1) {
            delete fChildren.back();
            fChildren.pop_back();
            changed = true;
        }
    }
    if (changed) Stack();
    Send(LPane_Defer);
}

CInParamFrm* CSrcRendrFrm::FrameOf(uint32_t unitId) const {
    for (CInParamFrm* f : fChildren)
        if (f->UnitId() == unitId) return f;
    return nullptr;
}

CInParamPane* CSrcRendrFrm::FindPane(uint32_t unitId, const LString& key) const {
    for (CInParamFrm* f : fChildren)
        if (CInParamPane* p = f->FindPane(unitId, key)) return p;
    return nullptr;
}

bool CSrcRendrFrm::ChainPositionAt(const CLPoint& local, uint32_t& unitId, uint32_t& index) const {
    if (fChildren.empty()) return false;
    unitId = fChildren[0]->UnitId();
    index = 0;
    for (size_t i = 1; i < fChildren.size(); ++i) {
        const CLRect r = fChildren[i]->Bounds();
        if ((r.top + r.bottom) / 2 < local.y) ++index;
    }
    return true;
}

bool CSrcRendrFrm::InputAt(const CLPoint& local, uint32_t& unitId, uint32_t& index) const {
    for (CInParamFrm* f : fChildren) {
        const CLRect r = f->Bounds();
        if (local.y < r.top || local.y >= r.bottom) continue;
        for (uint32_t i = 0; i < f->PaneCount(); ++i) {
            const CLRect p = f->PaneAt(i)->Bounds();
            if (local.y >= r.top + p.top && local.y < r.top + p.bottom) {
                unitId = f->UnitId();
                index = i;
                return true;
            }
        }
    }
    return false;
}

int32_t CSrcRendrFrm::DropMarkY(uint32_t index) const {
    if (fChildren.empty()) return 0;
    const size_t after = std::min<size_t>(index, fChildren.size() - 1);
    return fChildren[after]->Bounds().bottom;
}

void CSrcRendrFrm::SendFilter(const LString& path) {
    fLastPath = path;
    Send(CSrcRendrFrm_Filter);
}

bool CSrcRendrFrm::MenuCommand(const LMenuItem* item) {
    if (!item) return false;
    if (item->HasCommand("CAppCmd_LoadFilter")) {
        LFsSpec chosen;
        if (!gChoose(LastFilterFile(), chosen)) return true;
        LastFilterFile() = chosen;
        SendFilter(fModel ? fModel->MakeStoredPath(chosen) : chosen.GetText());
        return true;
    }
    if (item->HasCommand("CAppCmd_AddCompo")) {
        const CCompoRepository* repository = CCompoRepository::Global();
        const LString id = repository ? repository->LookupEntry(item->Text()) : LString();
        if (!id.IsEmpty()) SendFilter(id);
        return true;
    }
    return false;
}

void CSrcRendrFrm::Stack() {
    LPanePort port(this);
    LDrawContext ctx(port);
    const int32_t width = Bounds().Width();
    int32_t y = kGap;
    for (CInParamFrm* f : fChildren) {
        const int32_t h = f->PreferredHeight(ctx, 0);
        f->SetBounds({0, y, width, y + h});
        y += h + kGap;
    }
}

int32_t CSrcRendrFrm::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    int32_t sum = 0;
    for (CInParamFrm* f : fChildren) sum += f->PreferredHeight(ctx, kind) + kGap;
    return sum;
}

void CSrcRendrFrm::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    Stack();
}

LMessage CSrcRendrFrm::Handle(const LMessage& msg) {
    if (msg.Is(LPane_Deferred) && msg.target == this) {
        LPanePort port(this);
    LDrawContext ctx(port);
        CLRect r = Bounds();
        const int32_t h = PreferredHeight(ctx, 0);
        if (r.Height() == h) {
            Stack();
        } else {
            r.bottom = r.top + h;
            SetBounds(r);
            Send(LPane_Pref);
        }
        return LMessage();
    }
    if (msg.Is(LPane_Pref) && msg.sender != this) {
        Send(LPane_Defer);
        return LMessage();
    }
    return LFrame::Handle(msg);
}
