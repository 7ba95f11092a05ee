#include "Orbilume/CSources/Editors/CInCtlPrm.h"

#include <cmath>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Editors/CInCtlFrm.h"
#include "Orbilume/CSources/Editors/CInCtlPrmNote.h"
#include "Orbilume/CSources/Editors/CNoteVol.h"
#include "Platform/Foundation/Check.h"

namespace {

LString Flag(LStdCheck* check) {
    return check->GetValue() ? LString("1") : LString();
}

CRecordRef Ref(CRecord*& set) {
    return CRecordRef(&set);
}

}  // namespace

CInCtlPrm::CInCtlPrm(LHandler* upper, LPane* owner, const char* type, const char* layout)
    : LFrame(upper, owner), fType(type) {
    PLAT_DCHECK_MAIN_THREAD();
    LLayoutParts parts;
    if (LoadLayout(SRsrcRequest(layout), parts)) SetLayout(parts, kDescriptionMode);
}

void CInCtlPrm::Apply(CRecord*) {}

void CInCtlPrm::Note(const char* key, const LString& value) {
    CInCtlPrmNote note{LString(key), value};
    Dispatch(LMessage(CInCtlPrmNote_Note, &note, Upper()));
}

CNumVol* CInCtlPrm::Knob(float minimum, float maximum, float initial) {
    auto* knob = new CNumVol(this, 0, 0);
    knob->SetRange(minimum, maximum, 1);
    knob->SetValue(initial);
    return knob;
}

LTextPane* CInCtlPrm::Label(const char* text) {
    auto* label = new LTextPane(this, 0);
    (void)label->SetText(LString(text));
    return label;
}

LStdCheck* CInCtlPrm::Check(const char* title) {
    auto* check = new LStdCheck(this, LStdCtlSpec());
    check->SetTitle(LString(title));
    return check;
}

LString CInCtlPrm::Whole(CNumVol* knob, int32_t offset) {
    const float v = knob->Clamp(knob->GetValue());
    const long n = std::isfinite(v) ? long(std::trunc(v)) : long(knob->Minimum());
    return UWord::Decimal(n + offset);
}

// DMX.

CInCtlPrmDmx::CInCtlPrmDmx(LHandler* upper, LPane* owner, bool wide)
    : CInCtlPrm(upper, owner, wide ? "dmx2" : "dmx", "INCTLPRMDMX") {
    // 1 label, 2 knob.
    (void)Label("ch ");
    fChannel = Knob(1, wide ? 511 : 512, 1);
}

LMessage CInCtlPrmDmx::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fChannel) {
        Note("dmxch", Whole(fChannel, -1));
        return LMessage();
    }
    return CInCtlPrm::Handle(msg);
}

void CInCtlPrmDmx::Apply(CRecord* set) {
    fChannel->SetValue(float(UCtlAttr::GetInCtlDmxCh(Ref(set)) + 1));
}

// MIDI control change.

CInCtlPrmMidiCc::CInCtlPrmMidiCc(LHandler* upper, LPane* owner)
    : CInCtlPrm(upper, owner, "midic", "INCTLPRMMIDICC") {
    // 1-2 channel label and knob, 3-4 controller label and knob.
    (void)Label("ch ");
    fChannel = Knob(1, 16, 1);
    (void)Label("cc ");
    fController = Knob(0, 127, 0);
}

LMessage CInCtlPrmMidiCc::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fChannel) {
        Note("midich", Whole(fChannel, -1));
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && msg.sender == fController) {
        Note("midicc", Whole(fController, 0));
        return LMessage();
    }
    return CInCtlPrm::Handle(msg);
}

void CInCtlPrmMidiCc::Apply(CRecord* set) {
    fChannel->SetValue(float(UCtlAttr::GetInCtlMidiCh(Ref(set)) + 1));
    fController->SetValue(float(UCtlAttr::GetInCtlMidiCc(Ref(set))));
}

// MIDI note.

CInCtlPrmMidiNote::CInCtlPrmMidiNote(LHandler* upper, LPane* owner)
    : CInCtlPrm(upper, owner, "midic", "INCTLPRMMIDINN") {
    // 1-2 channel label and knob, 3 gate.
    (void)Label("ch ");
    fChannel = Knob(1, 16, 1);
    fGate = Check("gate");
}

