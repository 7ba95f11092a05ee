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
class CSeparatorPane;
class CSrcRendrFrm;
class LEditText;
class LFrame;
class LLayoutDesc;
class LMenu;
class LPopupList;
class LTextPane;

// One channel cell ("CHANNELCELL"): number, preview, mix pop-up, blend fader (0-256), name and
// the layer's unit chain in a scrolled area. The cell and its header ("LAYERFRM") are laid out by
// their layouts; the cell's reads "ctlshown" and "listh". A click in the preview pops up the
// shared "LAYERPOP" menu. Main thread only.
class CLayerFrm : public CTabFocusPane {
public:
    explicit CLayerFrm(CChannelList* list);
    ~CLayerFrm() override;

    // Fills the cell from layer i of the document; false when there is none.
    bool Fill(uint32_t index);
    // Reads a blend text in the C locale and gives the fader value: blend × 256 truncated, a
    // missing text 256, non-finite or out-of-range values clamped to [0, 1] first.
    static int32_t FaderValue(const LString& blendText, bool present);
    // The shared menu, built by the first cell.
    static LMenu* LayerMenu();
    // Readies the menu for a pop-up: only "CAppCmd_LoadFilter" and the repository's rows
    // ("CAppCmd_AddCompo") enabled, with the rows that hold them.
    static void ReadyLayerMenu(LMenu* menu);
    // Cells make no GL drawing target while off (headless tests).
    static void SetPreviewsEnabled(bool on);
    static bool PreviewsEnabled();

    void SetChainOffset(int32_t offset);
    void SetControlsShown(bool shown) { fCtlShown = shown ? 1 : 0; }
    uint8_t ControlsShown() const { return fCtlShown; }
    // The name row shows only with PREF 'slyn'; a change lays the cell out again.
    void SetNameShown(bool shown);
    // The top of the chain area: the header's height as last laid out.
    int32_t HeaderHeight() const;
    // The slider's switch flag (PREF 'fddg').
    void SetFaderSwitch(bool on);

    uint32_t Index() const { return fIndex; }
    LTextPane* Number() const { return fNumber; }
    LPopupList* MixPopup() const { return fMix; }
    CSlider* Fader() const { return fFader; }
    LEditText* NameField() const { return fName; }
    CSrcRendrFrm* Chain() const { return fChain; }
    LFrame* ChainArea() const { return fChainArea; }
    LFrame* Header() const { return fInner; }
    COpenGLView* Preview() const { return fPreview; }
    CObSampleDC* SampleDC() const { return fSample; }
    COpenGLContext_Cca* PreviewTarget() const;
    // The point (cell coordinates) translated into the chain frame's coordinates.
    CLPoint ToChain(const CLPoint& cellPoint) const;

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;

protected:
    // Publishes "ctlshown" and "listh" (the grid sizes its cells from the preferred size).
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) override;

private:
    // The chain frame inside the chain area, scrolled by the offset.
    void PlaceChain();

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
    CSeparatorPane* fHeaderLine = nullptr;
    CSeparatorPane* fEdgeLine = nullptr;
    uint8_t fCtlShown = 0;
    uint32_t fIndex = 0;
    int32_t fOffset = 0;
};
