#include "Lib3/LSources/CoreUI/LStdCheck.h"

#include <algorithm>
#include <vector>

#include "Lib3/LSources/CoreUI/LStdButton.h"
#include "Platform/Graphics/Font.h"

namespace {

struct MadeSpec {
    MadeSpec(const LStdCtlSpec& in, plat::ControlKind kind)
        : spec(MakeStdCtlSpec(in, kind)), owned(!in.control) {
        if (owned && spec.control && kind == plat::ControlKind::kCheckBox)
            spec.control->SetTitle("\xE2\x80\x8B");  // a zero-width space
    }
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

}  // namespace

LStdCheck::LStdCheck(LPane* owner, const LStdCtlSpec& spec)
    : LStdCheck(owner, spec, plat::ControlKind::kCheckBox) {}

LStdCheck::LStdCheck(LPane* owner, const LStdCtlSpec& spec, plat::ControlKind kind)
    : LStdCtl(owner, MadeSpec(spec, kind).spec) {}

void LStdCheck::Action() {
    if (Control()) Control()->SetState(fStateValue);  // the pane decides the state
    LStdCtl::Action();
}

LMessage LStdCheck::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == this && Control()) {
        fStateValue = Control()->State() < 1 ? 1 : 0;
        Control()->SetState(fStateValue);
        return LMessage(LStdCheck_Change, this, Upper());
    }
    return LStdCtl::Handle(msg);
}

void LStdCheck::SetValue(int32_t state) {
    fStateValue = state;
    if (Control()) Control()->SetState(state);
}

bool LStdCheck::GetValue() const {
    return Control() && Control()->State() != 0;
}

int32_t LStdCheck::PreferredWidth(LDrawContext&, int32_t) {
    return CellSize().Width();
}

int32_t LStdCheck::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind == -12) return BaselineFor(Bounds().Height());
    if (kind == -10) return BaselineFor(PreferredHeight(ctx, 0));
    if (kind == -1) {
        const plat::Font* f = Style().Font();
        return f ? int32_t(f->LineHeight()) + 2 : 2;
    }
    const CLRect cell = CellSize();
    return cell.IsEmpty() ? 16 : cell.Height();
}

LStdRadio::LStdRadio(LPane* owner, const LStdCtlSpec& spec)
    : LStdCheck(owner, spec, plat::ControlKind::kRadioButton) {}

void LStdRadio::Action() {
    if (Control()) Control()->SetState(0);  // undone: the ring decides
    LStdCtl::Action();
}

LMessage LStdRadio::Track(const CLPoint& local) {
    if (!WillTrack()) return LMessage();
    return LStdCtl::Track(local);
}

CLRect LStdRadio::GetOuterRect(const CLRect& r) const {
    CLRect out = r;
    out.top -= 1;
    out.bottom += 1;
    return out;
}

std::vector<LStdRadio*> LStdRadio::Ring() {
    std::vector<LStdRadio*> ring;
    for (LStdRadio* r = this; r; r = r->fNext) {
        if (std::find(ring.begin(), ring.end(), r) != ring.end()) break;
        ring.push_back(r);
    }
    return ring;
}

LMessage LStdRadio::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == this && Control()) {
        if (fStateValue) {
            Control()->SetState(1);
            return LMessage();
        }
        for (LStdRadio* r : Ring()) r->SetValue(r == this ? 1 : 0);
        return LMessage(LStdCheck_Change, this, Upper());
    }
    return LStdCheck::Handle(msg);
}

int32_t LStdRadio::GroupValue() {
    const std::vector<LStdRadio*> ring = Ring();
    for (size_t i = 0; i < ring.size(); ++i)
        if (ring[i]->fStateValue) return int32_t(i);
    return -1;
}

void LStdRadio::SetGroupValue(int32_t index) {
    const std::vector<LStdRadio*> ring = Ring();
    for (size_t i = 0; i < ring.size(); ++i) ring[i]->SetValue(int32_t(i) == index ? 1 : 0);
}