LMessage CInCtlPrmMidiNote::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fChannel) {
        Note("midich", Whole(fChannel, -1));
        return LMessage();
    }
    if (msg.Is(LStdCheck_Change) && msg.sender == fGate) {
        Note("miding", Flag(fGate));
        return LMessage();
    }
    return CInCtlPrm::Handle(msg);
}

void CInCtlPrmMidiNote::Apply(CRecord* set) {
    fChannel->SetValue(float(UCtlAttr::GetInCtlMidiCh(Ref(set)) + 1));
    fGate->SetValue(UCtlAttr::GetInCtlMidiNg(Ref(set)) ? 1 : 0);
}

// MIDI velocity.

CInCtlPrmMidiVel::CInCtlPrmMidiVel(LHandler* upper, LPane* owner)
    : CInCtlPrm(upper, owner, "midic", "INCTLPRMMIDINV") {
    // 1-2 channel label and knob, 3 single-note check box, 4 note knob, 5 gate.
    (void)Label("ch ");
    fChannel = Knob(1, 16, 1);
    fSingle = Check("");
    fNote = new CNoteVol(this);
    fGate = Check("gate");
    fNote->ChangeState(LPane::kDisable);
}

LMessage CInCtlPrmMidiVel::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fChannel) {
        Note("midich", Whole(fChannel, -1));
        return LMessage();
    }
    if (msg.Is(CNumVol_Fix) && msg.sender == fNote) {
        Note("midinn", Whole(fNote, 0));
        return LMessage();
    }
    if (msg.Is(LStdCheck_Change) && msg.sender == fSingle) {
        fNote->ChangeState(fSingle->GetValue() ? LPane::kEnable : LPane::kDisable);
        Note("midins", Flag(fSingle));
        return LMessage();
    }
    if (msg.Is(LStdCheck_Change) && msg.sender == fGate) {
        Note("miding", Flag(fGate));
        return LMessage();
    }
    return CInCtlPrm::Handle(msg);
}

void CInCtlPrmMidiVel::Apply(CRecord* set) {
    fChannel->SetValue(float(UCtlAttr::GetInCtlMidiCh(Ref(set)) + 1));
    fNote->SetValue(float(UCtlAttr::GetInCtlMidiNn(Ref(set))));
    const bool single = UCtlAttr::GetInCtlMidiNs(Ref(set));
    fSingle->SetValue(single ? 1 : 0);
    fNote->ChangeState(single ? LPane::kEnable : LPane::kDisable);
    fGate->SetValue(UCtlAttr::GetInCtlMidiNg(Ref(set)) ? 1 : 0);
}

// OSC.

CInCtlPrmOsc::CInCtlPrmOsc(LHandler* upper, LPane* owner) : CInCtlPrm(upper, owner, "osc", "INCTLPRMOSC") {
    fAddress = new LEditText(this, LEditText::kSingleLine, 0);
}

LMessage CInCtlPrmOsc::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == fAddress) {
        Note("oscadr", fAddress->GetText());
        return LMessage();
    }
    return CInCtlPrm::Handle(msg);
}

void CInCtlPrmOsc::Apply(CRecord* set) {
    const LString address = UCtlAttr::GetInCtlOscAdr(Ref(set));
    if (!(fAddress->GetText() == address)) fAddress->SetText(address);
}

// Colour components.

CInCtlPrmColor::CInCtlPrmColor(LHandler* upper, LPane* owner, bool hsv)
    : CInCtlPrm(upper, owner, hsv ? "hsv" : "rgb", "INCTLPRMCOLOR") {
    static constexpr const char* kRgb[] = {"R ", "G ", "B ", "A "};
    static constexpr const char* kHsv[] = {"H ", "S ", "V ", "A "};
    static constexpr const char* kKeys[] = {"compo1", "compo2", "compo3", "compo4"};
    // A label and its frame per component: 1-2, 3-4, 5-6, 7-8.
    for (uint32_t k = 0; k < 4; ++k) {
        (void)Label(hsv ? kHsv[k] : kRgb[k]);
        fComponents[k] = new CInCtlFrm(this, this, LString(kKeys[k]), false);
    }
}

void CInCtlPrmColor::Apply(CRecord* set) {
    for (uint32_t k = 0; k < 4; ++k)
        fComponents[k]->Apply(set ? UCtlAttr::GetInCtlCompo(Ref(set), int(k + 1)) : nullptr);
}
