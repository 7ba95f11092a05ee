#include <string>
#include <vector>

#include "Lib3/LSources/CoreUI/LModalDialog.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Editors/CFlatBtn.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

struct Recorder : LHandler {
    std::vector<std::string> ids;
    LMessage Handle(const LMessage& msg) override {
        ids.push_back(msg.id.Text());
        return LMessage();
    }
    int Count(const char* id) const { return int(std::count(ids.begin(), ids.end(), std::string(id))); }
};

class CFlatBtnTest : public dialogtest::HeadlessDialogTest {
protected:
    void MouseAt(LFrame& d, int32_t x, int32_t y) {
        const plat::Point g = d.Window()->NativeWindow()->ConvertToScreen({double(x), double(y)});
        mouse.SetLocation({int32_t(g.x), int32_t(g.y)});
    }
};

TEST_F(CFlatBtnTest, DraggedOutAndBackInSelectsOnce) {
    LModalDialog d(&root, nullptr, ModalSpec());
    Show(&d);
    Recorder up;
    auto* b = new CFlatBtn(&up, &d);
    b->SetBounds({10, 10, 60, 30});
    struct Case {
        const char* name;
        std::vector<std::pair<int32_t, int32_t>> moves;  // then released at the last one
        int selected;
    } cases[] = {
        {"inside", {{20, 20}}, 1},
        {"dragged out", {{20, 20}, {100, 20}}, 0},
        {"out and back in", {{20, 20}, {100, 20}, {100, 80}, {30, 15}}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        up.ids.clear();
        MouseAt(d, 20, 20);
        const LMessage capture = b->Handle(LMessage(LMouse_Click, &mouse, b));
        EXPECT_TRUE(capture.Is(LPane_ReqCapture));
        EXPECT_TRUE(b->IsPressed());
        for (auto [x, y] : c.moves) {
            MouseAt(d, x, y);
            (void)b->Handle(LMessage(LMouse_Move, &mouse, b));
            EXPECT_EQ(b->IsPressed(), x < 60 && y < 30);
        }
        LHandler::Dispatch(b->Handle(LMessage(LMouse_Release, &mouse, b)));
        EXPECT_FALSE(b->IsPressed());
        EXPECT_EQ(up.Count("CFlatBtn_Selected"), c.selected);
        EXPECT_EQ(up.Count("LPane_ReqFocus"), 1);
    }
}

}  // namespace
