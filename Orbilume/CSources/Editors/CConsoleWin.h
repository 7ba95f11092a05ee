#pragma once

#include <cstdint>
#include <memory>

#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/LTimer.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Orbilume/CSources/App/DocWindows.h"

class CDocModelHolder;
class CMixEngine;
class COpenGLContext_Cca;
class COpenGLView;
class CPaneDivider;
class CChannelList;
class CSceneList;
class CStateButton;
class CTimecodeEdit;
class LListNavi;
class LListPane;
class LPopupList;
class LScrollBar;
class LStdCheck;
class LTextPane;
struct SRecordEvent;

// The sequence range and sync fields ("TCCTLF"): the current time, the sync source pop-up (DCPF
// 'tmsc'), the delay ('sqdl', signed), the loop pop-up ('sqlp'), from ('sqfr') and to ('sqto'), as
// hundredths. Sync source 0 shows loop, from and to; any other shows the delay. Knob moves in
// progress are consumed. Main thread only.
class CTimecodeCtlFrame : public LFrame {
public:
    static constexpr const char* kName = "TCCTLF";

    CTimecodeCtlFrame(LHandler* upper, LPane* owner);
    LMessage Handle(const LMessage& msg) override;
    void UpdateVisibility();

    CTimecodeEdit* TimeDisplay() const { return fTime; }
    LPopupList* SyncPopup() const { return fSync; }
    LTextPane* DelayLabel() const { return fDelayLabel; }
    CTimecodeEdit* DelayField() const { return fDelay; }
    LTextPane* LoopLabel() const { return fLoopLabel; }
    LPopupList* LoopPopup() const { return fLoop; }
    CTimecodeEdit* FromField() const { return fFrom; }
    CTimecodeEdit* ToField() const { return fTo; }

private:
    CTimecodeEdit* fTime = nullptr;
    LPopupList* fSync = nullptr;
    LTextPane* fDelayLabel = nullptr;
    CTimecodeEdit* fDelay = nullptr;
    LTextPane* fLoopLabel = nullptr;
    LPopupList* fLoop = nullptr;
    CTimecodeEdit* fFrom = nullptr;
    CTimecodeEdit* fTo = nullptr;
};

// The transport ("SEQCTLFRM"): capture, play, stop and zero buttons, the timecode fields and the
// ripple check box (preference 'stfl').
class CSeqCtlFrame : public LFrame {
public:
    static constexpr const char* kName = "SEQCTLFRM";
    enum : uint32_t { kCapture, kPlay, kStop, kZero, kButtonCount };

    CSeqCtlFrame(LHandler* upper, LPane* owner);

    CStateButton* Button(uint32_t i) const { return i < kButtonCount ? fButtons[i] : nullptr; }
    CTimecodeCtlFrame* Timecode() const { return fTimecode; }
    LStdCheck* RippleCheck() const { return fRipple; }

private:
    CStateButton* fButtons[kButtonCount] = {};
    CTimecodeCtlFrame* fTimecode = nullptr;
    LStdCheck* fRipple = nullptr;
};

// The scene frame ("SCENEFRM"): the transport above the scene list. Writes the sequence range,
// loop, delay, sync source and ripple option (typed times past the day clamp to 23:59:59.99, the
// delay also to minus that); shows the player's time (field 12) and state (13); shows the transport
// only on a time line. Transport clicks go up to the document.
class CSceneFrame : public LFrame {
public:
    static constexpr const char* kName = "SCENEFRM";

    CSceneFrame(LHandler* upper, LPane* owner, CDocModelHolder* doc, CRecord* docPrefs);
    ~CSceneFrame() override;
    LMessage Handle(const LMessage& msg) override;

    // Every field from the model.
    void UpdateAll();

    CSeqCtlFrame* Transport() const { return fTransport; }
    LListNavi* Navi() const { return fNavi; }
    CSceneList* List() const { return fList; }
    // The play button's image resource.
    const char* PlayImage() const { return fPlayImage; }

private:
    static void ObserveDoc(void* context, const SRecordEvent* event);
    static void ObservePrefs(void* context, const SRecordEvent* event);
    void OnDocChange(const SRecordEvent& event);
    void OnPrefsChange(const SRecordEvent& event);
    void UpdateTransportState();
    void UpdateTimeMode();

    CDocModelHolder* fDoc = nullptr;
    CRecord* fPrefs = nullptr;
    CSeqCtlFrame* fTransport = nullptr;
    LListNavi* fNavi = nullptr;
    CSceneList* fList = nullptr;
    const char* fPlayImage = "PLAYOFBTN";
};

// The small live picture of the output: while shown with a frame and an engine, an after-frame
// callback keeps the engine's read-back on and a 500 ms timer asks for a capture of the mix into
// the preview's own context. The view is the largest rectangle of the output's aspect that fits.
// Before the context goes the callback is removed and pending captures are cancelled.
class COutputPreview : public LFrame {
public:
    static constexpr uint32_t kPeriodMs = 500;

