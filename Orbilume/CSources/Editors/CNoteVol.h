#pragma once

#include <cstdint>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreString/LString.h"

// A knob over MIDI notes 0..127 (step 1, initially 60) that shows and reads note names: "C 4" is 60,
// "C#4" 61, "C -1" 0, "G 9" 127. Typed text: a letter A..G, "#" for sharp, and the octave from "-"
// and digits (4 when none); the result is clamped to 0..127. Main thread only.
class CNoteVol : public CNumVol {
public:
    explicit CNoteVol(LPane* owner);

    float GetValue() override;
    void StoreValue(float value) override;
    bool AcceptChar(uint32_t ch) override;

    static int32_t ParseNote(const char* text, uint32_t length);
    static LString FormatNote(int32_t note);
};
