#include "Platform/AppKit/MenuTracker.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Event.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"

namespace plat {

namespace {

constexpr double kPoll = 0.25;
constexpr double kClickSlop = 3;

// Key codes of the key's text.
constexpr uint32_t kUp = 0xF700, kDown = 0xF701, kLeft = 0xF702, kRight = 0xF703;

uint32_t FirstCodePoint(const std::string& s) {
    if (s.empty()) return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    if (p[0] < 0x80) return p[0];
    if ((p[0] >> 5) == 6 && s.size() >= 2) return ((p[0] & 0x1F) << 6) | (p[1] & 0x3F);
    if ((p[0] >> 4) == 14 && s.size() >= 3)
        return ((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F);
    return 0;
}

bool Contains(const Rect& r, Point p) {
    return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height;
}

// One open menu: its window, layout and highlighted row.
struct Level {
    Ref<Menu> menu;
    std::unique_ptr<MenuLayout> layout;
    Ref<Window> window;
    Rect rect;  // screen
    int32_t highlight = -1;
};

void DrawLevel(View*, const Rect&, void* context) {
    auto* level = static_cast<Level*>(context);
    if (DrawContext* ctx = CurrentDrawContext()) level->layout->Draw(*ctx, level->highlight);
}

class Run;
Run* gRun = nullptr;

class Run {
public:
    Run(MenuTrackingHost* host, int32_t title) : fHost(host), fTitle(title), fOuter(gRun) { gRun = this; }
    ~Run() {
        CloseFrom(0);
        if (fHost) fHost->TrackingEnded();
        gRun = fOuter;
    }

    void Open(Menu* menu, Point origin, int32_t positionedRow) {
        auto level = std::make_unique<Level>();
        level->menu = RetainRef(menu);
        level->layout = std::make_unique<MenuLayout>(menu);
        const Size size = level->layout->MenuSize();
        if (positionedRow >= 0 && positionedRow < int32_t(level->layout->Rows().size()))
            origin.y -= level->layout->Rows()[size_t(positionedRow)].y;
        level->rect = Fit({origin.x, origin.y, size.width, size.height});
        level->window = Window::Create(level->rect, kBorderlessWindowMask);
        level->window->SetLevel(kPopUpMenuWindowLevel);
        Ref<View> view = View::Create({0, 0, size.width, size.height});
        view->SetDrawCallback(&DrawLevel, level.get());
        level->window->SetContentView(view.get());
        view->SetNeedsDisplay(true);
        level->window->OrderFront();
        fLevels.push_back(std::move(level));
    }

    void CloseFrom(size_t depth) {
        while (fLevels.size() > depth) {
            Level& l = *fLevels.back();
            if (View* v = l.window->ContentView()) v->SetDrawCallback(nullptr, nullptr);
            l.window->OrderOut();
            l.window->Close();
            fLevels.pop_back();
        }
    }

    void SetHighlight(size_t depth, int32_t row) {
        Level& l = *fLevels[depth];
        if (l.highlight == row) return;
        l.highlight = row;
        if (View* v = l.window->ContentView()) v->SetNeedsDisplay(true);
    }

    // Highlights the row of a level and opens its submenu, closing deeper levels.
    void Enter(size_t depth, int32_t row) {
        CloseFrom(depth + 1);
        SetHighlight(depth, row);
        Level& l = *fLevels[depth];
        MenuItem* item = row >= 0 ? l.menu->ItemAtIndex(row) : nullptr;
        if (IsMenuItemSelectable(item) && item->HasSubmenu()) {
            const Rect& r = l.layout->Rows()[size_t(row)];
            Open(item->Submenu(), {l.rect.x + l.rect.width - 2, l.rect.y + r.y - 1}, -1);
        }
    }

    void SwitchTitle(int32_t title) {
        if (!fHost || title < 0 || title == fTitle) return;
        CloseFrom(0);
        Point origin;
        Menu* menu = fHost->OpenTitle(title, &origin);
        fTitle = title;
        if (menu) Open(menu, origin, -1);
    }

    // True when the loop ends.
    bool HandleMouse(const Event& e) {
        Application* app = Application::Shared();
        Point p = e.location;
        if (e.windowNumber)
            if (Window* w = app->WindowWithNumber(e.windowNumber)) p = w->ConvertToScreen(e.location);
        if (!fMoved && (std::abs(p.x - fStart.x) > kClickSlop || std::abs(p.y - fStart.y) > kClickSlop))
            fMoved = true;
        const bool down = e.type == EventType::kLeftMouseDown || e.type == EventType::kRightMouseDown ||
                          e.type == EventType::kOtherMouseDown;
        const bool up = e.type == EventType::kLeftMouseUp || e.type == EventType::kRightMouseUp ||
                        e.type == EventType::kOtherMouseUp;
        if (down) fPressed = true;
        for (size_t d = fLevels.size(); d-- > 0;) {
            Level& l = *fLevels[d];
            if (!Contains(l.rect, p)) continue;
            const int32_t row = l.layout->RowAt({p.x - l.rect.x, p.y - l.rect.y});
            MenuItem* item = row >= 0 ? l.menu->ItemAtIndex(row) : nullptr;
            if (!IsMenuItemSelectable(item)) {
                CloseFrom(d + 1);
                SetHighlight(d, -1);
                return false;
            }
            if (l.highlight != row || fLevels.size() <= d + 1) Enter(d, row);
            if (up && (fPressed || fMoved) && !item->HasSubmenu()) {
                fChosen = RetainRef(item);
                return true;
            }
            return false;
        }
        const int32_t title = fHost ? fHost->TitleAtScreen(p) : -1;
        if (title >= 0) {
            if (down && title == fTitle) return true;  // a second press on the open title closes it
            SwitchTitle(title);
            return false;
        }
        if (!fLevels.empty()) {
            Level& deepest = *fLevels.back();
            if (deepest.highlight >= 0 && !IsSubmenuRow(deepest)) SetHighlight(fLevels.size() - 1, -1);
        }
        return down;  // a press outside dismisses
    }

    bool IsSubmenuRow(const Level& l) const {
        MenuItem* item = l.highlight >= 0 ? l.menu->ItemAtIndex(l.highlight) : nullptr;
        return item && item->HasSubmenu();
    }

    bool HandleKey(const Event& e) {
        if (fLevels.empty()) return true;
        const uint32_t c = FirstCodePoint(e.charactersIgnoringModifiers);
        const size_t d = fLevels.size() - 1;
        Level& l = *fLevels[d];
        switch (c) {
            case 0x1B:
                return true;
            case kDown:
            case kUp: {
                const int32_t next = l.layout->NextSelectable(l.highlight, c == kUp);
                if (next >= 0) {
                    CloseFrom(d + 1);
                    SetHighlight(d, next);
                }
                return false;
            }
            case kRight: {
                MenuItem* item = l.highlight >= 0 ? l.menu->ItemAtIndex(l.highlight) : nullptr;
                if (IsMenuItemSelectable(item) && item->HasSubmenu()) {
                    Enter(d, l.highlight);
                    Level& sub = *fLevels.back();
                    SetHighlight(fLevels.size() - 1, sub.layout->NextSelectable(-1, false));
                } else if (fHost && fHost->TitleCount() > 0) {
                    SwitchTitle((fTitle + 1) % fHost->TitleCount());
                    SelectFirst();
                }
                return false;
            }
            case kLeft:
                if (d > 0) {
                    CloseFrom(d);
                } else if (fHost && fHost->TitleCount() > 0) {
                    SwitchTitle((fTitle + fHost->TitleCount() - 1) % fHost->TitleCount());
                    SelectFirst();
                }
                return false;
            case '\r':
            case 3:
            case ' ': {
                MenuItem* item = l.highlight >= 0 ? l.menu->ItemAtIndex(l.highlight) : nullptr;
                if (!IsMenuItemSelectable(item)) return false;
                if (item->HasSubmenu()) {
                    Enter(d, l.highlight);
                    Level& sub = *fLevels.back();
                    SetHighlight(fLevels.size() - 1, sub.layout->NextSelectable(-1, false));
                    return false;
                }
                fChosen = RetainRef(item);
                return true;
            }
            default:
                return false;
        }
    }

    void SelectFirst() {
        if (fLevels.empty()) return;
        SetHighlight(0, fLevels[0]->layout->NextSelectable(-1, false));
    }

    Ref<MenuItem> Loop(Point start) {
        fStart = start;
        Application* app = Application::Shared();
        for (;;) {
            if (fLevels.empty() || !app->IsActive() || app->TerminationRequested()) break;
            Event e;
            if (!app->NextEvent(kAnyEventMask, ClockNow() + kPoll, kEventTrackingRunLoopMode, true, &e))
                continue;
            bool done = false;
            if (e.IsMouse() && e.type != EventType::kScrollWheel)
                done = HandleMouse(e);
            else if (e.type == EventType::kKeyDown)
                done = HandleKey(e);
            else if (!e.IsMouse() && !e.IsKey() && e.type != EventType::kFlagsChanged)
                app->SendEvent(e);
            if (done) break;
        }
        return fChosen;
    }

    Window* WindowAt(int32_t i) const {
        return i >= 0 && size_t(i) < fLevels.size() ? fLevels[size_t(i)]->window.get() : nullptr;
    }
    int32_t Count() const { return int32_t(fLevels.size()); }

private:
    // Keeps the menu on the screen that holds its top-left.
    Rect Fit(Rect r) const {
        Backend* b = CurrentBackend();
        if (!b) return r;
        for (const Screen& s : b->Screens()) {
            const Rect& f = s.frame;
            if (!Contains(f, {r.x, r.y}) && !Contains(f, {r.x, std::max(r.y, f.y)})) continue;
            if (r.x + r.width > f.x + f.width) r.x = std::max(f.x, f.x + f.width - r.width);
            if (r.y + r.height > f.y + f.height) r.y = std::max(f.y, f.y + f.height - r.height);
            if (r.y < f.y) r.y = f.y;
            break;
        }
        return r;
    }

    MenuTrackingHost* fHost;
    int32_t fTitle;
    Run* fOuter;
    std::vector<std::unique_ptr<Level>> fLevels;
    Ref<MenuItem> fChosen;
    Point fStart;
    bool fMoved = false;
    bool fPressed = false;
};

}  // namespace

Ref<MenuItem> MenuTracker::Track(Menu* menu, MenuItem* positioned, Point screen, MenuTrackingHost* host,
                                 int32_t title, bool selectFirst) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!menu) return nullptr;
    Ref<Menu> keep = RetainRef(menu);
    Ref<MenuItem> chosen;
    {
        Run run(host, title);
        run.Open(menu, screen, positioned ? menu->IndexOfItem(positioned) : -1);
        if (selectFirst) run.SelectFirst();
        chosen = run.Loop(Application::Shared()->MouseLocation());
    }
    if (chosen)
        if (Menu* parent = chosen->ParentMenu())
            parent->PerformActionForItemAtIndex(parent->IndexOfItem(chosen.get()));
    return chosen;
}

bool MenuTracker::IsTracking() {
    return gRun != nullptr;
}

int32_t MenuTracker::OpenWindowCount() {
    return gRun ? gRun->Count() : 0;
}

Window* MenuTracker::OpenWindow(int32_t index) {
    return gRun ? gRun->WindowAt(index) : nullptr;
}

}  // namespace plat
