#include "Lib3/LSources/CoreUI/LStdButton.h"

#include <algorithm>

#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"

LStdCtlSpec MakeStdCtlSpec(const LStdCtlSpec& spec, plat::ControlKind kind) {
    if (spec.control) return spec;
    LStdCtlSpec made = spec;
    made.control = plat::Control::Create(kind, {0, 0, 1, 1}).release();  // the pane retains it; released below
    return made;
}

namespace {

// Makes the spec's control when none was supplied and drops the creation reference once the pane
// holds its own.
struct MadeSpec {
    MadeSpec(const LStdCtlSpec& in, plat::ControlKind kind)
        : spec(MakeStdCtlSpec(in, kind)), owned(!in.control) {}
    ~MadeSpec() {
        if (owned && spec.control) spec.control->Release();
    }
    LStdCtlSpec spec;
    bool owned;
};

}  // namespace

LStdButton::LStdButton(LPane* owner, const LStdCtlSpec& spec)
    : LStdCtl(owner, MadeSpec(spec, plat::ControlKind::kPushButton).spec) {}

int32_t LStdButton::PreferredWidth(LDrawContext&, int32_t kind) {
    if (!Control()) return 0;
    const CLRect cell = CellSize();
    if (kind == -13) {
        const plat::Font* f = Style().Font();
        return f ? int32_t(plat::TextWidth(*f, "x", 1)) : 0;
    }
    if (kind == -11) return 8;
    if (kind != 0) return cell.Width();
    return std::max(cell.Width(), 58);
}

int32_t LStdButton::PreferredHeight(LDrawContext& ctx, int32_t kind) {
    if (kind == -12) return BaselineFor(Bounds().Height());
    if (kind == -10) return BaselineFor(PreferredHeight(ctx, 0));
    return CellSize().Height();
}

void LStdButton::SetDefault(bool isDefault) {
    fDefault = isDefault;
    if (!Control()) return;
    Control()->SetKeyEquivalent(isDefault ? "\r" : "");
    Control()->SetDefault(isDefault);
}

void LStdButton::Highlight(bool on) {
    if (Control()) Control()->Highlight(on);
}
