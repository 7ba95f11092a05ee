#include "Orbilume/CSources/Engine/CMixEngine.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstdlib>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Engine/CLayer.h"
#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CPatchGraphTypes.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Engine/SFrameInfo.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;

constexpr char kBlendKey[] = "_oblayer_Blend";
constexpr char kBypassKey[] = "_obunit_Bypass";
constexpr const char* kInternalNames[5] = {"imageproxy.qtz", "colorfill.qtz", "mixbuffer.qtz",
                                           "videoinput.qtz", "localtap.qtz"};

uint32_t EventClock() {
    return static_cast<uint32_t>(GetEventTimeMs());
}

bool IsType(const CRecord* record, uint32_t type) {
    return record && record->IsOfType(T::kDomain, type);
}

void ToggleByte(CRecord* record, uint32_t field) {
    if (!record) return;
    CRecord* held = record;
    (void)CRecordRef(&held).SetByte(nullptr, field, record->Slot(field).u8 ? 0 : 1);
}

// Blend equation and destination factor of a mix function; the source factor is always GL_ONE.
void SetBlendMode(uint32_t mode) {
    GLenum equation = GL_MAX, destination = GL_ONE;
    if (mode == 1) equation = GL_FUNC_ADD;
    if (mode == 2) equation = GL_FUNC_REVERSE_SUBTRACT;
    if (mode == 3) {
        equation = GL_FUNC_ADD;
        destination = GL_ONE_MINUS_SRC_ALPHA;
    }
    glBlendFunc(GL_ONE, destination);
    glBlendEquation(equation);
    glEnable(GL_BLEND);
}

// The index of a filter in its owner's chain, or the chain's length.
uint32_t ChainIndex(CChainUnit* owner, const CUnit* unit) {
    const uint32_t n = owner->ChainCount();
    for (uint32_t i = 0; i < n; ++i)
        if (owner->ChainAt(i) == unit) return i;
    return n;
}

}  // namespace

CMixEngine::CMixEngine(CDocModelHolder* document, CAppPrefs* prefs)
    : fDocument(document),
      fPrefs(prefs),
      fCache(std::make_unique<CMediaCache>(document, prefs)),
      fSignal(std::make_unique<CRunLoopSignal>(this, &CMixEngine::SignalPerformed)),
      fClock(&EventClock) {
    PLAT_DCHECK_MAIN_THREAD();
    // Documents may hold patch-graph records: their types are linked in with the engine.
    (void)CPatchGraphTypes::Type(CPatchGraphTypes::kMCMP);
    const SOpenGLOp op{24, 0, 0};
    fShared = new COpenGLFBOTarget(16, 16, &op);
    if (fShared->context().valid()) {
        COpenGLScope_Cca scope(fShared->context());
        GLint max = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
        if (max > 0) fMaxTexture = static_cast<uint32_t>(max);
    }
    for (uint32_t i = 0; i < 5; ++i)
        fInternal[i] =
            plat::Adopt(MQcComposition_::FromFile(MQcRenderer_::InternalCompositionPath(kInternalNames[i])));
    if (CRecord* pref = PrefRecord()) {
        if (CRecord* oaun = pref->GetSubRecord(CAppPrefs::kPrefOutAdjUnit)) {
            const uint32_t n = oaun->ArrayCount(T::kUnitInputs);
            for (uint32_t i = 0; i < n; ++i) {
                const CRecord* input = oaun->GetElement(T::kUnitInputs, i);
                ApplyOutputKey(input->GetString(T::kInptKey), input->GetString(T::kInptValue));
            }
        }
    }
    if (fDocument) (void)fDocument->AddObserver(this, &CMixEngine::RecordObserver);
    if (fPrefs) (void)fPrefs->AddObserver(this, &CMixEngine::RecordObserver);
}

