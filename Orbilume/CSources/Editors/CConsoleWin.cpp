#include "Orbilume/CSources/Editors/CConsoleWin.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/CPaneDivider.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LLayoutDesc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LListNavi.h"
#include "Lib3/LSources/CoreUI/LListPane.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LPopupList.h"
#include "Lib3/LSources/CoreUI/LRsrcImage.h"
#include "Lib3/LSources/CoreUI/LScrollBar.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Lib3/LSources/CoreUI/LWindowPlacer.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Editors/CChannelEngine.h"
#include "Orbilume/CSources/Editors/CChannelList.h"
#include "Orbilume/CSources/Editors/CSceneList.h"
#include "Orbilume/CSources/Editors/CSeqListWin.h"
#include "Orbilume/CSources/Engine/CMixEngine.h"
#include "Orbilume/CSources/TimecodeUI/CTimecodeEdit.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDocModelTypes;
using P = CAppPrefs;

constexpr uint32_t kTimeCode = 100;
// The latest time the time, range and delay fields take, 23:59:59.99 as for scene times.
constexpr int64_t kMaxMs = 86399990;
constexpr int32_t kConsoleKind = 9;
constexpr const char* kMenuBarName = "APPW";
constexpr const char* kButtonImages[] = {"CAPTBTN", "PLAYOFBTN", "STOPBTN", "ZEROBTN"};

CConsoleWin::ChannelListFactory gChannelListFactory = nullptr;

LImageH Image(const char* name) {
    return LImageH(new LRsrcImage(SRsrcRequest(name)));
}

void LayOut(LFrame* frame, const char* name) {
    LLayoutParts layout;
    if (LoadLayout(SRsrcRequest(name), layout)) frame->SetLayout(layout, LFrame::kDescriptionMode);
}

// Model seconds as a field's milliseconds, truncated.
int64_t Ms(float seconds) {
    if (!std::isfinite(seconds)) return 0;
    return static_cast<int64_t>(double(seconds) * 1000.0);
}

void ShowPane(LPane* pane, bool on) {
    if (((pane->State() & LPane::kShown) != 0) != on) pane->ChangeState(on ? LPane::kShow : LPane::kHide);
}

CRecordHolder* PrefsHolder() {
    return CAppPrefs::Get();
}

// The console's mix frame: publishes the channel cells' header height ("hh") to its layout, which
// starts the chain bar where the chains start.
class CMixFrame : public LFrame {
public:
    CMixFrame(LHandler* upper, LPane* owner) : LFrame(upper, owner) {}
    void SetChannels(CChannelList* channels) { fChannels = channels; }
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) override {
        LFrame::DescriptionPrefer(ctx, desc);
        if (fChannels) desc.DefineVariable(LString("hh"), fChannels->HeaderHeight());
    }

private:
    CChannelList* fChannels = nullptr;
};

}  // namespace

// ---- timecode control frame

CTimecodeCtlFrame::CTimecodeCtlFrame(LHandler* upper, LPane* owner) : LFrame(upper, owner) {
    // Panes in layout order: 1 time, 2 sync, 3 delay label, 4 delay, 5 loop label, 6 loop, 7 from, 8 to.
    fTime = new CTimecodeEdit(this, kTimeCode, false);
    fTime->SetTextStyle(LTextStyleH(3, 0, 0, 0, 150));
    LStdCtlSpec small;
    small.style = LTextStyleH(2);
    fSync = new LPopupList(this, small);
    fDelayLabel = new LTextPane(this, 0);
    fDelay = new CTimecodeEdit(this, kTimeCode, true);
    fLoopLabel = new LTextPane(this, 0);
    fLoop = new LPopupList(this, LStdCtlSpec());
    fFrom = new CTimecodeEdit(this, kTimeCode, false);
    fTo = new CTimecodeEdit(this, kTimeCode, false);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    for (uint32_t i = 6; i <= 10; ++i) fSync->AddItem(strings.GetString(i));
    for (uint32_t i = 3; i <= 5; ++i) fLoop->AddItem(strings.GetString(i));
    (void)fDelayLabel->SetText(strings.GetString(1));
    (void)fLoopLabel->SetText(strings.GetString(2));
    LayOut(this, kName);
    UpdateVisibility();
}

