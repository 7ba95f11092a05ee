#include "Common/ObjC/CMacWindowKind.h"

#include "Platform/AppKit/Window.h"

namespace {

constexpr plat::Rect kNewContent{kNewWindowLeft, kNewWindowTop, kNewWindowRight - kNewWindowLeft,
                                 kNewWindowBottom - kNewWindowTop};

struct KindRow {
    uint32_t style;
    int32_t level;
};

// Kinds 0-12.
constexpr KindRow kKinds[] = {
    {1, 8}, {9, 8}, {1, 8}, {7, 0}, {5, 0}, {0, 0}, {15, 0}, {13, 0}, {3, 0}, {15, 0}, {0, 0}, {1, 8}, {0, 0},
};

// Panel kinds 1-6.
constexpr uint32_t kPanelStyles[] = {19, 29, 31, 31, 17, 0};

}  // namespace

uint32_t CMacWinKind::StyleMaskFor(int32_t kind) {
    if (kind < 0 || kind >= int32_t(sizeof kKinds / sizeof kKinds[0])) return 3;
    return kKinds[kind].style;
}

int32_t CMacWinKind::LevelFor(int32_t kind) {
    if (kind < 0 || kind >= int32_t(sizeof kKinds / sizeof kKinds[0])) return 0;
    return kKinds[kind].level;
}

plat::Ref<plat::Window> CMacWinKind::CreateNativeWindow() const {
    plat::Ref<plat::Window> w = plat::Window::Create(kNewContent, StyleMaskFor(mKind));
    w->SetLevel(LevelFor(mKind));
    return w;
}

uint32_t CMacPanelKind::StyleMaskFor(int32_t panelKind) {
    if (panelKind < 1 || panelKind > 6) return 17;
    return kPanelStyles[panelKind - 1];
}

plat::Ref<plat::Window> CMacPanelKind::CreateNativeWindow() const {
    plat::Ref<plat::Window> w = plat::Window::CreatePanel(kNewContent, StyleMaskFor(mKind));
    w->SetFloatingPanel(true);
    if (mOptions & kStaysOnDeactivate)
        w->SetHidesOnDeactivate(false);
    else
        w->SetBecomesKeyOnlyIfNeeded(true);
    if (mOptions & kAboveFloating) w->SetLevel(4);
    if (mKind == 6) w->SetIgnoresMouseEvents(true);
    return w;
}
