#include "Lib3/LSources/Mac/CDragger.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/Mac/LScrapData.h"
#include "Lib3/LSources/Mac/MDragSrc.h"
#include "Lib3/LSources/Mac/UPasteboard.h"
#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Pasteboard.h"
#include "Platform/AppKit/View.h"
#include "Platform/AppKit/Window.h"
#include "Platform/Graphics/BitmapImage.h"

CDragger::CDragger(LPane* pane) : LPane(pane, nullptr), fPane(pane) {
    if (LMouse* mouse = LMouse::Get()) {
        fStart = mouse->Location();
        fMouseDown = mouse->CurrentEvent();
    }
    if (const plat::Event* current = plat::Application::Shared()->CurrentEvent())
        if (current->type == plat::EventType::kLeftMouseDown) fMouseDown = *current;
    Dispatch(LMessage(LPane_ReqCapture, this, pane));
}

CDragger::~CDragger() {
    if (LMouse* mouse = LMouse::Get())
        if (mouse->Tracker() == this) mouse->SetTracker(nullptr);
}

void CDragger::SetData(std::unique_ptr<LScrapData> data) {
    fData = std::move(data);
}

void CDragger::Abandon() {
    fAbandoned = true;
    fOwned = false;
    fPane = nullptr;
    SetUpper(nullptr);
}

plat::Ref<plat::BitmapImage> CDragger::MakeImage(const CRgn& region) {
    const CLRect b = region.bounds();
    const int32_t w = region.IsEmpty() ? 1 : std::max(b.Width(), 1);
    const int32_t h = region.IsEmpty() ? 1 : std::max(b.Height(), 1);
    std::vector<uint32_t> px(size_t(w) * size_t(h), 0);
    if (!region.IsEmpty()) {
        CRgn at = region;
        at.Shift(-b.left, -b.top);
        constexpr uint32_t kGrey = 0x40202020;  // grey 128 at 0.25, premultiplied
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                if (at.Contain(CLPoint{x, y})) px[size_t(y) * w + x] = kGrey;
    }
    return plat::BitmapImage::Create(w, h, plat::PixelFormat::kARGB32,
                                     reinterpret_cast<const uint8_t*>(px.data()), size_t(w) * 4);
}

LMessage CDragger::StartDrag() {
    plat::Pasteboard* pb = plat::Pasteboard::Drag();
    pb->DeclareTypes({plat::Pasteboard::kTypeData}, nullptr);
    const bool localOnly = fData && UPasteboard::WriteScrap(*fData, pb);
    fSource = MDragSrc::Create(localOnly);
    plat::Window* window = fPane ? fPane->GetWindow() : nullptr;
    plat::View* view = window ? window->ContentView() : nullptr;
    uint32_t op = plat::kDragOperationNone;
    LHandlerWatch watch(this);
    if (view) {
        const CLRect b = fRegion.bounds();
        const plat::Point at = window->ConvertFromScreen({double(b.left), double(b.top)});
        plat::Ref<plat::BitmapImage> image = MakeImage(fRegion);
        plat::Ref<MDragSrc> source = fSource;
        fDragging = true;
        op = view->DragImage(image.get(), at, {0, 0}, fMouseDown, pb, source.get(), true);
        if (watch.IsGone()) return LMessage();
        fDragging = false;
    }
    fResult = op != plat::kDragOperationNone ? kDropped : kNoDrop;
    if (fAbandoned || !Upper()) return LMessage();
    return LMessage(CDragger_End, this, Upper());
}

LMessage CDragger::Handle(const LMessage& msg) {
    LMouse* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    if (fAbandoned) {
        if (msg.Is(CDragger_End) && msg.sender == this) DeleteAfterDispatch(this);
        return LMessage();
    }
    if (msg.Is(LMouse_Move) && fromMouse) {
        const CLPoint p = mouse->Location();
        if (std::max(std::abs(p.x - fStart.x), std::abs(p.y - fStart.y)) >= kThreshold && !fDragging)
            return LMessage(CDragger_Drag, this, Upper());
        return LMessage();
    }
    if (msg.Is(LMouse_Release) && fromMouse) return LMessage(CDragger_End, this, Upper());
    if (msg.Is(CDragger_Drag) && msg.sender == this) return fDragging ? LMessage() : StartDrag();
    if (msg.Is(CDragger_End) && msg.sender == this) {
        if (!fOwned) DeleteAfterDispatch(this);
        return LMessage();
    }
    return LPane::Handle(msg);
}