void CTimecodeCtlFrame::UpdateVisibility() {
    const bool internal = fSync->GetValue() == 0;
    for (LPane* pane : {static_cast<LPane*>(fLoop), static_cast<LPane*>(fLoopLabel), static_cast<LPane*>(fFrom),
                        static_cast<LPane*>(fTo)})
        ShowPane(pane, internal);
    ShowPane(fDelay, !internal);
    ShowPane(fDelayLabel, !internal);
}

LMessage CTimecodeCtlFrame::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Move)) return LMessage();  // nothing changes while a knob is dragged
    if (msg.Is(LPopupList_Changed) && msg.sender == fSync) {
        UpdateVisibility();
        UpdateLayout();
    }
    return LFrame::Handle(msg);
}

// ---- transport

CSeqCtlFrame::CSeqCtlFrame(LHandler* upper, LPane* owner) : LFrame(upper, owner) {
    // Panes in layout order: 1-4 capture, play, stop, zero; 5 the timecode frame; 6 the check box.
    for (uint32_t i = 0; i < kButtonCount; ++i) {
        fButtons[i] = new CStateButton(this, LStdCtlSpec());
        fButtons[i]->SetImage(Image(kButtonImages[i]));
    }
    fTimecode = new CTimecodeCtlFrame(upper, this);
    LStdCtlSpec small;
    small.style = LTextStyleH(2);
    fRipple = new LStdCheck(this, small);
    const LStrListRsrcH strings{SRsrcRequest(kName)};
    fRipple->SetTitle(strings.GetString(0));
    LayOut(this, kName);
}

// ---- scene frame

CSceneFrame::CSceneFrame(LHandler* upper, LPane* owner, CDocModelHolder* doc, CRecord* docPrefs)
    : LFrame(upper, owner), fDoc(doc), fPrefs(docPrefs) {
    SetBackground(LColor::System(1));
    fTransport = new CSeqCtlFrame(this, this);
    fNavi = new LListNavi(this, LListNavi::kVerticalBar, 1);
    fList = new CSceneList(fNavi, doc);
    fNavi->SetListPane(fList);
    LayOut(this, kName);
    if (fDoc) (void)fDoc->AddObserver(this, &CSceneFrame::ObserveDoc);
    if (CRecordHolder* prefs = PrefsHolder()) (void)prefs->AddObserver(this, &CSceneFrame::ObservePrefs);
    UpdateAll();
}

CSceneFrame::~CSceneFrame() {
    if (fDoc) (void)fDoc->RemoveObserver(this, &CSceneFrame::ObserveDoc);
    if (CRecordHolder* prefs = PrefsHolder()) (void)prefs->RemoveObserver(this, &CSceneFrame::ObservePrefs);
}

void CSceneFrame::UpdateAll() {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    CTimecodeCtlFrame* tc = fTransport->Timecode();
    if (scns) {
        tc->FromField()->SetCount(Ms(scns->GetFloat(T::kScnsFrom)), 1000);
        tc->ToField()->SetCount(Ms(scns->GetFloat(T::kScnsTo)), 1000);
        tc->DelayField()->SetCount(Ms(scns->GetFloat(T::kScnsOffset)), 1000);
        tc->LoopPopup()->SetValue(scns->GetByte(T::kScnsLoop));
        tc->TimeDisplay()->SetCount(Ms(scns->GetFloat(T::kScnsCurTime)), 1000);
    }
    if (fPrefs) tc->SyncPopup()->SetValue(fPrefs->GetByte(P::kDocSyncSource));
    const CAppPrefs* prefs = CAppPrefs::Get();
    if (prefs && prefs->Root()) fTransport->RippleCheck()->SetValue(prefs->Root()->GetBool(P::kPrefRippleTimes) ? 1 : 0);
    tc->UpdateVisibility();
    UpdateTransportState();
    UpdateTimeMode();
}

void CSceneFrame::UpdateTransportState() {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    const uint8_t state = scns ? scns->GetByte(T::kScnsTransport) : 0;
    CStateButton* play = fTransport->Button(CSeqCtlFrame::kPlay);
    play->SetPushed(state == 1 || state == 2);
    const char* image = state == 2 ? "PLAYONBTN" : "PLAYOFBTN";
    if (image == fPlayImage) return;
    fPlayImage = image;
    play->SetImage(Image(image));
}

