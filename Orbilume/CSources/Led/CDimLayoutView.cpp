#include "Orbilume/CSources/Led/CDimLayoutView.h"

#include <epoxy/gl.h>

#include <cmath>

#include "Common/ObjC/CNativeServices.h"
#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Common/OpenGL/COpenGLView.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LWindow.h"
#include "Orbilume/CSources/Led/CDimDragTracker.h"
#include "Orbilume/CSources/Engine/SnapshotDevicePlacement.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimMultiEdit.h"
#include "Orbilume/CSources/Led/UDimPrefs.h"
#include "Platform/GL/GLContext.h"
#include "Platform/GL/GLSurface.h"
#include "Platform/AppKit/Window.h"

using T = CDimTypes;
using namespace dimlayout;

namespace {

plat::Window* NativeOf(LFrame* window) {
    return window && window->Window() ? window->Window()->NativeWindow() : nullptr;
}

bool IsType(const CRecord* r, const CRecordType* type) {
    return r && r->Type() == type;
}

}  // namespace

CDimLayoutView::CDimLayoutView(LFrame* owner, CRecordHolder* dims, CDimDefStore* defs,
                               CRecordHolder* settingsHolder, CRecordRef settings)
    : LFrame(owner, owner),
      fDims(dims),
      fDefs(defs),
      fSettingsHolder(settingsHolder),
      fSettings(settings),
      fRedraw(this, &RedrawNow) {
    if (plat::Window* native = NativeOf(owner)) {
        const SOpenGLOp op{0, 0, 0};
        fContext = std::make_unique<COpenGLContext_Cca>(native, &op);
        fView = new COpenGLView(this, fContext.get());
        fView->SetBounds({0, 0, Bounds().Width(), Bounds().Height()});
    }
    fDotBounds = DotBounds();
    if (fDims) (void)fDims->AddObserver(this, &DimsChanged);
    if (fDefs) (void)fDefs->AddObserver(this, &DefsChanged);
    if (fSettingsHolder) (void)fSettingsHolder->AddObserver(this, &SettingsChanged);
}

CDimLayoutView::~CDimLayoutView() {
    fTracker.reset();
    if (fSettingsHolder) (void)fSettingsHolder->RemoveObserver(this, &SettingsChanged);
    if (fDefs) (void)fDefs->RemoveObserver(this, &DefsChanged);
    if (fDims) (void)fDims->RemoveObserver(this, &DimsChanged);
    delete fView;
    fView = nullptr;
    fContext.reset();
}

LScrapType CDimLayoutView::DragType() {
    return LScrapType{LString("com.orbilume.dimlayoutdrag"), kDragType};
}

void CDimLayoutView::SetBackgroundDrawer(void* context, BackgroundDrawer function) {
    fDrawerContext = context;
    fDrawer = function;
    RequestRedraw();
}

void CDimLayoutView::BoundsChanged(const CLRect& old) {
    LFrame::BoundsChanged(old);
    if (fView) fView->SetBounds({0, 0, Bounds().Width(), Bounds().Height()});
    RequestRedraw();
}

// ---- records

CRecord* CDimLayoutView::Dims() const {
    return fDims ? fDims->Root() : nullptr;
}

uint32_t CDimLayoutView::DeviceCount() const {
    const CRecord* d = Dims();
    return d ? d->ArrayCount(T::kDimsDevices) : 0;
}

CRecord* CDimLayoutView::Device(uint32_t i) const {
    return i < DeviceCount() ? Dims()->GetElement(T::kDimsDevices, i) : nullptr;
}

CRecordRef CDimLayoutView::DeviceRef(uint32_t i) const {
    if (i >= DeviceCount()) return CRecordRef();
    return CRecordRef(&(*Dims()->GetRecordArray(T::kDimsDevices))[i]);
}

Place CDimLayoutView::PlaceOf(const CRecord* d) {
    if (!d) return {};
    return {d->GetFloat(T::kDidvPosX), d->GetFloat(T::kDidvPosY), d->GetFloat(T::kDidvWidth),
            d->GetFloat(T::kDidvHeight), d->GetFloat(T::kDidvRotation)};
}

