#include "Orbilume/CSources/Editors/CInParamPanes.h"

#include <algorithm>
#include <cmath>

#include "Common/ObjC/CNumVol.h"
#include "Common/ObjC/CTextSlot.h"
#include "Common/ObjC/LEditText.h"
#include "Common/ObjC/UMachPanel.h"
#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreUI/CColorBtn.h"
#include "Lib3/LSources/CoreUI/CStateButton.h"
#include "Lib3/LSources/CoreUI/LDrawContext.h"
#include "Lib3/LSources/CoreUI/LKeyboard.h"
#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuBar.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Lib3/LSources/CoreUI/LMouse.h"
#include "Lib3/LSources/CoreUI/LPanePort.h"
#include "Lib3/LSources/CoreUI/LStdCheck.h"
#include "Lib3/LSources/CoreUI/LTextBox.h"
#include "Lib3/LSources/CoreUI/LTextPane.h"
#include "Lib3/LSources/CoreUI/LTextStyle.h"
#include "Lib3/LSources/CoreUI/LWindowServices.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Editors/CFlatBtn.h"
#include "Orbilume/CSources/Editors/CInParamFrm.h"
#include "Orbilume/CSources/Editors/CTextEditWin.h"
#include "Orbilume/CSources/Editors/CTimeVol.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Platform/AppKit/ColorPanel.h"
#include "Platform/AppKit/Window.h"

namespace {

constexpr const char* kIndexCommand = "cIndex";
constexpr const char* kModeCommand = "cItem";

bool IsSeparator(const LString& item) {
    return item.IsEmpty() || item == LString("-");
}

float Step(uint32_t decimals) {
    return float(std::pow(10.0, -double(std::min(decimals, CInParamFrm::kMaxDecimals))));
}

// A string pane's field: a click in its text (which focuses it) also opens the shared text window
// for the pane.
class StringField : public LEditText {
public:
    StringField(CInParamString* pane, uint32_t mode) : LEditText(pane, mode, 0), fPane(pane) {}
    LMessage Handle(const LMessage& msg) override {
        if (!msg.Is(LMouse_Click)) return LEditText::Handle(msg);
        LHandlerWatch watch(this);
        LMessage out = LEditText::Handle(msg);
        if (!watch.IsGone() && out.IsEmpty()) fPane->OpenTextWindow();
        return out;
    }

private:
    CInParamString* fPane;
};

// A menu of the texts, separators for "-" and empty ones, the others bound to the command.
std::unique_ptr<LMenu> MakeMenu(const std::vector<LString>& items, const char* command) {
    auto menu = std::make_unique<LMenu>(nullptr, LString());
    for (const LString& text : items) {
        auto* item = new LMenuItem(menu.get());
        if (!IsSeparator(text)) {
            item->SetTexts(text);
            item->SetCommand(command);
        }
        menu->AppendItem(item);
    }
    return menu;
}

// The pop-up's readying pass (it starts with every item disabled) for a pane's own menu: the bound
// items enabled, the one showing in the slot marked, the bar synced at once. False for other passes.
bool ReadyOwnMenu(const LMessage& msg, LMenu* menu, CTextSlot* slot, LMessage* answer) {
    if (!msg.Is(LMenuBar_Ready) || !msg.sender || !menu || !slot) return false;
    auto* bar = static_cast<LMenuBar*>(msg.sender);
    if (!bar->Contains(menu)) return false;
    const LString current = slot->Text();
    for (LMenuItem* item = menu->FirstItem(); item; item = menu->NextItem(item)) {
        if (!item->HasCommands()) continue;
        item->SetEnabled(true);
        item->SetMarked(item->Text() == current);
    }
    *answer = msg.Retarget(bar);
    return true;
}

// The item chosen from a menu popped up under the slot, or null.
LMenuItem* PopUnder(LPane* owner, CTextSlot* slot, LMenu* menu) {
    CLRect screen = slot->Bounds();
    if (plat::Window* window = slot->GetWindow()) {
        const CLPoint origin = slot->GetOriginIn(nullptr);
        const plat::Point at =
            window->ConvertToScreen({double(screen.left + origin.x), double(screen.top + origin.y)});
        screen = {int32_t(at.x), int32_t(at.y), int32_t(at.x) + screen.Width(),
                  int32_t(at.y) + screen.Height()};
    }
    return LMenu::PopupMenuAt(owner, menu, screen);
}

}  // namespace

