#include "Lib3/LSources/CoreUI/CSeparatorPane.h"

#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Platform/AppKit/Theme.h"
#include "Platform/Graphics/DrawContext.h"

namespace {
bool gThick = false;
}

CSeparatorPane::CSeparatorPane(LPane* owner) : LPane(owner, owner) {
    // Ignores the mouse and keeps its own background.
    ChangeState(kLock);
    SetOwnBackgroundBit(true);
}

void CSeparatorPane::SetThickLines(bool on) {
    gThick = on;
}

int32_t CSeparatorPane::Thickness() {
    return gThick ? 2 : 1;
}

int32_t CSeparatorPane::PreferredWidth(LDrawContext&, int32_t) {
    return Thickness();
}

int32_t CSeparatorPane::PreferredHeight(LDrawContext&, int32_t) {
    return Thickness();
}

void CSeparatorPane::Draw(LDrawContext& ctx) {
    const CLRect& b = Bounds();
    if (b.IsEmpty()) return;
    LClipScope clip(ctx, b);
    ctx.ApplyPending();
    plat::DrawContext* native = ctx.Native();
    if (!native) return;
    const plat::Rect r{double(b.left), double(b.top), double(b.Width()), double(b.Height())};
    plat::theme::DrawSeparator(*native, r, b.Height() > b.Width(), Thickness());
}
