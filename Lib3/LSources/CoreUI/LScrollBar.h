#pragma once

#include "Lib3/LSources/CoreUI/LStdCtl.h"

L_MESSAGE_ID(LScrollBar_Up);
L_MESSAGE_ID(LScrollBar_Dw);
L_MESSAGE_ID(LScrollBar_PgUp);
L_MESSAGE_ID(LScrollBar_PgDw);
L_MESSAGE_ID(LScrollBar_Thumb);
L_MESSAGE_ID(LScrollBar_Change);

// A scroll bar pane over a native scroller. Each hit part sends its message; one that comes back
// unhandled steps the value (a line, a page, or the knob's place) and answers "LScrollBar_Change",
// except when a step leaves the value where it was. A range with maximum <= minimum disables it.
class LScrollBar : public LStdCtl {
public:
    LScrollBar(LPane* owner, const LStdCtlSpec& spec, bool vertical, bool continuous);

    LMessage Handle(const LMessage& msg) override;
    void StateChanged(uint32_t op) override;
    void Action() override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    void SetRange(int32_t value, int32_t minimum, int32_t maximum, int32_t page);
    int32_t GetValue() const;
    void SetValue(int32_t value);
    void SetPage(int32_t page) { fPage = page; }
    bool IsContinuous() const { return fContinuous; }
    int32_t Minimum() const { return fMin; }
    int32_t Maximum() const { return fMax; }
    // 16 without a window; the small width in windows of level 3, else the regular one.
    int32_t SystemScrollerWidth();

private:
    bool fVertical;
    int32_t fPage = 1;
    bool fContinuous;
    int32_t fMin = 0;
    int32_t fMax = 0;
};