void CSceneFrame::UpdateTimeMode() {
    const CRecord* scns = fDoc ? fDoc->Scenes().Get() : nullptr;
    const bool on = scns && scns->GetBool(T::kScnsTimeLine);
    if (((fTransport->State() & kShown) != 0) == on) return;
    ShowPane(fTransport, on);
    if (Upper()) Dispatch(LMessage(LPane_Pref, this, Upper()));
    UpdateLayout();
}

LMessage CSceneFrame::Handle(const LMessage& msg) {
    if (!fTransport || !fList) return LFrame::Handle(msg);  // still building
    CTimecodeCtlFrame* tc = fTransport->Timecode();
    CRecordRef scns = fDoc ? fDoc->Scenes() : CRecordRef();
    if (msg.Is(CNumVol_Fix) && scns) {
        const uint32_t field = msg.sender == tc->FromField()   ? T::kScnsFrom
                               : msg.sender == tc->ToField()    ? T::kScnsTo
                               : msg.sender == tc->DelayField() ? T::kScnsOffset
                                                                : 0xFFFFFFFFu;
        if (field != 0xFFFFFFFFu) {
            auto* edit = static_cast<CTimecodeEdit*>(msg.sender);
            // As typed: a time past the day clamps to its end instead of wrapping into it.
            const int64_t typed = edit->GetTypedCount(1000);
            const int64_t ms = std::clamp<int64_t>(typed, edit->IsSigned() ? -kMaxMs : 0, kMaxMs);
            (void)scns.SetFloat(this, field, static_cast<float>(double(ms) / 1000.0));
            // A clamped time that equals the stored one changes nothing the field would hear of.
            if (ms != typed) edit->SetCount(Ms(scns->GetFloat(field)), 1000);
            return LMessage();
        }
    }
    if (msg.Is(LPopupList_Changed) && msg.sender == tc->SyncPopup()) {
        if (fPrefs)
            (void)CRecordRef(&fPrefs).SetByte(nullptr, P::kDocSyncSource,
                                              static_cast<uint8_t>(std::max(0, tc->SyncPopup()->GetValue())));
        return LMessage();
    }
    if (msg.Is(LPopupList_Changed) && msg.sender == tc->LoopPopup() && scns) {
        (void)scns.SetByte(this, T::kScnsLoop, static_cast<uint8_t>(std::max(0, tc->LoopPopup()->GetValue())));
        return LMessage();
    }
    if (msg.Is(LStdCheck_Change) && msg.sender == fTransport->RippleCheck()) {
        CAppPrefs* prefs = CAppPrefs::Get();
        if (prefs && prefs->Root())
            (void)prefs->RootRef().SetByte(nullptr, P::kPrefRippleTimes,
                                           fTransport->RippleCheck()->GetValue() ? 1 : 0);
        return LMessage();
    }
    // Transport clicks go on up to the document.
    return LFrame::Handle(msg);
}

void CSceneFrame::ObserveDoc(void* context, const SRecordEvent* event) {
    static_cast<CSceneFrame*>(context)->OnDocChange(*event);
}

void CSceneFrame::ObservePrefs(void* context, const SRecordEvent* event) {
    static_cast<CSceneFrame*>(context)->OnPrefsChange(*event);
}

void CSceneFrame::OnDocChange(const SRecordEvent& event) {
    const CRecord* scns = fDoc->Scenes().Get();
    if (!scns || event.record.Get() != scns || event.kind != SRecordEvent::kValueChanged) return;
    CTimecodeCtlFrame* tc = fTransport->Timecode();
    switch (event.field) {
        case T::kScnsFrom:
            tc->FromField()->SetCount(Ms(scns->GetFloat(T::kScnsFrom)), 1000);
            break;
        case T::kScnsTo:
            tc->ToField()->SetCount(Ms(scns->GetFloat(T::kScnsTo)), 1000);
            break;
        case T::kScnsOffset:
            tc->DelayField()->SetCount(Ms(scns->GetFloat(T::kScnsOffset)), 1000);
            break;
        case T::kScnsLoop:
            tc->LoopPopup()->SetValue(scns->GetByte(T::kScnsLoop));
            break;
        case T::kScnsTimeLine:
            UpdateTimeMode();
            break;
        case T::kScnsCurTime:
            tc->TimeDisplay()->SetCount(Ms(scns->GetFloat(T::kScnsCurTime)), 1000);
            break;
        case T::kScnsTransport:
            UpdateTransportState();
            break;
        default:
            break;
    }
}

