#include "Common/ObjC/UMachPanel.h"

#include <cmath>

#include "Platform/AppKit/Application.h"
#include "Platform/AppKit/Backend.h"
#include "Platform/AppKit/ColorPanel.h"
#include "Platform/AppKit/FontManager.h"
#include "Platform/AppKit/FontPanel.h"
#include "Platform/Foundation/Check.h"

namespace {

plat::Ref<MMachColorPanel>& ColorTargetRef() {
    static plat::Ref<MMachColorPanel>* target = new plat::Ref<MMachColorPanel>;
    return *target;
}

plat::Ref<MMachFontPanel>& FontTargetRef() {
    static plat::Ref<MMachFontPanel>* target = new plat::Ref<MMachFontPanel>;
    return *target;
}

unsigned Component(double v) {
    if (!(v > 0)) return 0;
    return v >= 1 ? 255u : unsigned(std::lround(v * 255));
}

}  // namespace

LRGB UMachPanel::ToLRGB(const plat::GfxColor& c) {
    return LRGB(Component(c.red), Component(c.green), Component(c.blue));
}

plat::GfxColor UMachPanel::ToGfxColor(const LRGB& c) {
    return {c.red / 255.0, c.green / 255.0, c.blue / 255.0, 1};
}

MMachColorPanel* UMachPanel::ColorTarget() {
    return ColorTargetRef().get();
}

MMachFontPanel* UMachPanel::FontTarget() {
    return FontTargetRef().get();
}

int32_t UMachPanel::ChooseColor(bool modal, LRGB& colour, void* owner, MMachColorPanel::Callback callback,
                                bool, bool showAlpha) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!plat::CurrentBackend()) return 1;
    plat::Ref<MMachColorPanel>& target = ColorTargetRef();
    if (!target) target = MMachColorPanel::Create();
    target->owner = owner;
    target->callback = callback;
    plat::ColorPanel* panel = plat::ColorPanel::Shared();
    panel->SetShowsAlpha(showAlpha);
    panel->SetContinuous(true);
    panel->SetColor(ToGfxColor(colour));
    panel->SetTarget(target.get());
    panel->SetAction(kChangeColorAction);
    if (!modal) {
        target->modal = false;
        panel->OrderFront();
        return 2;
    }
    target->modal = true;
    plat::Ref<MMachColorPanel> keep = target;
    panel->SetDelegate(keep.get());
    (void)plat::Application::Shared()->RunModalForWindow(panel->PanelWindow());
    panel->SetDelegate(nullptr);
    keep->modal = false;
    CloseColorPanel(owner, callback);
    colour = ToLRGB(panel->Color());
    return 0;
}

void UMachPanel::CloseColorPanel(void* owner, MMachColorPanel::Callback callback) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!plat::ColorPanel::SharedExists()) return;
    plat::Ref<MMachColorPanel>& target = ColorTargetRef();
    if (callback && (!target || target->owner != owner || target->callback != callback)) return;
    plat::ColorPanel* panel = plat::ColorPanel::Shared();
    panel->SetTarget(nullptr);
    if (target && panel->Delegate() == target.get()) panel->SetDelegate(nullptr);
    panel->OrderOut();
    // A modal choice closed from its own callback ends rather than running on with no panel.
    if (target && target->modal) plat::Application::Shared()->StopModal();
    target = nullptr;
}

int32_t UMachPanel::ChooseFont(bool modal, SFontDesc& description, void* owner,
                               MMachFontPanel::Callback callback, bool, uint32_t options) {
    PLAT_DCHECK_MAIN_THREAD();
    if (!plat::CurrentBackend()) return 1;
    plat::Ref<MMachFontPanel>& target = FontTargetRef();
    if (!target) target = MMachFontPanel::Create();
    target->mRef = owner;
    target->mCB = callback;
    const LString& name = description.fontName.IsEmpty() ? description.familyName : description.fontName;
    plat::Ref<plat::Font> font = plat::Font::CreateWithName(name.CStr(), double(description.size));
    target->mFont = font ? font : plat::Font::CreateUser(0);
    target->sizeMode = (options & kSizeOption) ? 1 : 0;
    target->faceMode = (options & kFaceOption) ? 1 : 0;
    target->colorMode = (options & kTextColorOption) ? 1 : 0;
    plat::FontManager::Shared()->SetSelectedFont(target->mFont.get(), false);
    target->BecomeNextResponder();
    plat::FontPanel* panel = plat::FontPanel::Shared();
    // The target hears every close of the panel (it gives the next responder back then).
    panel->SetDelegate(target.get());
    if (!modal) {
        target->mModal = false;
        panel->OrderFront();
        return 2;
    }
    target->mModal = true;
    plat::Ref<MMachFontPanel> keep = target;
    panel->OrderFront();
    (void)plat::Application::Shared()->RunModalForWindow(panel->PanelWindow());
    keep->mModal = false;
    if (keep->mFont) description = MMachFontPanel::Describe(*keep->mFont);
    CloseFontPanel(owner, callback);
    return 0;
}

void UMachPanel::CloseFontPanel(void* owner, MMachFontPanel::Callback callback) {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Ref<MMachFontPanel>& target = FontTargetRef();
    if (!target || target->mRef != owner || target->mCB != callback) return;
    plat::Ref<MMachFontPanel> keep = std::move(target);
    keep->RestoreNextResponder();
    if (plat::FontPanel::SharedExists()) {
        plat::FontPanel* panel = plat::FontPanel::Shared();
        if (panel->Delegate() == keep.get()) panel->SetDelegate(nullptr);
        panel->OrderOut();
    }
    if (keep->mModal) plat::Application::Shared()->StopModal();
}