Place CDimLayoutView::SnapshotOf(const CRecord* d) {
    if (!d) return {};
    const uint32_t s = T::kDidvSnapshot;
    return {d->GetFloat(s), d->GetFloat(s + 1), d->GetFloat(s + 2), d->GetFloat(s + 3), d->GetFloat(s + 4)};
}

void CDimLayoutView::Places(std::vector<Place>& places, std::vector<uint8_t>& selected) const {
    const uint32_t n = DeviceCount();
    places.resize(n);
    selected.resize(n);
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* d = Device(i);
        places[i] = PlaceOf(d);
        selected[i] = d && d->GetByte(T::kDidvSelected) ? 1 : 0;
    }
}

void CDimLayoutView::SetSelected(uint32_t i, bool on) {
    const CRecord* d = Device(i);
    if (!d || (d->GetByte(T::kDidvSelected) != 0) == on) return;
    DeviceRef(i).SetByte(nullptr, T::kDidvSelected, on ? 1 : 0);
}

bool CDimLayoutView::DotBounds() const {
    return fSettings ? UDimPrefs::GetDotBounds(fSettings) : false;
}

// ---- gestures

void CDimLayoutView::Click(double x, double y, bool toggle) {
    const Pane pane = PaneSize();
    if (pane.Empty()) {  // nothing shows: nothing to click on
        fHit = Hit();
        return;
    }
    fStart = fCurrent = pane.ToView(x, y);
    std::vector<Place> places;
    std::vector<uint8_t> selected;
    Places(places, selected);
    fHit = HitTest(pane, places, selected, fStart);
    fMoving = false;
    if (fHit.kind != Hit::kNone) {
        const uint32_t clicked = uint32_t(fHit.device);
        if (toggle) {
            SetSelected(clicked, !selected[clicked]);
            RequestRedraw();
            return;
        }
        if (!selected[clicked]) {
            for (uint32_t i = DeviceCount(); i-- > 0;)
                if (i != clicked) SetSelected(i, false);
            SetSelected(clicked, true);
        }
        std::vector<Place> snapshots;
        for (uint32_t i = 0; i < DeviceCount(); ++i) {
            CRecord* d = Device(i);
            if (!d || !d->GetByte(T::kDidvSelected)) continue;
            SnapshotDevicePlacement(DeviceRef(i));
            snapshots.push_back(SnapshotOf(d));
        }
        fFrame = MakeFrame(SnapshotOf(Device(clicked)), snapshots, fStart);
    } else if (!toggle) {
        for (uint32_t i = DeviceCount(); i-- > 0;) SetSelected(i, false);
    }
    fDragging = true;
    fMoving = fHit.kind == Hit::kBody;
    RequestRedraw();
}

void CDimLayoutView::DragStep(double x, double y) {
    if (!fDragging || PaneSize().Empty()) return;
    Step(PaneSize().ToView(x, y));
}

void CDimLayoutView::Step(const Point& p) {
    switch (fHit.kind) {
        case Hit::kNone: {
            for (uint32_t i = 0; i < DeviceCount(); ++i) {
                const Place d = PlaceOf(Device(i));
                if (TouchesBand(d, fStart, fCurrent) != TouchesBand(d, fStart, p))
                    SetSelected(i, !Device(i)->GetByte(T::kDidvSelected));
            }
            break;
        }
        case Hit::kResize:
        case Hit::kRotate: {
            std::vector<std::pair<uint32_t, Place>> out;
            for (uint32_t i = 0; i < DeviceCount(); ++i) {
                const CRecord* d = Device(i);
                if (!d || !d->GetByte(T::kDidvSelected)) continue;
                const Place s = SnapshotOf(d);
                out.emplace_back(i, fHit.kind == Hit::kResize ? ResizeStep(fFrame, s, fStart, p)
                                                              : RotateStep(fFrame, s, fStart, p));
            }
            ApplyPlaces(out, fHit.kind == Hit::kRotate);
            break;
        }
        default:
            break;
    }
    fCurrent = p;
    RequestRedraw();
}

