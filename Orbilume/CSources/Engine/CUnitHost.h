#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

class CCompoRepository;
class CGLTexTarget;
class CMediaCache;
class CDocModelHolder;
class CMediaUnit;
class COpenGLContext_Cca;
class COpenGLFBOTarget;
class CUnit;
class MQcComposition_;

// A monitor request: draw the unit with that id into the requester's context.
struct SMonitorRequest {
    uint32_t unitId = 0;
    COpenGLContext_Cca* context = nullptr;
};

// What units, parameters and layers use of the engine that runs them; the mix engine implements
// it, tests use a small host of their own.
//
// Locks: the frame lock is held while units are made, deleted and evaluated; parameter texts and
// flags are read and written under the parameter lock. The frame lock is never taken while the
// parameter lock is held.
class CUnitHost {
public:
    virtual ~CUnitHost() = default;

    virtual std::recursive_mutex& FrameLock() = 0;
    virtual std::mutex& ParamLock() = 0;
    // Wakes the engine's main-thread service (values to write back, clips to load).
    virtual void Signal() = 0;

    // The target in which renderers that need no image of their own render; null without one.
    virtual COpenGLFBOTarget* SharedTarget() = 0;
    // The output size divided by the resolution setting, and the full output size.
    virtual void OutputSize(uint32_t& width, uint32_t& height) const = 0;
    virtual void FullOutputSize(uint32_t& width, uint32_t& height) const = 0;
    // The running unit with that id (layers and every unit below them); null when none.
    virtual CUnit* FindUnit(uint32_t id) = 0;

    // The monitor request at the head of the queue, or null; call with the parameter lock held.
    virtual SMonitorRequest* CaptureHead() = 0;
    // Takes the head off the queue and puts it on the free list; parameter lock held.
    virtual void RecycleCaptureHead() = 0;

    // Registers a unit id with the media cache.
    virtual void AddMediaCacheEntry(uint32_t id) = 0;
    // A new media unit for an image parameter; null when the engine makes none.
    virtual std::unique_ptr<CMediaUnit> MakeMediaUnit() = 0;

    // The document whose records the units load from (stored paths resolve against it), and the
    // composition repository; either may be null.
    virtual CDocModelHolder* Document() = 0;
    virtual const CCompoRepository* Repository() const = 0;

    // What media units use of the mix engine; a host without a mix answers none.
    // The internal composition of a clip slot (CMediaUnit::Slot), the mix buffer, the media cache.
    virtual MQcComposition_* InternalComposition(uint32_t /*slot*/) { return nullptr; }
    virtual CGLTexTarget* MixBuffer() { return nullptr; }
    virtual CMediaCache* MediaCache() { return nullptr; }
    // Users that need the mix as a texture (a ".mixbuffer" clip): +1 or -1, frame lock held.
    virtual void AddReadBackUsers(int32_t /*delta*/) {}
};