CMixEngine::~CMixEngine() {
    // Outputs stop their render threads before the engine goes.
    PLAT_DCHECK(fRendering.load() == 0);
    {
        LCallbackList::Iterator it(fPostRender);
        LCallbackList::Entry e;
        while (it.Next(e)) e.As<PostRenderFunction>()(e.context, this, nullptr);
    }
    if (fDocument) (void)fDocument->RemoveObserver(this, &CMixEngine::RecordObserver);
    if (fPrefs) (void)fPrefs->RemoveObserver(this, &CMixEngine::RecordObserver);
    {
        std::lock_guard<std::recursive_mutex> lock(fFrameLock);
        fLayers.clear();
    }
    for (auto& c : fInternal) c = nullptr;
    fCaptures.clear();
    fFreeCaptures.clear();
    fSignal.reset();
    fMix.Release();
    fCache.reset();
    if (fShared) fShared->Release();
    fShared = nullptr;
}

CRecord* CMixEngine::MixRecord() const {
    return fDocument ? fDocument->Mix().Get() : nullptr;
}

CRecord* CMixEngine::PrefRecord() const {
    return fPrefs ? fPrefs->Root() : nullptr;
}

uint32_t CMixEngine::Resolution() const {
    const CRecord* pref = PrefRecord();
    return pref ? pref->GetUInt(CAppPrefs::kPrefResolution) % 32 : 0;
}

void CMixEngine::LoadLayers() {
    PLAT_DCHECK_MAIN_THREAD();
    const CRecord* mix = MixRecord();
    if (!mix) return;
    const uint32_t n = mix->ArrayCount(T::kMixsLayers);
    for (uint32_t i = 0; i < n; ++i) CreateLayer(nullptr, i);
}

void CMixEngine::Signal() {
    fSignals.fetch_add(1, std::memory_order_relaxed);
    if (fSignal) fSignal->Signal();
}

void CMixEngine::SignalPerformed(void* engine) {
    static_cast<CMixEngine*>(engine)->ServiceSignal();
}

void CMixEngine::RenderSize(uint32_t& width, uint32_t& height) const {
    const uint32_t r = Resolution();
    width = std::max<uint32_t>(fWidth >> r, 1);
    height = std::max<uint32_t>(fHeight >> r, 1);
}

void CMixEngine::FullOutputSize(uint32_t& width, uint32_t& height) const {
    width = fWidth;
    height = fHeight;
}

void CMixEngine::SetOutputSize(uint32_t width, uint32_t height) {
    width = std::min(width, fMaxTexture);
    height = std::min(height, fMaxTexture);
    {
        std::lock_guard<std::recursive_mutex> lock(fFrameLock);
        if (width == fWidth && height == fHeight) return;
        fWidth = width;
        fHeight = height;
        ResizeAll();
    }
    ToggleOutputSizeNote();
}

void CMixEngine::ToggleOutputSizeNote() {
    ToggleByte(PrefRecord(), CAppPrefs::kPrefRunTime53);
}

void CMixEngine::ResizeAll() {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    uint32_t w = 1, h = 1;
    RenderSize(w, h);
    for (const auto& layer : fLayers) layer->Resize(w, h);
    if (fShared) fShared->SetSize(w, h);
}

CUnit* CMixEngine::FindUnit(uint32_t id) {
    for (const auto& layer : fLayers)
        if (CUnit* hit = layer->FindById(id)) return hit;
    return nullptr;
}

MQcComposition_* CMixEngine::InternalComposition(uint32_t slot) {
    return slot < 5 ? fInternal[slot].get() : nullptr;
}

std::unique_ptr<CMediaUnit> CMixEngine::MakeMediaUnit() {
    return std::make_unique<CMediaUnit>(this);
}

void CMixEngine::AddMediaCacheEntry(uint32_t id) {
    if (fCache) fCache->AddEntry(id);
}

void CMixEngine::AddReadBackUsers(int32_t delta) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    if (delta < 0 && fReadBackUsers == 0) return;
    fReadBackUsers = static_cast<uint32_t>(static_cast<int32_t>(fReadBackUsers) + delta);
}

// --- the frame --------------------------------------------------------------------------------

