#pragma once

#include <cstdint>
#include <memory>

#include "Platform/AppKit/MenuTracker.h"
#include "Platform/Foundation/Geometry.h"
#include "Platform/Foundation/Object.h"

namespace plat {

class DrawContext;
class MenuStripLayout;
class Window;
struct Event;

// The menu bar of a document window: a strip of fixed height above its content showing the titles
// of the main menu's top-level items (the application menu under the application's name). A press on
// a title (or F10) opens its menu; while it tracks, the pointer and Left/Right move between titles.
// Event locations on it are content coordinates with a negative y. Main thread only.
class MenuStrip : public MenuTrackingHost {
public:
    explicit MenuStrip(Window* window);
    ~MenuStrip() override;
    MenuStrip(const MenuStrip&) = delete;
    MenuStrip& operator=(const MenuStrip&) = delete;

    // The strip's picture, drawn again when stale (width of the content, kMenuStripHeight high).
    DrawContext* Image();
    void SetNeedsDisplay() { fStale = true; }
    bool NeedsDisplay() const { return fStale; }
    // The open title, -1 when none.
    int32_t Highlight() const { return fHighlight; }
    // Title rectangles in content coordinates (y negative).
    int32_t TitleCount() const override;
    Rect TitleRect(int32_t index);

    // A press on the strip (content coordinates): opens the title under it and tracks.
    void MouseDown(const Event& event);
    // Opens the first title with its first item highlighted; false when there is none.
    bool OpenFirst();

    int32_t TitleAtScreen(Point screen) const override;
    Menu* OpenTitle(int32_t index, Point* origin) override;
    void TrackingEnded() override;

private:
    void Layout();
    void Track(int32_t index, bool byKey);

    Window* fWindow;  // the owner
    Ref<DrawContext> fImage;
    std::unique_ptr<MenuStripLayout> fLayout;
    bool fStale = true;
    int32_t fHighlight = -1;
};

}  // namespace plat
