#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Common/ObjC/CMacCursor.h"
#include "Lib3/LSources/CoreData/LHandler.h"
#include "Lib3/LSources/CoreData/LRsrcData.h"
#include "Lib3/LSources/CoreData/ResourceFileProvider.h"
#include "Platform/AppKit/Window.h"
#include "Platform/AppKit/x11/X11Backend.h"
#include "Platform/Resources/ResourceFile.h"
#include "tests/Common/ObjC/x11/X11FrameworkTest.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestPNG.h"

// Xlib last: its macros (None, Bool, Status) must not reach the headers above.
// clang-format off
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
// clang-format on

namespace {

class CursorX11Test : public X11FrameworkTest {
protected:
    void SetUp() override { StartSession(&root); }
    LHandler root;
};

// A 'TPNG' cursor resource with its "hsPT" hot spot at (7, 3), as the server shows it to other
// programs: the hot spot, and the image the right way round (one blue pixel at the hot spot).
TEST_F(CursorX11Test, AResourceCursorKeepsItsHotSpotOnTheServer) {
    std::vector<uint8_t> rgba(16 * 16 * 4);
    for (int i = 0; i < 16 * 16; ++i) {
        const bool hot = i == 3 * 16 + 7;
        rgba[i * 4] = hot ? 0 : 255;
        rgba[i * 4 + 2] = hot ? 255 : 0;
        rgba[i * 4 + 3] = 255;
    }
    plat::ResourceEntry entry;
    entry.type = LRsrcData::kTypePng;
    entry.id = 300;
    entry.name = "HotCursor";
    entry.data = testsupport::EncodeTestPNG(16, 16, rgba, {{"hsPT", {0, 7, 0, 3}}});
    testsupport::TempDir dir;
    const std::vector<uint8_t> file = plat::BuildResourceFile({entry});
    dir.Write("cursors.rsrc", std::string(file.begin(), file.end()));
    const plat::ResFileRef ref = plat::OpenResFile(dir.File("cursors.rsrc"));
    ASSERT_GT(ref, 0);
    ResourceFileProvider provider(ref);

    plat::Ref<plat::Window> w = plat::Window::Create({100, 100, 300, 200}, plat::kTitledWindowMask);
    w->MakeKeyAndOrderFront();
    {
        // Read on a connection of the test's own: syncing the backend's would leave its events unread.
        std::unique_ptr<::Display, int (*)(::Display*)> d(XOpenDisplay(Display().c_str()), XCloseDisplay);
        ASSERT_NE(d, nullptr);
        ASSERT_TRUE(RunUntil([&] {
            XWindowAttributes a;
            return XGetWindowAttributes(d.get(), backend->XWindowOf(w.get()), &a) &&
                   a.map_state == IsViewable;
        }));
        Xdotool("mousemove --sync --window %W 150 100", w.get());

        CMacCursor cursor;
        ASSERT_TRUE(cursor.Load("HotCursor", &provider));
        cursor.Set();
        struct Shown {
            std::string name;
            int xhot = -1, yhot = -1, width = 0, height = 0;
            uint32_t atHotSpot = 0, beside = 0;
        };
        auto shown = [&] {
            Shown s;
            XFixesCursorImage* image = XFixesGetCursorImage(d.get());
            if (!image) return s;
            s.name = image->name ? image->name : "";
            s.xhot = image->xhot;
            s.yhot = image->yhot;
            s.width = image->width;
            s.height = image->height;
            if (image->width == 16 && image->height == 16) {
                s.atHotSpot = uint32_t(image->pixels[3 * 16 + 7]);
                s.beside = uint32_t(image->pixels[3 * 16 + 8]);
            }
            XFree(image);
            return s;
        };
        ASSERT_TRUE(RunUntil([&] { return shown().name == "image"; })) << shown().name;
        const Shown s = shown();
        EXPECT_EQ(s.xhot, 7);
        EXPECT_EQ(s.yhot, 3);
        EXPECT_EQ(s.width, 16);
        EXPECT_EQ(s.height, 16);
        EXPECT_EQ(s.atHotSpot, 0xFF0000FFu) << std::hex << s.atHotSpot;
        EXPECT_EQ(s.beside, 0xFFFF0000u) << std::hex << s.beside;
    }
    w->Close();
    plat::CloseResFile(ref);
}

}  // namespace