void CMixEngine::RenderFrame(COpenGLContext_Cca& window, const SFrameRequest& request) {
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    fRendering.fetch_add(1);
    uint32_t w = 1, h = 1;
    RenderSize(w, h);
    {
        LCallbackList::Iterator it(fPreRender);
        LCallbackList::Entry e;
        while (it.Next(e)) e.As<PreRenderFunction>()(e.context, this);
    }
    bool mixCaptureWaiting = false;
    {
        std::lock_guard<std::mutex> lock(fParamLock);
        mixCaptureWaiting = !fCaptures.empty() && fCaptures.front().unitId == 0;
    }
    // A waiting mix capture reads the mix back too.
    const bool offscreen = fReadBackUsers > 0 || fAdjust.IsActive() || mixCaptureWaiting;
    fMix.Prepare(w, h, offscreen);
    const bool inBuffer = fMix.texture() != nullptr;
    COpenGLContext_Cca& draw = inBuffer ? fMix.context() : window;
    float g[4];
    fAdjust.Geometry(inBuffer, g);
    const float quad[8] = {g[2] - g[0], g[3] - g[1], g[2] - g[0], g[3] + g[1],
                           g[2] + g[0], g[3] - g[1], g[2] + g[0], g[3] + g[1]};
    const uint32_t now = fClock() + static_cast<uint32_t>(request.lagMs);
    bool drawn = false;
    uint8_t capturePending = 1;
    {
        COpenGLScope_Cca scope(draw);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
        glPushAttrib(GL_COLOR_BUFFER_BIT | GL_ENABLE_BIT | GL_CURRENT_BIT);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glVertexPointer(2, GL_FLOAT, 0, quad);
        glEnableClientState(GL_VERTEX_ARRAY);
        glDisableClientState(GL_COLOR_ARRAY);
        for (const auto& lp : fLayers) {
            CLayer* layer = lp.get();
            if (!layer->renderer()) continue;
            const int32_t age = static_cast<int32_t>(now - layer->start());
            const double t = std::max(0, age) * 0.001;
            const float opacity = layer->Blend();
            bool hidden = !(opacity > 0);
            if (!hidden) {
                const uint32_t mode = layer->MixFunc();
                if (drawn) {
                    SetBlendMode(mode);
                } else if (mode == 2) {
                    hidden = true;
                } else {
                    glDisable(GL_BLEND);
                }
            }
            if (!hidden) {
                SMixFeed feed{&fMix, 1, 0};
                SFrameInfo info;
                info.time = t;
                info.mixFeed = &feed;
                info.engine = this;
                info.tapSlot = &layer->tapUnit();
                info.fader = opacity;
                info.sceneCounter = layer->sceneCounter();
                info.capturePending = capturePending;
                CUnit* u = nullptr;
                const bool r = layer->Evaluate(info, u);
                capturePending = info.capturePending;
                layer->SetIdleDone(0);
                if (u) {
                    // The units may have changed the current context's client state.
                    glBindBuffer(GL_ARRAY_BUFFER, 0);
                    glVertexPointer(2, GL_FLOAT, 0, quad);
                    glEnableClientState(GL_VERTEX_ARRAY);
                    MQcRenderer_::DrawOutput(u->renderer(), draw, u->outputKey(), opacity);
                    layer->SetDrawnUnitId(u->id());
                    drawn = true;
                    if ((u->renderer() && u->renderer()->TakeNeedPass()) || r) {
                        layer->SetChanged(true);
                        Signal();
                    }
                }
            } else if (!layer->idleDone()) {
                SFrameInfo info;
                info.time = t;
                info.engine = this;
                info.tapSlot = &layer->tapUnit();
                info.fader = opacity;
                info.sceneCounter = layer->sceneCounter();
                info.capturePending = 0;
                layer->Idle(info);
                layer->SetIdleDone(1);
            }
        }
        glDisable(GL_BLEND);
        {
            LCallbackList::Iterator it(fPostRender);
            LCallbackList::Entry e;
            while (it.Next(e)) e.As<PostRenderFunction>()(e.context, this, &draw);
        }
        glPopAttrib();
        glPopClientAttrib();
    }
    fMix.End();
    DrawMixInto(window, false);
    if (capturePending) (void)ServeHeadCapture();
    {
        LCallbackList::Iterator it(fAfterFrame);
        LCallbackList::Entry e;
        while (it.Next(e)) e.As<AfterFrameFunction>()(e.context, this);
    }
    fRendering.fetch_sub(1);
}

