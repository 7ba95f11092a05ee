#include "Orbilume/CSources/Engine/CChainUnit.h"

#include <algorithm>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/SFrameInfo.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"

namespace {
using T = CDocModelTypes;
}

CChainUnit::CChainUnit(CChainUnit* owner, uint32_t kind, uint32_t depth) : CUnit(owner, kind, depth) {}

CChainUnit::~CChainUnit() {
    fChain.clear();
}

CUnit* CChainUnit::FindById(uint32_t id) {
    if (CUnit* hit = CUnit::FindById(id)) return hit;
    for (const auto& c : fChain)
        if (CUnit* hit = c->FindById(id)) return hit;
    return nullptr;
}

uint32_t CChainUnit::ChainCount() const {
    return fKind == kLayer || fKind == kMedia ? static_cast<uint32_t>(fChain.size()) : 0;
}

void CChainUnit::Resize(uint32_t width, uint32_t height) {
    CUnit::Resize(width, height);
    for (const auto& c : fChain) c->Resize(width, height);
}

void CChainUnit::PrepareTree(uint32_t width, uint32_t height, CUnitHost* host, bool force) {
    Prepare(width, height, host, force);
    for (const auto& c : fChain) c->Prepare(width, height, host, false);
}

void CChainUnit::LoadTreeFromRecord(LHandler* editor, CRecord* record, CUnitHost* host) {
    if (!record) return;
    LoadFromRecord(editor, record, host);
    const uint32_t n = std::min(static_cast<uint32_t>(fChain.size()), record->ArrayCount(T::kUnitFilters));
    for (uint32_t i = 0; i < n; ++i)
        fChain[i]->LoadFromRecord(editor, record->GetElement(T::kUnitFilters, i), host);
}

void CChainUnit::BuildParamChains(CUnit* unit, CRecord* record, CUnitHost* host) {
    if (!unit || !record || unit->depth() + 1 >= kMaxDepth) return;
    for (uint32_t i = 0; i < unit->ParamCount(); ++i) {
        CUnitParam* param = unit->ParamAt(i);
        CRecord* input = UDocModel::FindUnitInput(record, param->key);
        if (!input) continue;
        if (CMediaUnit* media = param->mediaUnit())
            if (CRecord* image = input->GetSubRecord(T::kInptImage)) media->BuildChain(image, host);
        if (CUnit* animator = param->animator())
            if (CRecord* anim = input->GetSubRecord(T::kInptAnim)) BuildParamChains(animator, anim, host);
    }
}

void CChainUnit::BuildChain(CRecord* record, CUnitHost* host) {
    BuildParamChains(this, record, host);
    fChain.clear();
    if (!record) return;
    const uint32_t n = record->ArrayCount(T::kUnitFilters);
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* filter = record->GetElement(T::kUnitFilters, i);
        (void)CreateChainUnit(i, filter->GetString(T::kUnitSpec), record, host);
    }
}

CUnit* CChainUnit::CreateChainUnit(uint32_t index, const LString& path, CRecord* record, CUnitHost* host) {
    if (!record || index >= record->ArrayCount(T::kUnitFilters) || fDepth + 1 >= kMaxDepth) return nullptr;
    auto unit = std::make_unique<CUnit>(this, kChain, fDepth + 1);
    plat::Ref<MQcComposition_> composition = LoadComposition(host, path);
    unit->BuildParams(composition.get(), host, 6);
    unit->SetSpec(path);
    CUnit* made = unit.get();
    const size_t at = std::min(static_cast<size_t>(index), fChain.size());
    fChain.insert(fChain.begin() + static_cast<std::ptrdiff_t>(at), std::move(unit));
    BuildParamChains(made, record->GetElement(T::kUnitFilters, index), host);
    return made;
}

void CChainUnit::RemoveChainUnit(uint32_t index, CUnitHost* host) {
    if (index >= fChain.size()) return;
    fChain.erase(fChain.begin() + index);
    RefreshFrom(index, host);
}

bool CChainUnit::MoveChainUnit(uint32_t from, uint32_t to) {
    if (from >= fChain.size() || to >= fChain.size()) return false;
    auto unit = std::move(fChain[from]);
    fChain.erase(fChain.begin() + from);
    fChain.insert(fChain.begin() + to, std::move(unit));
    return true;
}

void CChainUnit::RefreshFrom(uint32_t index, CUnitHost* host) {
    if (index <= fChain.size()) {
        for (uint32_t i = index; i-- > 0;) {
            CUnit* c = fChain[i].get();
            if (c->IsBypassed() || !c->HasImage()) continue;
            if (c->renderer()) c->renderer()->MarkNeedPass();
            return;
        }
    }
    if (fBypassed || !HasImage()) {
        for (uint32_t i = 0; i < ParamCount(); ++i)
            if (CMediaUnit* media = ParamAt(i)->mediaUnit()) media->RefreshFrom(media->ChainCount(), host);
    } else if (fRenderer) {
        fRenderer->MarkNeedPass();
        return;
    }
    // The image unit of an input: that input goes back to its default image.
    CDocModelHolder* document = host ? host->Document() : nullptr;
    if (!document || !fId) return;
    const CRecord* record = UDocModel::FindUnitById(document->Mix().Get(), fId);
    const CRecord* input = record ? record->Parent() : nullptr;
    if (!input || !input->IsOfType(T::kDomain, T::kINPT)) return;
    const CRecord* ownerRecord = input->Parent();
    CUnit* owner = ownerRecord ? host->FindUnit(ownerRecord->GetUInt(T::kUnitId)) : nullptr;
    if (owner && owner->renderer()) owner->renderer()->SetImage(input->GetString(T::kInptKey), nullptr);
}

bool CChainUnit::Evaluate(SFrameInfo& info, CUnit*& out) {
    CUnit* image = nullptr;
    bool rendered = CUnit::Evaluate(info, image);
    for (const auto& c : fChain) {
        if (c->IsBypassed()) continue;
        if (image) FeedImage(image, c.get(), c->imageInputKey());
        CUnit* result = nullptr;
        if (!c->HasImage()) {
            (void)c->Evaluate(info, result);
        } else {
            rendered = c->Evaluate(info, result);
            image = result;
        }
    }
    out = image;
    return rendered;
}

void CChainUnit::Idle(SFrameInfo& info) {
    CUnit::Idle(info);
    for (const auto& c : fChain) c->Idle(info);
}