void CSceneFrame::OnPrefsChange(const SRecordEvent& event) {
    if (event.kind != SRecordEvent::kValueChanged) return;
    const CRecord* record = event.record.Get();
    if (record && record == fPrefs && event.field == P::kDocSyncSource) {
        fTransport->Timecode()->SyncPopup()->SetValue(fPrefs->GetByte(P::kDocSyncSource));
        fTransport->Timecode()->UpdateVisibility();
        fTransport->Timecode()->UpdateLayout();
        return;
    }
    const CAppPrefs* prefs = CAppPrefs::Get();
    if (prefs && record && record == prefs->Root() && event.field == P::kPrefRippleTimes)
        fTransport->RippleCheck()->SetValue(record->GetBool(P::kPrefRippleTimes) ? 1 : 0);
}

// ---- output preview

COutputPreview::COutputPreview(LHandler* upper, LPane* owner, CMixEngine* engine, LFrame* window)
    : LFrame(upper, owner), fEngine(engine) {
    if (window && window->Window() && fEngine) {
        const SOpenGLOp op{0, 0, 0};
        fContext = std::make_unique<COpenGLContext_Cca>(window->Window()->NativeWindow(), &op);
    }
    fView = fContext ? new COpenGLView(this, fContext.get()) : nullptr;
}

COutputPreview::~COutputPreview() {
    PLAT_DCHECK_MAIN_THREAD();
    fTimer.Stop();
    // The render thread draws captures into the context: no callback and no pending capture may
    // outlive it. Removing the callback waits for the frame in progress.
    if (fEngine) {
        fEngine->CancelCaptures(fContext.get());
        if (fActive) fEngine->RemoveAfterFrameCallback(this, &COutputPreview::AfterFrame);
        fEngine->CancelCaptures(fContext.get());
    }
    fActive = false;
    delete fView;
    fView = nullptr;
    fContext.reset();
}

void COutputPreview::AfterFrame(void* /*context*/, CMixEngine* /*engine*/) {}

void COutputPreview::UpdateActive() {
    const bool visible = (State() & (kShown | kChainShown)) == (kShown | kChainShown);
    const bool want = visible && !Bounds().IsEmpty() && fEngine;
    if (want == fActive) return;
    fActive = want;
    if (want) {
        fEngine->AddAfterFrameCallback(this, &COutputPreview::AfterFrame);
        fTimer.StartRepeat(kPeriodMs);
        Refit();
    } else {
        fTimer.Stop();
        fEngine->RemoveAfterFrameCallback(this, &COutputPreview::AfterFrame);
        fEngine->CancelCaptures(fContext.get());
    }
}

void COutputPreview::Refit() {
    if (!fView) return;
    CLRect fit = Bounds();
    uint32_t w = 0, h = 0;
    if (fEngine) fEngine->OutputSize(w, h);
    if (w > 0 && h > 0) {
        fit.MaxFit(CLRect{0, 0, static_cast<int32_t>(w), static_cast<int32_t>(h)});
    }
    fView->SetBounds(fit);
}

void COutputPreview::StateChanged(uint32_t op) {
    LFrame::StateChanged(op);
    if (op == kShow || op == kHide || op == kChainShow || op == kChainHide) UpdateActive();
}

void COutputPreview::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    UpdateActive();
    Refit();
}

LMessage COutputPreview::Handle(const LMessage& msg) {
    if (msg.Is(LTimer_Expire) && msg.sender == &fTimer) {
        if (fActive && fEngine) {
            ++fRequests;
            fEngine->RequestMixCapture(fContext.get());
        }
        return LMessage();
    }
    if (msg.Is(COpenGLView_Update)) return LMessage();
    return LFrame::Handle(msg);
}

// ---- console

void CConsoleWin::SetChannelListFactory(ChannelListFactory factory) {
    gChannelListFactory = factory;
}