void CMixEngine::DrawMixInto(COpenGLContext_Cca& context, bool buildMipmaps) {
    COpenGLTexture* texture = fMix.texture();
    fMix.BindTexture(context);
    fAdjust.Draw(context, texture ? texture->name() : 0, buildMipmaps);
    fMix.UnbindTexture(context);
}

void CMixEngine::ClearAndPresent(COpenGLContext_Cca* context) {
    if (!context || !context->valid()) return;
    COpenGLScope_Cca scope(*context);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    context->Swap();
}

bool CMixEngine::ServeHeadCapture() {
    SCaptureReq head;
    {
        std::lock_guard<std::mutex> lock(fParamLock);
        if (fCaptures.empty()) return false;
        head = fCaptures.front();
        fFreeCaptures.splice(fFreeCaptures.end(), fCaptures, fCaptures.begin());
        fServing = head.context;
    }
    // GL work outside the parameter lock: the main thread may hold a scope and want that lock.
    if (head.unitId == 0) {
        if (head.context && head.context->valid()) {
            DrawMixInto(*head.context, false);
            COpenGLScope_Cca scope(*head.context);
            head.context->Swap();
        }
    } else {
        if (head.blank) ClearAndPresent(head.context);
        RequestCapture(head.unitId, head.context, false);
    }
    {
        std::lock_guard<std::mutex> lock(fParamLock);
        fServing = nullptr;
    }
    fServed.notify_all();
    return true;
}

SMonitorRequest* CMixEngine::CaptureHead() {
    return fCaptures.empty() ? nullptr : &fCaptures.front();
}

void CMixEngine::RecycleCaptureHead() {
    if (!fCaptures.empty()) fFreeCaptures.splice(fFreeCaptures.end(), fCaptures, fCaptures.begin());
}

size_t CMixEngine::QueuedCaptures() {
    std::lock_guard<std::mutex> lock(fParamLock);
    return fCaptures.size();
}

void CMixEngine::RequestMixCapture(COpenGLContext_Cca* context) {
    RequestCapture(0, context, false);
}

void CMixEngine::RequestCapture(uint32_t id, COpenGLContext_Cca* context, bool blank) {
    if (!context) return;
    if (id != 0) {
        CLayer* owner = nullptr;
        for (const auto& layer : fLayers)
            if (layer->id() == id) owner = layer.get();
        CUnit* unit = nullptr;
        if (owner) {
            const uint32_t drawnId = owner->drawnUnitId();
            unit = drawnId ? owner->FindById(drawnId) : nullptr;
        } else {
            unit = FindUnit(id);
        }
        if (!unit || !unit->renderer()) {
            ClearAndPresent(context);
            return;
        }
        id = unit->id();
    }
    std::lock_guard<std::mutex> lock(fParamLock);
    for (SCaptureReq& r : fCaptures) {
        if (r.unitId == id && r.context == context) {
            r.blank = static_cast<uint8_t>(r.blank | (blank ? 1 : 0));
            return;
        }
    }
    if (fFreeCaptures.empty()) fFreeCaptures.emplace_back();
    SCaptureReq& r = fFreeCaptures.front();
    r.unitId = id;
    r.context = context;
    r.blank = blank ? 1 : 0;
    fCaptures.splice(fCaptures.end(), fFreeCaptures, fFreeCaptures.begin());
}

void CMixEngine::CancelCaptures(COpenGLContext_Cca* context) {
    if (!context) return;
    std::unique_lock<std::mutex> lock(fParamLock);
    auto drop = [&] {
        for (auto it = fCaptures.begin(); it != fCaptures.end();) {
            auto next = std::next(it);
            if (it->context == context) fFreeCaptures.splice(fFreeCaptures.end(), fCaptures, it);
            it = next;
        }
    };
    drop();
    // A capture in service may queue the context again before it ends.
    fServed.wait(lock, [&] { return fServing != context; });
    drop();
}

// --- callbacks ----------------------------------------------------------------------------------

