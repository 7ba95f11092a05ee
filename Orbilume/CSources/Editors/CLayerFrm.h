#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/CTabFocusPane.h"

class CChannelList;
class CObSampleDC;
class COpenGLContext_Cca;
class COpenGLView;
class CRecord;
class CSlider;
class CSrcRendrFrm;
class LEditText;
class LFrame;
class LMenu;
class LPopupList;
class LTextPane;

// One channel cell ("CHANNELCELL"): number, preview, mix pop-up, blend fader (0-256), name and
// the layer's unit chain in a scrolled area. A click in the preview pops up the shared "LAYERPOP"
// menu. Main thread only.
class CLayerFrm : public CTabFocusPane {
public:
    static constexpr int32_t kHeaderHeight = 150;  // above the chain area
    static constexpr int32_t kWidth = 180;
    static constexpr int32_t kWidthWithControls = 360;

    explicit CLayerFrm(CChannelList* list);
    ~CLayerFrm() override;

    // Fills the cell from layer i of the document; false when there is none.
    bool Fill(uint32_t index);
    // Reads a blend text in the C locale and gives the fader value: blend × 256 truncated, a
    // missing text 256, non-finite or out-of-range values clamped to [0, 1] first.
    static int32_t FaderValue(const LString& blendText, bool present);
    // The shared menu, built by the first cell.
    static LMenu* LayerMenu();
    // Cells make no GL drawing target while off (headless tests).
    static void SetPreviewsEnabled(bool on);
    static bool PreviewsEnabled();

    void SetChainOffset(int32_t offset);
    void SetControlsShown(bool shown) { fCtlShown = shown ? 1 : 0; }
    uint8_t ControlsShown() const { return fCtlShown; }
    // The slider's switch flag (PREF 'fddg').
    void SetFaderSwitch(bool on);

    uint32_t Index() const { return fIndex; }
    LTextPane* Number() const { return fNumber; }
    LPopupList* MixPopup() const { return fMix; }
    CSlider* Fader() const { return fFader; }
    LEditText* NameField() const { return fName; }
    CSrcRendrFrm* Chain() const { return fChain; }
    LFrame* ChainArea() const { return fChainArea; }
    COpenGLView* Preview() const { return fPreview; }
    CObSampleDC* SampleDC() const { return fSample; }
    COpenGLContext_Cca* PreviewTarget() const;
    // The point (cell coordinates) translated into the chain frame's coordinates.
    CLPoint ToChain(const CLPoint& cellPoint) const;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    // As tall as the list (the header at least): the grid sizes its cells from this.
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

private:
    void Place();

    CChannelList* fList;
    CObSampleDC* fSample = nullptr;
    LFrame* fInner = nullptr;
    LTextPane* fNumber = nullptr;
    COpenGLView* fPreview = nullptr;
    LPopupList* fMix = nullptr;
    CSlider* fFader = nullptr;
    LEditText* fName = nullptr;
    LFrame* fChainArea = nullptr;
    CSrcRendrFrm* fChain = nullptr;
    uint8_t fCtlShown = 0;
    uint32_t fIndex = 0;
    int32_t fOffset = 0;
    bool fShowName = true;
};
