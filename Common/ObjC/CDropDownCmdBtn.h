#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreUI/LPane.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"

class LMenu;

// A self-drawn bevel button with a pop-up arrow: a click pops its menu up below it and reports the
// chosen item to the upper handler as "LMenuItem_Selected" (sender the item). Main thread only.
class CDropDownCmdBtn : public LPane {
public:
    explicit CDropDownCmdBtn(LPane* owner);
    ~CDropDownCmdBtn() override;

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;
    void Draw(LDrawContext& ctx) override;

    // Not owned. With a menu the title becomes the menu's title.
    void SetMenu(LMenu* menu);
    LMenu* Menu() const { return fMenu; }
    void SetTitle(const LString& title);
    const LString& Title() const { return fTitle.Text(); }
    bool IsPressed() const { return fPressed != 0; }

private:
    void Redraw();
    // The title's baseline in the bounds, vertically centred.
    int32_t Baseline();

    LMenu* fMenu = nullptr;
    LTextBox fTitle;
    uint32_t fPressed = 0;
};