void CMixEngine::AddPreRenderCallback(void* context, PreRenderFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    (void)fPreRender.Add(context, function);
}

void CMixEngine::RemovePreRenderCallback(void* context, PreRenderFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    (void)fPreRender.Remove(context, function);
}

void CMixEngine::AddPostRenderCallback(void* context, PostRenderFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    (void)fPostRender.Add(context, function);
}

void CMixEngine::RemovePostRenderCallback(void* context, PostRenderFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    (void)fPostRender.Remove(context, function);
}

void CMixEngine::AddAfterFrameCallback(void* context, AfterFrameFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    if (fAfterFrame.Count() == 0) ++fReadBackUsers;
    if (!fAfterFrame.Add(context, function) && fAfterFrame.Count() == 0) --fReadBackUsers;
}

void CMixEngine::RemoveAfterFrameCallback(void* context, AfterFrameFunction* function) {
    std::lock_guard<std::recursive_mutex> lock(fFrameLock);
    if (fAfterFrame.Count() == 0) return;
    (void)fAfterFrame.Remove(context, function);
    if (fAfterFrame.Count() == 0 && fReadBackUsers > 0) --fReadBackUsers;
}

// --- values ---------------------------------------------------------------------------------------

void CMixEngine::SetUnitParamByKey(uint32_t id, const LString& key, const LString& text) {
    CUnit* unit = FindUnit(id);
    if (!unit || !unit->renderer()) return;
    const int32_t index = unit->ParamIndex(key);
    if (index < 0) return;
    CRecord* record = UDocModel::FindUnitById(MixRecord(), id);
    SetUnitParam(unit, static_cast<uint32_t>(index), text, record);
}

void CMixEngine::SetUnitParam(CUnit* unit, uint32_t index, const LString& text, CRecord* record) {
    if (!unit || index >= unit->ParamCount()) return;
    CUnitParam* param = unit->ParamAt(index);
    LString value = text;
    {
        std::lock_guard<std::mutex> lock(fParamLock);
        if (value == param->fValue) return;
    }
    if (unit->kind() == CUnit::kLayer && param->key == kBlendKey) {
        CLayer* layer = static_cast<CLayer*>(unit);
        if (!(CUnitParam::ReadFloat(value) > 0)) value = LString("0");
        if (CUnitParam::ReadFloat(value) > 0 && !(layer->Blend() > 0)) layer->BumpSceneCounter();
    }
    if (param->key == kBypassKey) {
        std::lock_guard<std::recursive_mutex> frame(fFrameLock);
        unit->SetBypassed(CUnitParam::ReadInt(value) != 0);
        if (unit->renderer()) unit->renderer()->MarkNeedPass();
        if (CChainUnit* owner = unit->owner()) owner->RefreshFrom(ChainIndex(owner, unit), this);
    }
    param->SetValue(this, value, record, false);
}

void CMixEngine::SetStructureParam(CUnit* unit, CUnitParam* param, const float values[16]) {
    if (unit && param && unit->renderer()) unit->renderer()->SetStructure(param->key, values);
}

bool CMixEngine::GetOutputStrings(CUnit* unit, const LString& key, CStrArray& list) {
    return unit && unit->renderer() && unit->renderer()->GetOutputStrings(key, list);
}

void CMixEngine::BumpSceneCounters() {
    const CRecord* mix = MixRecord();
    const size_t records = mix ? mix->ArrayCount(T::kMixsLayers) : 0;
    const size_t n = std::min(fLayers.size(), records);
    for (size_t i = 0; i < n; ++i) fLayers[i]->BumpSceneCounter();
}

// --- the document -------------------------------------------------------------------------------

void CMixEngine::RecordObserver(void* context, const SRecordEvent* event) {
    if (context && event) static_cast<CMixEngine*>(context)->OnRecordChange(*event);
}

