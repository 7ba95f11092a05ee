#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Dragging.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Foundation/Clock.h"
#include "Platform/Foundation/RunLoop.h"
#include "Platform/Graphics/BitmapImage.h"
#include "tests/support/HeadlessScreens.h"
#include "tests/support/NestedLoopGuard.h"

namespace {

using plat::Application;
using plat::DraggingInfo;
using plat::EventType;
using plat::Point;
using plat::Ref;
using plat::Window;
using plat::headless::HeadlessBackend;

struct Dest : plat::WindowDelegate {
    std::vector<std::string>* log;
    std::string name;
    uint32_t answer = plat::kDragOperationCopy;
    bool perform = true;
    bool closeOnPerform = false;
    Point lastWindowPoint;
    uint32_t lastMask = 0;
    Dest(std::vector<std::string>* l, std::string n) : log(l), name(std::move(n)) {}
    uint32_t DraggingEntered(Window*, const DraggingInfo& i) override {
        Note("entered", i);
        return answer;
    }
    uint32_t DraggingUpdated(Window*, const DraggingInfo& i) override {
        Note("updated", i);
        return answer;
    }
    void DraggingExited(Window*, const DraggingInfo& i) override { Note("exited", i); }
    bool PrepareForDragOperation(Window*, const DraggingInfo& i) override {
        Note("prepare", i);
        return true;
    }
    bool PerformDragOperation(Window* w, const DraggingInfo& i) override {
        Note("perform", i);
        if (closeOnPerform) w->Close();
        return perform;
    }
    void ConcludeDragOperation(Window*, const DraggingInfo& i) override { Note("conclude", i); }
    void DraggingEnded(Window*, const DraggingInfo& i) override { Note("ended", i); }
    void Note(const char* what, const DraggingInfo& i) {
        log->push_back(name + " " + what);
        lastWindowPoint = i.windowLocation;
        lastMask = i.sourceOperationMask;
    }
};

struct Source : plat::DraggingSource {
    uint32_t mask = plat::kDragOperationCopy | plat::kDragOperationMove;
    int ended = 0;
    uint32_t operation = 99;
    uint32_t SourceOperationMask(bool) override { return mask; }
    void DraggedImageEnded(Point, uint32_t op) override {
        ++ended;
        operation = op;
    }
};

Ref<plat::BitmapImage> MakeImage(int32_t w, int32_t h) {
    std::vector<uint8_t> px(size_t(w) * h * 4, 0);
    return plat::BitmapImage::Create(w, h, plat::PixelFormat::kARGB32, px.data(), size_t(w) * 4);
}

class DraggingTest : public ::testing::Test {
protected:
    DraggingTest() {
        Application::Shared()->Activate();
        a = Make({100, 100, 200, 150}, "A");
        b = Make({400, 100, 200, 150}, "B");
    }
    ~DraggingTest() override {
        for (const Ref<Window>& w : windows) w->Close();
    }
    Window* Make(plat::Rect r, const char* name) {
        Ref<Window> w = Window::Create(r, plat::kTitledWindowMask);
        delegates.push_back(std::make_unique<Dest>(&log, name));
        w->SetDelegate(delegates.back().get());
        w->RegisterForDraggedTypes({plat::Pasteboard::kTypeData});
        w->OrderFront();
        windows.push_back(w);
        return w.get();
    }
    Dest* D(size_t i) { return delegates[i].get(); }
    HeadlessBackend& Backend() { return screens.Backend(); }

    testsupport::HeadlessScreens screens;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Dest>> delegates;
    std::vector<Ref<Window>> windows;
    Window* a;
    Window* b;
};

TEST_F(DraggingTest, ForeignDragLeavesTheOldWindowBeforeEnteringTheNext) {
    Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationCopy | plat::kDragOperationLink);
    EXPECT_EQ(drag.MoveTo({10, 10}), 0u);  // over no window
    EXPECT_EQ(drag.MoveTo({150, 150}), plat::kDragOperationCopy);
    EXPECT_EQ(D(0)->lastMask, plat::kDragOperationCopy | plat::kDragOperationLink);
    EXPECT_EQ(drag.MoveTo({160, 150}), plat::kDragOperationCopy);
    EXPECT_EQ(D(0)->lastWindowPoint, (Point{60, 50}));
    D(1)->answer = plat::kDragOperationMove;  // not offered: masked away
    EXPECT_EQ(drag.MoveTo({450, 150}), 0u);
    EXPECT_EQ(drag.Drop(), 0u);
    EXPECT_EQ(log, (std::vector<std::string>{"A entered", "A updated", "A exited", "B entered", "B exited"}));
}

TEST_F(DraggingTest, DropRunsPreparePerformConcludeEnded) {
    Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
        drag.MoveTo({150, 150});
        EXPECT_EQ(drag.Drop(), plat::kDragOperationCopy);
    }
    EXPECT_EQ(log,
              (std::vector<std::string>{"A entered", "A prepare", "A perform", "A conclude", "A ended"}));
    log.clear();
    D(0)->perform = false;
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
        drag.MoveTo({150, 150});
        EXPECT_EQ(drag.Drop(), 0u);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A entered", "A prepare", "A perform", "A ended"}));
    log.clear();
    // A window that unregisters or closes is no destination; a leaving drag tells it nothing more.
    b->UnregisterDraggedTypes();
    {
        plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
        EXPECT_EQ(drag.MoveTo({450, 150}), 0u);
        drag.MoveTo({150, 150});
        a->Close();
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A entered"}));
}

