#include "Orbilume/CSources/UsbDmxUI/CDmxSettingsDlg.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/UsbDmx/CDmxIoManager.h"
#include "Platform/Foundation/Check.h"

namespace {

enum : uint32_t { kTitle = 0, kOkTitle = 1, kCancelTitle = 2, kFirstLabel = 3 };

constexpr CDmxSettingsDlg::Range kArtNetRanges[] = {{0, 127}, {0, 15}, {0, 15}};
constexpr CDmxSettingsDlg::Range kSAcnRanges[] = {{1, 63999}};
constexpr CDmxSettingsDlg::Range kTimingRanges[] = {{92, 347}, {12, 267}, {0, 255}};
constexpr const char* kTimingKeys[] = {"break", "mab", "mbs"};
constexpr int32_t kTimingOffsets[] = {92, 12, 0};
constexpr int32_t kTimingDefaults[] = {84, 0, 0};

}  // namespace

CDmxSettingsDlg::CDmxSettingsDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec, const char* name,
                                 const Range* ranges, uint32_t count)
    : LModalDialog(upper, owner, spec), fName(name), fCount(std::min(count, kMaxKnobs)) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, then a label and its knob per value.
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    SetWindowTitle(String(kTitle));
    fOk->SetTitle(String(kOkTitle));
    fCancel->SetTitle(String(kCancelTitle));
    for (uint32_t n = 0; n < fCount; ++n) {
        fRanges[n] = ranges[n];
        fLabels[n] = new LTextPane(this, 0);
        fKnobs[n] = new CNumVol(this, 0, 0);
        fLabels[n]->SetText(String(kFirstLabel + n));
        fKnobs[n]->SetRange(float(ranges[n].minimum), float(ranges[n].maximum), 1);
        fKnobs[n]->SetValue(float(ranges[n].minimum));
    }
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
    LLayoutParts layout;
    if (::LoadLayout(SRsrcRequest(fName), layout)) SetLayout(layout, kDescriptionMode);
}

LString CDmxSettingsDlg::String(uint32_t n) const {
    const LStrListRsrcH strings{SRsrcRequest(fName)};
    return strings.GetString(n);
}

void CDmxSettingsDlg::SetKnob(uint32_t n, int32_t value) {
    if (n >= fCount) return;
    fKnobs[n]->SetValue(float(std::clamp(value, fRanges[n].minimum, fRanges[n].maximum)));
}

int32_t CDmxSettingsDlg::Knob(uint32_t n) const {
    if (n >= fCount) return 0;
    const float v = fKnobs[n]->GetValue();
    if (!std::isfinite(v)) return fRanges[n].minimum;
    const long r = std::lround(std::clamp(v, -1e9f, 1e9f));
    return int32_t(std::clamp(r, long(fRanges[n].minimum), long(fRanges[n].maximum)));
}

int CDmxSettingsDlg::KnobIndex(const LHandler* pane) const {
    for (uint32_t n = 0; n < fCount; ++n)
        if (pane && fKnobs[n] == pane) return int(n);
    return -1;
}

// Art-Net.

CArtNetDlg::CArtNetDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : CDmxSettingsDlg(upper, owner, spec, kName, kArtNetRanges, 3) {}

void CArtNetDlg::SetAddress(uint8_t net, uint8_t subUni) {
    SetKnob(kNet, net);
    SetKnob(kSubNet, subUni >> 4);
    SetKnob(kUniverse, subUni & 0x0F);
}

// sACN.

CSAcnDlg::CSAcnDlg(LHandler* upper, LPane* owner, const LFrameSpec& spec)
    : CDmxSettingsDlg(upper, owner, spec, kName, kSAcnRanges, 1) {}

void CSAcnDlg::SetUniverse(uint32_t universe) {
    SetKnob(0, int32_t(std::min<uint32_t>(universe, 0x7FFFFFFF)));
}

// Signal timing.

CSigParamDlg::CSigParamDlg(LHandler* upper, LPane* owner, CRecordRef set, const LFrameSpec& spec)
    : CDmxSettingsDlg(upper, owner, spec, kName, kTimingRanges, 3), fSet(set), fHolder(set.GetHolder()) {
    for (uint32_t n = 0; n < 3; ++n) {
        LString v;
        if (CParamSet::Find(fSet, LString(kTimingKeys[n]), &v) >= 0) fInitial[n] = v;
    }
    if (fHolder) fHolder->AddObserver(this, Observe);
    ShowSet();
}

CSigParamDlg::~CSigParamDlg() {
    if (fHolder) fHolder->RemoveObserver(this, Observe);
}

uint32_t CSigParamDlg::Stored(CRecordRef set, uint32_t n) {
    if (n >= 3) return 0;
    const int32_t v = CParamSet::GetIntOr(set, LString(kTimingKeys[n]), kTimingDefaults[n]);
    return uint32_t(std::clamp(v, 0, 255));
}

void CSigParamDlg::ShowSet() {
    for (uint32_t n = 0; n < 3; ++n) SetKnob(n, int32_t(Stored(fSet, n)) + kTimingOffsets[n]);
}

void CSigParamDlg::SetTimingTarget(void* context, TimingTarget target) {
    fTargetContext = context;
    fTarget = target;
}

void CSigParamDlg::ToInterface(void* io, uint32_t brk, uint32_t mab, uint32_t mbs) {
    if (io) static_cast<CDmxIO*>(io)->SetTiming(brk, mab, mbs);
}

void CSigParamDlg::Notify() {
    if (fTarget) fTarget(fTargetContext, Stored(fSet, kBreak), Stored(fSet, kMab), Stored(fSet, kMbs));
}

void CSigParamDlg::Revert() {
    PLAT_DCHECK_MAIN_THREAD();
    if (!fSet) return;
    // An empty value deletes the entry: a key absent at first goes again.
    for (uint32_t n = 0; n < 3; ++n) {
        LString now;
        const bool present = CParamSet::Find(fSet, LString(kTimingKeys[n]), &now) >= 0;
        if (!present && fInitial[n].Length() == 0) continue;
        if (present && now == fInitial[n]) continue;
        CParamSet::SetString(fSet, nullptr, LString(kTimingKeys[n]), fInitial[n]);
    }
    ShowSet();
    Notify();
}

LMessage CSigParamDlg::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix)) {
        const int n = KnobIndex(msg.sender);
        if (n >= 0) {
            if (fSet)
                CParamSet::PutIntAt(fSet, LString(kTimingKeys[n]), Knob(uint32_t(n)) - kTimingOffsets[n]);
            return LMessage();
        }
    }
    // Any answer but OK (Cancel, Escape, the close box) takes the live edits back.
    const uint32_t before = Result();
    LMessage reply = CDmxSettingsDlg::Handle(msg);
    if (before == 0 && Result() != 0 && Result() != 1) Revert();
    return reply;
}

void CSigParamDlg::Observe(void* context, const SRecordEvent* event) {
    static_cast<CSigParamDlg*>(context)->OnRecordChange(*event);
}

void CSigParamDlg::OnRecordChange(const SRecordEvent& event) {
    CRecord* set = fSet.Get();
    if (!set) return;
    CParamSet::Change change;
    const bool removed = event.kind == SRecordEvent::kRemoved && event.record.Get() == set;
    if (!removed && (event.kind == SRecordEvent::kDeleting || !CParamSet::ParseChange(event, change) ||
                     change.set != set))
        return;
    ShowSet();
    Notify();
}
