#include <algorithm>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/DrawContext.h"
#include "tests/Platform/AppKit/conformance/BackendDriver.h"
#include "tests/support/HeadlessScreens.h"

namespace conformance {

namespace {

using plat::headless::HeadlessBackend;

// The in-memory window system: what it shows is the windows' own state.
class HeadlessDriver : public BackendDriver {
public:
    bool Ok() const override { return true; }

    void Mouse(plat::Window* w, plat::EventType type, plat::Point location, uint32_t modifiers) override {
        fScreens.Backend().Inject(HeadlessBackend::MouseEvent(type, w, location, modifiers));
    }
    void Wheel(plat::Window* w, plat::Point location, double dy) override {
        fScreens.Backend().Inject(HeadlessBackend::WheelEvent(w, location, 0, dy, false));
    }
    void PressKey(plat::Window* w, const Key& key, bool down) override {
        plat::Event e = HeadlessBackend::KeyEvent(down ? plat::EventType::kKeyDown : plat::EventType::kKeyUp,
                                                  w, key.characters, 0, key.modifiers);
        e.charactersIgnoringModifiers = key.charactersIgnoringModifiers;
        fScreens.Backend().Inject(e);
    }

    void PressModifier(plat::Window* w, unsigned long, uint32_t flags, bool) override {
        plat::Event e = HeadlessBackend::KeyEvent(plat::EventType::kFlagsChanged, w, "", 0, flags);
        fScreens.Backend().Inject(e);
    }
    void UserResize(plat::Window* w, plat::Size content) override {
        plat::Rect frame = w->FrameRectForContentRect({0, 0, content.width, content.height});
        HeadlessBackend::UserResize(w, {frame.width, frame.height});
    }

    bool Shown(const plat::Window* w) override { return w->IsVisible(); }
    plat::Rect ShownContent(const plat::Window* w) override { return w->ContentRect(); }
    std::string ShownTitle(const plat::Window* w) override { return w->Title(); }
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
        return const_cast<plat::Window*>(w)->BackingStore()->PixelAt(x, y) & 0xFFFFFF;
    }
    std::vector<plat::Rect> TakePresented(const plat::Window* w) override {
        std::vector<plat::Rect> out;
        for (const HeadlessBackend::Presented& p : fScreens.Backend().PresentedAreas())
            if (p.window == w->Number()) out.push_back(p.area);
        fScreens.Backend().ClearPresentedAreas();
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

private:
    testsupport::HeadlessScreens fScreens{"1440x900+0+0/0"};
};

}  // namespace

std::unique_ptr<BackendDriver> MakeHeadlessDriver() {
    return std::make_unique<HeadlessDriver>();
}

}  // namespace conformance
