#include <string>
#include <vector>

#include "Common/ObjC/LEditText.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Platform/AppKit/Window.h"
#include "tests/Common/ObjC/HeadlessDialogTest.h"

namespace {

struct Client : LHandler {
    int changes = 0;
    LMessage Handle(const LMessage& msg) override {
        if (msg.Is(CTextEditWin_Change)) ++changes;
        return LMessage();
    }
};

bool Shown(const LFrame& f) {
    return f.Window() && f.Window()->NativeWindow()->IsVisible();
}

class CTextEditWinTest : public dialogtest::HeadlessDialogTest {
protected:
    void Edit(CTextEditWin& w) { LHandler::Dispatch(LMessage(LEditText_Change, w.EditText(), &w)); }
};

TEST_F(CTextEditWinTest, OneClientAtATimeHearsTheEdits) {
    Client a, b;
    EXPECT_EQ(CTextEditWin::Attach(&a), nullptr);  // no instance yet
    {
        CTextEditWin w;
        CTextEditWin::SetInstance(&w);
        Edit(w);  // no client: nothing
        EXPECT_EQ(CTextEditWin::Attach(&a), &w);
        EXPECT_EQ(CTextEditWin::GetIfAttached(&a), &w);
        EXPECT_EQ(CTextEditWin::GetIfAttached(&b), nullptr);
        w.ShowWindow();
        EXPECT_TRUE(Shown(w));
        Edit(w);
        EXPECT_EQ(a.changes, 1);
        // Detaching another client changes nothing.
        CTextEditWin::Detach(&b);
        EXPECT_EQ(w.Client(), &a);
        Edit(w);
        EXPECT_EQ(a.changes, 2);
        // The attached one: no client, the window hidden, edits go nowhere.
        CTextEditWin::Detach(&a);
        EXPECT_EQ(w.Client(), nullptr);
        EXPECT_FALSE(Shown(w));
        Edit(w);
        EXPECT_EQ(a.changes, 2);
        // A second attach takes the window over.
        CTextEditWin::Attach(&a);
        CTextEditWin::Attach(&b);
        Edit(w);
        EXPECT_EQ(a.changes, 2);
        EXPECT_EQ(b.changes, 1);
    }
    // The window's end clears the instance.
    EXPECT_EQ(CTextEditWin::Instance(), nullptr);
    EXPECT_EQ(CTextEditWin::Attach(&b), nullptr);
}

}  // namespace
