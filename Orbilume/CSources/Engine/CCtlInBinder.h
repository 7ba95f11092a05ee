#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "Lib3/LSources/CoreString/LString.h"

class CCtlInHub;
class CRecord;
class OscPattern;
struct OscArg;

// One bound input: its key, the last value text handed on, an owned copy of its control set.
struct CtlBinding {
    CtlBinding() = default;
    ~CtlBinding();
    CtlBinding(const CtlBinding&) = delete;
    CtlBinding& operator=(const CtlBinding&) = delete;

    void Reset();

    LString key;
    LString lastText;
    CRecord* control = nullptr;  // owned
    bool moved = false;
    float osc[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
};

// The bound inputs of one unit.
struct CtlUnitBindings {
    CtlBinding* Find(const LString& key) const;

    uint32_t unitId = 0;
    std::vector<std::unique_ptr<CtlBinding>> bindings;
};

// Turns control input (the hub's DMX, MIDI, sound levels; OSC messages; the sequence time) into
// value texts for the bound inputs of units. Derived binders say where the current value comes
// from, of what kind an input is and where a new value goes.
//
// Threads: a binder with a lock (the engine binder) takes it in every entry point below; one
// without (the document binder) is main-thread only. The OSC path runs on the main thread.
class CCtlInBinder {
public:
    enum Source : uint32_t {
        kNone = 0,
        kDmx = 1,
        kDmx2 = 2,
        kMidiCc = 3,
        kMidiNote = 4,
        kMidiVelocity = 5,
        kOsc = 6,
        kSpectrum = 7,
        kRgb = 8,
        kHsv = 9,
        kLocal = 10
    };
    enum Kind : uint32_t {
        kNotBindable = 0,
        kNumberKind = 1,
        kIntegerKind = 2,
        kColorKind = 3,
        kTextKind = 4
    };

    // Adds the OSC handler to the hub's list (a null hub: no input at all).
    explicit CCtlInBinder(CCtlInHub* hub);
    virtual ~CCtlInBinder();
    CCtlInBinder(const CCtlInBinder&) = delete;
    CCtlInBinder& operator=(const CCtlInBinder&) = delete;

    virtual LString CurrentText(CtlUnitBindings& unit, CtlBinding& binding) = 0;
    virtual uint32_t ValueKind(CtlUnitBindings& unit, CtlBinding& binding, float& min, float& max,
                               uint8_t& decimals) = 0;
    virtual void SetValue(CtlUnitBindings& unit, CtlBinding& binding, const LString& text,
                          bool firstOnly) = 0;
    virtual float LocalValue(uint32_t source);

    // From an INPT record: its control set replaces the binding's copy (and resets it), or without
    // a source the binding goes.
    void UpdateFromInput(CRecord* input);
    void RemoveInput(CRecord* input);
    void RemoveUnit(uint32_t unitId);
    void ResetAll();
    CtlUnitBindings* FindUnitBindings(uint32_t unitId);
    CtlBinding* FindBinding(CtlUnitBindings* unit, const LString& key);
    // Copies of the bound keys of a unit with their moved flags; false when it has none.
    bool BoundKeys(uint32_t unitId, std::vector<std::pair<LString, bool>>& out);
    uint32_t UnitListCount() const { return fUnitCount.load(std::memory_order_relaxed); }

    void Evaluate();
    void OnOsc(OscPattern& pattern, const OscArg* args, uint32_t count);

    // The "type" of a control set (0 for none).
    static int SourceOf(const CRecord* control);
    // The value of a control set's source (0..1 for the hub's sources); false when it has none here.
    bool SourceValue(const CRecord* control, float& value);

    // Colour conversions, all components 0..1.
    static void RgbToHsv(const float rgb[3], float hsv[3]);
    static void HsvToRgb(const float hsv[3], float rgb[3]);
    // Rounded half away from zero, as a decimal text.
    static LString IntegerText(double value);

    void SetClock(uint32_t (*clock)()) { fClock = clock; }

protected:
    // Held by the entry points; null for a binder without a lock.
    std::mutex* fLock = nullptr;
    CCtlInHub* fHub;
    // Set while Evaluate runs (side effects that belong to the frame happen only then).
    bool fEvaluating = false;

    // The mapping range of a control over the input's own range.
    static void MappingRange(const CRecord* control, float& min, float& max);
    // A binding's control, nested component sets included, after a change inside them.
    static CRecord* InputOfControlChange(CRecord* record);

private:
    static void OscProc(void* context, OscPattern& pattern, const OscArg* args, uint32_t count);
    void EvaluateLocked();
    bool ColorValue(CtlBinding& binding, float rgba[4]);
    void OnOscLocked(OscPattern& pattern, const OscArg* args, uint32_t count);
    void UpdateLocked(CRecord* input);
    void RemoveLocked(uint32_t unitId, const LString& key);

    std::vector<std::unique_ptr<CtlUnitBindings>> fUnits;
    std::atomic<uint32_t> fUnitCount{0};
    uint32_t fRecentStamp = 0;
    uint8_t fRecent = 0;
    uint32_t (*fClock)() = nullptr;
};
