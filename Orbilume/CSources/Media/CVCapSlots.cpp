#include "Orbilume/CSources/Media/CVCapSlots.h"

#include <string>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/SRecordEvent.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Engine/USize.h"
#include "Orbilume/CSources/Media/CVideoCapture.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Media/CaptureRegistry.h"

namespace {

CVCapSlots* gSlots = nullptr;
constexpr char kImageIn[] = "obprivate_ImageIn";

}  // namespace

// ---- CVCapDevRelay

CVCapDevRelay::CVCapDevRelay(LHandler* upper) : LHandler(upper), fNote(this) {}

LMessage CVCapDevRelay::Handle(const LMessage& msg) {
    if (msg.sender == &fNote && (msg.Is(CMacAVDevNote_Add) || msg.Is(CMacAVDevNote_Rmv)))
        return LMessage(CObVCapNote_Change, this, Upper());
    return LHandler::Handle(msg);
}

// ---- CVCapSlot

CVCapSlot::~CVCapSlot() {
    Bind(nullptr);
}

void CVCapSlot::Bind(CVCapSource* source) {
    if (source == fSource) return;
    if (fUseCount > 0) {
        if (fSource) fSource->Stop();
        if (source) source->Start();
    }
    if (source) source->Retain();
    CVCapSource* old;
    {
        std::lock_guard<std::mutex> lock(fSourceLock);
        old = fSource;
        fSource = source;
    }
    // No render thread uses the old source any more.
    if (old) old->Release();
}

void CVCapSlot::Use() {
    if (++fUseCount == 1 && fSource) fSource->Start();
}

void CVCapSlot::Unuse() {
    if (fUseCount == 0) return;
    if (--fUseCount == 0 && fSource) fSource->Stop();
}

uint32_t CVCapSlot::GetFrameInfo(uint32_t& width, uint32_t& height) {
    std::lock_guard<std::mutex> lock(fSourceLock);
    if (!fSource) {
        width = height = 0;
        return 0;
    }
    return fSource->GetFrameInfo(width, height);
}

void CVCapSlot::DrawFrame(plat::GLTexture* texture) {
    std::lock_guard<std::mutex> lock(fSourceLock);
    if (fSource) fSource->DrawFrame(texture);
}

// ---- CVCapSlots

CVCapSlots::CVCapSlots(uint32_t count, CAppPrefs* prefs, plat::CaptureRegistry* registry)
    : LHandler(nullptr),
      fPrefs(prefs ? prefs : CAppPrefs::Get()),
      fRegistry(registry ? registry : &plat::CaptureRegistry::Default()),
      fRebindTimer(this),
      fRelay(this) {
    for (uint32_t i = 0; i < count; ++i) fSlots.push_back(std::make_unique<CVCapSlot>());
    gSlots = this;
    Rebind();
    if (fPrefs) (void)fPrefs->AddObserver(this, &Observe);
}

CVCapSlots::~CVCapSlots() {
    if (fPrefs) (void)fPrefs->RemoveObserver(this, &Observe);
    for (size_t i = fSlots.size(); i-- > 0;) {
        fSlots[i]->Bind(nullptr);
        fSlots[i].reset();
    }
    if (gSlots == this) gSlots = nullptr;
}

CVCapSlots* CVCapSlots::Get() {
    return gSlots;
}

CVCapSlot* CVCapSlots::GetSlot(uint32_t index) const {
    return index < fSlots.size() ? fSlots[index].get() : nullptr;
}

LMessage CVCapSlots::Handle(const LMessage& msg) {
    if (msg.sender == &fRelay && msg.Is(CObVCapNote_Change)) {
        fRebindTimer.StartOnce(0, 0);
        return LMessage();
    }
    if (msg.sender == &fRebindTimer && msg.Is(LTimer_Expire)) {
        Rebind();
        return LMessage();
    }
    return LHandler::Handle(msg);
}

void CVCapSlots::Observe(void* self, const SRecordEvent* event) {
    auto* slots = static_cast<CVCapSlots*>(self);
    CRecord* root = slots->fPrefs ? slots->fPrefs->Root() : nullptr;
    CRecord* r = event ? event->record.Get() : nullptr;
    if (!root || !r) return;
    bool inSlots = r == root && event->field == CAppPrefs::kPrefVideoSlots;
    for (; !inSlots && r && r != root; r = r->Parent())
        if (r->Parent() == root) inSlots = r->FieldInParent() == CAppPrefs::kPrefVideoSlots;
    if (inSlots) slots->fRebindTimer.StartOnce(0, 0);
}

