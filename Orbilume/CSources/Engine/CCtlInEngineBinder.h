#pragma once

#include <cstdint>
#include <mutex>

#include "Orbilume/CSources/Engine/CCtlInBinder.h"

class CDocModelHolder;
class CMixEngine;
class CSeqcTimer;
class CUnit;
class CUnitParam;
class LAsyncLoop;
struct SRecordEvent;

// The bindings of one document's unit inputs, evaluated by the engine every frame (a pre-render
// callback) and written into the engine's unit parameters when a control moved.
//
// Threads: Evaluate on the render thread inside the frame lock; the record observer, ResetAll, the
// look-ups and the OSC path on the main thread. All of them take the binder's mutex; under it only
// the parameter lock is taken, and for "loc" the worker loop's lock (never the other way round).
class CCtlInEngineBinder : public CCtlInBinder {
public:
    // Any of the document, loop and timer may be null. Builds the bindings of the document's
    // inputs and follows its changes.
    CCtlInEngineBinder(CMixEngine* engine, CDocModelHolder* document, LAsyncLoop* loop, CSeqcTimer* timer,
                       CCtlInHub* hub);
    ~CCtlInEngineBinder() override;

    LString CurrentText(CtlUnitBindings& unit, CtlBinding& binding) override;
    uint32_t ValueKind(CtlUnitBindings& unit, CtlBinding& binding, float& min, float& max,
                       uint8_t& decimals) override;
    void SetValue(CtlUnitBindings& unit, CtlBinding& binding, const LString& text, bool firstOnly) override;
    float LocalValue(uint32_t source) override;

    std::mutex& Mutex() { return fMutex; }

private:
    static void PreRender(void* context, CMixEngine* engine);
    static void RecordObserver(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);
    void AddUnitTree(CRecord* unit, uint32_t depth);
    CUnitParam* FindParam(uint32_t unitId, const LString& key, CUnit** unit, uint32_t* index);

    std::mutex fMutex;
    CMixEngine* fEngine;
    CDocModelHolder* fDocument;
    LAsyncLoop* fLoop;
    CSeqcTimer* fTimer;
};
