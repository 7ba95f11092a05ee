#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "Common/OpenGL/CGLTexTarget.h"
#include "Lib3/LSources/CoreData/LCallbackList.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Engine/COutAdjust.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"
#include "Platform/Foundation/Object.h"

class CAppPrefs;
class CChainUnit;
class CLayer;
class CMediaCache;
class CRecord;
class CRunLoopSignal;
class CStrArray;
class CUnitParam;
class LHandler;
struct SRecordEvent;

// The compositing engine of one document: the layers of the mix as unit trees kept in step with
// the document's records, and the frame render an output's render thread asks for.
//
// Threads: records change, layers, chains and clips are edited, the signal is serviced and
// captures are requested on the main thread; RenderFrame and its callbacks run on a render
// thread. Locks, in order: the frame lock (whole frame, every change of the trees), then a lock a
// pre-render callback takes, then the parameter lock (values, flags, the capture lists). Value
// edits take the parameter lock alone and never wait for a frame. Scene counters are atomics.
// The owner stops every render thread before it destroys the engine.
class CMixEngine : public CUnitHost {
public:
    using PreRenderFunction = void(void* context, CMixEngine* engine);
    // Called with a null draw context once when the engine ends.
    using PostRenderFunction = void(void* context, CMixEngine* engine, COpenGLContext_Cca* draw);
    using AfterFrameFunction = void(void* context, CMixEngine* engine);

    struct SFrameRequest {
        int32_t lagMs = 0;
    };
    struct SCaptureReq : SMonitorRequest {
        uint8_t blank = 0;
    };

    // Follows the document and the preferences (either may be null); main thread.
    CMixEngine(CDocModelHolder* document, CAppPrefs* prefs);
    ~CMixEngine() override;
    CMixEngine(const CMixEngine&) = delete;
    CMixEngine& operator=(const CMixEngine&) = delete;

    // Builds the layers of every LAYR record of the document (a fresh engine over a loaded one).
    void LoadLayers();

    void RenderFrame(COpenGLContext_Cca& window, const SFrameRequest& request);
    void SetOutputSize(uint32_t width, uint32_t height);
    void ResizeAll();
    void RenderSize(uint32_t& width, uint32_t& height) const;

    void SetUnitParamByKey(uint32_t id, const LString& key, const LString& text);
    void SetUnitParam(CUnit* unit, uint32_t index, const LString& text, CRecord* record);
    void SetStructureParam(CUnit* unit, CUnitParam* param, const float values[16]);
    bool GetOutputStrings(CUnit* unit, const LString& key, CStrArray& list);
    // A copy of the unit's inputs for the editors, taken under the parameter lock; null when no
    // unit has the id. Main thread.
    std::unique_ptr<struct CUnitPortList> PortList(uint32_t unitId);
    // Scene recall, inside its own mutex: no frame lock.
    void BumpSceneCounters();

    void AddPreRenderCallback(void* context, PreRenderFunction* function);
    void RemovePreRenderCallback(void* context, PreRenderFunction* function);
    void AddPostRenderCallback(void* context, PostRenderFunction* function);
    void RemovePostRenderCallback(void* context, PostRenderFunction* function);
    void AddAfterFrameCallback(void* context, AfterFrameFunction* function);
    void RemoveAfterFrameCallback(void* context, AfterFrameFunction* function);

    void RequestCapture(uint32_t id, COpenGLContext_Cca* context, bool blank);
    void RequestMixCapture(COpenGLContext_Cca* context);
    // Drops the context's queued captures and waits while the render thread draws one into it, so
    // the context may go once this returns. The caller holds no scope on that context.
    void CancelCaptures(COpenGLContext_Cca* context);
    void DrawMixInto(COpenGLContext_Cca& context, bool buildMipmaps);