// Number.

CInParamNumber::CInParamNumber(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                               float minimum, float maximum, uint32_t decimals)
    : CInParamPane(upper, owner, unitId, key, true, true) {
    decimals = std::min(decimals, CInParamFrm::kMaxDecimals);
    fKnob = new CNumVol(this, decimals, 0);
    fKnob->SetRange(minimum, maximum, Step(decimals));
    fKnob->SetValue(minimum);
    fControl = fKnob;
    UseLayout("INPRMNUMBER");
}

LString CInParamNumber::GetValueText() {
    return fKnob->GetText();
}

void CInParamNumber::SetValueText(const LString& text) {
    fKnob->SetValue(CUnitParam::ReadFloat(text));
}

LMessage CInParamNumber::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fKnob) {
        NotifyChange();
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}

// Time.

CInParamTime::CInParamTime(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key, float minimum,
                           float maximum, uint32_t decimals)
    : CInParamPane(upper, owner, unitId, key, true, true) {
    fKnob = new CTimeVol(this, decimals);
    fKnob->SetRange(minimum, maximum, Step(fKnob->Decimals()));
    fKnob->SetValue(minimum);
    fControl = fKnob;
    UseLayout("INPRMTIME");
}

LString CInParamTime::GetValueText() {
    return fKnob->SecondsText();
}

void CInParamTime::SetValueText(const LString& text) {
    fKnob->SetSeconds(CUnitParam::ReadFloat(text));
}

