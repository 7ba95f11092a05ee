#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/COutAdjustControls.h"

class CAppPrefs;
class CCtlInDocBinder;
class CCtlInHub;
class CInCtlPrmNote;
class CInParamFrm;
class CRecord;
class LStdButton;
class PropertyTreeObject;
struct SRecordEvent;

// The HTTP panel's question to the output adjustment window, sent through the application's
// document callback: the window fills in its OSC-driven controls.
L_MESSAGE_ID(OutputAdjustWindow_OscControls);
struct OutputAdjustOscRequest : LHandler {
    std::vector<COutAdjustControls::OscControl> controls;
};

// The "OUTADJ" window: edits the application-wide output adjustment, the inputs of the preferences'
// 'oaun' unit record, in an input-parameter frame built from the controls description; DMX and
// MIDI drive those inputs through its binder. While the preferences show control assignments
// ("cCtlAssign") each input has its assignment editor beside it. Its place ('oawp') and whether it
// shows ('oavs') live in the preferences. Main thread.
class OutputAdjustWindow : public LFrame {
public:
    static constexpr const char* kName = "OUTADJ";
    static constexpr const char* kAssignCommand = "cCtlAssign";
    // The run-time preference that shows control assignments.
    static constexpr uint32_t kPrefShowAssign = CAppPrefs::kPrefShowCtlAssign;

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
    CInParamFrm* Panes() const { return fPanes; }
    CRecord* Unit() const;
    bool ShowsAssignments() const;
    // The numeric controls as the frame reads them: "prec" with the scale's decimals, "ini" scaled.
    const PropertyTreeObject* Description() const { return fDescription.get(); }

private:
    static void PrefsObserver(void* self, const SRecordEvent* event);
    void OnPrefsChange(const SRecordEvent& event);
    void RestorePlace();
    void Build();
    void StoreAssignment(const CInCtlPrmNote& note);
    void RefreshAssignment(const CRecord* changed);

    CAppPrefs* fPrefs;
    COutAdjustControls fControls;
    std::unique_ptr<PropertyTreeObject> fDescription;
    std::unique_ptr<CCtlInDocBinder> fBinder;
    LStdButton* fDefaults;
    CInParamFrm* fPanes;
};