TEST_F(DraggingTest, FrontWindowHidesTheOneBehind) {
    Window* front = Make({120, 120, 50, 50}, "F");
    front->UnregisterDraggedTypes();
    Ref<plat::Pasteboard> pb = plat::Pasteboard::CreateUnique();
    plat::ForeignDrag drag(pb.get(), plat::kDragOperationEvery);
    EXPECT_EQ(drag.MoveTo({140, 150}), 0u);
    EXPECT_EQ(drag.Destination(), nullptr);
    EXPECT_EQ(drag.MoveTo({300 - 5, 240}), plat::kDragOperationCopy);
    EXPECT_EQ(drag.Destination(), a);
}

TEST_F(DraggingTest, DragImageLoopDropsOnTheWindowUnderTheRelease) {
    Ref<plat::View> content = plat::View::Create({0, 0, 200, 150});
    a->SetContentView(content.get());
    Ref<plat::BitmapImage> image = MakeImage(10, 6);
    Source source;
    const plat::Event down = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, a, {20, 20});
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, a, {25, 20}));
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, b, {10, 10}));
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, b, {10, 10}));
    Backend().ClearDragImageRecords();
    testsupport::NestedLoopGuard guard;
    const uint32_t op =
        content->DragImage(image.get(), {15, 18}, {0, 0}, down, plat::Pasteboard::Drag(), &source, true);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(op, plat::kDragOperationCopy);
    EXPECT_EQ(source.ended, 1);
    EXPECT_EQ(source.operation, plat::kDragOperationCopy);
    EXPECT_EQ(log, (std::vector<std::string>{"A entered", "A exited", "B entered", "B prepare", "B perform",
                                             "B conclude", "B ended"}));
    const auto& rec = Backend().DragImageRecords();
    ASSERT_EQ(rec.size(), 4u);
    using K = HeadlessBackend::DragImageRecord::Kind;
    EXPECT_EQ(rec[0].kind, K::kShow);
    const Point origin = a->ConvertToScreen({15, 18});
    EXPECT_EQ(rec[0].at, origin);
    EXPECT_EQ(rec[0].size, (plat::Size{10, 6}));
    EXPECT_EQ(rec[1].kind, K::kMove);
    EXPECT_EQ(rec[1].at, (Point{origin.x + 5, origin.y}));  // the grab point stays under the pointer
    EXPECT_EQ(rec[3].kind, K::kHide);
    EXPECT_FALSE(rec[3].slideBack);
}

TEST_F(DraggingTest, EscapeAndRefusalSlideBackWithNoOperation) {
    Ref<plat::View> content = plat::View::Create({0, 0, 200, 150});
    a->SetContentView(content.get());
    Source source;
    const plat::Event down = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, a, {20, 20});
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, a, {30, 20}));
    Backend().Inject(HeadlessBackend::KeyEvent(EventType::kKeyDown, a, "\x1b", 53));
    Backend().ClearDragImageRecords();
    {
        testsupport::NestedLoopGuard guard;
        EXPECT_EQ(content->DragImage(nullptr, {0, 0}, {0, 0}, down, plat::Pasteboard::Drag(), &source, true),
                  0u);
    }
    EXPECT_EQ(source.operation, 0u);
    EXPECT_EQ(log, (std::vector<std::string>{"A entered", "A exited"}));
    EXPECT_TRUE(Backend().DragImageRecords().back().slideBack);

    log.clear();
    D(0)->answer = 0;
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, a, {30, 20}));
    {
        testsupport::NestedLoopGuard guard;
        EXPECT_EQ(content->DragImage(nullptr, {0, 0}, {0, 0}, down, plat::Pasteboard::Drag(), &source, true),
                  0u);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"A entered", "A exited"}));
    EXPECT_EQ(source.ended, 2);
}

TEST_F(DraggingTest, CommonModeTimersFireInsideTheLoopAndMayCloseTheWindow) {
    Ref<plat::View> content = plat::View::Create({0, 0, 200, 150});
    a->SetContentView(content.get());
    Source source;
    struct Ctx {
        Window* w;
        int fired = 0;
    } ctx{a};
    Ref<plat::RunLoopTimer> timer = plat::RunLoopTimer::Create(
        plat::ClockNow(), 0,
        [](plat::RunLoopTimer*, void* c) {
            auto* x = static_cast<Ctx*>(c);
            ++x->fired;
            x->w->Close();
            plat::headless::HeadlessBackend* be = static_cast<HeadlessBackend*>(plat::CurrentBackend());
            be->Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseUp, nullptr, {150, 150}));
        },
        &ctx);
    ASSERT_TRUE(plat::RunLoop::Main()->AddTimer(timer.get(), plat::kRunLoopCommonModes));
    const plat::Event down = HeadlessBackend::MouseEvent(EventType::kLeftMouseDown, a, {20, 20});
    Backend().Inject(HeadlessBackend::MouseEvent(EventType::kLeftMouseDragged, a, {30, 20}));
    testsupport::NestedLoopGuard guard;
    EXPECT_EQ(content->DragImage(nullptr, {0, 0}, {0, 0}, down, plat::Pasteboard::Drag(), &source, true), 0u);
    EXPECT_FALSE(guard.Fired());
    EXPECT_EQ(ctx.fired, 1);
    EXPECT_EQ(source.ended, 1);
    timer->Invalidate();
}

}  // namespace
