#pragma once

#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"
#include "Lib3/LSources/CoreUI/LFrame.h"

class CInCtlFrm;
class COpenGLContext_Cca;
class CInParamFrm;
class CSrcRendrFrm;
class LLayoutDesc;
class LMenu;
class LMenuItem;
class LTextPane;

// One row of an input-parameter frame: the value of one input of a unit ({unit id, key}) with its
// label, its own control(s), and under kinds that allow it the input's control-assignment editor,
// shown in the right half while the frame shows editors. Edits go up as "CInParamNote_Change"; the
// owner writes the document and sets the value text back. Main thread only.
class CInParamPane : public LFrame {
public:
    CInParamPane(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, bool rangeCapable,
                 bool withEditor);
    ~CInParamPane() override;

    virtual LString GetValueText() = 0;
    virtual void SetValueText(const LString& text) = 0;
    // 1 disables the pane's control, 0 enables it.
    virtual void SetDisabled(bool disabled);
    // This pane when the reference is its own, else one of its nested frame.
    virtual CInParamPane* FindPane(uint32_t unitId, const LString& key);
    // The drawing target of the pane's own preview (an image input's); null when it has none.
    virtual COpenGLContext_Cca* PreviewTarget() { return nullptr; }
    // The chain of the input's image unit (an image input's); null when it has none.
    virtual CSrcRendrFrm* ImageChain() const { return nullptr; }

    LMessage Handle(const LMessage& msg) override;
    void BoundsChanged(const CLRect& old) override;
    int32_t PreferredWidth(LDrawContext& ctx, int32_t kind) override;
    int32_t PreferredHeight(LDrawContext& ctx, int32_t kind) override;

    // Sends "CInParamNote_Change" with the pane's reference and value text.
    void NotifyChange();
    void SetShowControls(bool show);
    bool ShowControls() const { return fShowControls; }
    void SetLabel(const LString& text);

    // Expandable panes offer the shared composition menu (the repository's list 2) on a click in
    // the right half of their label, to choose an animator for the input.
    void SetExpandable(bool on) { fExpandable = on; }
    bool IsExpandable() const { return fExpandable; }
    bool AnimatorMenuHit(const CLPoint& local) const;  // in the pane's own coordinates
    // Sends "CInParamNote_Anim" with the repository identifier of the chosen composition.
    void ChooseAnimator(const LMenuItem* item);
    static LMenu* CompositionMenu() { return sMenu; }
    // The pane's control holds the keyboard focus (the operator may be typing).
    bool HasFocusedControl() const { return fControl && (fControl->State() & kFocused); }
    uint32_t UnitId() const { return fUnitId; }
    const LString& Key() const { return fKey; }
    bool IsRangeCapable() const { return fRangeCapable; }
    LTextPane* Label() const { return fLabel; }
    CInCtlFrm* ControlEditor() const { return fEditor; }
    // Made on the first request (kind 3, owned); Drop deletes it.
    CInParamFrm* NestedFrame(bool create);
    void DropNestedFrame();

protected:
    // The kind's layout ('TLYO'): panes 1 the label, then the editor when the kind has one, then
    // the kind's controls; it reads "wholew", "ctltop", "ctlw" (the controls' width) and "lines".
    void UseLayout(const char* name);
    void DescriptionPrefer(LDrawContext& ctx, LLayoutDesc& desc) override;
    // The text lines the layout gives the control.
    virtual int32_t LayoutLines() const { return 1; }
    // The pane's controls in the area: by the kind's layout, else in a row after the label.
    virtual void LayoutControls(const CLRect& area);
    // The height of the controls: the layout's, else the row's.
    virtual int32_t ControlsHeight(LDrawContext& ctx);
    LPane* fControl = nullptr;  // the main control, when the kind has one

private:
    void Relayout();

    uint32_t fUnitId;
    LString fKey;
    bool fRangeCapable;
    bool fShowControls = false;
    LTextPane* fLabel;
    CInCtlFrm* fEditor = nullptr;
    CInParamFrm* fNested = nullptr;
    bool fExpandable = false;
    int32_t fCtlTop = 0;    // the controls' area as the layout last saw it
    int32_t fCtlWidth = 0;

    static LMenu* sMenu;  // shared by every pane, made by the first and deleted with the last
    static uint32_t sPanes;
};
