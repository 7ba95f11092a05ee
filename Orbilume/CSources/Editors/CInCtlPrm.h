#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CInCtlFrm;
class CNoteVol;
class CNumVol;
class LEditText;
class LStdCheck;
class LTextPane;

// The editors of one kind of control assignment, shown inside a `CInCtlFrm`: each lays itself out by
// its layout, shows the fields of its type, sends every edit up as a `CInCtlPrmNote` and reads a
// stored set back with Apply. They never write the document. Main thread only.
class CInCtlPrm : public LFrame {
public:
    // type: the word of the assignment type it edits ("dmx", "midic", ...).
    CInCtlPrm(LHandler* upper, LPane* owner, const char* type, const char* layout);

    // Shows the set's values (null: the defaults the accessors give for absent keys).
    virtual void Apply(CRecord* set);
    const char* Type() const { return fType; }

protected:
    // Sends the key and value up from this editor.
    void Note(const char* key, const LString& value);
    CNumVol* Knob(float minimum, float maximum, float initial);
    LTextPane* Label(const char* text);
    LStdCheck* Check(const char* title);
    static LString Whole(CNumVol* knob, int32_t offset);

private:
    const char* fType;
};

// "dmx" (1..512) and "dmx2" (16-bit: a first channel 1..511): "dmxch" = shown - 1.
class CInCtlPrmDmx : public CInCtlPrm {
public:
    CInCtlPrmDmx(LHandler* upper, LPane* owner, bool wide);
    LMessage Handle(const LMessage& msg) override;
    void Apply(CRecord* set) override;
    CNumVol* Channel() const { return fChannel; }

private:
    CNumVol* fChannel;
};

// "midic": "midich" = shown - 1, "midicc" = the knob's text.
class CInCtlPrmMidiCc : public CInCtlPrm {
public:
    CInCtlPrmMidiCc(LHandler* upper, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Apply(CRecord* set) override;
    CNumVol* Channel() const { return fChannel; }
    CNumVol* Controller() const { return fController; }

private:
    CNumVol* fChannel;
    CNumVol* fController;
};

// "midin": "midich" and the gate flag "miding".
class CInCtlPrmMidiNote : public CInCtlPrm {
public:
    CInCtlPrmMidiNote(LHandler* upper, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Apply(CRecord* set) override;
    CNumVol* Channel() const { return fChannel; }
    LStdCheck* Gate() const { return fGate; }

private:
    CNumVol* fChannel;
    LStdCheck* fGate;
};

// "midiv" (velocity): "midich", a single note ("midins", the note knob enabled only while it is on,
// "midinn") and the gate flag "miding".
class CInCtlPrmMidiVel : public CInCtlPrm {
public:
    CInCtlPrmMidiVel(LHandler* upper, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Apply(CRecord* set) override;
    CNumVol* Channel() const { return fChannel; }
    LStdCheck* Single() const { return fSingle; }
    CNoteVol* NoteKnob() const { return fNote; }
    LStdCheck* Gate() const { return fGate; }

private:
    CNumVol* fChannel;
    LStdCheck* fSingle;
    CNoteVol* fNote;
    LStdCheck* fGate;
};

// "osc": the address "oscadr", sent on every change.
class CInCtlPrmOsc : public CInCtlPrm {
public:
    CInCtlPrmOsc(LHandler* upper, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void Apply(CRecord* set) override;
    LEditText* Address() const { return fAddress; }

private:
    LEditText* fAddress;
};

// "rgb" and "hsv": four nested assignment frames for the components "compo1".."compo4".
class CInCtlPrmColor : public CInCtlPrm {
public:
    CInCtlPrmColor(LHandler* upper, LPane* owner, bool hsv);
    void Apply(CRecord* set) override;
    CInCtlFrm* Component(uint32_t k) const { return k < 4 ? fComponents[k] : nullptr; }

private:
    CInCtlFrm* fComponents[4] = {};
};
