#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LFrame.h"

class CMixEngine;
class COutRenderWin;

// The window that shows a document's rendered output: windowed (kind 9, the "APPW" menu bar, sized
// by the "MONWIN" layout, whose variables "vw" and "vh" ask for a view size) or full screen on one
// display (kind 12, no menu bar). It hosts the engine's output render pane. Main thread only.
class CMonitorWin : public LFrame {
public:
    static constexpr const char* kName = "MONWIN";
    static constexpr const char* kMenuBarName = "APPW";
    static constexpr int32_t kWindowedKind = 9;
    static constexpr int32_t kFullScreenKind = 12;
    // A rectangle with at least this many pixels on a screen in both directions stays where it is.
    static constexpr int32_t kMinOnScreen = 16;

    // display: the display a full-screen monitor covers (numbered from 1; 0 the main display).
    CMonitorWin(LHandler* upper, CMixEngine* engine, bool fullScreen, uint32_t display = 0);
    ~CMonitorWin() override;

    LMessage Handle(const LMessage& msg) override;

    // Resizes the window for a view of width × height pixels, keeping its position, moved onto the
    // screen it overlaps most.
    void SetViewSize(int32_t width, int32_t height);
    // Takes a stored content rectangle: ignored when empty, kept when enough of it lies on a screen,
    // else moved onto a screen at its size.
    void PlaceOnScreen(const CLRect& rect);
    // While set, the windowed monitor cannot be resized by hand.
    void SetFixedSize(bool fixed);

    bool IsFullScreen() const { return fFullScreen; }
    COutRenderWin* RenderWin() const { return fRender; }
    // The window's content rectangle (global coordinates), as PlaceOnScreen takes it.
    CLRect ContentRect() const;
    // The render view's bounds (its size is the output's).
    CLRect ViewBounds() const;

    // Whether the rectangle shares at least kMinOnScreen × kMinOnScreen pixels with some screen.
    static bool IsOnScreen(const CLRect& rect);
    // A stored place worth applying: every corner within ±2^20, not empty, and on a screen as above.
    static bool IsProperPlace(const CLRect& rect);

protected:
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) override;

private:
    static LFrameSpec SpecFor(bool fullScreen);

    bool fFullScreen;
    uint32_t fDisplay;
    int32_t fViewWidth = 0;  // 0: the layout's own default
    int32_t fViewHeight = 0;
    COutRenderWin* fRender;  // a child pane
};
