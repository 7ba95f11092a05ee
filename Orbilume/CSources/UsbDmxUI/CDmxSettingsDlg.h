#pragma once

#include <array>
#include <cstdint>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CDmxIO;
class CNumVol;
class CRecordHolder;
class LStdButton;
class LTextPane;
struct SRecordEvent;

// A DMX settings dialog laid out from the layout and titled from the string list of one name:
// title (string 0), OK (1, the default button, result 1), Cancel (2), then one label (3, 4, ...)
// per integer knob. Main thread only.
class CDmxSettingsDlg : public LModalDialog {
public:
    static constexpr uint32_t kMaxKnobs = 3;
    struct Range {
        int32_t minimum;
        int32_t maximum;
    };

    uint32_t KnobCount() const { return fCount; }
    // The value shown by knob n, clamped into its range.
    void SetKnob(uint32_t n, int32_t value);
    // Knob n's value, clamped (what was typed but not entered as well).
    int32_t Knob(uint32_t n) const;

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    LTextPane* Label(uint32_t n) const { return n < fCount ? fLabels[n] : nullptr; }
    CNumVol* KnobPane(uint32_t n) const { return n < fCount ? fKnobs[n] : nullptr; }
    // The index of a knob of this dialog, or -1.
    int KnobIndex(const LHandler* pane) const;

protected:
    CDmxSettingsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec, const char* name,
                    const Range* ranges, uint32_t count);

private:
    LString String(uint32_t n) const;

    const char* fName;
    uint32_t fCount;
    std::array<Range, kMaxKnobs> fRanges{};
    LStdButton* fOk;
    LStdButton* fCancel;
    std::array<LTextPane*, kMaxKnobs> fLabels{};
    std::array<CNumVol*, kMaxKnobs> fKnobs{};
};

// Art-Net input port address ("ARTNETDLG"): Net 0..127, Sub-Net 0..15, Universe 0..15.
class CArtNetDlg : public CDmxSettingsDlg {
public:
    static constexpr const char* kName = "ARTNETDLG";
    enum : uint32_t { kNet = 0, kSubNet = 1, kUniverse = 2 };

    CArtNetDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    // Net and the two nibbles of the SubUni byte.
    void SetAddress(uint8_t net, uint8_t subUni);
    uint8_t Net() const { return uint8_t(Knob(kNet)); }
    uint8_t SubUni() const { return uint8_t(Knob(kSubNet) << 4 | Knob(kUniverse)); }
    // Net << 8 | SubUni.
    uint16_t PortAddress() const { return uint16_t(Net() << 8 | SubUni()); }
};

// sACN input universe ("SACNDLG"): 1..63999, the whole number.
class CSAcnDlg : public CDmxSettingsDlg {
public:
    static constexpr const char* kName = "SACNDLG";

    CSAcnDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    void SetUniverse(uint32_t universe);
    uint16_t Universe() const { return uint16_t(Knob(0)); }
};

// USB DMX signal timing ("SIGPARAMDLG"), edited live in a parameter set: the knobs show "break" + 92,
// "mab" + 12 and "mbs"; a committed knob stores its value minus the offset (0..255). Changes of the
// set made elsewhere update the knobs. Each change of the set is also handed to the timing target,
// when there is one. Any answer but OK puts back what the set held when the dialog opened.
class CSigParamDlg : public CDmxSettingsDlg {
public:
    static constexpr const char* kName = "SIGPARAMDLG";
    enum : uint32_t { kBreak = 0, kMab = 1, kMbs = 2 };
    // Break, mab and mbs as the interface takes them (0..255 each).
    using TimingTarget = void (*)(void* context, uint32_t brk, uint32_t mab, uint32_t mbs);

    CSigParamDlg(LHandler* upper, LPane* owner, CRecordRef set,
                 const LFrameSpec& spec = LFrameSpec::Default());
    ~CSigParamDlg() override;

    LMessage Handle(const LMessage& msg) override;

    void SetTimingTarget(void* context, TimingTarget target);
    // Sends the timing to a USB DMX interface.
    static void ToInterface(void* io, uint32_t brk, uint32_t mab, uint32_t mbs);
    // The stored value of knob n (0..255).
    static uint32_t Stored(CRecordRef set, uint32_t n);
    // The set's entries as they were at construction; the target is told. Done on Cancel.
    void Revert();

private:
    static void Observe(void* context, const SRecordEvent* event);
    void OnRecordChange(const SRecordEvent& event);
    void ShowSet();
    void Notify();

    CRecordRef fSet;
    CRecordHolder* fHolder;
    std::array<LString, kMaxKnobs> fInitial;  // empty: absent
    void* fTargetContext = nullptr;
    TimingTarget fTarget = nullptr;
};