LFrameSpec CConsoleWin::DefaultSpec() {
    auto* menus = new LOwningMenuBar(nullptr, SRsrcRequest(kMenuBarName));
    return LFrameSpec(LFrameSpec::kDocument, CMacWindowKindH(new CMacWinKind(kConsoleKind)), menus);
}

CConsoleWin::CConsoleWin(const SDocWindowArgs& args, const LFrameSpec& spec)
    : LFrame(args.upper, nullptr, spec), fDoc(args.model), fPrefs(args.docPrefs), fEngine(args.engine) {
    PLAT_DCHECK_MAIN_THREAD();
    SetBackground(LColor::System(1));
    fOuter = new CPaneDivider(this, this);
    fOuter->SetOrientation(CPaneDivider::kStacked);
    auto* mix = new CMixFrame(this, fOuter);
    fMix = mix;
    // Panes of the mix frame: 1 the chain bar, 2 the channel list's scroll frame.
    fChainBar = new LScrollBar(fMix, LStdCtlSpec(), true, true);
    if (gChannelListFactory) {
        fChannelNavi = new LListNavi(fMix, LListNavi::kHorizontalBar, 1);
        fChannels = gChannelListFactory(fChannelNavi, this, args);
        if (fChannels) fChannelNavi->SetListPane(fChannels);
    }
    mix->SetChannels(fChannels);
    LayOut(fMix, kMixFrame);
    fInner = new CPaneDivider(this, fOuter);
    fScenes = new CSceneFrame(this, fInner, fDoc, fPrefs);
    fPreview = new COutputPreview(this, fInner, fEngine, this);
    LayOut(this, kName);
    if (CRecordHolder* prefs = PrefsHolder()) (void)prefs->AddObserver(this, &CConsoleWin::ObservePrefs);
    UpdateChainBar();
    if (!Window()) return;
    FitWindowToLayout();
    CLRect screen;
    if (ScreenBounds(1, true, &screen) && !screen.IsEmpty()) {
        const CLRect frame = GetWindowFrame();
        const int32_t x = screen.left + (screen.Width() - frame.Width()) / 2;
        const int32_t y = screen.top + (screen.Height() - frame.Height()) / 2;
        SetWindowFrame({x, y, x + frame.Width(), y + frame.Height()});
    }
}

CConsoleWin::~CConsoleWin() {
    PLAT_DCHECK_MAIN_THREAD();
    if (CRecordHolder* prefs = PrefsHolder()) (void)prefs->RemoveObserver(this, &CConsoleWin::ObservePrefs);
    // The preview's context goes before the window it draws on.
    delete fPreview;
    fPreview = nullptr;
}

float CConsoleWin::Divider(uint32_t index) const {
    CPaneDivider* d = index == 0 ? fOuter : index == 1 ? fInner : nullptr;
    if (!d) return 0;
    const CLRect band = d->DividerBand(0);
    const CLRect b = d->Bounds();
    const int32_t range = d->Orientation() == CPaneDivider::kStacked ? b.Height() : b.Width();
    if (band.IsEmpty() || range <= 0) return index == 0 ? 0.5f : 1.0f;
    const int32_t pos = d->Orientation() == CPaneDivider::kStacked ? band.top - b.top : band.left - b.left;
    return std::clamp(float(pos) / float(range), 0.0f, 1.0f);
}

void CConsoleWin::SetDivider(uint32_t index, float fraction) {
    CPaneDivider* d = index == 0 ? fOuter : index == 1 ? fInner : nullptr;
    if (!d || !std::isfinite(fraction)) return;
    const CLRect b = d->Bounds();
    const int32_t range = d->Orientation() == CPaneDivider::kStacked ? b.Height() : b.Width();
    d->SetDividerPosition(0, static_cast<int32_t>(std::lround(std::clamp(fraction, 0.0f, 1.0f) * float(range))));
}

void CConsoleWin::UpdateChainBar() {
    if (!fPrefs) return;
    const int32_t tallest = fPrefs->GetInt(P::kDocRunTime11);
    const int32_t visible = fPrefs->GetInt(P::kDocRunTime12);
    const int32_t max = std::max(0, tallest - visible);
    const int32_t offset = std::clamp(fPrefs->GetInt(P::kDocRunTime13), 0, max);
    if (offset != fPrefs->GetInt(P::kDocRunTime13)) fPrefs->Slot(P::kDocRunTime13).i32 = offset;
    fChainBar->SetRange(offset, 0, max, std::max(0, visible));
}

