#pragma once

#include <cstdint>
#include <memory>

#include "Common/ObjC/LNumEdit.h"
#include "Lib3/LSources/CoreData/LTimer.h"

// A change made by the mouse, still in progress; a settled value.
L_MESSAGE_ID(CNumVol_Move);
L_MESSAGE_ID(CNumVol_Fix);

// A numeric knob: a float within a range, kept as the field's text, stepped by a click and hold
// (repeating at the key-repeat delays), by drags (quadratically, beyond a dead zone of 5 pixels),
// by the wheel at the place value under the pointer, by Control-arrows and by "CGenCtlEv_Step".
// Main thread only.
class CNumVol : public LNumEdit {
public:
    static constexpr int32_t kDeadZone = 5;

    CNumVol(LPane* owner, uint32_t decimals, uint32_t options);
    ~CNumVol() override;

    LMessage Handle(const LMessage& msg) override;

    // 0 not a step key, 1 the value changed, 2 handled without a change.
    virtual int32_t StepKey();
    virtual int32_t SetDirection(const CLPoint& local);
    virtual double WheelStep(const CLPoint& local);
    virtual float GetValue();
    virtual void StoreValue(float value);
    virtual void Refresh();

    void SetValue(float value);
    void SetRange(float minimum, float maximum, float step);
    void SetDecimals(uint32_t decimals);
    bool StepBy(int32_t n);

    float Minimum() const { return fMin; }
    float Maximum() const { return fMax; }
    float Step() const { return fStep; }
    uint32_t Decimals() const { return fDecimals; }
    int32_t Direction() const { return fDirection; }
    bool IsMoving() const { return fMoving; }
    LTimer* RepeatTimer() const { return fTimer.get(); }

    float Clamp(float value) const;
    // The count a controller's step request moves by: scaled to the range from 10 on.
    int32_t ScaledStepCount(int32_t n) const;
    // Decimal text in the C locale: blanks skipped, the longest number prefix, 0 when none.
    static float ParseValue(const char* text, uint32_t length);
    static uint32_t InitialDelayMs();
    static uint32_t RepeatDelayMs();

protected:
    // For subclasses that pick the click's direction themselves (0: the click steps nothing).
    void SetStepDirection(int32_t direction) { fDirection = direction; }

private:
    LMessage Changed(LMsgId id, bool moving);
    CLPoint LocalPoint(const CLPoint& global) const;
    void DeleteTimer() { fTimer.reset(); }

    uint32_t fDecimals;
    CLPoint fReference;
    std::unique_ptr<LTimer> fTimer;
    bool fMoving = false;
    int32_t fDirection = 0;
    float fMin = 0;
    float fMax = 100;
    float fStep = 1.0f;
};