LString CVCapSlots::WantedName(uint32_t index) const {
    CRecord* root = fPrefs ? fPrefs->Root() : nullptr;
    if (!root) return LString();
    CRecord* set = root->GetSubRecord(CAppPrefs::kPrefVideoSlots);
    if (!set) return LString();
    CRecord* slot = CParamSet::GetSubSet(CRecordRef(&set), LString(std::to_string(index).c_str()));
    LString name;
    if (!slot || CParamSet::Find(CRecordRef(&slot), LString("name"), &name) < 0) return LString();
    return name;
}

void CVCapSlots::Rebind() {
    ++fRebinds;
    for (uint32_t i = 0; i < fSlots.size(); ++i) {
        CVCapSlot& slot = *fSlots[i];
        const LString name = WantedName(i);
        if (name.IsEmpty()) {
            slot.Bind(nullptr);
            continue;
        }
        CVCapSource* current = slot.source();
        if (current && current->name() == name && current->IsOpen()) continue;
        // Another slot's open source of that name is shared.
        CVCapSource* shared = nullptr;
        for (CVCapSource* s = fSources.first(); s; s = s->next())
            if (s->name() == name && s->IsOpen()) {
                shared = s;
                break;
            }
        if (shared) {
            slot.Bind(shared);
            continue;
        }
        CVideoCapture* opened = CVideoCapture::OpenCapture(&fSources, name, *fRegistry);
        if (opened) {
            slot.Bind(opened);
            opened->Release();
        } else if (!current || current->name() != name) {
            // A device that went away stays bound (its last frame shows) until it opens again.
            slot.Bind(nullptr);
        }
    }
}

// ---- CVCapLink

CVCapLink::CVCapLink() : fSwitchSignal(this, &Switch) {}

CVCapLink::~CVCapLink() {
    if (CVCapSlot* slot = fBound.load()) slot->Unuse();
}

void CVCapLink::SetSource(CVCapSlot* slot) {
    if (fBound.load() == slot) return;
    fWanted = slot;
    fSwitchSignal.Signal();
}

void CVCapLink::Switch(void* self) {
    auto* link = static_cast<CVCapLink*>(self);
    if (CVCapSlot* old = link->fBound.load()) old->Unuse();
    link->fLastSerial = 0;
    link->fStarted = false;
    link->fBound.store(link->fWanted);
    if (link->fWanted) link->fWanted->Use();
}

int CVCapLink::Update(MQcRenderer_* renderer) {
    if (!renderer) return 0;
    int changed = 0;
    if (!fStarted.exchange(true)) {
        renderer->SetImage(kImageIn, nullptr);
        changed = 1;
    }
    CVCapSlot* slot = fBound.load();
    if (!slot) return changed;
    uint32_t width = 0, height = 0;
    const uint32_t serial = slot->GetFrameInfo(width, height);
    if (serial == fLastSerial.load()) return changed;
    fLastSerial = serial;
    plat::Ref<plat::GLTextureImage> image;
    if (serial != 0 && renderer->Target()) {
        const bool stretch = renderer->GetInputUInt(LString("Stretch")) != 0;
        const USize fitted = USize::AspectFit(
            USize{int32_t(width), int32_t(height)},
            USize{int32_t(renderer->TargetWidth()), int32_t(renderer->TargetHeight())}, stretch);
        // The texture is made and wrapped in the renderer's share group; the capture draws into it
        // on its own context.
        COpenGLScope_Cca scope(renderer->Target()->context());
        fTarget.SetSize(uint32_t(fitted.width), uint32_t(fitted.height));
        plat::Ref<plat::GLTexture> texture = fTarget.Get();
        if (texture) {
            slot->DrawFrame(texture.get());
            image = plat::GLTextureImage::CreateFromTexture(texture.get(), uint32_t(fitted.width),
                                                            uint32_t(fitted.height));
        }
    }
    renderer->SetImage(kImageIn, image.get());
    return 1;
}
