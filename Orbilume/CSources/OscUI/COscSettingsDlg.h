#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LModalDialog.h"

class CNumVol;
class LEditText;
class LStdButton;
class LStdCheck;
class LTextPane;

// An OSC settings dialog laid out from the layout and titled from the string list of one name:
// title (string 0), OK (1, the default button), Cancel (2), the port label (3) and a port knob of
// 1024..65535 in steps of 1; subclasses add their own panes after these. Main thread only.
class COscSettingsDlg : public LModalDialog {
public:
    static constexpr uint32_t kMinPort = 1024;
    static constexpr uint32_t kMaxPort = 65535;

    // The port shown, clamped into the knob's range.
    void SetPort(uint32_t port);
    uint32_t Port() const;

    LStdButton* OkButton() const { return fOk; }
    LStdButton* CancelButton() const { return fCancel; }
    LTextPane* PortLabel() const { return fPortLabel; }
    CNumVol* PortKnob() const { return fPort; }

protected:
    COscSettingsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec, const char* name);
    // String n of the dialog's string list.
    LString String(uint32_t n) const;
    // Lays the panes out once every child exists.
    void LoadLayout();

private:
    const char* fName;
    LStdButton* fOk;
    LStdButton* fCancel;
    LTextPane* fPortLabel;
    CNumVol* fPort;
};

// The OSC server dialog ("OSCSVRDLG"): the port and the check box (string 4) that accepts DMX over
// OSC "/dmx".
class COscServerDlg : public COscSettingsDlg {
public:
    static constexpr const char* kName = "OSCSVRDLG";

    COscServerDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    void SetChecked(bool on);
    bool IsChecked() const;
    LStdCheck* CheckBox() const { return fCheck; }

private:
    LStdCheck* fCheck;
};

// The OSC sender dialog ("SCNSELSENDDLG"): the port, the destination label (string 4) and the
// destination's edit text.
class COscSenderDlg : public COscSettingsDlg {
public:
    static constexpr const char* kName = "SCNSELSENDDLG";

    COscSenderDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());

    void SetAddressText(const LString& text);
    LString AddressText() const;
    // The text as a dotted IPv4 address (host order); 0 when it is not one. Names are never looked up.
    uint32_t Address() const;

    LTextPane* AddressLabel() const { return fAddressLabel; }
    LEditText* AddressField() const { return fAddress; }

private:
    LTextPane* fAddressLabel;
    LEditText* fAddress;
};