int CDimLayoutView::NextMerge() {
    const int merge = fNewUndoStep ? dimedit::kNew : dimedit::kContinue;
    fNewUndoStep = false;
    return merge;
}

void CDimLayoutView::ApplyPlaces(const std::vector<std::pair<uint32_t, Place>>& places, bool rotation) {
    if (places.empty()) return;
    std::vector<dimedit::Item> items;
    for (const auto& [i, p] : places) {
        const CRecordRef ref = DeviceRef(i);
        items.push_back(dimedit::Float(ref, T::kDidvPosX, p.x));
        items.push_back(dimedit::Float(ref, T::kDidvPosY, p.y));
        if (rotation) {
            items.push_back(dimedit::Float(ref, T::kDidvRotation, p.rot));
        } else {
            items.push_back(dimedit::Float(ref, T::kDidvWidth, p.w));
            items.push_back(dimedit::Float(ref, T::kDidvHeight, p.h));
        }
    }
    dimedit::Apply(this, fDims, items, NextMerge());
}

void CDimLayoutView::Release() {
    fDragging = false;
    fMoving = false;
    RequestRedraw();
}

void CDimLayoutView::Drop(bool copy) {
    const double dx = fCurrent.x - fStart.x, dy = fCurrent.y - fStart.y;
    if (!copy) {
        std::vector<std::pair<uint32_t, Place>> out;
        for (uint32_t i = 0; i < DeviceCount(); ++i) {
            const CRecord* d = Device(i);
            if (!d || !d->GetByte(T::kDidvSelected)) continue;
            Place p = PlaceOf(d);
            p.x = float(p.x + dx);
            p.y = float(p.y + dy);
            out.emplace_back(i, p);
        }
        std::vector<dimedit::Item> items;
        for (const auto& [i, p] : out) {
            items.push_back(dimedit::Float(DeviceRef(i), T::kDidvPosX, p.x));
            items.push_back(dimedit::Float(DeviceRef(i), T::kDidvPosY, p.y));
        }
        if (!items.empty()) dimedit::Apply(this, fDims, items, NextMerge());
        RequestRedraw();
        return;
    }
    CRecord* dims = Dims();
    if (!dims || !fDims) return;
    void* group = CRecordUndo::BeginGroup(this);
    const uint32_t n = DeviceCount();
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* d = Device(i);
        if (!d || !d->GetByte(T::kDidvSelected)) continue;
        CRecord* clone = CRecord::Clone(d, nullptr);
        if (!clone) continue;
        clone->Slot(T::kDidvPosX).f32 = float(d->GetFloat(T::kDidvPosX) + dx);
        clone->Slot(T::kDidvPosY).f32 = float(d->GetFloat(T::kDidvPosY) + dy);
        clone->Slot(T::kDidvSelected).u8 = 0;
        SetSelected(i, false);
        const uint32_t at = DeviceCount();
        if (fDims->RootRef().InsertRecord(this, T::kDimsDevices, CRecordRef::kAppend, clone)) SetSelected(at, true);
    }
    CRecordUndo::EndGroup(group);
    fNewUndoStep = true;
    RequestRedraw();
}

void CDimLayoutView::Hover(double x, double y) {
    if (fDragging) return;
    std::vector<Place> places;
    std::vector<uint8_t> selected;
    Places(places, selected);
    const Hit h = HitTest(PaneSize(), places, selected, PaneSize().ToView(x, y));
    if (h == fHit) return;
    fHit = h;
    RequestRedraw();
}

void CDimLayoutView::Leave() {
    if (fHit.kind == Hit::kNone) return;
    fHit = Hit();
    RequestRedraw();
}

bool CDimLayoutView::CanDelete() const {
    for (uint32_t i = 0; i < DeviceCount(); ++i)
        if (Device(i) && Device(i)->GetByte(T::kDidvSelected)) return true;
    return false;
}

void CDimLayoutView::DeleteSelection() {
    if (!CanDelete() || !fDims) return;
    void* group = CRecordUndo::BeginGroup(this);
    for (uint32_t i = DeviceCount(); i-- > 0;)
        if (Device(i) && Device(i)->GetByte(T::kDidvSelected)) fDims->RootRef().DeleteElement(this, T::kDimsDevices, i);
    CRecordUndo::EndGroup(group);
    fHit = Hit();
    fNewUndoStep = true;
    RequestRedraw();
}

