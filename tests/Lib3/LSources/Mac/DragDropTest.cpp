#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../CoreUI/BundleResources.h"
#include "DropTestSupport.h"
#include "Lib3/LSources/Mac/CDragScrap.h"
#include "Lib3/LSources/Mac/CDragger.h"
#include "Lib3/LSources/Mac/CDropTargetHelper.h"
#include "Lib3/LSources/Mac/LDrop.h"
#include "Lib3/LSources/Mac/LDropPane.h"
#include "Lib3/LSources/Mac/MDragSrc.h"
#include "Platform/AppKit/Cursor.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/Graphics/BitmapImage.h"

namespace {

using Ids = std::vector<std::string>;

// The upper of drop panes: logs their messages with the pane's name and sets a feedback on Enter.
class DropOwner : public LHandler {
public:
    LMessage Handle(const LMessage& msg) override {
        auto* pane = static_cast<LDropPane*>(msg.sender);
        const std::string who = names.count(pane) ? names[pane] : "?";
        if (msg.Is(LDropPane_Enter) || msg.Is(LDropPane_Drag) || msg.Is(LDropPane_Leave) ||
            msg.Is(LDropPane_Drop))
            ids.push_back(who + " " + std::string(msg.id.Text()).substr(10));
        if (msg.Is(LDropPane_Enter) || msg.Is(LDropPane_Drag)) pane->SetFeedback(feedback);
        if (msg.Is(LDropPane_Drop)) {
            drop = pane->Drop();
            if (setOnDrop) pane->SetFeedback(setOnDrop);
            if (onDrop) onDrop();
        }
        return LMessage();
    }
    std::map<LPane*, std::string> names;
    Ids ids;
    uint32_t feedback = LDrop::kCopy;
    uint32_t setOnDrop = LDrop::kCopy;
    LDrop* drop = nullptr;
    std::function<void()> onDrop;
};

class DragDropTest : public ::testing::Test {
protected:
    LDropPane* AddPane(const char* name, CLRect r) {
        auto* p = new LDropPane(w.root.get(), 1);
        p->SetUpper(&owner);
        p->SetBounds(r);
        w.root->Adopt(p);
        owner.names[p] = name;
        panes.emplace_back(p);
        return p;
    }
    const char* CursorName() {
        const plat::Cursor* c = w.screens.Backend().CurrentCursor();
        return c ? c->Name() : "";
    }

    BundleResources resources;
    DropWindow w;
    DropOwner owner;
    std::vector<std::unique_ptr<LPane>> panes;
    plat::Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
};

TEST_F(DragDropTest, LeaveGoesToTheOldTargetBeforeEnterAndDragToTheNew) {
    AddPane("a", {0, 0, 100, 100});
    AddPane("b", {200, 0, 300, 100});
    ASSERT_EQ(w.Bridge()->Drop(), LDropTargetList::Find(w.native));
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
    EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), plat::kDragOperationCopy);
    EXPECT_TRUE(LDropTargetList::AnyActive());
    EXPECT_STREQ(CursorName(), "dragCopy");
    EXPECT_TRUE(static_cast<LDropPane*>(w.root->children[0])->IsHighlighted());
    drag.MoveTo(w.Screen(250, 50));
    EXPECT_EQ(owner.ids, (Ids{"a Enter", "a Drag", "a Leave", "b Enter", "b Drag"}));
    EXPECT_FALSE(static_cast<LDropPane*>(w.root->children[0])->IsHighlighted());
    drag.MoveTo(w.Screen(150, 250));  // over no pane
    EXPECT_FALSE(LDropTargetList::AnyActive());
    EXPECT_STREQ(CursorName(), "arrow");
    EXPECT_EQ(owner.ids.back(), "b Leave");
}

TEST_F(DragDropTest, AClaimWhoseEnterComesBackLosesTheDrag) {
    // Claims the drag on Sense but lets Enter travel back to the drop object.
    class Fickle : public LPane {
    public:
        using LPane::LPane;
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(LDrop_Sense)) {
                static_cast<LDrop*>(msg.sender)->Target(this);
                return LMessage();
            }
            if (msg.Is(LDrop_Enter) || msg.Is(LDrop_Drag) || msg.Is(LDrop_Leave))
                seen.push_back(msg.id.Text());
            return LPane::Handle(msg);
        }
        Ids seen;
    };
    AddPane("keep", {300, 200, 400, 300});  // keeps the window registered
    auto* f = new Fickle(&w.log, w.root.get());
    f->SetBounds({0, 0, 100, 100});
    w.root->Adopt(f);
    panes.emplace_back(f);
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
    EXPECT_EQ(drag.MoveTo(w.Screen(10, 10)), 0u);
    EXPECT_EQ(LDropTargetList::Find(w.native)->CurrentTarget(), nullptr);
    EXPECT_EQ(f->seen, (Ids{"LDrop_Enter", "LDrop_Leave"}));
}

