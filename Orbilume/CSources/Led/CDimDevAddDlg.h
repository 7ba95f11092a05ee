#pragma once

#include <array>
#include <cstdint>

#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Orbilume/CSources/Led/UDimArrange.h"

class CDIMDefSel;
class CDimDefLibrary;
class CDimDefStore;
class CNumVol;
class LPane;
class LStdButton;
class LTextPane;

// "DIMDEVADDDLG": the definition (a selector over the library's menu; without a library it only
// shows the name) and the grid of devices to add. Labels from the string list of
// that name (title, OK, Cancel, then the labels); six knobs: devices across 1-512, down 1-512, net
// 0-127, subnet 0-15, universe 0-15, first channel 1-510; two read-outs, the definition's dots and
// the grid's dots ("16 x 16"), empty with the confirm button off while the definition is not in
// the store. Main thread only.
class CDimDevAddDlg : public LModalDialog {
public:
    static constexpr const char* kName = "DIMDEVADDDLG";
    static constexpr int32_t kWindowKind = 3;
    enum : uint32_t { kAcross, kDown, kNet, kSubnet, kUniverse, kFirstChannel, kKnobCount };

    CDimDevAddDlg(LHandler* upper, LPane* owner, CDimDefStore* defs, CDimDefLibrary* library,
                  const UDimArrange::AddValues& values, const LFrameSpec& spec = LFrameSpec::Default());
    ~CDimDevAddDlg() override;

    LMessage Handle(const LMessage& msg) override;

    // The values shown (knobs clamped).
    UDimArrange::AddValues Values() const;
    void SetName(const LString& name);
    void SetKnob(uint32_t n, int32_t value);
    // The read-outs and the confirm button from the values.
    void Refresh();

    LStdButton* OkButton() const { return fOk; }
    CNumVol* Knob(uint32_t n) const { return n < kKnobCount ? fKnobs[n] : nullptr; }
    CDIMDefSel* Selector() const { return fSelector; }
    const LString& SizeText() const { return fSizeText; }
    const LString& TotalText() const { return fTotalText; }

    // A modal dialog window of its kind.
    static LFrameSpec WindowSpec();
    // The real dialog run for the dimmer document: true on OK with the values.
    static bool Run(LHandler* upper, CDimDefStore* defs, CDimDefLibrary* library, UDimArrange::AddValues& values);

private:
    CDimDefStore* fDefs;
    LString fName;
    LStdButton* fOk;
    LStdButton* fCancel;
    CDIMDefSel* fSelector;
    std::array<CNumVol*, kKnobCount> fKnobs{};
    LTextPane* fSize;
    LTextPane* fTotal;
    LString fSizeText;
    LString fTotalText;
};
