#include "Orbilume/CSources/Led/CDIMDefSel.h"

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"
#include "Orbilume/CSources/Led/CDimDefLibrary.h"
#include "Platform/Foundation/Check.h"

CDIMDefSel::CDIMDefSel(LPane* owner, CDimDefLibrary* library) : CTextSlot(owner, 0), fLibrary(library) {}

namespace {

// True when the menu holds an enabled item (the submenu's opener stays disabled without one).
bool Ready(LMenu* menu, const LString& text) {
    bool any = false;
    for (LMenuItem* i = menu->FirstItem(); i; i = menu->NextItem(i)) {
        if (i->Submenu()) {
            if (Ready(i->Submenu(), text)) {
                i->SetEnabled(true);
                any = true;
            }
            continue;
        }
        if (!i->HasCommand(CDimDefLibrary::kCommand)) continue;
        i->SetEnabled(true);
        any = true;
        if (!text.IsEmpty() && i->Text() == text) i->SetMarked(true);
    }
    return any;
}

}  // namespace

void CDIMDefSel::PrepareMenu(LMenu* menu) const {
    if (!menu) return;
    menu->ResetItemStates();
    (void)Ready(menu, Text());
}

LMenuItem* CDIMDefSel::PopUp(LMenu* menu) {
    return LMenu::PopupContextMenu(this, menu, false);
}

void CDIMDefSel::Choose() {
    PLAT_DCHECK_MAIN_THREAD();
    LMenu* menu = fLibrary ? fLibrary->GetMenu() : nullptr;
    if (!menu) return;
    PrepareMenu(menu);
    LHandlerWatch watch(this);
    LMenuItem* chosen = PopUp(menu);
    if (watch.IsGone() || !chosen) return;
    SetText(chosen->Text());
    Dispatch(LMessage(CDIMDefSel_Changed, this, Upper()));
}

LMessage CDIMDefSel::Handle(const LMessage& msg) {
    if (msg.Is(CTextSlot_Click) && msg.sender == this) {
        Choose();
        return LMessage();
    }
    const LMessage answer = CTextSlot::Handle(msg);
    if (answer.Is(CTextSlot_Click) && answer.sender == this) {
        Choose();
        return LMessage();
    }
    return answer;
}