LMessage CConsoleWin::Handle(const LMessage& msg) {
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        auto* bar = static_cast<LMenuBar*>(msg.sender);
        bar->EnableCommand("cCtlAssign");
        if (LMenuItem* item = bar->FindCommand("cCtlAssign"))
            item->SetMarked(fPrefs && fPrefs->GetBool(P::kDocRunTime10));
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->GetFirstCommand() == LString("cCtlAssign")) {
        if (fPrefs) (void)CRecordRef(&fPrefs).SetByte(nullptr, P::kDocRunTime10, fPrefs->GetBool(P::kDocRunTime10) ? 0 : 1);
        return LMessage();
    }
    if (msg.Is(LScrollBar_Change) && msg.sender == fChainBar && fPrefs) {
        const int32_t max = std::max(0, fPrefs->GetInt(P::kDocRunTime11) - fPrefs->GetInt(P::kDocRunTime12));
        (void)CRecordRef(&fPrefs).SetInt(nullptr, P::kDocRunTime13, std::clamp(fChainBar->GetValue(), 0, max));
        Invalidate(CRgn(Bounds()), CRgn(Bounds()));
        return LMessage();
    }
    return LFrame::Handle(msg);
}

void CConsoleWin::ObservePrefs(void* context, const SRecordEvent* event) {
    static_cast<CConsoleWin*>(context)->OnPrefsChange(*event);
}

void CConsoleWin::OnPrefsChange(const SRecordEvent& event) {
    if (event.kind != SRecordEvent::kValueChanged) return;
    const CRecord* record = event.record.Get();
    if (record && record == fPrefs && event.field >= P::kDocRunTime11 && event.field <= P::kDocRunTime13) {
        UpdateChainBar();
        return;
    }
    const CAppPrefs* prefs = CAppPrefs::Get();
    if (prefs && record && record == prefs->Root() && event.field == P::kPrefRunTime53 && fPreview) fPreview->Refit();
    // The name row changes the cells' header height, where the chain bar starts.
    if (prefs && record && record == prefs->Root() && event.field == P::kPrefShowLayerNames)
        fMix->UpdateLayout();
}

// ---- the document's window

namespace {

// The document's channel list with the engine seam it reads through.
struct SChannelEngineHolder {
    explicit SChannelEngineHolder(CMixEngine* engine) : channelEngine(engine) {}
    CMixChannelEngine channelEngine;
};

class CDocChannelList : private SChannelEngineHolder, public CChannelList {
public:
    CDocChannelList(LPane* owner, const SDocWindowArgs& args)
        : SChannelEngineHolder(args.engine),
          CChannelList(owner, args.upper, args.model, &channelEngine, args.docPrefs) {}
};

CChannelList* MakeDocChannelList(LPane* owner, LHandler* /*upper*/, const SDocWindowArgs& args) {
    if (!args.model) return nullptr;
    return new CDocChannelList(owner, args);
}

}  // namespace

CDocConsoleWin::CDocConsoleWin(const SDocWindowArgs& args) {
    fWin = std::make_unique<CConsoleWin>(args);
    fChannels = fWin->ChannelList();
}

CDocConsoleWin::~CDocConsoleWin() = default;

LHandler* CDocConsoleWin::Handler() {
    return fWin.get();
}

void CDocConsoleWin::Show() {
    fWin->ShowWindow();
}

void CDocConsoleWin::Hide() {
    fWin->HideWindow();
}

bool CDocConsoleWin::IsVisible() const {
    LWindowServices* s = LWindowServices::Get();
    return fWin->Window() && s && s->IsVisible(fWin->Window());
}

void CDocConsoleWin::Select() {
    fWin->ShowWindow();
    if (LWindowServices* s = LWindowServices::Get(); s && fWin->Window()) s->MakeKey(fWin->Window());
}

CLRect CDocConsoleWin::Frame() const {
    return fWin->GetWindowFrame();
}