    void OnRecordChange(const SRecordEvent& event);
    void ApplyInputValue(CRecord* input);
    void ApplyOutputKey(const LString& key, const LString& text);
    void ReassignMediaUnit(CRecord* input);
    void CreateLayer(LHandler* editor, uint32_t index);
    void InsertChainUnit(LHandler* editor, CRecord* ownerRecord, CChainUnit* owner, uint32_t index);
    void RemoveChainUnit(CChainUnit* owner, uint32_t index);
    // Main thread: changed flags, clip reloads and write-backs of the render thread reach the
    // document (no undo; the modified flag stays as it was).
    void ServiceSignal();

    // CUnitHost
    std::recursive_mutex& FrameLock() override { return fFrameLock; }
    std::mutex& ParamLock() override { return fParamLock; }
    void Signal() override;
    COpenGLFBOTarget* SharedTarget() override { return fShared; }
    void OutputSize(uint32_t& width, uint32_t& height) const override { RenderSize(width, height); }
    void FullOutputSize(uint32_t& width, uint32_t& height) const override;
    CUnit* FindUnit(uint32_t id) override;
    SMonitorRequest* CaptureHead() override;
    void RecycleCaptureHead() override;
    void AddMediaCacheEntry(uint32_t id) override;
    std::unique_ptr<CMediaUnit> MakeMediaUnit() override;
    CDocModelHolder* Document() override { return fDocument; }
    const CCompoRepository* Repository() const override { return fRepository; }
    MQcComposition_* InternalComposition(uint32_t slot) override;
    CGLTexTarget* MixBuffer() override { return &fMix; }
    CMediaCache* MediaCache() override { return fCache.get(); }
    void AddReadBackUsers(int32_t delta) override;

    void SetRepository(const CCompoRepository* repository) { fRepository = repository; }
    // The millisecond clock frames read (tests fix it).
    using ClockFunction = uint32_t (*)();
    void SetClock(ClockFunction clock) { fClock = clock; }

    uint32_t LayerCount() const { return static_cast<uint32_t>(fLayers.size()); }
    CLayer* LayerAt(uint32_t i) const { return i < fLayers.size() ? fLayers[i].get() : nullptr; }
    uint32_t ReadBackUsers() const { return fReadBackUsers; }
    COutAdjust& OutAdjust() { return fAdjust; }
    size_t QueuedCaptures();
    uint32_t SignalCount() const { return fSignals.load(std::memory_order_relaxed); }

private:
    static void RecordObserver(void* context, const SRecordEvent* event);
    static void SignalPerformed(void* engine);
    void OnUnitChange(const SRecordEvent& event, CRecord* record);
    void ServiceUnit(CUnit* unit);
    void ReloadFileClips();
    static void CollectMedia(CUnit* unit, std::vector<CMediaUnit*>& out);
    bool ServeHeadCapture();
    void ClearAndPresent(COpenGLContext_Cca* context);
    CRecord* MixRecord() const;
    CRecord* PrefRecord() const;
    void ToggleOutputSizeNote();
    uint32_t Resolution() const;

    std::recursive_mutex fFrameLock;
    std::mutex fParamLock;
    CDocModelHolder* fDocument;
    CAppPrefs* fPrefs;
    const CCompoRepository* fRepository = nullptr;
    COpenGLFBOTarget* fShared = nullptr;
    std::unique_ptr<CMediaCache> fCache;
    uint32_t fWidth = 0;
    uint32_t fHeight = 0;
    uint32_t fMaxTexture = 16384;
    uint32_t fReadBackUsers = 0;
    COutAdjust fAdjust;
    CGLTexTarget fMix;
    std::vector<std::unique_ptr<CLayer>> fLayers;
    LCallbackList fPostRender;
    LCallbackList fPreRender;
    LCallbackList fAfterFrame;
    plat::Ref<MQcComposition_> fInternal[5];
    std::unique_ptr<CRunLoopSignal> fSignal;
    std::list<SCaptureReq> fCaptures;
    std::list<SCaptureReq> fFreeCaptures;
    COpenGLContext_Cca* fServing = nullptr;  // under the parameter lock: the capture being drawn
    std::condition_variable fServed;
    std::atomic<uint32_t> fSignals{0};
    std::atomic<uint32_t> fRendering{0};
    ClockFunction fClock;
};
