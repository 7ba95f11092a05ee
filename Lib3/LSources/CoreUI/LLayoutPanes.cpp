#include "Lib3/LSources/CoreUI/LLayoutPanes.h"

#include <cmath>

namespace ULayoutMath {
int32_t Sqrt(int32_t a) {
    if (a <= 0) return 0;
    return static_cast<int32_t>(std::lround(std::sqrt(static_cast<float>(a))));
}
}  // namespace ULayoutMath

namespace {

int32_t Arg(const int32_t* args, uint32_t count, uint32_t i) {
    return i < count ? args[i] : 0;
}

// The rectangle of pane n (0: the layout rectangle); false when there is no such pane.
bool PaneRect(int32_t n, const SLayoutRect& layout, LLayoutPanes* panes, SLayoutRect& out) {
    if (n == 0) {
        out = layout;
        return true;
    }
    uint32_t index = static_cast<uint32_t>(n);
    if (!panes || index > panes->CountPanes()) return false;
    out = panes->PaneBounds(index);
    return true;
}

bool IsPane(int32_t n, LLayoutPanes* panes) {
    return n != 0 && panes && static_cast<uint32_t>(n) <= panes->CountPanes();
}

}  // namespace

int32_t CallLayoutBuiltin(ELayoutBuiltin which, SLayoutRect& layout, LLayoutPanes* panes, const int32_t* args,
                          uint32_t count) {
    const int32_t n = Arg(args, count, 0);
    SLayoutRect r;
    switch (which) {
        case ELayoutBuiltin::kSys:
            return static_cast<uint32_t>(n) < 4 ? 16 : 0;
        case ELayoutBuiltin::kPp: {
            SLayoutRect to{Arg(args, count, 1), Arg(args, count, 2), Arg(args, count, 3),
                           Arg(args, count, 4)};
            if (n == 0)
                layout = to;
            else if (IsPane(n, panes))
                panes->SetPaneBounds(static_cast<uint32_t>(n), to);
            return 0;
        }
        case ELayoutBuiltin::kShown:
            if (n == 0) return 1;
            return IsPane(n, panes) && panes->PaneVisible(static_cast<uint32_t>(n)) ? 1 : 0;
        case ELayoutBuiltin::kWp:
            if (n == 0) return ULayoutMath::Sub(layout.right, layout.left);
            return IsPane(n, panes) ? panes->PanePreferredWidth(static_cast<uint32_t>(n), Arg(args, count, 1))
                                    : 0;
        case ELayoutBuiltin::kHp:
            if (n == 0) return ULayoutMath::Sub(layout.bottom, layout.top);
            return IsPane(n, panes)
                       ? panes->PanePreferredHeight(static_cast<uint32_t>(n), Arg(args, count, 1))
                       : 0;
        case ELayoutBuiltin::kL:
            return PaneRect(n, layout, panes, r) ? r.left : 0;
        case ELayoutBuiltin::kT:
            return PaneRect(n, layout, panes, r) ? r.top : 0;
        case ELayoutBuiltin::kR:
            return PaneRect(n, layout, panes, r) ? r.right : 0;
        case ELayoutBuiltin::kB:
            return PaneRect(n, layout, panes, r) ? r.bottom : 0;
        case ELayoutBuiltin::kW:
            return PaneRect(n, layout, panes, r) ? ULayoutMath::Sub(r.right, r.left) : 0;
        case ELayoutBuiltin::kH:
            return PaneRect(n, layout, panes, r) ? ULayoutMath::Sub(r.bottom, r.top) : 0;
    }
    return 0;
}