// ---- messages

LMessage CDimLayoutView::Handle(const LMessage& msg) {
    auto* mouse = LMouse::Get();
    const bool fromMouse = mouse && msg.sender == mouse;
    auto local = [this]() {
        const CLPoint p = MouseInOwner();
        return Point{double(p.x - Bounds().left), double(p.y - Bounds().top)};
    };
    if (fromMouse && msg.Is(LMouse_Cursor)) {
        if (!fDragging) {
            const Point p = local();
            Hover(p.x, p.y);
        }
        return LFrame::Handle(msg);
    }
    if (fromMouse && msg.Is(LMouse_Leave)) {
        Leave();
        return LMessage();
    }
    if (fromMouse && msg.Is(LMouse_Click)) {
        Dispatch(LMessage(LPane_ReqFocus, this, Upper()));
        const Point p = local();
        const bool toggle = mouse->IsCommandDown() || mouse->IsShiftDown() || mouse->IsControlDown();
        Click(p.x, p.y, toggle);
        if (!fDragging) return LMessage();
        if (fMoving && StartMoveDrag()) return LMessage();
        return LMessage(LPane_ReqCapture, this, Upper());
    }
    if (fTracker) {
        bool handled = false;
        LMessage reply = HandleDrag(msg, &handled);
        if (handled) return reply;
    }
    if (msg.Is(LMouse_Move)) {
        const Point p = local();
        DragStep(p.x, p.y);
        return LMessage();
    }
    if (msg.Is(LMouse_Release)) {
        Release();
        return LMessage();
    }
    if (msg.Is(COpenGLView_Update) && fView && msg.sender == fView) {
        RequestRedraw();
        return LMessage();
    }
    if (msg.Is(LMenuBar_Ready) && msg.sender) {
        if (CanDelete()) static_cast<LMenuBar*>(msg.sender)->EnableCommand("LStdCmd_Delete");
        return LFrame::Handle(msg);
    }
    if (msg.Is(LMenuItem_Selected) && msg.sender &&
        static_cast<LMenuItem*>(msg.sender)->HasCommand("LStdCmd_Delete")) {
        DeleteSelection();
        return LMessage();
    }
    return LFrame::Handle(msg);
}

bool CDimLayoutView::StartMoveDrag() {
    if (!fMoving || !fDragging) return false;
    // The tracker's dragger takes the mouse; the drag session carries the move.
    if (!fTracker && GetWindow()) fTracker = std::make_unique<CDimDragTracker>(this);
    if (fTracker) fTracker->StartDrag(DragType());
    if (fTracker && fTracker->IsActive()) return true;
    fMoving = false;  // no session without a window: the press ends at the release
    return false;
}

Point CDimLayoutView::FromScreen(const CLPoint& screen) {
    LPanePort port(this, LPanePort::Surroundings{});
    double x = screen.x, y = screen.y;
    if (port.window) {
        const plat::Point c = port.window->ConvertFromScreen({x, y});
        x = c.x;
        y = c.y;
    }
    return {x - port.origin.x - Bounds().left, y - port.origin.y - Bounds().top};
}

LMessage CDimLayoutView::HandleDrag(const LMessage& msg, bool* handled) {
    LMessage reply;
    const int32_t r = fTracker->Dispatch(msg, &reply);
    *handled = r != CDimDragTracker::kNone;
    const bool ours = fMoving && fDragging;
    switch (r) {
        case CDimDragTracker::kMoved:
        case CDimDragTracker::kDropped: {
            if (!ours || PaneSize().Empty()) break;
            const Point p = FromScreen(fTracker->DropPoint());
            fCurrent = PaneSize().ToView(p.x, p.y);
            if (r == CDimDragTracker::kMoved) {
                RequestRedraw();
                break;
            }
            LMouse* mouse = LMouse::Get();
            Drop(fTracker->IsCopy() || (mouse && mouse->IsOptionDown()));
            fMoving = false;  // dropped: the end only closes the gesture
            break;
        }
        case CDimDragTracker::kEnded:
            if (fDragging) Release();
            break;
        default:
            break;
    }
    return reply;
}

