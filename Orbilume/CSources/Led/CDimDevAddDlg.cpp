#include "Orbilume/CSources/Led/CDimDevAddDlg.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "Common/ObjC/CMacWindowKind.h"
#include "Common/ObjC/CNumVol.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/LStrListRsrc.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Orbilume/CSources/Led/CDIMDefSel.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Platform/Foundation/Check.h"

namespace {

using T = CDimTypes;

struct Range {
    int32_t minimum, maximum;
};
constexpr Range kRanges[CDimDevAddDlg::kKnobCount] = {{1, 512}, {1, 512}, {0, 127}, {0, 15}, {0, 15}, {1, 510}};

LString String(uint32_t n) {
    const LStrListRsrcH strings{SRsrcRequest(CDimDevAddDlg::kName)};
    return strings.GetString(n);
}

}  // namespace

CDimDevAddDlg::CDimDevAddDlg(LHandler* upper, LPane* owner, CDimDefStore* defs, CDimDefLibrary* library,
                             const UDimArrange::AddValues& values, const LFrameSpec& spec)
    : LModalDialog(upper, owner, spec), fDefs(defs), fName(values.name) {
    PLAT_DCHECK_MAIN_THREAD();
    // Children in layout order: 1 OK, 2 Cancel, 3 the selector's label, 4 the selector, a label and
    // its knob per value (5 to 16), then a label and its read-out for the size (17, 18) and the
    // total (19, 20).
    fOk = new LStdButton(this, LStdCtlSpec());
    fCancel = new LStdButton(this, LStdCtlSpec());
    SetWindowTitle(String(0));
    fOk->SetTitle(String(1));
    fCancel->SetTitle(String(2));
    (new LTextPane(this, 0))->SetText(String(3));
    fSelector = new CDIMDefSel(this, library);
    const int32_t initial[kKnobCount] = {int32_t(values.across), int32_t(values.down),     int32_t(values.net),
                                         int32_t(values.subnet), int32_t(values.universe), int32_t(values.firstChannel)};
    for (uint32_t n = 0; n < kKnobCount; ++n) {
        (new LTextPane(this, 0))->SetText(String(4 + n));
        fKnobs[n] = new CNumVol(this, 0, 0);
        fKnobs[n]->SetRange(float(kRanges[n].minimum), float(kRanges[n].maximum), 1);
        SetKnob(n, initial[n]);
    }
    (new LTextPane(this, 0))->SetText(String(10));
    fSize = new LTextPane(this, 0);
    (new LTextPane(this, 0))->SetText(String(11));
    fTotal = new LTextPane(this, 0);
    SetDefaultButton(fOk);
    SetCancelButton(fCancel);
    SetName(fName);
    LLayoutParts layout;
    if (::LoadLayout(SRsrcRequest(kName), layout)) SetLayout(layout, kDescriptionMode);
    // Placed at its preferred size before it shows.
    UpdateLayout();
}

CDimDevAddDlg::~CDimDevAddDlg() = default;

void CDimDevAddDlg::SetKnob(uint32_t n, int32_t value) {
    if (n >= kKnobCount) return;
    fKnobs[n]->SetValue(float(std::clamp(value, kRanges[n].minimum, kRanges[n].maximum)));
}

void CDimDevAddDlg::SetName(const LString& name) {
    fName = name;
    if (!(fSelector->Text() == name)) (void)fSelector->SetText(name);
    Refresh();
}

UDimArrange::AddValues CDimDevAddDlg::Values() const {
    uint32_t v[kKnobCount];
    for (uint32_t n = 0; n < kKnobCount; ++n) {
        const float f = fKnobs[n]->GetValue();
        const long r = std::isfinite(f) ? std::lround(std::clamp(f, -1e9f, 1e9f)) : kRanges[n].minimum;
        v[n] = uint32_t(std::clamp(r, long(kRanges[n].minimum), long(kRanges[n].maximum)));
    }
    UDimArrange::AddValues out;
    out.name = fName;
    out.across = v[kAcross];
    out.down = v[kDown];
    out.net = v[kNet];
    out.subnet = v[kSubnet];
    out.universe = v[kUniverse];
    out.firstChannel = v[kFirstChannel];
    return out;
}

void CDimDevAddDlg::Refresh() {
    const CRecord* def = fDefs ? fDefs->Find(fName.CStr()) : nullptr;
    if (def) {
        const UDimArrange::AddValues v = Values();
        const uint64_t c = def->GetUInt(T::kDidfColumns), r = def->GetUInt(T::kDidfRows);
        fSizeText = LString((std::to_string(c) + " x " + std::to_string(r)).c_str());
        fTotalText = LString((std::to_string(c * v.across) + " x " + std::to_string(r * v.down)).c_str());
    } else {
        fSizeText = LString();
        fTotalText = LString();
    }
    (void)fSize->SetText(fSizeText);
    (void)fTotal->SetText(fTotalText);
    const bool enabled = (fOk->State() & LPane::kEnabled) != 0;
    if (enabled != (def != nullptr)) fOk->ChangeState(def ? LPane::kEnable : LPane::kDisable);
}

LMessage CDimDevAddDlg::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix)) {
        Refresh();
        return LMessage();
    }
    if (msg.Is(CDIMDefSel_Changed) && msg.sender == fSelector) {
        SetName(fSelector->Text());
        return LMessage();
    }
    // The default button does nothing while it is off.
    if (msg.Is(LDialog_Default) && !(fOk->State() & LPane::kEnabled)) return LMessage();
    return LModalDialog::Handle(msg);
}

LFrameSpec CDimDevAddDlg::WindowSpec() {
    return LFrameSpec(LFrameSpec::kModal, CMacWindowKindH(new CMacWinKind(kWindowKind)));
}

bool CDimDevAddDlg::Run(LHandler* upper, CDimDefStore* defs, CDimDefLibrary* library,
                        UDimArrange::AddValues& values) {
    CDimDevAddDlg dialog(upper, nullptr, defs, library, values, WindowSpec());
    if (dialog.RunUntilResult() != 1) return false;
    values = dialog.Values();
    return true;
}
