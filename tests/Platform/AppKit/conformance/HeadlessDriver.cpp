#include <epoxy/gl.h>

#include <algorithm>
#include <string>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/headless/HeadlessBackend.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLPixelFormat.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Platform/AppKit/conformance/BackendDriver.h"

namespace conformance {

namespace {

using plat::headless::HeadlessBackend;

// The headless window system, keeping the GL surfaces it gave each window so that what a window
// shows can be put together as a compositor would: its backing store, with its surfaces over it
// (or, below it, through their holes).
class ComposingBackend : public HeadlessBackend {
public:
    struct Made {
        const plat::Window* window;
        plat::Ref<plat::GLPixelFormat> format;
        plat::Ref<plat::GLSurface> surface;
    };
    plat::Ref<plat::GLSurface> CreateGLSurface(plat::Window* window, plat::GLPixelFormat* format,
                                               int32_t width, int32_t height) override {
        plat::Ref<plat::GLSurface> s = HeadlessBackend::CreateGLSurface(window, format, width, height);
        if (s) made.push_back({window, plat::RetainRef(format), s});
        return s;
    }
    std::vector<Made> made;
};

// What a surface shows at a pixel of its window's content, false where it does not show.
bool SurfacePixel(const ComposingBackend::Made& m, int32_t x, int32_t y, uint32_t* rgb) {
    const plat::GLSurface* s = m.surface.get();
    const int32_t k = s->Scale();
    const int32_t px = x - s->X() * k, py = y - s->Y() * k;
    if (px < 0 || py < 0 || px >= s->PixelWidth() || py >= s->PixelHeight()) return false;
    if (s->Order() == plat::GLSurfaceOrder::kBelowWindow) {
        bool inHole = false;
        for (const plat::GLSurfaceRect& r : s->Clips())
            inHole = inHole || (px >= r.x * k && py >= r.y * k && px < (r.x + r.width) * k &&
                                py < (r.y + r.height) * k);
        if (!inHole) return false;
    }
    // Read through a context of the driver's own, leaving the application's current one as it was.
    plat::GLContext* previous = plat::GLContext::Current();
    plat::Ref<plat::GLContext> reader = plat::GLContext::Create(m.format.get(), nullptr);
    uint32_t pixel = 0;
    bool read = reader && reader->SetSurface(m.surface.get()) && reader->MakeCurrent();
    if (read) {
        glReadPixels(px, s->PixelHeight() - 1 - py, 1, 1, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &pixel);
        (void)reader->SetSurface(nullptr);
    }
    if (previous)
        (void)previous->MakeCurrent();
    else
        (void)plat::GLContext::ClearCurrent();
    *rgb = pixel & 0xFFFFFF;
    return read;
}

// The in-memory window system: what it shows is the windows' own state.
class HeadlessDriver : public BackendDriver {
public:
    explicit HeadlessDriver(int32_t scale) : fPrevious(plat::CurrentBackend()), fScale(scale) {
        // The same display in points: 1440 × 900 pixels.
        const std::string screen =
            std::to_string(1440 / scale) + "x" + std::to_string(900 / scale) + "+0+0/0";
        (void)fBackend.ConfigureScreens(screen.c_str());
        fBackend.SetBackingScale(scale);
        plat::SetBackend(&fBackend);
    }
    ~HeadlessDriver() override {
        fBackend.made.clear();
        plat::SetBackend(fPrevious);
    }
    bool Ok() const override { return true; }
    int32_t Scale() const override { return fScale; }

    void Mouse(plat::Window* w, plat::EventType type, plat::Point location, uint32_t modifiers) override {
        fBackend.Inject(HeadlessBackend::MouseEvent(type, w, location, modifiers));
    }
    void Wheel(plat::Window* w, plat::Point location, double dy) override {
        fBackend.Inject(HeadlessBackend::WheelEvent(w, location, 0, dy, false));
    }
    void PressKey(plat::Window* w, const Key& key, bool down) override {
        plat::Event e = HeadlessBackend::KeyEvent(down ? plat::EventType::kKeyDown : plat::EventType::kKeyUp,
                                                  w, key.characters, 0, key.modifiers);
        e.charactersIgnoringModifiers = key.charactersIgnoringModifiers;
        fBackend.Inject(e);
    }

