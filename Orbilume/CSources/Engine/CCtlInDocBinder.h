#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Engine/CCtlInBinder.h"

class CRecordHolder;
class CRunLoopSignal;
struct SRecordEvent;

// The bindings of one unit record outside the engine (the output adjustment's 'oaun'): evaluated
// on the run loop it was made on whenever DMX or MIDI input arrives, writing the inputs' 'valu'
// without undo. Inputs are numbers in the ranges AddRange gives; others are not bindable.
//
// Threads: everything but the hub listeners (which only signal) runs on the constructing
// thread's run loop, the main loop; no lock.
class CCtlInDocBinder : public CCtlInBinder {
public:
    // The record must outlive the binder (its holder too, when it has one).
    CCtlInDocBinder(CRecord* unit, CCtlInHub* hub);
    ~CCtlInDocBinder() override;

    void AddRange(const LString& key, float min, float max);

    LString CurrentText(CtlUnitBindings& unit, CtlBinding& binding) override;
    uint32_t ValueKind(CtlUnitBindings& unit, CtlBinding& binding, float& min, float& max,
                       uint8_t& decimals) override;
    void SetValue(CtlUnitBindings& unit, CtlBinding& binding, const LString& text, bool firstOnly) override;

private:
    struct Range {
        LString key;
        float min;
        float max;
    };
    static void DmxListener(void* context);
    static void MidiListener(void* context, const uint8_t message[3]);
    static void SignalPerformed(void* context);
    static void RecordObserver(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);
    CRecord* FindInput(const LString& key) const;

    CRecord* fUnit;
    CRecordHolder* fHolder = nullptr;
    std::unique_ptr<CRunLoopSignal> fSignal;
    std::vector<Range> fRanges;
};