TEST_F(DragDropTest, DefaultFeedbackFromACopyOnlySourceIsCopy) {
    AddPane("a", {0, 0, 100, 100});
    owner.feedback = LDrop::kDefault;
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
        EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), plat::kDragOperationCopy);
        EXPECT_TRUE(LDropTargetList::Find(w.native)->IsCopyOnly());
        EXPECT_STREQ(CursorName(), "dragCopy");
    }
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationMove);
    EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), plat::kDragOperationCopy | plat::kDragOperationMove);
    EXPECT_STREQ(CursorName(), "arrow");
    // Add shows the plus cursor from the resources, link the link cursor.
    owner.feedback = LDrop::kAdd;
    drag.MoveTo(w.Screen(51, 50));
    EXPECT_STREQ(CursorName(), "image");
    owner.feedback = LDrop::kLink;
    EXPECT_EQ(drag.MoveTo(w.Screen(52, 50)), 0u);  // link is not offered
    EXPECT_STREQ(CursorName(), "dragLink");
}

TEST_F(DragDropTest, PerformAnswersNoWithoutFeedback) {
    AddPane("a", {0, 0, 100, 100});
    owner.setOnDrop = 0;
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(w.Screen(50, 50));
    EXPECT_EQ(drag.Drop(), 0u);
    EXPECT_EQ(owner.ids.back(), "a Drop");
    owner.setOnDrop = LDrop::kCopy;
    plat::ForeignDrag again(pb.get(), plat::kDragOperationCopy);
    again.MoveTo(w.Screen(50, 50));
    EXPECT_EQ(again.Drop(), plat::kDragOperationCopy);
}

TEST_F(DragDropTest, AWindowThatRefusesEnterWinIsNeverSensed) {
    class Refuser : public LHandler {
    public:
        LMessage Handle(const LMessage& msg) override {
            if (msg.Is(LDrop_EnterWin)) return LMessage();
            return LHandler::Handle(msg);
        }
    } refuser;
    w.window->SetUpper(&refuser);
    AddPane("a", {0, 0, 100, 100});
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    EXPECT_EQ(drag.MoveTo(w.Screen(50, 50)), 0u);
    EXPECT_TRUE(owner.ids.empty());
    w.window->SetUpper(&w.top);
}

TEST_F(DragDropTest, ReleasingTheLastDropPaneUnregistersTheWindow) {
    LDropPane* a = AddPane("a", {0, 0, 100, 100});
    AddPane("b", {200, 0, 300, 100});
    EXPECT_EQ(w.native->RegisteredDraggedTypes(), (std::vector<std::string>{"public.data"}));
    EXPECT_EQ(LDropTargetList::Find(w.native)->UseCount(), 2u);
    panes.erase(panes.begin());
    (void)a;
    EXPECT_FALSE(w.native->RegisteredDraggedTypes().empty());
    panes.clear();
    EXPECT_TRUE(w.native->RegisteredDraggedTypes().empty());
    EXPECT_EQ(LDropTargetList::Find(w.native), nullptr);
    EXPECT_EQ(w.Bridge()->Drop(), nullptr);
}

TEST_F(DragDropTest, ADropThatClosesTheWindowStillAnswersItsFeedback) {
    AddPane("a", {0, 0, 100, 100});
    owner.onDrop = [&] {
        panes.clear();  // the window's last drop target goes with it
        w.Close();
    };
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(w.Screen(50, 50));
    EXPECT_EQ(drag.Drop(), plat::kDragOperationCopy);
    EXPECT_EQ(LDropTargetList::Find(w.native), nullptr);
}

TEST_F(DragDropTest, ATargetLeavesWhenHiddenOrMoved) {
    LDropPane* a = AddPane("a", {0, 0, 100, 100});
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(w.Screen(50, 50));
    a->SetBounds({0, 0, 120, 100});
    EXPECT_EQ(owner.ids.back(), "a Leave");
    EXPECT_EQ(LDropTargetList::Find(w.native)->CurrentTarget(), nullptr);
}

TEST_F(DragDropTest, DraggerStartsAtFourPixels) {
    class Upper : public LHandler {
    public:
        LMessage Handle(const LMessage& msg) override {
            ids.push_back(msg.id.Text());
            return LMessage();  // swallows everything
        }
        Ids ids;
    } upper;
    LPane host(&upper, w.root.get());
    LMouse* mouse = LMouse::Get();
    mouse->SetLocation({10, 10});
    auto* d = new CDragger(&host);
    EXPECT_EQ(upper.ids, (Ids{"LPane_ReqCapture"}));
    for (CLPoint p : {CLPoint{13, 10}, CLPoint{7, 13}, CLPoint{14, 10}, CLPoint{10, 6}}) {
        mouse->SetLocation(p);
        LHandler::Dispatch(LMessage(LMouse_Move, mouse, d));
    }
    EXPECT_EQ(upper.ids, (Ids{"LPane_ReqCapture", "CDragger_Drag", "CDragger_Drag"}));
    LHandler::Dispatch(LMessage(LMouse_Release, mouse, d));
    EXPECT_EQ(upper.ids.back(), "CDragger_End");
    EXPECT_EQ(d->Result(), CDragger::kRunning);
    delete d;
}

