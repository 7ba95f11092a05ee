#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreString/LString.h"
#include "Orbilume/CSources/QCx/CQcPortDesc.h"

class CMediaUnit;
class CRecord;
class CUnit;
class CUnitHost;
class LHandler;
class MQcComposition_;
class MQcRenderer_;

// One input port of a unit's composition, or one of the engine's own layer and unit settings,
// with its value as text. Values enter as texts (document, scenes, bindings, OSC, HTTP) and are
// pushed into the composition by PushIfDirty. An image parameter has a media unit feeding it; any
// parameter may have an animator unit driving it.
//
// value, monitor value, dirty and write-back are read and written under the host's parameter lock;
// the media unit and animator change only under the frame lock.
class CUnitParam : public CQcPortDesc {
public:
    // Port kinds (CQcPortDesc::kind).
    enum : uint32_t {
        kOther = 0,
        kBoolean = 1,
        kIndex = 2,
        kNumber = 3,
        kString = 4,
        kColor = 5,
        kImage = 6,
        kStructure = 7
    };

    CUnitParam();
    virtual ~CUnitParam();
    CUnitParam(const CUnitParam&) = delete;
    CUnitParam& operator=(const CUnitParam&) = delete;

    // Decimals shown for a number of that range: 3 below 10, 2 below 100, 1 below 1000, else 0.
    // A larger bound of 0 or NaN gives 3, an infinite one 0.
    static uint8_t DecimalsForRange(float min, float max);
    // "rgba(r,g,b,a)" (missing components keep 0, 0, 0, 1) or a hexadecimal RGB number.
    static void ParseRgba(const LString& text, float rgba[4]);
    static LString FormatRgba(const float rgba[4]);
    // A value text as a number in the C locale; unparsable and non-finite texts give 0.
    static double ReadNumber(const LString& text);
    // The same narrowed to a float, kept finite.
    static float ReadFloat(const LString& text);
    // A value text as an integer (strtol in the C locale).
    static int32_t ReadInt(const LString& text);

    // A parameter for the composition's input port, or null when the port cannot be read.
    static std::unique_ptr<CUnitParam> FromPort(const MQcComposition_* composition, const LString& key,
                                                bool hidden, CUnitHost* host);
    // One of the engine's own parameters.
    static std::unique_ptr<CUnitParam> Engine(const char* key, uint32_t kind, float defaultValue, float min,
                                              float max, const char* value, uint8_t decimals);

    // The value as the composition now holds it (hidden parameters: the stored value).
    LString ValueText(const MQcRenderer_* renderer) const;
    // The monitor output's value as text; empty without a monitor key.
    LString MonitorText(const MQcRenderer_* renderer) const;

    // Sets the value text from outside. Without force an animated parameter (animator not bypassed)
    // keeps its value. With a unit record a changed clip of an image parameter loads at once
    // (main thread); without one it waits for the engine's service.
    void SetValue(CUnitHost* host, const LString& text, CRecord* unit, bool force);
    // value := text, marked for write-back unless monitored; signals the host. Parameter lock held.
    void Store(CUnitHost* host, const LString& text);
    // Pushes a changed value into the composition.
    void PushIfDirty(CUnitHost* host, MQcRenderer_* renderer);

    // Sets, replaces or removes the animator from the input's 'anim' record.
    void SetAnimator(LHandler* editor, CRecord* anim, CUnitHost* host, uint32_t depth);

    // Copies under the parameter lock.
    LString Value(CUnitHost* host) const;
    LString MonitorValue(CUnitHost* host) const;

    CMediaUnit* mediaUnit() const { return fMediaUnit.get(); }
    CUnit* animator() const { return fAnimator.get(); }
    void SetMediaUnit(std::unique_ptr<CMediaUnit> unit);
    void DeleteAnimator();

    // Unlocked access, for the owner of the parameter lock and single-threaded callers.
    LString fValue;
    LString fMonitorValue;
    uint8_t fDecimals = 0;
    uint8_t fHidden = 0;
    uint8_t fWriteBack = 0;
    uint8_t fDirty = 0;

private:
    std::unique_ptr<CMediaUnit> fMediaUnit;
    std::unique_ptr<CUnit> fAnimator;
};
