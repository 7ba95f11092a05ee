#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Common/Rgn/CRgn.h"
#include "Lib3/LSources/CoreData/LSLinkBase.h"
#include "Lib3/LSources/CoreUI/LColor.h"
#include "Lib3/LSources/CoreUI/LFrameSpec.h"
#include "Lib3/LSources/CoreUI/LLayoutText.h"
#include "Lib3/LSources/CoreUI/LPane.h"

class LLayoutDesc;
class LLayoutProgram;
class LStrListRsrcH;
class LString;
class LWindow;

L_MESSAGE_ID(LFrame_Constructing);
L_MESSAGE_ID(LFrame_Destructing);
L_MESSAGE_ID(LFrame_Close);
L_MESSAGE_ID(LFrame_Activate);
L_MESSAGE_ID(LFrame_Deactivate);
L_MESSAGE_ID(LFrame_Place);

// The container pane: holds child panes (construction order is drawing order, later on top), routes
// mouse, key, focus and window messages to them, draws its background and children, keeps the
// keyboard focus in a tab order and lays its children out from a layout (at least two parts; part 0
// definitions, part 1 the preferred size, part 2 the placement). Made with a window kind object it owns
// an LWindow and is the root of that window's panes; its window operations then go through the window
// services. Children and owned-window frames are owned and deleted with it. Main thread only.
class LFrame : public LPane {
public:
    enum : uint32_t { kDescriptionMode = 0, kScriptMode = 1 };

    LFrame(LHandler* upper, LPane* owner, const LFrameSpec& spec = LFrameSpec::Default());
    ~LFrame() override;

    LMessage Handle(const LMessage& msg) override;

    void FillPort(LPanePort& port) override;
    void Invalidate(const CRgn& invalid, const CRgn& erase) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    LPane* FindFocusable() override;
    LPane* FindPaneAt(const CLPoint& p) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;
    bool FocusNearest(const CLPoint& p) override;
    bool TakeFocus(int32_t backwards, bool restart) override;

    // Hooks around the layout runs; nothing here.
    virtual void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& description);
    virtual void DescriptionApplied(LDrawContext& ctx, LLayoutDesc& description);
    virtual void ScriptPrefer(LDrawContext& ctx, LLayoutProgram& script);
    virtual void ScriptApplied(LDrawContext& ctx, LLayoutProgram& script);

    // Mode 1 compiles the parts into a layout script; any other mode reads them as a description.
    void SetLayout(const LLayoutParts& parts, uint32_t mode);
    void SetLayout(const LStrListRsrcH& parts, uint32_t mode);
    bool HasLayout() const { return mLayout.Count() >= 2; }
    const LLayoutParts& Layout() const { return mLayout; }
    void UpdateLayout();
    void FitWindowToLayout();

    void SetBackground(const LColor& colour);
    const LColor& Background() const { return mBackground; }
    const CRgn& NoEraseRegion() const { return mNoErase; }

    // Window operations; nothing without a window.
    LWindow* Window() const { return mWindow; }
    void SetWindowTitle(const LString& title);
    void ShowWindow();
    // Option 1 shows the window behind the front window of its kind; others as ShowWindow.
    void ShowWindowWith(uint32_t option);
    void HideWindow();
    CLRect GetWindowRect() const;
    CLRect GetWindowFrame() const;
    void SetWindowFrame(const CLRect& content);
    // The whole window's frame, as GetWindowFrame answers it: the content is that less the borders.
    void SetWindowOuterFrame(const CLRect& frame);
    void SetBoundsOnScreen(const CLRect& content);
    void PlaceWindow(const CLRect& rect, LPane* relativeTo);

    void SendToChildren(uint32_t op);
    const LSLinkBase& Children() const { return mChildren; }
    LPane* FocusPane() const { return mFocus; }

    // Moves the focus to the next (previous) child; true when the search wrapped or found nothing.
    bool TabStep(bool backwards);
    const std::vector<uint32_t>& TabOrder() const { return mTabOrder; }
    // A fixed order is used as it stands (1-based child positions).
    void SetTabOrder(std::vector<uint32_t> order, bool fixed);

protected:
    // Drops the region that the next background fill leaves alone.
    void ClearNoErase() {
        mNoErase = CRgn();
        mErase = CRgn();
    }
    // Runs the layout over the children in the frame's current bounds.
    void ApplyLayout(LDrawContext& ctx, bool withPreference);

private:
    bool IsClosableWindow() const;
    LMessage HandleWindowMessage(const LMessage& msg);
    LMessage HandleOwnMessage(const LMessage& msg);
    LMessage Default(const LMessage& msg);
    void RebuildTabOrder();
    int32_t ListPosition(const LPane* child) const;
    bool FullyVisible(LPane* child, const LPanePort& port) const;
    void RestoreFocus();
    // Preferred rectangle of the layout (preference step included); false without one.
    bool PreferredRect(LDrawContext& ctx, CLRect& out);
    void EnsureScript();
    CLRect LocalBounds() const;
    CLPoint MouseInFrame() const;

    LWindow* mWindow = nullptr;  // owned
    LPane* mFocus = nullptr;
    CRgn mNoErase;
    CRgn mErase;  // erase requests since the last pass
    LColor mBackground;
    LSLinkBase mChildren;
    LSLinkBase mOwnedWindows;
    std::vector<uint32_t> mTabOrder;
    bool mTabFixed = false;
    uint32_t mLayoutMode = kDescriptionMode;
    LLayoutParts mLayout;
    std::unique_ptr<LLayoutProgram> mScript;
};
