#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CCtlInEngineBinder;
class CMixEngine;
class CRecord;
class CUnit;
class LHandler;

// One stored value of a scene for a unit parameter.
struct SceneRecallItem {
    LString key;
    LString value;
    bool active = false;
};

// The values a recall knows for one unit.
struct SceneRecallEntry {
    // The index of the first item with that key, or -1.
    int32_t Find(const LString& key) const;

    uint32_t unitId = 0;
    std::vector<SceneRecallItem> items;
    bool pending = false;
    float overrideLevel = 0;
};

// Moves the running mix from its current parameter values to a scene's over the scene's fade time:
// switched kinds (booleans, indexes, texts, images) jump at the start, numbers and colours fade.
// Runs once per frame as a pre-render callback of the engine. Per-layer blend overrides let the
// document mix several scenes' layer levels at once.
//
// Threads: Start, the override setters and ApplyPendingToUnit on the main thread; the step on the
// render thread inside the frame lock. Locks in order: frame lock, the recall's mutex, the binder's
// mutex (its look-ups), the parameter lock. Scene counters are bumped lock-free.
class CSceneRecall {
public:
    enum Flag : uint32_t { kStep = 0, kStart = 1, kOnDemand = 2, kForce = 3 };

    // The binder may be null (nothing counts as bound).
    CSceneRecall(CMixEngine* engine, CCtlInEngineBinder* binder);
    ~CSceneRecall();
    CSceneRecall(const CSceneRecall&) = delete;
    CSceneRecall& operator=(const CSceneRecall&) = delete;

    // Begins a recall of the SCNE record. mode: 0 recalls every parameter, 1 leaves those whose
    // control moved, 2 every bound one. Overrides below 0 (or not finite) are off; a position
    // override is at most 1.
    void Start(const CRecord* scene, uint32_t mode, float positionOverride, float timeOverride);
    // Replace the override in force; one that is off stays off.
    void SetPositionOverride(float value);
    void SetTimeOverride(float value);
    // (unit id, level) pairs for the layers' blends; a count of 0 ends the overrides.
    void SetOverrides(const uint32_t* unitIds, const float* levels, uint32_t count);
    // A unit made after the recall started gets its pending values.
    void ApplyPendingToUnit(const CRecord* unitRecord);
    // Stores every input value of the mix into the scene ('prms'); existing ones are replaced
    // unless onlyAdd is set.
    static void AddSceneUnits(LHandler* editor, CRecord* mix, CRecord* scene, bool onlyAdd);

    // The per-frame step (what the pre-render callback runs).
    void Step();

    float Progress();
    using ClockFunction = uint32_t (*)();
    void SetClock(ClockFunction clock) { fClock = clock; }

private:
    static void PreRender(void* context, CMixEngine* engine);
    SceneRecallEntry* FindEntry(uint32_t unitId);
    SceneRecallEntry* FindOrAddEntry(uint32_t unitId);
    float ProgressFromTime(float fade, uint32_t now);
    void Advance(float p, uint32_t flag);
    void ApplyToUnit(CUnit* unit, uint32_t flag);
    uint32_t Now() const;

    std::mutex fMutex;
    CMixEngine* fEngine;
    CCtlInEngineBinder* fBinder;
    uint32_t fLastTime = 0;
    float fProgress = 1.0f;
    float fPreviousProgress = 1.0f;
    std::vector<std::unique_ptr<SceneRecallEntry>> fEntries;
    float fDefaultFade = 0;
    uint32_t fMode = 0;
    float fPositionOverride = -1.0f;
    float fTimeOverride = -1.0f;
    bool fOverridesActive = false;
    // The scene list's 'snpr' (numbers and colours jump), taken at the start.
    bool fSnap = false;
    ClockFunction fClock = nullptr;
};
