#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Orbilume/CSources/Engine/COutAdjustControls.h"

class CAppPrefs;
class CCtlInDocBinder;
class CCtlInHub;
class CNumVol;
class CRecord;
class LStdButton;
class LTextPane;
struct SRecordEvent;

// One plain value pane of the output adjustment: the control's name and a number knob. A committed
// value is reported to the upper handler as "CInParamNote_Change" with the pane as sender.
class OutputAdjustValuePane : public LFrame {
public:
    static constexpr LMsgId kChange{"CInParamNote_Change"};

    OutputAdjustValuePane(LHandler* upper, LPane* owner, const COutAdjustControls::Control& control);
    LMessage Handle(const LMessage& msg) override;

    const LString& Key() const { return fKey; }
    LString ValueText() const;
    void SetValueText(const LString& text);
    CNumVol* Knob() const { return fKnob; }
    void Place(int32_t width);

private:
    LString fKey;
    LTextPane* fLabel;
    CNumVol* fKnob;
};

// The container of the value panes, one per numeric control, stacked top to bottom.
class OutputAdjustPanes : public LFrame {
public:
    static constexpr int32_t kRowHeight = 26;

    OutputAdjustPanes(LHandler* upper, LPane* owner);
    void Build(const COutAdjustControls& controls, const CRecord* unit);
    OutputAdjustValuePane* Find(const LString& key) const;
    uint32_t Count() const { return static_cast<uint32_t>(fPanes.size()); }
    OutputAdjustValuePane* At(uint32_t i) const { return i < fPanes.size() ? fPanes[i] : nullptr; }
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void BoundsChanged(const CLRect& old) override;

private:
    LHandler* fNoteTarget;
    std::vector<OutputAdjustValuePane*> fPanes;  // child panes
};

// The "OUTADJ" window: edits the application-wide output adjustment, the inputs of the preferences'
// 'oaun' unit record, from the controls description; DMX and MIDI drive those inputs through its
// binder. Its place ('oawp') and whether it shows ('oavs') live in the preferences. Main thread.
class OutputAdjustWindow : public LFrame {
public:
    static constexpr const char* kName = "OUTADJ";

    // prefs must outlive the window; hub may be null (no control input).
    OutputAdjustWindow(LHandler* upper, CAppPrefs* prefs, CCtlInHub* hub,
                       const std::string& description = COutAdjustControls::DefaultPath(),
                       const LFrameSpec& spec = DefaultSpec());
    ~OutputAdjustWindow() override;

    LMessage Handle(const LMessage& msg) override;

    // For the HTTP panel: the OSC-driven controls with their current values.
    void OscControlList(std::vector<COutAdjustControls::OscControl>& out) const;

    static LFrameSpec DefaultSpec();

    const COutAdjustControls& Controls() const { return fControls; }
    CCtlInDocBinder* Binder() const { return fBinder.get(); }
    LStdButton* DefaultsButton() const { return fDefaults; }
    OutputAdjustPanes* Panes() const { return fPanes; }
    CRecord* Unit() const;

private:
    static void PrefsObserver(void* self, const SRecordEvent* event);
    void OnPrefsChange(const SRecordEvent& event);
    void RestorePlace();

    CAppPrefs* fPrefs;
    COutAdjustControls fControls;
    std::unique_ptr<CCtlInDocBinder> fBinder;
    LStdButton* fDefaults;
    OutputAdjustPanes* fPanes;
};