// ---- listeners

void CDimLayoutView::DimsChanged(void* self, const SRecordEvent* e) {
    auto* v = static_cast<CDimLayoutView*>(self);
    const CRecord* r = e->record.Get();
    if (e->kind > SRecordEvent::kMoved || !r) return;
    if (IsType(r, T::Didv())) {
        if (e->field == T::kDidvSelected) {
            v->fNewUndoStep = true;
            v->RequestRedraw();
        } else if (e->field <= T::kDidvRotation) {
            v->RequestRedraw();
        }
    } else if (IsType(r, T::Dims())) {
        if (e->field == T::kDimsDevices) {
            if (v->fHit.device >= int32_t(v->DeviceCount())) v->fHit = Hit();
            v->RequestRedraw();
        } else if (e->field == T::kDimsDotGap) {
            v->RequestRedraw();
        }
    } else if (IsType(r, T::Didf()) && (e->field == T::kDidfColumns || e->field == T::kDidfRows)) {
        v->RequestRedraw();
    }
}

void CDimLayoutView::DefsChanged(void* self, const SRecordEvent* e) {
    const CRecord* r = e->record.Get();
    if (IsType(r, T::Didf()) && (e->field == T::kDidfColumns || e->field == T::kDidfRows))
        static_cast<CDimLayoutView*>(self)->RequestRedraw();
}

void CDimLayoutView::SettingsChanged(void* self, const SRecordEvent* e) {
    auto* v = static_cast<CDimLayoutView*>(self);
    const CRecord* set = v->fSettings.Get();
    if (!set || !e->record.HasAncestor(set)) return;
    const bool dots = v->DotBounds();
    if (dots == v->fDotBounds) return;
    v->fDotBounds = dots;
    v->RequestRedraw();
}

// ---- drawing

void CDimLayoutView::RequestRedraw() {
    ++fRedrawRequests;
    fRedraw.Signal();
}

void CDimLayoutView::RedrawNow(void* self) {
    auto* v = static_cast<CDimLayoutView*>(self);
    if (!v->fContext || !v->fContext->valid() || v->fContext->empty()) return;
    COpenGLScope_Cca scope(*v->fContext);
    v->Render(v->fContext.get(), SelectionBackgroundRGB());
    v->fContext->Swap();
}

