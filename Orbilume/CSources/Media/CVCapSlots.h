#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Common/OpenGL/CPixBufTarget.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Orbilume/CSources/Media/CMacAVDevNote.h"
#include "Orbilume/CSources/Media/CVCapSource.h"

namespace plat {
class CaptureRegistry;
}
class CAppPrefs;
class MQcRenderer_;
struct SRecordEvent;

L_MESSAGE_ID(CObVCapNote_Change);

// Turns device notes into "CObVCapNote_Change" for its upper handler.
class CVCapDevRelay : public LHandler {
public:
    explicit CVCapDevRelay(LHandler* upper);
    LMessage Handle(const LMessage& msg) override;

private:
    CMacAVDevNote fNote;
};

// One video input: the source it shows and how many media units use it. Bind, Use and Unuse run on
// the main thread; GetFrameInfo and DrawFrame on render threads, which keep the source alive while
// they use it.
class CVCapSlot {
public:
    CVCapSlot() = default;
    ~CVCapSlot();
    CVCapSlot(const CVCapSlot&) = delete;
    CVCapSlot& operator=(const CVCapSlot&) = delete;

    void Bind(CVCapSource* source);
    void Use();
    void Unuse();
    uint32_t GetFrameInfo(uint32_t& width, uint32_t& height);
    void DrawFrame(plat::GLTexture* texture);

    CVCapSource* source() const { return fSource; }
    uint32_t useCount() const { return fUseCount; }

private:
    std::mutex fSourceLock;  // held by the render side while it uses the source
    CVCapSource* fSource = nullptr;
    uint32_t fUseCount = 0;
};

// The video input slots, bound by the device names of the preferences ('vdvs', under "0".."n-1",
// key "name"), rebound once on the main loop after preference changes and device arrivals and
// departures. Main thread only.
class CVCapSlots : public LHandler {
public:
    static constexpr uint32_t kSlotCount = 4;

    explicit CVCapSlots(uint32_t count, CAppPrefs* prefs = nullptr,
                        plat::CaptureRegistry* registry = nullptr);
    ~CVCapSlots() override;

    // The application's slots, or null.
    static CVCapSlots* Get();

    CVCapSlot* GetSlot(uint32_t index) const;
    LMessage Handle(const LMessage& msg) override;
    void Rebind();

    const CVCapSourceList& sources() const { return fSources; }
    uint32_t rebindCount() const { return fRebinds; }

private:
    static void Observe(void* self, const SRecordEvent* event);
    LString WantedName(uint32_t index) const;

    CAppPrefs* fPrefs;
    plat::CaptureRegistry* fRegistry;
    LTimer fRebindTimer;
    CVCapDevRelay fRelay;
    CVCapSourceList fSources;
    std::vector<std::unique_ptr<CVCapSlot>> fSlots;
    uint32_t fRebinds = 0;
};

// A media unit's view of one slot: the slot's newest frame fitted to the unit's size, handed to its
// composition as "obprivate_ImageIn". SetSource and the switch run on the main thread; Update on
// the render thread.
class CVCapLink {
public:
    CVCapLink();
    ~CVCapLink();
    CVCapLink(const CVCapLink&) = delete;
    CVCapLink& operator=(const CVCapLink&) = delete;

    void SetSource(CVCapSlot* slot);
    // Non-zero when the picture input changed.
    int Update(MQcRenderer_* renderer);

    CVCapSlot* bound() const { return fBound.load(); }

private:
    static void Switch(void* self);

    CPixBufTarget fTarget;
    std::atomic<CVCapSlot*> fBound{nullptr};
    CVCapSlot* fWanted = nullptr;
    // Reset by the switch on the main thread, used by Update on the render thread.
    std::atomic<uint32_t> fLastSerial{0};
    std::atomic<bool> fStarted{false};
    CRunLoopSignal fSwitchSignal;
};
