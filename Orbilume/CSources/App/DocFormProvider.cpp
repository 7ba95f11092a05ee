#include "Orbilume/CSources/App/DocFormProvider.h"

#include <mutex>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/App/CObDoc.h"
#include "Orbilume/CSources/CMainApp.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Editors/OutputAdjustWindow.h"
#include "Orbilume/CSources/Engine/COutAdjustControls.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/Engine/CUnit.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"

namespace {

using T = CDocModelTypes;

constexpr int kOscControl = 6;  // "osc" among the input-control types
constexpr uint32_t kMaxDepth = 64;

std::string Number(float v) {
    std::string s = std::to_string(v);
    while (s.size() > 1 && s.back() == '0') s.pop_back();
    if (!s.empty() && s.back() == '.') s.pop_back();
    return s;
}

void AddEntry(CMixEngine& engine, uint32_t unitId, CRecord* input, std::vector<FormEntry>& out) {
    CRecord* ctl = input->GetSubRecord(T::kInptCtl);
    if (!ctl || UCtlAttr::GetInCtlType(CRecordRef(&ctl)) != kOscControl) return;
    FormEntry e;
    e.address = UCtlAttr::GetInCtlOscAdr(CRecordRef(&ctl)).CStr();
    if (e.address.empty()) return;
    const LString& key = input->GetString(T::kInptKey);
    e.label = key.CStr();
    e.value = input->GetString(T::kInptValue).CStr();
    std::lock_guard<std::recursive_mutex> lock(engine.FrameLock());
    CUnit* unit = engine.FindUnit(unitId);
    const CUnitParam* param = unit ? unit->Param(key) : nullptr;
    if (param) {
        if (!param->name.IsEmpty()) e.label = param->name.CStr();
        switch (param->kind) {
            case CUnitParam::kBoolean:
            case CUnitParam::kIndex:
                e.kind = 0;
                for (const LString& item : param->menuLabels) e.items.emplace_back(item.CStr());
                break;
            case CUnitParam::kString:
                e.kind = 2;
                break;
            case CUnitParam::kImage:
                e.kind = 3;
                break;
            default:
                e.kind = 1;
                break;
        }
        if (e.kind <= 1 && param->max > param->min) {
            e.minimum = Number(param->min);
            e.maximum = Number(param->max);
        }
    }
    out.push_back(std::move(e));
}

void Walk(CMixEngine& engine, CRecord* unit, uint32_t depth, std::vector<FormEntry>& out) {
    if (!unit || depth > kMaxDepth) return;
    const uint32_t id = unit->GetUInt(T::kUnitId);
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i)
        if (CRecord* input = unit->GetElement(T::kUnitInputs, i)) AddEntry(engine, id, input, out);
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (!input) continue;
        Walk(engine, input->GetSubRecord(T::kInptImage), depth + 1, out);
        Walk(engine, input->GetSubRecord(T::kInptAnim), depth + 1, out);
    }
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitFilters); ++i)
        Walk(engine, unit->GetElement(T::kUnitFilters, i), depth + 1, out);
}

}  // namespace

CObDoc* DocFormProvider::Front() const {
    CObDoc* doc = nullptr;
    return fApp && fApp->OnPanelDocument(0, &doc) ? doc : nullptr;
}

bool DocFormProvider::HasDocument() const {
    return Front() != nullptr;
}

int DocFormProvider::OpenDocument(const std::string& path) {
    if (!fApp || path.empty()) return kRefused;
    const LFsSpec spec = CMacFileU::LFsSpecFromPath(path.c_str());
    return fApp->OnPanelDocument(1, const_cast<LFsSpec*>(&spec));
}

void DocFormProvider::DocumentEntries(CObDoc& doc, std::vector<FormEntry>& out) {
    CRecord* mix = doc.Model().Mix().Get();
    for (uint32_t l = 0; mix && l < mix->ArrayCount(T::kMixsLayers); ++l) {
        CRecord* layer = mix->GetElement(T::kMixsLayers, l);
        Walk(doc.Engine(), layer ? layer->GetSubRecord(T::kLayrUnit) : nullptr, 0, out);
    }
}

void DocFormProvider::FormEntries(std::vector<FormEntry>& out) const {
    if (CObDoc* doc = Front()) DocumentEntries(*doc, out);
    if (!fApp) return;
    // The output adjustment's OSC-driven controls, asked of its window.
    OutputAdjustOscRequest request;
    LMessage ask(OutputAdjustWindow_OscControls, &request, nullptr);
    (void)fApp->OnPanelDocument(2, &ask);
    for (const COutAdjustControls::OscControl& c : request.controls) {
        FormEntry e;
        e.address = c.address.CStr();
        e.label = c.name.CStr();
        e.value = c.value.CStr();
        if (c.max > c.min) {
            e.minimum = Number(c.min);
            e.maximum = Number(c.max);
        }
        out.push_back(std::move(e));
    }
}

void DocFormProvider::Scenes(std::vector<FormScene>& out) const {
    CObDoc* doc = Front();
    const CRecord* scns = doc ? doc->Model().Scenes().Get() : nullptr;
    for (uint32_t i = 0; i < UDocModel::GetSceneCount(scns); ++i)
        if (const CRecord* scene = UDocModel::GetSceneAt(scns, i))
            out.push_back(FormScene{i, scene->GetString(T::kScneName).CStr()});
}
