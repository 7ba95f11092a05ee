#include "Platform/AppKit/MenuStrip.h"

#include <cmath>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/Menu.h"
#include "Platform/AppKit/MenuDrawing.h"
#include "Platform/AppKit/NotificationCenter.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Check.h"
#include "Platform/Graphics/DrawContext.h"

namespace plat {

MenuStrip::MenuStrip(Window* window) : fWindow(window) {}

MenuStrip::~MenuStrip() = default;

void MenuStrip::Layout() {
    fLayout =
        std::make_unique<MenuStripLayout>(Application::Shared()->MainMenu(), fWindow->ContentRect().width);
}

DrawContext* MenuStrip::Image() {
    PLAT_DCHECK_MAIN_THREAD();
    const double w = fWindow->ContentRect().width;
    const double scale = CurrentBackingScale();
    const int32_t pw = int32_t(std::max(1.0, std::ceil(w)) * scale);
    if (!fImage || fImage->Width() != pw) {
        fImage = DrawContext::CreateImage(pw, int32_t(kMenuStripHeight * scale));
        if (fImage && scale != 1) fImage->SetDeviceScale(scale);
        fStale = true;
    }
    if (fStale) {
        Layout();
        fLayout->Draw(*fImage, fHighlight);
        fStale = false;
    }
    return fImage.get();
}

int32_t MenuStrip::TitleCount() const {
    MenuStripLayout layout(Application::Shared()->MainMenu(), fWindow->ContentRect().width);
    return int32_t(layout.Titles().size());
}

Rect MenuStrip::TitleRect(int32_t index) {
    Layout();
    if (index < 0 || size_t(index) >= fLayout->Titles().size()) return {};
    Rect r = fLayout->Titles()[size_t(index)];
    r.y -= kMenuStripHeight;
    return r;
}

int32_t MenuStrip::TitleAtScreen(Point screen) const {
    const Point c = fWindow->ConvertFromScreen(screen);
    MenuStripLayout layout(Application::Shared()->MainMenu(), fWindow->ContentRect().width);
    return layout.TitleAt({c.x, c.y + kMenuStripHeight});
}

Menu* MenuStrip::OpenTitle(int32_t index, Point* origin) {
    Application* app = Application::Shared();
    // The application readies its menus before one opens.
    if (Menu* main = app->MainMenu())
        NotificationCenter::Default().Post(kMenuDidBeginTrackingNotification, main);
    Layout();
    if (index < 0 || size_t(index) >= fLayout->Titles().size()) return nullptr;
    Menu* main = app->MainMenu();
    MenuItem* holder = main ? main->ItemAtIndex(fLayout->Items()[size_t(index)]) : nullptr;
    if (!holder || !holder->HasSubmenu()) return nullptr;
    fHighlight = index;
    fStale = true;
    fWindow->ContentNeedsDisplay({0, -kMenuStripHeight, fWindow->ContentRect().width, kMenuStripHeight});
    if (origin) *origin = fWindow->ConvertToScreen({fLayout->Titles()[size_t(index)].x, 0});
    return holder->Submenu();
}

void MenuStrip::TrackingEnded() {
    fHighlight = -1;
    fStale = true;
}

void MenuStrip::Track(int32_t index, bool byKey) {
    if (MenuTracker::IsTracking()) return;
    Ref<Window> keep = RetainRef(fWindow);
    Point origin;
    Menu* menu = OpenTitle(index, &origin);
    if (!menu) {
        TrackingEnded();
        return;
    }
    (void)MenuTracker::Track(menu, nullptr, origin, this, index, byKey);
}

void MenuStrip::MouseDown(const Event& event) {
    PLAT_DCHECK_MAIN_THREAD();
    Layout();
    const int32_t title = fLayout->TitleAt({event.location.x, event.location.y + kMenuStripHeight});
    if (title >= 0) Track(title, false);
}

bool MenuStrip::OpenFirst() {
    PLAT_DCHECK_MAIN_THREAD();
    if (TitleCount() == 0) return false;
    Track(0, true);
    return true;
}

}  // namespace plat
