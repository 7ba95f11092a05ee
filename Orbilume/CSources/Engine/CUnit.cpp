#include "Orbilume/CSources/Engine/CUnit.h"

#include <epoxy/gl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Document/UDocUnits.h"
#include "Orbilume/CSources/Engine/CCompoRepository.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/SFrameInfo.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/CompositionKeys.h"

namespace {

using T = CDocModelTypes;

constexpr char kBypass[] = "_obunit_Bypass";
constexpr char kMixFunc[] = "_oblayer_MixFunc";
constexpr char kBlend[] = "_oblayer_Blend";
constexpr char kProgress[] = "obspecial_Progress";
constexpr char kPrivatePrefix[] = "obprivate_";
constexpr char kSceneKey[] = "obprivate_Scene";
constexpr char kFaderKey[] = "obprivate_Fader";
constexpr char kTapKey[] = "obprivate_Tap";
constexpr char kPrivateImageKey[] = "obprivate_Image";
constexpr char kSourceImage[] = "_protocolInput_SourceImage";
constexpr char kDestinationImage[] = "_protocolInput_DestinationImage";

bool StartsWith(const LString& text, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return text.Length() >= n && std::memcmp(text.CStr(), prefix, n) == 0;
}

// The place of an output kind in the preference row of the driven parameter's kind; smaller is
// better, kinds not in the row ("other") last.
uint32_t Preference(uint32_t wanted, uint32_t kind) {
    struct Row {
        uint8_t count;
        uint8_t kinds[4];
    };
    static const Row kRows[8] = {
        {1, {0}},           // other
        {4, {1, 2, 3, 4}},  // boolean: boolean, index, number, string
        {4, {2, 3, 4, 1}},  // index: index, number, string, boolean
        {4, {3, 2, 4, 1}},  // number: number, index, string, boolean
        {4, {4, 3, 2, 1}},  // string: string, number, index, boolean
        {1, {5}},           // colour
        {1, {6}},           // image
        {1, {7}},           // structure
    };
    const Row& row = kRows[wanted < 8 ? wanted : 0];
    for (uint32_t i = 0; i < row.count; ++i)
        if (row.kinds[i] == kind) return i;
    return row.count;
}

bool IsType(const CRecord* record, uint32_t type) {
    return record && record->IsOfType(T::kDomain, type);
}

}  // namespace

CUnit::CUnit(CChainUnit* owner, uint32_t kind, uint32_t depth) : fOwner(owner), fKind(kind), fDepth(depth) {}

CUnit::~CUnit() {
    Clear();
}

bool CUnit::Render(double time) {
    return fRenderer && fRenderer->RenderAtTime(time);
}

CUnit* CUnit::FindById(uint32_t id) {
    if (fId == id) return this;
    for (const auto& p : fParams) {
        if (CMediaUnit* media = p->mediaUnit())
            if (CUnit* hit = media->FindById(id)) return hit;
        if (CUnit* animator = p->animator())
            if (CUnit* hit = animator->FindById(id)) return hit;
    }
    return nullptr;
}

