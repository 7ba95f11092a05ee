#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Editors/CInParamPane.h"

class CColorBtn;
class CFlatBtn;
class CStateButton;
struct LRGB;
struct SFontDesc;
class CNumVol;
class CRecord;
class CTextSlot;
class CTimeVol;
class LEditText;
class LMenu;
class LStdCheck;
class PropertyTreeObject;

// The value panes of an input-parameter frame. Main thread only.

// A number knob with d decimals, range minimum..maximum, step 10^-d; a settled knob notifies.
class CInParamNumber : public CInParamPane {
public:
    CInParamNumber(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, float minimum,
                   float maximum, uint32_t decimals);
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    CNumVol* Knob() const { return fKnob; }

private:
    CNumVol* fKnob;
};

// Seconds as minutes and seconds; the value text is decimal seconds ("90").
class CInParamTime : public CInParamPane {
public:
    CInParamTime(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, float minimum,
                 float maximum, uint32_t decimals);
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    CTimeVol* Knob() const { return fKnob; }

private:
    CTimeVol* fKnob;
};

// A check box: "1" when ticked, else empty; a non-zero integer ticks it.
class CInParamBool : public CInParamPane {
public:
    CInParamBool(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key);
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    LStdCheck* Check() const { return fCheck; }

private:
    LStdCheck* fCheck;
};

// A pop-up over items ("-" and empty ones are separators, not counted): the value is the position
// of the shown item among the counted ones.
class CInParamIndex : public CInParamPane {
public:
    CInParamIndex(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                  std::vector<LString> items);
    ~CInParamIndex() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    // What choosing counted item n does: shows it and notifies when it differs.
    void Choose(int32_t n);
    CTextSlot* Slot() const { return fSlot; }
    LMenu* Menu() const { return fMenu.get(); }

private:
    int32_t CountedIndex() const;
    LString CountedItem(int32_t n) const;  // clamped

    CTextSlot* fSlot = nullptr;
    std::vector<LString> fItems;
    std::unique_ptr<LMenu> fMenu;
};

// An edit text, multi-line from 2 lines; with 2 or more lines a click lends it the text edit window.
class CInParamString : public CInParamPane {
public:
    CInParamString(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, uint32_t lines);
    ~CInParamString() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    // Attaches the text edit window and shows the text in it over the field (2 or more lines
    // only); a click in the field does this.
    void OpenTextWindow();
    LEditText* Edit() const { return fEdit; }
    uint32_t Lines() const { return fLines; }

protected:
    int32_t LayoutLines() const override { return int32_t(fLines < 32 ? fLines : 32); }

private:
    LEditText* fEdit;
    uint32_t fLines;
};

// A flat toggle: "1" while bypassed (the label then in style 2), else empty.
class CInParamBypass : public CInParamPane {
public:
    CInParamBypass(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key);
    LString GetValueText() override { return fValue; }
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    CFlatBtn* Button() const { return fButton; }

private:
    CFlatBtn* fButton;
    LString fValue;
};

// A colour button: "rgba(r,g,b,a)"; a click lends it the shared colour panel (alpha shown,
// continuous), whose every change sets the colour and notifies.
class CInParamColor : public CInParamPane {
public:
    CInParamColor(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key);
    ~CInParamColor() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    // What a change in the panel does.
    void PanelChanged(float red, float green, float blue, float alpha);
    CColorBtn* Button() const { return fButton; }

private:
    static void PanelCallback(void* owner, const LRGB* colour, int32_t code);

    CColorBtn* fButton;
};

// A button showing a font name; a click lends it the shared font panel, whose choice sets the
// name and notifies.
class CInParamFont : public CInParamPane {
public:
    CInParamFont(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key);
    ~CInParamFont() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    void PanelChose(const LString& name);
    CStateButton* Button() const { return fButton; }

private:
    static void PanelCallback(void* owner, const SFontDesc* description, int32_t code);

    CStateButton* fButton;
};

// A pop-up over strings its owner hands it ("CInParamPane_strsel_Reveal" asks for them first); the
// value is the shown text. A text that is not an item gets two separators on top of the menu.
L_MESSAGE_ID(CInParamPane_strsel_Reveal);
class CInParamStrSel : public CInParamPane {
public:
    CInParamStrSel(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, uint32_t lines);
    ~CInParamStrSel() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    void SetStrings(std::vector<LString> strings);
    // The menu as a click shows it: separators for "-", two on top for a text not among the items,
    // the current text marked.
    LMenu* RebuildMenu();
    void Choose(const LString& text);
    CTextSlot* Slot() const { return fSlot; }

protected:
    int32_t LayoutLines() const override { return int32_t(fLines < 32 ? fLines : 32); }

private:
    CTextSlot* fSlot = nullptr;
    uint32_t fLines;
    std::vector<LString> fStrings;
    std::unique_ptr<LMenu> fMenu;
};

// Only the label and the assignment editor.
class CInParamDummy : public CInParamPane {
public:
    CInParamDummy(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key);
    LString GetValueText() override { return LString(); }
    void SetValueText(const LString&) override {}
};

// A pop-up of the "label"s of the description's "modes" and a nested kind-1 frame built from the
// chosen mode object; the value is the mode's index.
class CInParamMode : public CInParamPane {
public:
    CInParamMode(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                 const PropertyTreeObject& desc, CRecord* unit, bool showEditors);
    ~CInParamMode() override;
    LString GetValueText() override;
    void SetValueText(const LString& text) override;
    LMessage Handle(const LMessage& msg) override;
    CInParamPane* FindPane(uint32_t unitId, const LString& key) override;
    void Choose(int32_t index);
    CTextSlot* Slot() const { return fSlot; }
    CInParamFrm* Modes() const { return fModes; }

private:
    void Select(int32_t index);

    std::unique_ptr<PropertyTreeObject> fDesc;
    CRecord* fUnit;
    bool fShowEditors;
    int32_t fIndex = 0;
    CTextSlot* fSlot = nullptr;
    CInParamFrm* fModes;
    std::unique_ptr<LMenu> fMenu;
};
