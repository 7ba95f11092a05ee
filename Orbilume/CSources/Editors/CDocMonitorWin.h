#pragma once

#include <cstdint>
#include <memory>

#include "Orbilume/CSources/App/DocWindows.h"

class CMonitorWin;

// A document's monitor window: the engine's CMonitorWin seen through the document's IMonitorWin.
// Frames are whole-window rectangles; the content size is the render view's. Main thread only.
class CDocMonitorWin : public IMonitorWin {
public:
    explicit CDocMonitorWin(const SDocWindowArgs& args);
    ~CDocMonitorWin() override;

    LHandler* Handler() override;
    void Show() override;
    void Hide() override;
    bool IsVisible() const override;
    void Select() override;
    CLRect Frame() const override;
    void SetFrame(const CLRect& frame) override;
    void SetTitle(const LString& title) override;
    bool IsFullScreen() const override;
    void SetFixedSize(bool fixed) override;
    void ContentSize(uint32_t& width, uint32_t& height) const override;
    void SetContentSize(uint32_t width, uint32_t height) override;
    uint32_t RunSizeDialog() override;

    CMonitorWin* Window() const { return fWin.get(); }

    // The factory the document uses.
    static std::unique_ptr<IMonitorWin> Make(const SDocWindowArgs& args);
    // Installs Make as the monitor factory, keeping the other installed factories.
    static void Install();

private:
    std::unique_ptr<CMonitorWin> fWin;
};