void CMixEngine::CreateLayer(LHandler* editor, uint32_t index) {
    CRecord* mix = MixRecord();
    if (!mix || index >= mix->ArrayCount(T::kMixsLayers)) return;
    CRecord* layr = mix->GetElement(T::kMixsLayers, index);
    CRecord* unitRecord = layr ? layr->GetSubRecord(T::kLayrUnit) : nullptr;
    if (!unitRecord) return;
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    uint32_t w = 1, h = 1;
    RenderSize(w, h);
    plat::Ref<MQcComposition_> composition =
        CUnit::LoadComposition(this, unitRecord->GetString(T::kUnitSpec));
    auto layer = std::make_unique<CLayer>(composition.get(), this);
    composition = nullptr;
    layer->BuildChain(unitRecord, this);
    layer->PrepareTree(w, h, this, false);
    CLayer* made = layer.get();
    const size_t at = std::min<size_t>(index, fLayers.size());
    fLayers.insert(fLayers.begin() + static_cast<std::ptrdiff_t>(at), std::move(layer));
    made->LoadTreeFromRecord(editor, unitRecord, this);
    if (made->Blend() != 0) return;
    // An invisible layer is evaluated once so that its outputs and monitors are known.
    SMixFeed feed{&fMix, 0, 0};
    SFrameInfo info;
    info.mixFeed = &feed;
    info.engine = this;
    info.tapSlot = &made->tapUnit();
    info.fader = 0;
    info.sceneCounter = made->sceneCounter();
    CUnit* u = nullptr;
    (void)made->Evaluate(info, u);
    if (!u || !fShared || !fShared->context().valid()) return;
    static const float kQuad[8] = {-1, -1, -1, 1, 1, -1, 1, 1};
    COpenGLScope_Cca scope(fShared->context());
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glVertexPointer(2, GL_FLOAT, 0, kQuad);
    glEnableClientState(GL_VERTEX_ARRAY);
    MQcRenderer_::DrawOutput(u->renderer(), fShared->context(), u->outputKey(), 1.0f);
    glPopClientAttrib();
    made->SetDrawnUnitId(u->id());
    if (u->renderer()) (void)u->renderer()->TakeNeedPass();
}

void CMixEngine::InsertChainUnit(LHandler* editor, CRecord* ownerRecord, CChainUnit* owner, uint32_t index) {
    if (!owner || !ownerRecord) return;
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    CRecord* filter = index < ownerRecord->ArrayCount(T::kUnitFilters)
                          ? ownerRecord->GetElement(T::kUnitFilters, index)
                          : nullptr;
    if (!filter) return;
    CUnit* made = owner->CreateChainUnit(index, filter->GetString(T::kUnitSpec), ownerRecord, this);
    if (made) {
        uint32_t w = 1, h = 1;
        RenderSize(w, h);
        made->Prepare(w, h, this, false);
        made->LoadFromRecord(editor, filter, this);
    }
    owner->RefreshFrom(index, this);
}

void CMixEngine::RemoveChainUnit(CChainUnit* owner, uint32_t index) {
    if (!owner || index >= owner->ChainCount()) return;
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    CUnit* unit = owner->ChainAt(index);
    for (size_t i = fLayers.size(); i-- > 0;) {
        if (fLayers[i]->tapUnit() == unit) {
            fLayers[i]->tapUnit() = nullptr;
            break;
        }
    }
    owner->RemoveChainUnit(index, this);
}

void CMixEngine::ApplyOutputKey(const LString& key, const LString& text) {
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    fAdjust.SetKey(key, text);
}

void CMixEngine::ApplyInputValue(CRecord* input) {
    CRecord* unit = input ? input->Parent() : nullptr;
    if (!IsType(unit, T::kUNIT)) return;
    const CRecord* pref = PrefRecord();
    if (pref && unit == pref->GetSubRecord(CAppPrefs::kPrefOutAdjUnit)) {
        ApplyOutputKey(input->GetString(T::kInptKey), input->GetString(T::kInptValue));
        return;
    }
    if (const uint32_t id = unit->GetUInt(T::kUnitId))
        SetUnitParamByKey(id, input->GetString(T::kInptKey), input->GetString(T::kInptValue));
}