void CDocConsoleWin::SetFrame(const CLRect& frame) {
    fWin->SetWindowOuterFrame(frame);
}

void CDocConsoleWin::SetTitle(const LString& title) {
    fWin->SetWindowTitle(title);
}

int32_t CDocConsoleWin::TransportButton(const LHandler* sender) const {
    CSeqCtlFrame* transport = fWin->Scenes()->Transport();
    for (uint32_t i = 0; i < CSeqCtlFrame::kButtonCount; ++i)
        if (sender && sender == transport->Button(i)) return static_cast<int32_t>(i);
    return -1;
}

IConsoleWin::EButton CDocConsoleWin::ButtonOf(const LHandler* sender) const {
    switch (TransportButton(sender)) {
        case 0:
            return EButton::kNewScene;
        case 1:
            return EButton::kPlay;
        case 2:
            return EButton::kStop;
        case 3:
            return EButton::kToStart;
        default:
            return EButton::kNone;
    }
}

bool CDocConsoleWin::TimeFieldMs(const LHandler* sender, int64_t& ms) const {
    CTimecodeEdit* time = fWin->Scenes()->Transport()->Timecode()->TimeDisplay();
    if (!sender || sender != time) return false;
    // As typed: a time past the day clamps to its end instead of wrapping into it.
    const int64_t typed = time->GetTypedCount(1000);
    ms = std::clamp<int64_t>(typed, 0, kMaxMs);
    // The player may stand there already, and the field would hear of no change.
    if (ms != typed) time->SetCount(ms, 1000);
    return true;
}

std::vector<uint32_t> CDocConsoleWin::SelectedScenes() const {
    std::vector<uint32_t> rows;
    const CSceneList* list = fWin->Scenes()->List();
    for (int32_t r = 0; r < list->Rows(); ++r)
        if (list->IsSelected({0, r})) rows.push_back(static_cast<uint32_t>(r));
    return rows;
}

void CDocConsoleWin::SelectSceneRow(uint32_t index) {
    CSceneList* list = fWin->Scenes()->List();
    if (index >= static_cast<uint32_t>(list->Rows())) return;
    const CLPoint cell{0, static_cast<int32_t>(index)};
    list->SelectCell(cell);
    list->RevealCell(cell);
}

std::vector<uint32_t> CDocConsoleWin::SelectedChannels() const {
    std::vector<uint32_t> columns;
    if (!fChannels) return columns;
    for (int32_t c = 0; c < fChannels->Columns(); ++c)
        if (fChannels->IsSelected({c, 0})) columns.push_back(static_cast<uint32_t>(c));
    return columns;
}

uint32_t CDocConsoleWin::InsertIndex() const {
    return fChannels ? fChannels->GetInsertIndex() : 0;
}

void CDocConsoleWin::SelectChannel(uint32_t index) {
    if (fChannels) fChannels->SelectChannel(index);
}

uint32_t CDocConsoleWin::CurrentUnitId() const {
    return fChannels ? fChannels->FocusedUnit() : 0;
}

bool CDocConsoleWin::CurrentParam(uint32_t& unitId, LString& key) const {
    if (!fChannels) return false;
    unitId = fChannels->GetFocusedParameter(key);
    return unitId != 0;
}

CSceneList* CDocConsoleWin::SceneList() const {
    return fWin->Scenes()->List();
}

void CDocConsoleWin::SelectAndEditScene(int32_t row) {
    fWin->Scenes()->List()->SelectAndEditRow(row);
}

float CDocConsoleWin::Divider(uint32_t index) const {
    return fWin->Divider(index);
}

void CDocConsoleWin::SetDivider(uint32_t index, float fraction) {
    fWin->SetDivider(index, fraction);
}

std::unique_ptr<IConsoleWin> CDocConsoleWin::Make(const SDocWindowArgs& args) {
    if (!args.model) return nullptr;
    return std::make_unique<CDocConsoleWin>(args);
}

void CDocConsoleWin::Install() {
    SDocWindowFactories f = DocWindowFactories();
    f.console = &CDocConsoleWin::Make;
    f.sequenceList = &CDocSeqListWin::Make;
    SetDocWindowFactories(&f);
    CConsoleWin::SetChannelListFactory(&MakeDocChannelList);
}