void CDimLayoutView::Render(COpenGLContext_Cca* gl, const LRGB& highlight) {
    const Pane pane = PaneSize();
    // The surface may have several pixels per point.
    const plat::GLSurface* surface = gl && gl->glcontext() ? gl->glcontext()->Surface() : nullptr;
    const int32_t scale = surface ? surface->Scale() : 1;
    glViewport(0, 0, GLsizei(pane.W() * scale), GLsizei(pane.H() * scale));
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float k = float(1 / 1.2);
    glScalef(k, k, 0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    if (fDrawer && gl) {
        glColor4f(1, 1, 1, 1);
        fDrawer(fDrawerContext, *gl);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glScalef(k, k, 0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
    }
    if (fDragging && fHit.kind == Hit::kNone) {
        glColor3f(0.5f, 0.5f, 0.5f);
        glBegin(GL_TRIANGLE_FAN);
        glVertex2d(fStart.x, fStart.y);
        glVertex2d(fCurrent.x, fStart.y);
        glVertex2d(fCurrent.x, fCurrent.y);
        glVertex2d(fStart.x, fCurrent.y);
        glEnd();
    }
    const float hr = highlight.red / 255.0f, hg = highlight.green / 255.0f, hb = highlight.blue / 255.0f;
    const uint32_t n = DeviceCount();
    const int32_t hot = fHit.kind != Hit::kNone && fHit.device < int32_t(n) ? fHit.device : -1;
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* d = Device(i);
        if (d && !d->GetByte(T::kDidvSelected) && int32_t(i) != hot) DrawDevice(d, 0.5f, 0.5f, 0.5f, 0, 0, 0, 0);
    }
    for (uint32_t i = 0; i < n; ++i) {
        const CRecord* d = Device(i);
        if (d && d->GetByte(T::kDidvSelected) && int32_t(i) != hot) DrawDevice(d, hr, hg, hb, 0, 0, 0, 0);
    }
    if (hot >= 0) {
        if (fDragging)
            DrawDevice(Device(uint32_t(hot)), hr, hg, hb, 0, 0, fHit.kind, fHit.corner);
        else
            DrawDevice(Device(uint32_t(hot)), 1, 1, 1, 0, 0, fHit.kind, fHit.corner);
    }
    if (fMoving && fDragging) {
        const double dx = fCurrent.x - fStart.x, dy = fCurrent.y - fStart.y;
        for (uint32_t i = 0; i < n; ++i) {
            const CRecord* d = Device(i);
            if (d && d->GetByte(T::kDidvSelected)) DrawDevice(d, 1, 1, 1, dx, dy, 0, 0);
        }
    }
}

void CDimLayoutView::DrawDevice(const CRecord* d, float r, float g, float b, double dx, double dy, int hitKind,
                                int corner) {
    if (!d) return;
    const Pane pane = PaneSize();
    const Place p = PlaceOf(d);
    const double hw = double(p.w) * 0.5, hh = double(p.h) * 0.5;
    const double tick = pane.HandleLength();
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT);
    glPushMatrix();
    glTranslated(double(p.x) + dx, double(p.y) + dy, 0);
    glRotated(double(p.rot), 0, 0, 1);
    auto outline = [&]() {
        glBegin(GL_LINE_LOOP);
        glVertex2d(-hw, -hh);
        glVertex2d(hw, -hh);
        glVertex2d(hw, hh);
        glVertex2d(-hw, hh);
        glEnd();
    };
    glLineWidth(3);
    glColor3f(0, 0, 0);
    outline();
    glLineWidth(1);
    glColor3f(r, g, b);
    outline();
    const CRecord* def = fDefs ? fDefs->Find(d->GetString(T::kDidvDefinition).CStr()) : nullptr;
    if (fDotBounds && def) {
        const CRecord* dims = Dims();
        const uint32_t gap = dims ? dims->GetUInt(T::kDimsDotGap) : 0;
        const uint64_t cols = uint64_t(def->GetUInt(T::kDidfColumns)) * (gap + 1);
        const uint64_t rows = uint64_t(def->GetUInt(T::kDidfRows)) * (gap + 1);
        glColor3f(0.3f, 0.3f, 0.3f);
        glBegin(GL_LINES);
        for (uint64_t i = 1; i < cols && i < 4096; ++i) {
            const double x = (double(i) / double(cols) - 0.5) * p.w;
            glVertex2d(x, -hh);
            glVertex2d(x, hh);
        }
        for (uint64_t i = 1; i < rows && i < 4096; ++i) {
            const double y = (double(i) / double(rows) - 0.5) * p.h;
            glVertex2d(-hw, y);
            glVertex2d(hw, y);
        }
        glEnd();
    }
    auto drawTick = [&]() {
        glBegin(GL_LINES);
        glVertex2d(0, hh);
        glVertex2d(0, hh + tick);
        glEnd();
    };
    glLineWidth(3);
    glColor3f(0, 0, 0);
    drawTick();
    glLineWidth(1);
    glColor3f(r, g, b);
    drawTick();
    if (hitKind == Hit::kRotate) {
        glLineWidth(5);
        drawTick();
    } else if (hitKind == Hit::kResize) {
        static const int sx[4] = {-1, 1, 1, -1};
        static const int sy[4] = {-1, -1, 1, 1};
        const double s = pane.HalfHandle();
        const double cx = sx[corner & 3] * hw, cy = sy[corner & 3] * hh;
        glBegin(GL_TRIANGLE_STRIP);
        glVertex2d(cx - s, cy - s);
        glVertex2d(cx + s, cy - s);
        glVertex2d(cx - s, cy + s);
        glVertex2d(cx + s, cy + s);
        glEnd();
    }
    glPopMatrix();
    glPopAttrib();
}