    void PressModifier(plat::Window* w, unsigned long, uint32_t flags, bool) override {
        plat::Event e = HeadlessBackend::KeyEvent(plat::EventType::kFlagsChanged, w, "", 0, flags);
        fBackend.Inject(e);
    }
    // The keyboard makes the text; the application sees it as one key.
    void Compose(plat::Window* w, const std::vector<unsigned long>&, const std::string& text) override {
        for (bool down : {true, false})
            fBackend.Inject(HeadlessBackend::KeyEvent(down ? plat::EventType::kKeyDown : plat::EventType::kKeyUp,
                                                      w, text.c_str(), 0, 0));
    }
    void PressHotKey(uint32_t keyCode, uint32_t modifiers) override {
        (void)fBackend.HotKeyService().PressHotKey(keyCode, modifiers);
    }
    void HoldHotKeyOutside(uint32_t) override { fBackend.HotKeyService().RefuseNextRegistration(); }
    void UserResize(plat::Window* w, plat::Size content) override {
        plat::Rect frame = w->FrameRectForContentRect({0, 0, content.width, content.height});
        HeadlessBackend::UserResize(w, {frame.width, frame.height});
    }

    bool Shown(const plat::Window* w) override { return w->IsVisible(); }
    plat::Rect ShownContent(const plat::Window* w) override { return w->ContentRect(); }
    std::string ShownTitle(const plat::Window* w) override { return w->Title(); }
    Style ShownStyle(const plat::Window* w) override {
        const uint32_t s = w->StyleMask();
        const bool titled = (s & plat::kTitledWindowMask) != 0;
        return {titled, titled && ((s & plat::kUtilityWindowMask) || w->IsFloatingPanel()),
                titled && (s & plat::kResizableWindowMask)};
    }
    std::vector<const plat::Window*> ShownOrder(const std::vector<plat::Window*>& among) override {
        std::vector<const plat::Window*> out;
        plat::Application* app = plat::Application::Shared();
        for (int64_t n : app->WindowNumbers()) {
            plat::Window* w = app->WindowWithNumber(n);
            if (std::find(among.begin(), among.end(), w) != among.end()) out.push_back(w);
        }
        return out;
    }

    uint32_t ShownPixel(const plat::Window* w, int32_t x, int32_t y) override {
        uint32_t rgb = 0;
        for (auto m = fBackend.made.rbegin(); m != fBackend.made.rend(); ++m)
            if (m->window == w && m->surface->RetainCount() > 1 && SurfacePixel(*m, x, y, &rgb)) return rgb;
        return const_cast<plat::Window*>(w)->BackingStore()->PixelAt(x, y) & 0xFFFFFF;
    }
    std::string ShownCursor(const plat::Window*, plat::Point* hotSpot) override {
        const plat::Cursor* c = fBackend.CurrentCursor();
        if (!c) return "(none)";
        *hotSpot = c->HotSpot();
        return c->Name();
    }
    std::vector<plat::Rect> TakePresented(const plat::Window* w) override {
        std::vector<plat::Rect> out;
        for (const HeadlessBackend::Presented& p : fBackend.PresentedAreas())
            if (p.window == w->Number()) out.push_back(p.area);
        fBackend.ClearPresentedAreas();
        return out;
    }
    // The other program is the pasteboard itself.
    bool PutClipboardOutside(const std::string& text, std::string*) override {
        plat::Pasteboard* pb = plat::Pasteboard::General();
        pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
        return pb->SetString(text);
    }
    bool ReadClipboardOutside(std::string* text, std::string*) override {
        return plat::Pasteboard::General()->StringForType(plat::Pasteboard::kTypeString, text);
    }
    bool PutSelectionOutside(const std::string& text, std::string*) override {
        plat::Pasteboard* pb = plat::Pasteboard::Selection();
        pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
        return pb->SetString(text);
    }
    bool ReadSelectionOutside(std::string* text, std::string*) override {
        return plat::Pasteboard::Selection()->StringForType(plat::Pasteboard::kTypeString, text);
    }
    void CoverOutside(const plat::Rect& screen) override {
        fCovers.push_back(screen);
        fBackend.SetForeignWindows(fCovers);
    }
    // The other program's drag is a foreign drag session over a pasteboard of its own.
    bool DragFromOutside(plat::Window* w, const OutsideDrag& drag, bool* accepted, std::string*) override {
        plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
        if (!drag.paths.empty()) {
            if (!pb->SetFileURLs(drag.paths)) return false;
        } else {
            pb->DeclareTypes({plat::Pasteboard::kTypeString}, nullptr);
            if (!pb->SetString(drag.text)) return false;
        }
        plat::ForeignDrag session(pb.get(), plat::kDragOperationCopy);
        for (const plat::Point& p : drag.points) (void)session.MoveTo(w->ConvertToScreen(p));
        if (drag.drop) {
            *accepted = session.Drop() != plat::kDragOperationNone;
        } else {
            session.Leave();
            *accepted = false;
        }
        return true;
    }

private:
    ComposingBackend fBackend;
    plat::Backend* fPrevious;
    std::vector<plat::Rect> fCovers;
    int32_t fScale;
};

}  // namespace

std::unique_ptr<BackendDriver> MakeHeadlessDriver(int32_t scale) {
    return std::make_unique<HeadlessDriver>(scale);
}

}  // namespace conformance