plat::Ref<MQcComposition_> CUnit::LoadComposition(CUnitHost* host, const LString& storedPath) {
    if (storedPath.IsEmpty()) return nullptr;
    if (const CCompoRepository* repository = host ? host->Repository() : nullptr)
        if (MQcComposition_* c = repository->Load(storedPath)) return plat::Adopt(c);
    std::string path(storedPath.CStr(), storedPath.Length());
    if (CDocModelHolder* document = host ? host->Document() : nullptr) {
        const LString resolved = CMacFileU::PathFromLFsSpec(document->ResolveStoredPath(storedPath));
        path.assign(resolved.CStr(), resolved.Length());
    }
    struct stat st {};
    if (path.empty() || (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) return nullptr;
    return plat::Adopt(MQcComposition_::FromFile(path));
}

void CUnit::Clear() {
    fRenderer = nullptr;
    fParams.clear();
    fImageInputKey = LString();
    fOutputKey = LString();
    fCompo = nullptr;
    fWidth = fHeight = 0;
    fConsumer = fTimed = fTransition = fScenePort = fFaderPort = fBypassed = fTapPort = fReloadRequest =
        false;
    SetChanged(false);
}

void CUnit::BuildParams(MQcComposition_* composition, CUnitHost* host, uint32_t wantedKind) {
    Clear();
    if (fKind == kChain || fKind == kAnimator)
        fParams.push_back(CUnitParam::Engine(kBypass, CUnitParam::kBoolean, 0, 0, 1, "", 0));
    if (fKind == kLayer) {
        fParams.push_back(CUnitParam::Engine(kMixFunc, CUnitParam::kIndex, 0, 0, 0, "0", 0));
        fParams.push_back(CUnitParam::Engine(kBlend, CUnitParam::kNumber, 1, 0, 1, "1", 3));
    }
    if (!composition) {
        fName = fKind == kMedia ? LString() : LString("?");
        return;
    }
    fCompo = plat::RetainRef(composition);
    fConsumer = MQcComposition_::HasConsumers(composition);
    fTimed = MQcComposition_::IsTimeDependent(composition);
    if (!fConsumer && fKind != kAnimator) {
        std::vector<CQcImagePort> outputs;
        MQcComposition_::ImageOutputs(composition, outputs);
        for (const CQcImagePort& port : outputs) {
            if (port.key == kTapKey) {
                fTapPort = true;
                continue;
            }
            if (port.key == plat::kProtocolOutputImage || port.key == kPrivateImageKey) {
                fOutputKey = port.key;
                break;
            }
            if (fOutputKey.IsEmpty()) fOutputKey = port.key;
        }
        if (MQcComposition_::IsStub(composition)) fOutputKey = LString();
    } else if (!fConsumer) {
        CStrArray keys;
        MQcComposition_::OutputKeys(composition, keys);
        uint32_t best = UINT32_MAX;
        for (uint32_t i = 0; i < keys.Count(); ++i) {
            CQcPortDesc desc;
            if (!MQcComposition_::ReadPortDesc(composition, keys[i], desc)) continue;
            if (wantedKind >= 9) {
                fOutputKey = keys[i];
                break;
            }
            const uint32_t place = Preference(wantedKind, desc.kind);
            if (place < best) {
                best = place;
                fOutputKey = keys[i];
            }
        }
    }
    std::vector<uint32_t> protocols;
    MQcComposition_::Protocols(composition, protocols);
    fTransition =
        std::find(protocols.begin(), protocols.end(), MQcComposition_::kGraphicTransition) != protocols.end();
    if (fTransition) {
        plat::Ref<MQcComposition_> inputs =
            plat::Adopt(MQcComposition_::FromFile(MQcRenderer_::InternalCompositionPath("transition.qtz")));
        if (inputs) AddInputParams(inputs.get(), host, true);
    }
    AddInputParams(composition, host, false);
    fName = fKind == kMedia ? LString() : MQcComposition_::DisplayName(composition);
}

void CUnit::AddInputParams(MQcComposition_* composition, CUnitHost* host, bool hidden) {
    if (fKind == kChain) {
        std::vector<CQcImagePort> inputs;
        MQcComposition_::ImageInputs(composition, inputs);
        for (const CQcImagePort& port : inputs)
            if (port.key == plat::kProtocolInputImage) fImageInputKey = port.key;
        if (fImageInputKey.IsEmpty() && !inputs.empty()) fImageInputKey = inputs.front().key;
    }
    CStrArray keys;
    MQcComposition_::InputKeys(composition, keys);
    for (uint32_t i = 0; i < keys.Count(); ++i) {
        const LString& key = keys[i];
        if (fKind == kChain && key == fImageInputKey) continue;
        if (StartsWith(key, kPrivatePrefix)) {
            if (key == kSceneKey) fScenePort = true;
            if (key == kFaderKey) fFaderPort = true;
            continue;
        }
        std::unique_ptr<CUnitParam> param = CUnitParam::FromPort(composition, key, hidden, host);
        if (!param) continue;
        if (CMediaUnit* media = param->mediaUnit()) media->SetDepth(fDepth + 1);
        fParams.push_back(std::move(param));
    }
}

void CUnit::Prepare(uint32_t width, uint32_t height, CUnitHost* host, bool force) {
    const bool sizeDiffers = width != fWidth || height != fHeight;
    if (!fRenderer || ((fConsumer || force) && sizeDiffers)) {
        const bool hadRenderer = fRenderer != nullptr;
        fRenderer = nullptr;
        if (fCompo) {
            const CCompoRepository* repository = host ? host->Repository() : nullptr;
            COpenGLFBOTarget* shared = host ? host->SharedTarget() : nullptr;
            const bool clear =
                MQcComposition_::IsClear(fCompo.get()) || (repository && repository->IsClear(fCompo.get()));
            const bool plane =
                MQcComposition_::IsPlane(fCompo.get()) || (repository && repository->IsPlane(fCompo.get()));
            if ((!fConsumer && !fTransition && !force) || (fTimed && clear))
                fRenderer = MQcRenderer_::CreateShared(fCompo.get(), shared);
            else
                fRenderer = MQcRenderer_::CreatePrivate(fCompo.get(), width, height, !plane);
        }
        // A new renderer starts from the composition's defaults: push the values again.
        if (hadRenderer && fRenderer) {
            std::unique_lock<std::mutex> lock;
            if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
            for (const auto& p : fParams)
                if (!p->fHidden && !p->fValue.IsEmpty()) p->fDirty = 1;
        }
    }
    fWidth = width;
    fHeight = height;
    for (const auto& p : fParams) {
        if (CMediaUnit* media = p->mediaUnit()) media->Resize(width, height);
        if (CUnit* animator = p->animator()) animator->Prepare(width, height, host, false);
    }
}

void CUnit::Resize(uint32_t width, uint32_t height) {
    if (fRenderer && (width != fWidth || height != fHeight)) fRenderer->SetSize(width, height);
    fWidth = width;
    fHeight = height;
    for (const auto& p : fParams) {
        if (CMediaUnit* media = p->mediaUnit()) media->Resize(width, height);
        if (CUnit* animator = p->animator()) animator->Resize(width, height);
    }
}

void CUnit::LoadFromRecord(LHandler* editor, CRecord* record, CUnitHost* host) {
    if (!record) return;
    fId = record->GetUInt(T::kUnitId);
    if (fRenderer) {
        for (const auto& p : fParams) {
            CUnitParam& param = *p;
            CRecord* input = UDocModel::FindUnitInput(record, param.key);
            const bool existed = input != nullptr;
            if (existed && param.mediaUnit() && !input->GetSubRecord(T::kInptImage)) {
                // A stored input without its image unit (a file layer made before the engine saw
                // it) gets one, or its clip would never play.
                CDocModelHolder* document = host ? host->Document() : nullptr;
                const LString value = input->GetString(T::kInptValue);
                if (document)
                    (void)UDocUnits::SetUnitInput(document->Mix(), editor, record, param.key, value, true);
                input = UDocModel::FindUnitInput(record, param.key);
            }
            if (!existed) {
                const LString value = param.ValueText(fRenderer.get());
                CDocModelHolder* document = host ? host->Document() : nullptr;
                if (!document || !UDocUnits::SetUnitInput(document->Mix(), editor, record, param.key, value,
                                                          param.mediaUnit() != nullptr))
                    continue;
                input = UDocModel::FindUnitInput(record, param.key);
                if (!input) continue;
                std::unique_lock<std::mutex> lock;
                if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
                param.fValue = value;
            }
            if (!param.monitorKey.IsEmpty()) {
                const LString monitor = param.MonitorText(fRenderer.get());
                std::unique_lock<std::mutex> lock;
                if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
                param.fMonitorValue = monitor;
            }
            input->Slot(T::kInptDirect).u8 = param.monitorKey.IsEmpty() ? 0 : 1;
            CRecord* image = input->GetSubRecord(T::kInptImage);
            if (param.mediaUnit() && image && fDepth + 1 < kMaxDepth) {
                param.mediaUnit()->LoadTreeFromRecord(editor, image, host);
                if (host) host->AddMediaCacheEntry(image->GetUInt(T::kUnitId));
            }
            if (existed && param.monitorKey.IsEmpty())
                param.SetValue(host, input->GetString(T::kInptValue), record, false);
            param.SetAnimator(editor, input->GetSubRecord(T::kInptAnim), host, fDepth);
        }
    }
    if (fFaderPort && fRenderer) fRenderer->SetNumber(kFaderKey, EffectiveFader(record, host));
    UpdateBypass();
}

void CUnit::UpdateBypass() {
    const CUnitParam* bypass = Param(kBypass);
    fBypassed = bypass && CUnitParam::ReadInt(bypass->fValue) != 0;
}

int32_t CUnit::ParamIndex(const LString& key) const {
    for (size_t i = 0; i < fParams.size(); ++i)
        if (fParams[i]->key == key) return static_cast<int32_t>(i);
    return -1;
}

CUnitParam* CUnit::Param(const LString& key) const {
    const int32_t i = ParamIndex(key);
    return i < 0 ? nullptr : fParams[static_cast<size_t>(i)].get();
}

void CUnit::RemoveParamGroup(const char* groupId) {
    CStrArray keys;
    MQcComposition_::StringListAttribute(fCompo.get(), groupId, keys);
    for (size_t i = fParams.size(); i-- > 0;) {
        for (uint32_t k = 0; k < keys.Count(); ++k) {
            if (fParams[i]->key == keys[k]) {
                fParams.erase(fParams.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
    }
}

float CUnit::Progress() const {
    if (!fTransition) return 0;
    const CUnitParam* progress = Param(kProgress);
    return progress ? CUnitParam::ReadFloat(progress->fValue) : 0;
}

float CUnit::FaderWeight(const LString& key, float progress) {
    if (key == kSourceImage) return 1 - progress;
    if (key == kDestinationImage) return progress;
    return 1;
}

float CUnit::EffectiveFader(const CRecord* record, CUnitHost* host, CUnit** from) {
    if (from) *from = nullptr;
    float factor = 1;
    const CRecord* r = record;
    // Each step goes up at least one record, so the walk ends at the root.
    while (r) {
        const CRecord* a = r->Parent();
        while (a && !IsType(a, T::kINPT) && !IsType(a, T::kLAYR) && !IsType(a, T::kUNIT)) a = a->Parent();
        if (!a) return 0;
        if (IsType(a, T::kLAYR)) {
            const CRecord* unit = a->GetSubRecord(T::kLayrUnit);
            CUnit* layer = unit && host ? host->FindUnit(unit->GetUInt(T::kUnitId)) : nullptr;
            if (!layer || layer->kind() != kLayer) return 0;
            if (from) *from = layer;
            return factor * static_cast<CLayer*>(layer)->Blend();
        }
        if (IsType(a, T::kINPT)) {
            const CRecord* owner = a->Parent();
            CUnit* unit = owner && host ? host->FindUnit(owner->GetUInt(T::kUnitId)) : nullptr;
            if (unit && unit->IsTransition() && unit->Param(kProgress))
                factor *= FaderWeight(a->GetString(T::kInptKey), unit->Progress());
            r = owner;
            continue;
        }
        r = a;  // a UNIT: the parent's fader
    }
    return 0;
}

void CUnit::EvaluateMedia(SFrameInfo& info, CUnitParam* param, float progress, CUnit*& result,
                          bool& rendered) {
    CMediaUnit* media = param->mediaUnit();
    const float saved = info.fader;
    info.fader *= fTransition ? FaderWeight(param->key, progress) : 1;
    CUnit* m = nullptr;
    const bool r = media->EvaluateMedia(info, m);
    info.fader = saved;
    if (!m) return;
    if (fBypassed || !HasImage()) {
        result = m;
        rendered = r;
    }
    FeedImage(m, this, param->key);
}

bool CUnit::Evaluate(SFrameInfo& info, CUnit*& out) {
    const float progress = Progress();
    CUnit* result = nullptr;
    bool rendered = false;
    bool anyMonitor = false;
    CUnitHost* host = info.engine;
    for (const auto& p : fParams) {
        CUnitParam* param = p.get();
        if (!param->monitorKey.IsEmpty()) anyMonitor = true;
        if (param->mediaUnit()) EvaluateMedia(info, param, progress, result, rendered);
        CUnit* animator = param->animator();
        if (animator && !animator->IsBypassed()) {
            CUnit* a = nullptr;
            (void)animator->Evaluate(info, a);
            if (a) {
                if (param->fHidden) {
                    if (param->key == kProgress && animator->renderer()) {
                        float v = animator->renderer()->GetOutputFloat(animator->outputKey());
                        v = std::isfinite(v) ? std::clamp(v, 0.0f, 1.0f) : 0;
                        const LString text = UWord::FloatSuppress(v, 3);
                        // Main-thread readers take the parameter lock alone.
                        std::unique_lock<std::mutex> lock;
                        if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
                        param->fValue = text;
                    }
                } else {
                    ApplyAnimatorOutput(animator, this, param);
                    param->SetValue(host, param->ValueText(fRenderer.get()), nullptr, true);
                }
            }
        }
        param->PushIfDirty(host, fRenderer.get());
    }
    if (fRenderer && fFaderPort) fRenderer->SetNumber(kFaderKey, info.fader);
    if (fRenderer && fScenePort) fRenderer->SetNumber(kSceneKey, static_cast<float>(info.sceneCounter));
    if (fRenderer) {
        if (!result && !fBypassed && HasImage()) {
            double t = info.time;
            if (fTransition && Param(kProgress)) t = progress;
            rendered = Render(t);
            if (info.capturePending && host) {
                std::lock_guard<std::mutex> lock(host->ParamLock());
                SMonitorRequest* head = host->CaptureHead();
                if (head && head->unitId == fId && head->context) {
                    COpenGLContext_Cca* context = head->context;
                    host->RecycleCaptureHead();
                    CaptureInto(this, *context);
                    info.capturePending = 0;
                }
            }
            result = this;
        } else if (!fTapPort) {
            (void)Render(info.time);
        } else if (info.tapSlot) {
            *info.tapSlot = this;
        }
    }
    if (anyMonitor) {
        for (const auto& p : fParams) {
            if (p->monitorKey.IsEmpty()) continue;
            const LString text = p->MonitorText(fRenderer.get());
            std::unique_lock<std::mutex> lock;
            if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
            if (!(text == p->fMonitorValue)) {
                p->fMonitorValue = text;
                p->fWriteBack = 1;
                if (host) host->Signal();
            }
        }
    }
    out = result;
    return rendered;
}

void CUnit::FeedImage(CUnit* source, CUnit* unit, const LString& key) {
    if (!unit || !unit->fRenderer || key.IsEmpty() || !source || !source->fRenderer) return;
    if (!MQcRenderer_::PassImage(unit->fRenderer.get(), key, source->fRenderer.get(), source->fOutputKey,
                                 false))
        return;
    if (unit->fBypassed || !unit->HasImage()) unit->fRenderer->MarkNeedPass();
}

void CUnit::ApplyAnimatorOutput(CUnit* animator, CUnit* unit, CUnitParam* param) {
    if (!unit || !unit->fRenderer || !param || param->key.IsEmpty() || !animator || !animator->fRenderer)
        return;
    MQcRenderer_& a = *animator->fRenderer;
    if (!a.TakeNeedPass()) return;
    MQcRenderer_& u = *unit->fRenderer;
    const LString& out = animator->fOutputKey;
    switch (param->kind) {
        case CUnitParam::kBoolean:
            u.SetNumber(param->key, a.GetOutputUInt(out) ? 1.0f : 0.0f);
            break;
        case CUnitParam::kIndex: {
            const float max = param->max > 0 ? param->max : 0;
            u.SetNumber(param->key, std::min(static_cast<float>(a.GetOutputUInt(out)), max));
            break;
        }
        case CUnitParam::kNumber: {
            float v = a.GetOutputFloat(out);
            if (!std::isfinite(v)) v = param->min;
            u.SetNumber(param->key,
                        std::clamp(v, std::min(param->min, param->max), std::max(param->min, param->max)));
            break;
        }
        case CUnitParam::kString:
            u.SetString(param->key, a.GetOutputString(out));
            break;
        case CUnitParam::kColor: {
            float rgba[4] = {0, 0, 0, 1};
            if (a.GetOutputColor(out, rgba)) u.SetColor(param->key, rgba[0], rgba[1], rgba[2], rgba[3]);
            break;
        }
        default:
            break;
    }
}

void CUnit::Idle(SFrameInfo& info) {
    const float progress = Progress();
    for (const auto& p : fParams) {
        if (CMediaUnit* media = p->mediaUnit()) {
            const float saved = info.fader;
            info.fader *= fTransition ? FaderWeight(p->key, progress) : 1;
            media->Idle(info);
            media->MarkIdle();
            info.fader = saved;
        }
        if (CUnit* animator = p->animator()) animator->Idle(info);
    }
    if (fFaderPort && !fBypassed && fRenderer) {
        fRenderer->SetNumber(kFaderKey, info.fader);
        (void)Render(info.time);
    }
}

void CUnit::CaptureInto(CUnit* unit, COpenGLContext_Cca& context) {
    if (!unit || !unit->fRenderer) return;
    COpenGLScope_Cca scope(context);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    float x = 1, y = 1;
    if (unit->fOutputKey.IsEmpty()) {
        GLint viewport[4] = {0, 0, 1, 1};
        glGetIntegerv(GL_VIEWPORT, viewport);
        const float vw = static_cast<float>(std::max(viewport[2], 1)),
                    vh = static_cast<float>(std::max(viewport[3], 1));
        const float w = static_cast<float>(std::max(unit->fRenderer->TargetWidth(), 1u));
        const float h = static_cast<float>(std::max(unit->fRenderer->TargetHeight(), 1u));
        const float scale = std::min(vw / w, vh / h);
        x = w * scale / vw;
        y = h * scale / vh;
    }
    const float quad[8] = {-x, -y, -x, y, x, -y, x, y};
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexPointer(2, GL_FLOAT, 0, quad);
    glEnableClientState(GL_VERTEX_ARRAY);
    MQcRenderer_::DrawOutput(unit->fRenderer.get(), context, unit->fOutputKey, 1.0f);
    glPopClientAttrib();
    context.Swap();
}
