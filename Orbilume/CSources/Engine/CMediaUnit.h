#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/Engine/CChainUnit.h"
#include "Platform/Foundation/Object.h"

class CUnitHost;

// One internal composition made ready for a media unit, with the inputs it had when it was made.
struct SSavedInput {
    uint32_t kind = 0;
    LString key;
    LString text;
    float color[4] = {0, 0, 0, 1};
    float number = 0;
};

struct SCompoSlot {
    plat::Ref<MQcRenderer_> renderer;  // on the engine's shared target
    std::vector<SSavedInput> saved;
};

// A chain unit (kind 1) whose image feeds an image parameter: a clip (file, colour fill, the mix,
// a video input, another unit's tap in the same layer) played through one of the engine's
// internal compositions. Clips load on the main thread under the frame lock; evaluation runs on
// the render thread under it.
class CVCapLink;

class CMediaUnit : public CChainUnit {
public:
    enum Slot : uint32_t {
        kFileSlot,
        kColorFillSlot,
        kMixBufferSlot,
        kVideoInputSlot,
        kLocalTapSlot,
        kSlotCount
    };
    // Video capture slots a ".videoinput" clip may name.
    static constexpr int32_t kVideoSlots = 8;

    explicit CMediaUnit(CUnitHost* host = nullptr, uint32_t depth = 0);
    ~CMediaUnit() override;

    bool Render(double time) override;

    const LString& Clip() const { return fClip; }
    // Set under the parameter lock on any thread, taken by the main thread.
    bool ReloadRequest() const { return fReload.load(std::memory_order_relaxed); }
    void SetReloadRequest(bool reload) { fReload.store(reload, std::memory_order_relaxed); }
    bool IsIdle() const { return fIdle; }
    void MarkIdle() { fIdle = true; }
    // The slot now playing, or kSlotCount for none; the video capture slot bound (-1 none).
    uint32_t CurrentSlot() const { return fCurrent; }
    int32_t VideoSource() const { return fVideoSource; }
    MQcRenderer_* SlotRenderer(uint32_t slot) const {
        return slot < kSlotCount ? fSlots[slot].renderer.get() : nullptr;
    }

    // Loads the clip with the media unit's record; frame lock held, main thread.
    void LoadClip(CUnitHost* host, const LString& clip, CRecord* record);
    // Prunes the parameter groups the loaded medium has no use for.
    void ApplyMediaKind();
    void ResizeTo(uint32_t width, uint32_t height, bool force);
    bool EvaluateMedia(SFrameInfo& info, CUnit*& out);

private:
    void InitSlot(SCompoSlot& slot, MQcComposition_* composition);
    static void RestoreSlot(SCompoSlot& slot);
    void Deselect();
    void SelectSlot(uint32_t slot, uint32_t width, uint32_t height);

    CUnitHost* fHost;
    SCompoSlot fSlots[kSlotCount];
    uint32_t fCurrent = kSlotCount;
    int32_t fVideoSource = -1;
    // The capture slot a video-input clip shows; made on the main thread, updated on the render one.
    std::unique_ptr<CVCapLink> fVideoLink;
    LString fClip;
    std::atomic<bool> fReload{false};
    bool fIdle = false;
};