void CMixEngine::ReassignMediaUnit(CRecord* input) {
    CRecord* unitRecord = input ? input->Parent() : nullptr;
    if (!IsType(unitRecord, T::kUNIT)) return;
    CUnit* unit = FindUnit(unitRecord->GetUInt(T::kUnitId));
    CUnitParam* param = unit ? unit->Param(input->GetString(T::kInptKey)) : nullptr;
    CMediaUnit* media = param ? param->mediaUnit() : nullptr;
    if (!media) return;
    std::lock_guard<std::recursive_mutex> frame(fFrameLock);
    fCache->RemoveEntry(media->id());
    const CRecord* image = input->GetSubRecord(T::kInptImage);
    media->SetId(image ? image->GetUInt(T::kUnitId) : 0);
    fCache->AddEntry(media->id());
}

void CMixEngine::OnUnitChange(const SRecordEvent& event, CRecord* record) {
    CUnit* unit = FindUnit(record->GetUInt(T::kUnitId));
    if (event.field == T::kUnitRun2 && event.kind == SRecordEvent::kValueChanged) {
        if (!unit || unit->kind() != CUnit::kMedia) return;
        std::lock_guard<std::recursive_mutex> frame(fFrameLock);
        auto* media = static_cast<CMediaUnit*>(unit);
        media->LoadClip(this, LString(media->Clip()), record);
        return;
    }
    if (event.field != T::kUnitFilters || !unit) return;
    if (unit->kind() != CUnit::kLayer && unit->kind() != CUnit::kMedia) return;
    auto* owner = static_cast<CChainUnit*>(unit);
    if (event.index1 < 0) return;
    const auto i1 = static_cast<uint32_t>(event.index1);
    switch (event.kind) {
        case SRecordEvent::kInserted:
            InsertChainUnit(event.editor, record, owner, i1);
            break;
        case SRecordEvent::kRemoved:
            RemoveChainUnit(owner, i1);
            break;
        case SRecordEvent::kMoved: {
            if (event.index2 < 0) return;
            const auto i2 = static_cast<uint32_t>(event.index2);
            std::lock_guard<std::recursive_mutex> frame(fFrameLock);
            if (!owner->MoveChainUnit(i1, i2)) return;
            owner->RefreshFrom(std::min(i1, i2), this);
            break;
        }
        default:
            break;
    }
}

void CMixEngine::OnRecordChange(const SRecordEvent& event) {
    PLAT_DCHECK_MAIN_THREAD();
    CRecord* record = event.record.Get();
    if (!record) return;
    if (IsType(record, T::kINPT) && event.kind == SRecordEvent::kValueChanged) {
        if (event.field == T::kInptValue) {
            ApplyInputValue(record);
        } else if (event.field == T::kInptImage) {
            ReassignMediaUnit(record);
        } else if (event.field == T::kInptAnim) {
            CRecord* unitRecord = record->Parent();
            CUnit* unit = IsType(unitRecord, T::kUNIT) ? FindUnit(unitRecord->GetUInt(T::kUnitId)) : nullptr;
            CUnitParam* param = unit ? unit->Param(record->GetString(T::kInptKey)) : nullptr;
            if (!param) return;
            std::lock_guard<std::recursive_mutex> frame(fFrameLock);
            param->SetAnimator(event.editor, record->GetSubRecord(T::kInptAnim), this, unit->depth());
        }
        return;
    }
    if (IsType(record, T::kMIXS) && record == MixRecord() && event.field == T::kMixsLayers) {
        if (event.index1 < 0) return;
        const auto i1 = static_cast<size_t>(event.index1);
        if (event.kind == SRecordEvent::kInserted) {
            CreateLayer(event.editor, static_cast<uint32_t>(i1));
        } else if (event.kind == SRecordEvent::kRemoved) {
            std::lock_guard<std::recursive_mutex> frame(fFrameLock);
            if (i1 < fLayers.size()) fLayers.erase(fLayers.begin() + static_cast<std::ptrdiff_t>(i1));
        } else if (event.kind == SRecordEvent::kMoved && event.index2 >= 0) {
            const auto i2 = static_cast<size_t>(event.index2);
            std::lock_guard<std::recursive_mutex> frame(fFrameLock);
            if (i1 >= fLayers.size() || i2 >= fLayers.size()) return;
            auto layer = std::move(fLayers[i1]);
            fLayers.erase(fLayers.begin() + static_cast<std::ptrdiff_t>(i1));
            fLayers.insert(fLayers.begin() + static_cast<std::ptrdiff_t>(i2), std::move(layer));
        }
        return;
    }
    if (IsType(record, T::kUNIT)) {
        OnUnitChange(event, record);
        return;
    }
    if (record == PrefRecord() && event.kind == SRecordEvent::kValueChanged) {
        if (event.field == CAppPrefs::kPrefResolution) {
            ResizeAll();
            ToggleOutputSizeNote();
        } else if (event.field == CAppPrefs::kPrefMovieTimeMon ||
                   event.field == CAppPrefs::kPrefMovieTimeRem) {
            ReloadFileClips();
        }
    }
}