TEST_F(DragDropTest, DragImageIsTheGreyRegion) {
    plat::Ref<plat::BitmapImage> none = CDragger::MakeImage(CRgn());
    EXPECT_EQ(none->Width(), 1);
    EXPECT_EQ(none->Height(), 1);
    EXPECT_EQ(none->PixelAt(0, 0), 0u);
    CRgn r(CLRect{10, 20, 30, 25});
    r |= CRgn(CLRect{10, 25, 15, 40});
    plat::Ref<plat::BitmapImage> img = CDragger::MakeImage(r);
    EXPECT_EQ(img->Width(), 20);
    EXPECT_EQ(img->Height(), 20);
    EXPECT_EQ(img->PixelAt(0, 0), 0x40202020u);
    EXPECT_EQ(img->PixelAt(10, 10), 0u);
}

TEST_F(DragDropTest, DragSourceKeepsPrivateDataInside) {
    plat::Ref<MDragSrc> open = MDragSrc::Create(false), inside = MDragSrc::Create(true);
    EXPECT_EQ(open->SourceOperationMask(true), 23u);
    EXPECT_EQ(open->SourceOperationMask(false), 1u);
    EXPECT_EQ(inside->SourceOperationMask(false), 0u);
}

TEST_F(DragDropTest, DroppedDataAndFilesGoThroughBounds) {
    AddPane("a", {0, 0, 100, 100});
    owner.setOnDrop = LDrop::kCopy;
    pb->ClearContents();
    ASSERT_TRUE(pb->SetArray("ORBr", {{plat::PasteboardElement::Kind::kData, {1, 2}},
                                      {plat::PasteboardElement::Kind::kString, {'x'}}}));
    ASSERT_TRUE(pb->SetString("com.example.flat", "flat"));
    ASSERT_TRUE(pb->SetArray(
        plat::Pasteboard::kTypeFileURL,
        {{plat::PasteboardElement::Kind::kString, {'h', 't', 't', 'p', ':', '/', '/', 'x'}},
         {plat::PasteboardElement::Kind::kString,
          {'f', 'i', 'l', 'e', ':', '/', '/', '/', 'a', '%', 'Z', 'Z'}},
         {plat::PasteboardElement::Kind::kString, {'f', 'i', 'l', 'e', ':', '/', '/'}},
         {plat::PasteboardElement::Kind::kString,
          {'f', 'i', 'l', 'e', ':', '/', '/', '/', 't', 'm', 'p', '/', 'a', '%', '2', '0', 'b'}}}));
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy);
    drag.MoveTo(w.Screen(50, 50));
    ASSERT_EQ(drag.Drop(), plat::kDragOperationCopy);
    LDrop* drop = owner.drop;
    ASSERT_NE(drop, nullptr);

    CDragScrap scrap(drop);
    const uint8_t* bytes = nullptr;
    uint32_t size = 0;
    const LScrapType byCode{LString(), 0x4F524272};  // 'ORBr'
    ASSERT_TRUE(scrap.GetData(byCode, 0, &bytes, &size));
    EXPECT_EQ(size, 2u);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_FALSE(scrap.GetData(byCode, 1, &bytes, &size));  // a string element
    EXPECT_FALSE(scrap.GetData(byCode, 2, &bytes, &size));  // past the end
    const LScrapType flat{LString("com.example.flat"), 0};
    EXPECT_TRUE(scrap.GetData(flat, 0, &bytes, &size));
    EXPECT_FALSE(scrap.GetData(flat, 1, &bytes, &size));
    EXPECT_FALSE(scrap.GetData({LString("nothing"), 0}, 0, &bytes, &size));
    EXPECT_TRUE(UDragPboard::HasScrapType(drop, byCode));
    EXPECT_FALSE(UDragPboard::HasScrapType(nullptr, byCode));

    CDropFiles files(drop);
    EXPECT_TRUE(files.HasFiles());
    std::string path;
    EXPECT_FALSE(files.GetPath(0, &path));  // not a file URL
    EXPECT_FALSE(files.GetPath(1, &path));  // bad escape
    EXPECT_FALSE(files.GetPath(2, &path));  // names nothing
    ASSERT_TRUE(files.GetPath(3, &path));
    EXPECT_EQ(path, "/tmp/a b");
    EXPECT_FALSE(files.GetPath(4, &path));
}

}  // namespace
