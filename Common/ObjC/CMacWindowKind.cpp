#include "Common/ObjC/CMacWindowKind.h"

#include "Platform/AppKit/Window.h"

namespace {

constexpr plat::Rect kNewContent{kNewWindowLeft, kNewWindowTop, kNewWindowRight - kNewWindowLeft,
                                 kNewWindowBottom - kNewWindowTop};

struct KindRow {
    uint32_t style;
    int32_t level;
};

constexpr uint32_t kT = plat::kTitledWindowMask;
constexpr uint32_t kC = plat::kClosableWindowMask;
constexpr uint32_t kM = plat::kMiniaturizableWindowMask;
constexpr uint32_t kR = plat::kResizableWindowMask;
constexpr uint32_t kU = plat::kUtilityWindowMask;
constexpr uint32_t kNone = plat::kBorderlessWindowMask;
constexpr int32_t kModalLevel = plat::kModalPanelWindowLevel;
constexpr int32_t kNormal = plat::kNormalWindowLevel;

// Kinds 0-12.
constexpr KindRow kKinds[] = {
    {kT, kModalLevel},
    {kT | kR, kModalLevel},
    {kT, kModalLevel},
    {kT | kC | kM, kNormal},
    {kT | kM, kNormal},
    {kNone, kNormal},
    {kT | kC | kM | kR, kNormal},
    {kT | kM | kR, kNormal},
    {kT | kC, kNormal},
    {kT | kC | kM | kR, kNormal},
    {kNone, kNormal},
    {kT, kModalLevel},
    {kNone, kNormal},
};

// Panel kinds 1-6.
constexpr uint32_t kPanelStyles[] = {kU | kT | kC,           kU | kR | kM | kT, kU | kT | kC | kM | kR,
                                     kU | kT | kC | kM | kR, kU | kT,           kNone};

// The panel kind that lets mouse events through to the windows below.
constexpr int32_t kClickThroughPanel = 6;

}  // namespace

uint32_t CMacWinKind::StyleMaskFor(int32_t kind) {
    if (kind < 0 || kind >= int32_t(sizeof kKinds / sizeof kKinds[0])) return kT | kC;
    return kKinds[kind].style;
}

int32_t CMacWinKind::LevelFor(int32_t kind) {
    if (kind < 0 || kind >= int32_t(sizeof kKinds / sizeof kKinds[0])) return kNormal;
    return kKinds[kind].level;
}

plat::Ref<plat::Window> CMacWinKind::CreateNativeWindow() const {
    plat::Ref<plat::Window> w = plat::Window::Create(kNewContent, StyleMaskFor(mKind));
    w->SetLevel(LevelFor(mKind));
    return w;
}

uint32_t CMacPanelKind::StyleMaskFor(int32_t panelKind) {
    if (panelKind < 1 || panelKind > 6) return kU | kT;
    return kPanelStyles[panelKind - 1];
}

plat::Ref<plat::Window> CMacPanelKind::CreateNativeWindow() const {
    plat::Ref<plat::Window> w = plat::Window::CreatePanel(kNewContent, StyleMaskFor(mKind));
    w->SetFloatingPanel(true);
    if (mOptions & kStaysOnDeactivate)
        w->SetHidesOnDeactivate(false);
    else
        w->SetBecomesKeyOnlyIfNeeded(true);
    if (mOptions & kAboveFloating) w->SetLevel(plat::kFloatingWindowLevel + 1);
    if (mKind == kClickThroughPanel) w->SetIgnoresMouseEvents(true);
    return w;
}
