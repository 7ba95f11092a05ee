#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Platform/Foundation/Object.h"

class CChainUnit;
class COpenGLContext_Cca;
class CRecord;
class CUnitHost;
class CUnitParam;
class LHandler;
class MQcComposition_;
class MQcRenderer_;
struct SFrameInfo;

// One running composition: its wrapper, its renderer, its parameters and the units hanging from
// them (media units on image parameters, animators on any parameter). Units form trees; a layer
// (CLayer) and a media unit are chain units (CChainUnit) with filters behind them.
//
// Units are made and deleted on the main thread under the host's frame lock and evaluated on the
// render thread under it. Trees are at most kMaxDepth units deep: deeper animators, media units
// and filters are not built.
class CUnit {
public:
    enum Kind : uint32_t { kLayer = 0, kMedia = 1, kChain = 2, kAnimator = 3 };
    static constexpr uint32_t kMaxDepth = 256;

    CUnit(CChainUnit* owner, uint32_t kind, uint32_t depth = 0);
    virtual ~CUnit();
    CUnit(const CUnit&) = delete;
    CUnit& operator=(const CUnit&) = delete;

    virtual bool Render(double time);
    // This unit or the first unit below it with that id.
    virtual CUnit* FindById(uint32_t id);

    // The composition of a stored path: the repository's first, else the file the path names
    // against the document (a folder gives none).
    static plat::Ref<MQcComposition_> LoadComposition(CUnitHost* host, const LString& storedPath);

    // Parameters and flags for the composition (none: an empty unit named "?"). wantedKind is the
    // kind of the parameter an animator drives (6 for other units).
    void BuildParams(MQcComposition_* composition, CUnitHost* host, uint32_t wantedKind);
    void AddInputParams(MQcComposition_* composition, CUnitHost* host, bool hidden);
    void Clear();
    // Makes the renderer when there is none, or anew for a consumer or when forced at a new size.
    void Prepare(uint32_t width, uint32_t height, CUnitHost* host, bool force);
    void Resize(uint32_t width, uint32_t height);
    // Ids, stored values, animators and media trees from the UNIT record; missing inputs are
    // created in the document (under the editor) with the composition's current values.
    void LoadFromRecord(LHandler* editor, CRecord* record, CUnitHost* host);

    int32_t ParamIndex(const LString& key) const;
    CUnitParam* Param(const LString& key) const;
    void RemoveParamGroup(const char* groupId);
    // The transition's progress (0 for other units).
    float Progress() const;
    // Bypassed when the "_obunit_Bypass" value is a non-zero integer.
    void UpdateBypass();

    // The opacity that applies to the unit of the record, and the unit it was taken from.
    static float EffectiveFader(const CRecord* record, CUnitHost* host, CUnit** from = nullptr);

    bool Evaluate(SFrameInfo& info, CUnit*& out);
    void Idle(SFrameInfo& info);
    static void FeedImage(CUnit* source, CUnit* unit, const LString& key);
    static void ApplyAnimatorOutput(CUnit* animator, CUnit* unit, CUnitParam* param);
    // Draws the unit's image into the requester's context and presents it.
    static void CaptureInto(CUnit* unit, COpenGLContext_Cca& context);

    CChainUnit* owner() const { return fOwner; }
    uint32_t kind() const { return fKind; }
    uint32_t id() const { return fId; }
    void SetId(uint32_t id) { fId = id; }
    uint32_t depth() const { return fDepth; }
    void SetDepth(uint32_t depth) { fDepth = depth; }
    MQcComposition_* composition() const { return fCompo.get(); }
    MQcRenderer_* renderer() const { return fRenderer.get(); }
    const LString& name() const { return fName; }
    const LString& imageInputKey() const { return fImageInputKey; }
    const LString& outputKey() const { return fOutputKey; }
    const LString& Spec() const { return fSpec; }
    void SetSpec(const LString& spec) { fSpec = spec; }
    uint32_t ParamCount() const { return static_cast<uint32_t>(fParams.size()); }
    CUnitParam* ParamAt(uint32_t i) const { return fParams[i].get(); }
    uint32_t width() const { return fWidth; }
    uint32_t height() const { return fHeight; }

    bool IsConsumer() const { return fConsumer; }
    bool IsTimed() const { return fTimed; }
    bool IsTransition() const { return fTransition; }
    bool HasScenePort() const { return fScenePort; }
    bool HasFaderPort() const { return fFaderPort; }
    bool IsBypassed() const { return fBypassed; }
    void SetBypassed(bool bypassed) { fBypassed = bypassed; }
    bool HasTapPort() const { return fTapPort; }
    // Set while rendering, cleared by the engine's service on the main thread.
    bool changed() const { return fChanged.load(std::memory_order_relaxed); }
    void SetChanged(bool changed) { fChanged.store(changed, std::memory_order_relaxed); }
    bool TakeChanged() { return fChanged.exchange(false, std::memory_order_relaxed); }
    // Whether the unit stands for an image: a consumer or a unit with an output key.
    bool HasImage() const { return fConsumer || !fOutputKey.IsEmpty(); }

protected:
    void EvaluateMedia(SFrameInfo& info, CUnitParam* param, float progress, CUnit*& result, bool& rendered);
    static float FaderWeight(const LString& key, float progress);

    CChainUnit* fOwner;
    uint32_t fKind;
    uint32_t fId = 0;
    uint32_t fDepth;
    plat::Ref<MQcComposition_> fCompo;
    plat::Ref<MQcRenderer_> fRenderer;
    LString fName;
    LString fImageInputKey;
    LString fOutputKey;
    LString fSpec;
    std::vector<std::unique_ptr<CUnitParam>> fParams;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    bool fConsumer = false;
    bool fTimed = false;
    bool fTransition = false;
    bool fScenePort = false;
    bool fFaderPort = false;
    bool fBypassed = false;
    bool fTapPort = false;
    std::atomic<bool> fChanged{false};
    bool fReloadRequest = false;
};