    COutputPreview(LHandler* upper, LPane* owner, CMixEngine* engine, LFrame* window);
    ~COutputPreview() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;

    // Starts or stops the callback and timer by the visibility rule.
    void UpdateActive();
    void Refit();
    bool IsActive() const { return fActive; }
    uint32_t CaptureRequests() const { return fRequests; }
    LTimer* Timer() { return &fTimer; }
    COpenGLView* View() const { return fView; }
    COpenGLContext_Cca* Context() const { return fContext.get(); }

private:
    static void AfterFrame(void* context, CMixEngine* engine);

    CMixEngine* fEngine = nullptr;
    std::unique_ptr<COpenGLContext_Cca> fContext;
    COpenGLView* fView = nullptr;
    LTimer fTimer{this};
    bool fActive = false;
    uint32_t fRequests = 0;
};

// A document's console ("CONSOLEWIN"): the mix frame ("MIXFRAME": the channel list in a scroll
// frame and one scroll bar for every unit chain) over the scene frame and the output preview. The
// chain bar follows DCPF fields 11-13; "cCtlAssign" toggles field 10. Main thread only.
class CConsoleWin : public LFrame {
public:
    static constexpr const char* kName = "CONSOLEWIN";
    static constexpr const char* kMixFrame = "MIXFRAME";

    // The channel list's maker (the layer channel editor installs it); null: no channel list.
    using ChannelListFactory = CChannelList* (*)(LPane* owner, LHandler* upper, const SDocWindowArgs& args);
    static void SetChannelListFactory(ChannelListFactory factory);

    explicit CConsoleWin(const SDocWindowArgs& args, const LFrameSpec& spec = DefaultSpec());
    ~CConsoleWin() override;

    LMessage Handle(const LMessage& msg) override;

    // Divider 0 (mix over scenes) and 1 (scenes beside preview) as position ÷ range.
    float Divider(uint32_t index) const;
    void SetDivider(uint32_t index, float fraction);
    // The chain bar from DCPF fields 11-13 (field 13 clamped again).
    void UpdateChainBar();

    CPaneDivider* OuterDivider() const { return fOuter; }
    CPaneDivider* InnerDivider() const { return fInner; }
    LFrame* MixFrame() const { return fMix; }
    CChannelList* ChannelList() const { return fChannels; }
    LScrollBar* ChainBar() const { return fChainBar; }
    CSceneFrame* Scenes() const { return fScenes; }
    COutputPreview* Preview() const { return fPreview; }

    static LFrameSpec DefaultSpec();

private:
    static void ObservePrefs(void* context, const SRecordEvent* event);
    void OnPrefsChange(const SRecordEvent& event);

    CDocModelHolder* fDoc = nullptr;
    CRecord* fPrefs = nullptr;
    CMixEngine* fEngine = nullptr;
    CPaneDivider* fOuter = nullptr;
    LFrame* fMix = nullptr;
    LListNavi* fChannelNavi = nullptr;
    CChannelList* fChannels = nullptr;
    LScrollBar* fChainBar = nullptr;
    CPaneDivider* fInner = nullptr;
    CSceneFrame* fScenes = nullptr;
    COutputPreview* fPreview = nullptr;
};

// The document's console through its window interface.
class CDocConsoleWin : public IConsoleWin {
public:
    explicit CDocConsoleWin(const SDocWindowArgs& args);
    ~CDocConsoleWin() override;

    LHandler* Handler() override;
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void Select() override;
    CLRect Frame() const override;
    void SetFrame(const CLRect& frame) override;
    void SetTitle(const LString& title) override;
    float Divider(uint32_t index) const override;
    void SetDivider(uint32_t index, float fraction) override;
    // Which transport button sent a click: 0 capture, 1 play, 2 stop, 3 zero; -1 none of them.
    int32_t TransportButton(const LHandler* sender) const;
    EButton ButtonOf(const LHandler* sender) const override;
    bool TimeFieldMs(const LHandler* sender, int64_t& ms) const override;
    void SelectAndEditScene(int32_t row) override;
    bool HasSceneList() const override { return true; }
    std::vector<uint32_t> SelectedScenes() const override;
    void SelectSceneRow(uint32_t index) override;
    std::vector<uint32_t> SelectedChannels() const override;
    uint32_t InsertIndex() const override;
    void SelectChannel(uint32_t index) override;
    uint32_t CurrentUnitId() const override;
    bool CurrentParam(uint32_t& unitId, LString& key) const override;
    CSceneList* SceneList() const;
    // The channel list the installed factory made; null without one.
    CChannelList* Channels() const { return fChannels; }

    CConsoleWin* Window() const { return fWin.get(); }
    static std::unique_ptr<IConsoleWin> Make(const SDocWindowArgs& args);
    // Installs the console and sequence window factories, keeping the others.
    static void Install();

private:
    std::unique_ptr<CConsoleWin> fWin;
    CChannelList* fChannels = nullptr;
};