LMessage CInParamTime::Handle(const LMessage& msg) {
    if (msg.Is(CNumVol_Fix) && msg.sender == fKnob) {
        NotifyChange();
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}

// Boolean.

CInParamBool::CInParamBool(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key)
    : CInParamPane(upper, owner, unitId, key, false, false) {
    fCheck = new LStdCheck(this, LStdCtlSpec());
    fControl = fCheck;
    UseLayout("INPRMBOOL");
}

LString CInParamBool::GetValueText() {
    return fCheck->GetValue() ? LString("1") : LString();
}

void CInParamBool::SetValueText(const LString& text) {
    fCheck->SetValue(CUnitParam::ReadInt(text) != 0 ? 1 : 0);
}

LMessage CInParamBool::Handle(const LMessage& msg) {
    if (msg.Is(LStdCheck_Change) && msg.sender == fCheck) {
        NotifyChange();
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}

// Index.

CInParamIndex::CInParamIndex(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                             std::vector<LString> items)
    : CInParamPane(upper, owner, unitId, key, true, true), fItems(std::move(items)) {
    fSlot = new CTextSlot(this, 0);
    fSlot->SetAlignment(LTextBox::kCenter);
    fControl = fSlot;
    UseLayout("INPRMINDEX");
    fMenu = MakeMenu(fItems, kIndexCommand);
    (void)fSlot->SetText(CountedItem(0));
}

CInParamIndex::~CInParamIndex() = default;

LString CInParamIndex::CountedItem(int32_t n) const {
    LString last;
    int32_t i = 0;
    for (const LString& item : fItems) {
        if (IsSeparator(item)) continue;
        if (i == std::max(n, 0)) return item;
        last = item;
        ++i;
    }
    return last;
}

int32_t CInParamIndex::CountedIndex() const {
    int32_t i = 0;
    for (const LString& item : fItems) {
        if (IsSeparator(item)) continue;
        if (item == fSlot->Text()) return i;
        ++i;
    }
    return i;
}

LString CInParamIndex::GetValueText() {
    return UWord::Decimal(CountedIndex());
}

void CInParamIndex::SetValueText(const LString& text) {
    (void)fSlot->SetText(CountedItem(CUnitParam::ReadInt(text)));
}

void CInParamIndex::Choose(int32_t n) {
    const LString item = CountedItem(n);
    if (item == fSlot->Text()) return;
    (void)fSlot->SetText(item);
    NotifyChange();
}

LMessage CInParamIndex::Handle(const LMessage& msg) {
    if (LMessage answer; ReadyOwnMenu(msg, fMenu.get(), fSlot, &answer)) return answer;
    if (msg.Is(CTextSlot_Click) && msg.sender == fSlot) {
        LMenuItem* chosen = PopUnder(this, fSlot, fMenu.get());
        if (!chosen || !chosen->HasCommand(kIndexCommand)) return LMessage();
        int32_t n = 0;
        for (LMenuItem* item = fMenu->FirstItem(); item && item != chosen; item = fMenu->NextItem(item))
            if (item->HasCommands()) ++n;
        Choose(n);
        return LMessage();
    }
    if (msg.Is(LKeyboard_Down) && msg.sender) {
        const uint32_t navi = static_cast<LKeyboard*>(msg.sender)->GetNaviKey();
        if (navi == LKeyboard::kNaviUp || navi == LKeyboard::kNaviDown) {
            Choose(std::max(CountedIndex() + (navi == LKeyboard::kNaviUp ? -1 : 1), 0));
            return LMessage();
        }
    }
    return CInParamPane::Handle(msg);
}

// String.

CInParamString::CInParamString(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                               uint32_t lines)
    : CInParamPane(upper, owner, unitId, key, false, true),
      fLines(std::clamp<uint32_t>(lines, 1, CInParamFrm::kMaxLines)) {
    fEdit = new StringField(this, fLines >= 2 ? LEditText::kMultiLine : LEditText::kSingleLine);
    fControl = fEdit;
    UseLayout("INPRMSTR");
}

CInParamString::~CInParamString() {
    // The shared window must not keep sending to a pane that is gone.
    CTextEditWin::Detach(this);
}

LString CInParamString::GetValueText() {
    return fEdit->GetText();
}

void CInParamString::SetValueText(const LString& text) {
    if (!(fEdit->GetText() == text)) fEdit->SetText(text);
    if (CTextEditWin* window = CTextEditWin::GetIfAttached(this))
        if (!(window->EditText()->GetText() == text)) window->EditText()->SetText(text);
}

void CInParamString::OpenTextWindow() {
    if (fLines < 2) return;
    CTextEditWin* window = CTextEditWin::Attach(this);
    if (!window) return;
    window->EditText()->SetText(fEdit->GetText());
    // Over the field: the window's content from the field's top-left corner, at its own size.
    LWindowServices* services = LWindowServices::Get();
    const LPanePort port(fEdit);
    if (services && port.window && window->Window()) {
        const plat::Rect content = port.window->ContentRect();
        const CLRect field = fEdit->Bounds();
        const int32_t left = int32_t(content.x) + port.origin.x + field.left;
        const int32_t top = int32_t(content.y) + port.origin.y + field.top;
        const CLRect now = services->ContentRect(window->Window());
        window->SetBoundsOnScreen({left, top, left + now.Width(), top + now.Height()});
    }
    window->ShowWindow();
}

LMessage CInParamString::Handle(const LMessage& msg) {
    if (msg.Is(LEditText_Change) && msg.sender == fEdit) {
        NotifyChange();
        return LMessage();
    }
    if (msg.Is(CTextEditWin_Change)) {
        if (CTextEditWin* window = CTextEditWin::GetIfAttached(this)) {
            fEdit->SetText(window->EditText()->GetText());
            NotifyChange();
        }
        return LMessage();
    }
    if (msg.Is(LPane_Unfocus) && msg.sender == fEdit) CTextEditWin::Detach(this);
    return CInParamPane::Handle(msg);
}

// Bypass.

CInParamBypass::CInParamBypass(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key)
    : CInParamPane(upper, owner, unitId, key, false, false) {
    fButton = new CFlatBtn(this, this);
    fControl = fButton;
    UseLayout("INPRMBYPASS");
    Label()->SetAlignment(LTextBox::kLeft);
    (void)Label()->SetTextStyle(LTextStyleH(0));
}

void CInParamBypass::SetValueText(const LString& text) {
    fValue = CUnitParam::ReadInt(text) != 0 ? LString("1") : LString();
    (void)Label()->SetTextStyle(LTextStyleH(fValue.IsEmpty() ? 0 : 2));
}

LMessage CInParamBypass::Handle(const LMessage& msg) {
    if (msg.Is(CFlatBtn_Selected) && msg.sender == fButton) {
        SetValueText(fValue.IsEmpty() ? LString("1") : LString());
        NotifyChange();
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}

// Placeholder.

CInParamDummy::CInParamDummy(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key)
    : CInParamPane(upper, owner, unitId, key, false, true) {
    UseLayout("INPRMDUMMY");
}

// Mode.

CInParamMode::CInParamMode(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                           const PropertyTreeObject& desc, CRecord* unit, bool showEditors)
    : CInParamPane(upper, owner, unitId, key, false, false),
      fDesc(std::make_unique<PropertyTreeObject>(desc)),
      fUnit(unit),
      fShowEditors(showEditors) {
    fSlot = new CTextSlot(this, 0);
    fSlot->SetAlignment(LTextBox::kCenter);
    fControl = fSlot;
    fModes = new CInParamFrm(this, this, 1);
    UseLayout("INPRMMODE");
    std::vector<LString> labels;
    if (const PropertyTreeMember* modes = fDesc->FindMember("modes"))
        for (uint32_t i = 0; i < modes->ObjectCount(); ++i)
            labels.push_back(modes->ObjectAt(i)->GetMemberValue("label"));
    fMenu = MakeMenu(labels, kModeCommand);
    Select(0);
}

CInParamMode::~CInParamMode() = default;

void CInParamMode::Select(int32_t index) {
    fIndex = std::max(index, 0);
    const PropertyTreeMember* modes = fDesc->FindMember("modes");
    const PropertyTreeObject* mode =
        modes && uint32_t(fIndex) < modes->ObjectCount() ? modes->ObjectAt(uint32_t(fIndex)) : nullptr;
    (void)fSlot->SetText(mode ? mode->GetMemberValue("label") : LString());
    fModes->Clear();  // a mode without controls shows none
    fModes->BuildFromControls(mode, fUnit, fShowEditors);
    fModes->SetUnitId(UnitId());
    BoundsChanged(Bounds());
    Dispatch(LMessage(LPane_Pref, this, Upper()));
}

LString CInParamMode::GetValueText() {
    return UWord::Decimal(fIndex);
}

void CInParamMode::SetValueText(const LString& text) {
    const int32_t index = CUnitParam::ReadInt(text);
    if (index != fIndex) Select(index);
}

void CInParamMode::Choose(int32_t index) {
    Select(index);
    NotifyChange();
}

CInParamPane* CInParamMode::FindPane(uint32_t unitId, const LString& key) {
    if (CInParamPane* p = CInParamPane::FindPane(unitId, key)) return p;
    return fModes->FindPane(unitId, key);
}

LMessage CInParamMode::Handle(const LMessage& msg) {
    if (LMessage answer; ReadyOwnMenu(msg, fMenu.get(), fSlot, &answer)) return answer;
    if (msg.Is(CTextSlot_Click) && msg.sender == fSlot) {
        LMenuItem* chosen = PopUnder(this, fSlot, fMenu.get());
        if (chosen && chosen->HasCommand(kModeCommand)) Choose(fMenu->IndexOfItem(chosen));
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}

// Colour.

CInParamColor::CInParamColor(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key)
    : CInParamPane(upper, owner, unitId, key, false, true) {
    fButton = new CColorBtn(this);
    fControl = fButton;
    UseLayout("INPRMCOLOR");
}

CInParamColor::~CInParamColor() {
    UMachPanel::CloseColorPanel(this, &CInParamColor::PanelCallback);
}

LString CInParamColor::GetValueText() {
    const LRGBA c = fButton->GetColor();
    const float rgba[4] = {c.red, c.green, c.blue, c.alpha};
    return CUnitParam::FormatRgba(rgba);
}

void CInParamColor::SetValueText(const LString& text) {
    float rgba[4] = {0, 0, 0, 1};
    CUnitParam::ParseRgba(text, rgba);
    fButton->SetColor(rgba[0], rgba[1], rgba[2], rgba[3]);
}

void CInParamColor::PanelChanged(float red, float green, float blue, float alpha) {
    fButton->SetColor(red, green, blue, alpha);
    NotifyChange();
}

void CInParamColor::PanelCallback(void* owner, const LRGB* colour, int32_t) {
    if (!owner || !colour) return;
    const plat::ColorPanel* panel = plat::ColorPanel::Shared();
    const float alpha = panel ? float(panel->Color().alpha) : 1.0f;
    static_cast<CInParamColor*>(owner)->PanelChanged(colour->red / 255.0f, colour->green / 255.0f,
                                                     colour->blue / 255.0f, alpha);
}

LMessage CInParamColor::Handle(const LMessage& msg) {
    if (msg.Is(CColorBtn::rSelected) && msg.sender == fButton) {
        const LRGBA c = fButton->GetColor();
        auto byte = [](float v) {
            return uint8_t(std::lround(std::clamp(std::isfinite(v) ? v : 0.0f, 0.0f, 1.0f) * 255));
        };
        LRGB colour(byte(c.red), byte(c.green), byte(c.blue));
        (void)UMachPanel::ChooseColor(false, colour, this, &CInParamColor::PanelCallback, false, true);
        return LMessage();
    }
    if (msg.Is(LPane_Unfocus) && msg.sender == fButton && !fButton->IsActive())
        UMachPanel::CloseColorPanel(this, &CInParamColor::PanelCallback);
    return CInParamPane::Handle(msg);
}

// Font.

CInParamFont::CInParamFont(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key)
    : CInParamPane(upper, owner, unitId, key, false, false) {
    fButton = new CStateButton(this, LStdCtlSpec());
    fControl = fButton;
    UseLayout("INPRMFONT");
}

CInParamFont::~CInParamFont() {
    if (MMachFontPanel* target = UMachPanel::FontTarget())
        if (target->mRef == this) UMachPanel::CloseFontPanel(this, &CInParamFont::PanelCallback);
}

LString CInParamFont::GetValueText() {
    return fButton->GetTitle();
}

void CInParamFont::SetValueText(const LString& text) {
    if (!(fButton->GetTitle() == text)) fButton->SetTitle(text);
}

void CInParamFont::PanelChose(const LString& name) {
    SetValueText(name);
    NotifyChange();
}

void CInParamFont::PanelCallback(void* owner, const SFontDesc* description, int32_t) {
    if (owner && description) static_cast<CInParamFont*>(owner)->PanelChose(description->fontName);
}

LMessage CInParamFont::Handle(const LMessage& msg) {
    if (msg.Is(LStdCtl_Selected) && msg.sender == fButton) {
        SFontDesc description;
        description.fontName = fButton->GetTitle();
        (void)UMachPanel::ChooseFont(false, description, this, &CInParamFont::PanelCallback, false, 0);
        return LMessage();
    }
    if (msg.Is(LPane_Unfocus) && msg.sender == fButton)
        if (MMachFontPanel* target = UMachPanel::FontTarget())
            if (target->mRef == this) UMachPanel::CloseFontPanel(this, &CInParamFont::PanelCallback);
    return CInParamPane::Handle(msg);
}

// String selection.

CInParamStrSel::CInParamStrSel(LHandler* upper, LPane* owner, uint32_t unitId, const LString& key,
                               uint32_t lines)
    : CInParamPane(upper, owner, unitId, key, true, true), fLines(lines) {
    fSlot = new CTextSlot(this, 0);
    fSlot->SetAlignment(lines >= 2 ? LTextBox::kLeft : LTextBox::kCenter);
    fControl = fSlot;
    UseLayout("INPRMINDEX");
}

CInParamStrSel::~CInParamStrSel() = default;

LString CInParamStrSel::GetValueText() {
    return fSlot->Text();
}

void CInParamStrSel::SetValueText(const LString& text) {
    (void)fSlot->SetText(text);
}

void CInParamStrSel::SetStrings(std::vector<LString> strings) {
    fStrings = std::move(strings);
}

LMenu* CInParamStrSel::RebuildMenu() {
    const LString current = fSlot->Text();
    std::vector<LString> items;
    const bool listed = std::find(fStrings.begin(), fStrings.end(), current) != fStrings.end();
    if (!listed && !current.IsEmpty()) items = {LString(), LString()};
    items.insert(items.end(), fStrings.begin(), fStrings.end());
    fMenu = MakeMenu(items, kModeCommand);
    for (LMenuItem* item = fMenu->FirstItem(); item; item = fMenu->NextItem(item))
        item->SetMarked(item->HasCommands() && item->Text() == current);
    return fMenu.get();
}

void CInParamStrSel::Choose(const LString& text) {
    if (text == fSlot->Text()) return;
    (void)fSlot->SetText(text);
    NotifyChange();
}

LMessage CInParamStrSel::Handle(const LMessage& msg) {
    if (LMessage answer; ReadyOwnMenu(msg, fMenu.get(), fSlot, &answer)) return answer;
    if (msg.Is(CTextSlot_Click) && msg.sender == fSlot) {
        LHandlerWatch self(this);
        Dispatch(LMessage(CInParamPane_strsel_Reveal, this, Upper()));
        if (self.IsGone()) return LMessage();
        LMenuItem* chosen = PopUnder(this, fSlot, RebuildMenu());
        if (chosen && chosen->HasCommands()) Choose(chosen->Text());
        return LMessage();
    }
    return CInParamPane::Handle(msg);
}
