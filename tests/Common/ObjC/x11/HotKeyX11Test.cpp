#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/Mac/HotKeyRegistry.h"
#include "Platform/AppKit/x11/X11HotKeys.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"

// Xlib last: its macros must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

namespace {

constexpr uint32_t kF5 = 96;
constexpr uint32_t kF6 = 97;
constexpr uint32_t kFn = 0x20000;

void Count(void* context, uint32_t keyCode, uint32_t) {
    if (keyCode == kF5) ++*static_cast<int*>(context);
}

// Another program: its own connection, a mapped window that holds the input focus.
class OtherClient {
public:
    explicit OtherClient(const std::string& display) : fDisplay(XOpenDisplay(display.c_str())) {
        if (!fDisplay) return;
        fWindow = XCreateSimpleWindow(fDisplay, DefaultRootWindow(fDisplay), 10, 10, 200, 100, 0, 0, 0);
        XSelectInput(fDisplay, fWindow, KeyPressMask | ExposureMask);
        XMapWindow(fDisplay, fWindow);
        XSync(fDisplay, False);
    }
    ~OtherClient() {
        if (fDisplay) XCloseDisplay(fDisplay);
    }
    bool Ok() const { return fDisplay != nullptr; }
    void TakeFocus() {
        XSetInputFocus(fDisplay, fWindow, RevertToParent, CurrentTime);
        XSync(fDisplay, False);
    }
    ::Window FocusWindow() {
        ::Window w = 0;
        int revert = 0;
        XGetInputFocus(fDisplay, &w, &revert);
        return w;
    }
    ::Window XWindow() const { return fWindow; }
    void GrabOnRoot(KeySym sym) {
        XGrabKey(fDisplay, XKeysymToKeycode(fDisplay, sym), 0, DefaultRootWindow(fDisplay), False,
                 GrabModeAsync, GrabModeAsync);
        XSync(fDisplay, False);
    }

private:
    ::Display* fDisplay;
    ::Window fWindow = 0;
};

class HotKeyX11Test : public X11FrameworkTest {
protected:
    void SetUp() override { StartSession(&root); }
    void Key(const std::string& keys) {
        const std::string cmd = "DISPLAY=" + Display() + " xdotool key " + keys;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    LHandler root{nullptr};
};

TEST_F(HotKeyX11Test, F5ReachesItsCallbackWhileAnotherClientHasTheFocus) {
    if (IsSkipped() || HasFatalFailure()) return;
    OtherClient other(Display());
    ASSERT_TRUE(other.Ok());
    other.TakeFocus();
    ASSERT_EQ(other.FocusWindow(), other.XWindow());

    HotKeyRegistry registry;
    int presses = 0;
    ASSERT_TRUE(registry.Register(kF5, kFn, &presses, &Count));
    Key("F5");
    EXPECT_TRUE(RunUntil([&] { return presses >= 1; }));
    RunUntil([] { return false; }, 0.3);  // nothing more arrives
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(other.FocusWindow(), other.XWindow());

    // With Caps Lock on the grab still holds.
    Key("Caps_Lock F5 Caps_Lock");
    EXPECT_TRUE(RunUntil([&] { return presses >= 2; }));
    EXPECT_EQ(presses, 2);

    // Unregistered, the key goes to the focused client again.
    registry.Unregister(kF5, kFn, &presses, &Count);
    Key("F5");
    RunUntil([] { return false; }, 0.3);
    EXPECT_EQ(presses, 2);
}

TEST_F(HotKeyX11Test, AKeyAnotherClientHoldsIsRefused) {
    if (IsSkipped() || HasFatalFailure()) return;
    OtherClient other(Display());
    ASSERT_TRUE(other.Ok());
    other.GrabOnRoot(XK_F6);

    HotKeyRegistry registry;
    int presses = 0;
    EXPECT_FALSE(registry.Register(kF6, 0, &presses, &Count));
    EXPECT_EQ(registry.EntryCount(), 0u);
    EXPECT_FALSE(registry.HasPressHandler());
    // A free key still registers after the refusal.
    EXPECT_TRUE(registry.Register(kF5, 0, &presses, &Count));
    registry.Unregister(kF5, 0, &presses, &Count);
}

TEST_F(HotKeyX11Test, ModifiersFollowTheKeyMapping) {
    if (IsSkipped() || HasFatalFailure()) return;
    ::Display* d = backend->XDisplay();
    const plat::x11::X11HotKeys::Masks m = plat::x11::X11HotKeys::ReadMasks(d);
    EXPECT_EQ(plat::x11::X11HotKeys::XModifiers(kFn, m), 0u);
    EXPECT_EQ(plat::x11::X11HotKeys::XModifiers(plat::kHotKeyCommand | plat::kHotKeyShift, m),
              unsigned(ControlMask | ShiftMask));
    EXPECT_EQ(plat::x11::X11HotKeys::XModifiers(plat::kHotKeyOption | plat::kHotKeyControl, m),
              m.alt | m.super);
    EXPECT_EQ(m.capsLock, unsigned(LockMask));
    EXPECT_NE(m.numLock, 0u);
    EXPECT_EQ(plat::x11::X11HotKeys::LockVariants(0, m).size(), 4u);
    EXPECT_EQ(plat::x11::X11HotKeys::KeysymForKeyCode(122), XK_F1);
    EXPECT_EQ(plat::x11::X11HotKeys::KeysymForKeyCode(111), XK_F12);
    EXPECT_EQ(plat::x11::X11HotKeys::KeysymForKeyCode(0), 0ul);
}

}  // namespace
