#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Common/Mac/CRunLoopSignal.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LFrame.h"
#include "Lib3/LSources/Mac/LScrapType.h"
#include "Orbilume/CSources/Led/DimLayoutGeometry.h"

class CDimDefStore;
class CDimDragTracker;
class COpenGLContext_Cca;
class COpenGLView;
class CRecordHolder;
struct SRecordEvent;

// The OpenGL pane of the dimmer window: every placed device of the DIMS record's 'devs' drawn as a
// rotated outline over the background drawer (the output's preview), selected, moved, copied,
// resized, rotated and deleted with the mouse. Edits go through the records with undo: the undo
// queue is found above the pane ("CUndoStrm_Find"). A resize or rotate step and a move continue the
// previous undo entry until a selection flag changes. Redraws only through the run-loop signal.
//
// The move runs as a drag of type 'DMDG' through a CDimDragTracker: the drag's moves show the
// selection at the pointer, and a drop on the pane moves it (a copy when the drop offers copy alone
// or Option is held). The band, resize and rotate keep the mouse in the pane.
//
// Main thread only.
class CDimLayoutView : public LFrame {
public:
    static constexpr uint32_t kDragType = 0x444D4447;  // 'DMDG'
    static LScrapType DragType();

    using BackgroundDrawer = void (*)(void* context, COpenGLContext_Cca& gl);

    // owner: the window frame (null for a pane without a window: no GL context then). settings: the
    // dimmer settings set inside settingsHolder's tree.
    CDimLayoutView(LFrame* owner, CRecordHolder* dims, CDimDefStore* defs, CRecordHolder* settingsHolder,
                   CRecordRef settings);
    ~CDimLayoutView() override;

    void SetBackgroundDrawer(void* context, BackgroundDrawer function);

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;

    // The gestures, in pane pixels (origin top left); the message handler calls them.
    // toggle: Command or Shift held.
    void Click(double x, double y, bool toggle);
    void DragStep(double x, double y);
    // After a Click on a device's body: the 'DMDG' drag session of the move (false without a window).
    bool StartMoveDrag();
    void Release();
    // The end of the move: the delta current - start applied to the selection, or its copies.
    void Drop(bool copy);
    void Hover(double x, double y);
    void Leave();
    bool CanDelete() const;
    void DeleteSelection();

    const dimlayout::Hit& CurrentHit() const { return fHit; }
    bool IsDragging() const { return fDragging; }
    bool IsMoving() const { return fMoving; }
    // The move's drag session (made on the first move in a window); null before.
    CDimDragTracker* Tracker() const { return fTracker.get(); }
    dimlayout::Pane PaneSize() const { return {Bounds().Width(), Bounds().Height()}; }
    // Requests so far (each a signal of the run loop).
    uint32_t RedrawRequests() const { return fRedrawRequests; }
    // Any thread: the view redraws on the main thread.
    void SignalRedraw() { fRedraw.Signal(); }

    // Draws into the current GL context (gl, passed to the background drawer) over a viewport of
    // the pane's size.
    void Render(COpenGLContext_Cca* gl, const LRGB& highlight);

private:
    CRecord* Dims() const;
    uint32_t DeviceCount() const;
    CRecord* Device(uint32_t i) const;
    CRecordRef DeviceRef(uint32_t i) const;
    void Places(std::vector<dimlayout::Place>& places, std::vector<uint8_t>& selected) const;
    static dimlayout::Place PlaceOf(const CRecord* device);
    static dimlayout::Place SnapshotOf(const CRecord* device);
    void SetSelected(uint32_t i, bool on);
    void Step(const dimlayout::Point& p);
    void ApplyPlaces(const std::vector<std::pair<uint32_t, dimlayout::Place>>& places, bool rotation);
    int NextMerge();
    void RequestRedraw();
    // A screen point (top-left) in pane pixels.
    dimlayout::Point FromScreen(const CLPoint& screen);
    LMessage HandleDrag(const LMessage& msg, bool* handled);
    static void RedrawNow(void* self);
    void DrawDevice(const CRecord* device, float r, float g, float b, double dx, double dy, int hitKind, int corner);

    static void DimsChanged(void* self, const SRecordEvent* event);
    static void SettingsChanged(void* self, const SRecordEvent* event);
    static void DefsChanged(void* self, const SRecordEvent* event);
    bool DotBounds() const;

    CRecordHolder* fDims;
    CDimDefStore* fDefs;
    CRecordHolder* fSettingsHolder;
    CRecordRef fSettings;
    std::unique_ptr<COpenGLContext_Cca> fContext;
    COpenGLView* fView = nullptr;  // child pane
    std::unique_ptr<CDimDragTracker> fTracker;
    CRunLoopSignal fRedraw;
    dimlayout::Point fStart;
    dimlayout::Point fCurrent;
    dimlayout::Hit fHit;
    dimlayout::Frame fFrame;
    bool fDragging = false;
    bool fMoving = false;  // a press on a body: the 'DMDG' drag may follow
    bool fNewUndoStep = true;
    bool fDotBounds = false;
    void* fDrawerContext = nullptr;
    BackgroundDrawer fDrawer = nullptr;
    uint32_t fRedrawRequests = 0;
};