void CMixEngine::ReloadFileClips() {
    CRecord* mix = MixRecord();
    std::vector<CMediaUnit*> media;
    for (const auto& layer : fLayers) CollectMedia(layer.get(), media);
    for (CMediaUnit* m : media) {
        if (m->CurrentSlot() != CMediaUnit::kFileSlot) continue;
        CRecord* record = UDocModel::FindUnitById(mix, m->id());
        std::lock_guard<std::recursive_mutex> frame(fFrameLock);
        m->LoadClip(this, LString(m->Clip()), record);
    }
}

void CMixEngine::CollectMedia(CUnit* unit, std::vector<CMediaUnit*>& out) {
    if (!unit) return;
    for (uint32_t i = 0; i < unit->ParamCount(); ++i) {
        CUnitParam* p = unit->ParamAt(i);
        if (CMediaUnit* m = p->mediaUnit()) {
            out.push_back(m);
            CollectMedia(m, out);
        }
        CollectMedia(p->animator(), out);
    }
    if (unit->kind() == CUnit::kLayer || unit->kind() == CUnit::kMedia) {
        auto* chain = static_cast<CChainUnit*>(unit);
        for (uint32_t i = 0; i < chain->ChainCount(); ++i) CollectMedia(chain->ChainAt(i), out);
    }
}

// --- the main-thread service ------------------------------------------------------------------------

void CMixEngine::ServiceUnit(CUnit* unit) {
    if (!unit) return;
    CRecord* record = UDocModel::FindUnitById(MixRecord(), unit->id());
    if (record) {
        if (unit->TakeChanged()) ToggleByte(record, T::kUnitRun0);
        for (uint32_t i = 0; i < unit->ParamCount(); ++i) {
            CUnitParam* param = unit->ParamAt(i);
            CMediaUnit* media = param->mediaUnit();
            if (media && media->ReloadRequest()) param->SetValue(this, param->Value(this), record, false);
            CRecord* input = UDocModel::FindUnitInput(record, param->key);
            if (!input) continue;
            LString text;
            {
                std::lock_guard<std::mutex> lock(fParamLock);
                if (!param->fWriteBack) continue;
                param->fWriteBack = 0;
                text = param->monitorKey.IsEmpty() ? param->fValue : param->fMonitorValue;
            }
            CRecord* held = input;
            (void)CRecordRef(&held).SetString(nullptr, T::kInptValue, text);
        }
    }
    for (uint32_t i = 0; i < unit->ParamCount(); ++i) {
        CUnitParam* p = unit->ParamAt(i);
        ServiceUnit(p->mediaUnit());
        ServiceUnit(p->animator());
    }
    if (unit->kind() == CUnit::kLayer || unit->kind() == CUnit::kMedia) {
        auto* chain = static_cast<CChainUnit*>(unit);
        for (uint32_t i = 0; i < chain->ChainCount(); ++i) ServiceUnit(chain->ChainAt(i));
    }
}

void CMixEngine::ServiceSignal() {
    PLAT_DCHECK_MAIN_THREAD();
    const bool modified = fDocument && fDocument->IsModified();
    for (size_t i = 0; i < fLayers.size(); ++i) ServiceUnit(fLayers[i].get());
    if (fDocument && !modified) fDocument->SetModified(false);
}
