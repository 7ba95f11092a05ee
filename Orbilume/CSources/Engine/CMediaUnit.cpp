#include "Orbilume/CSources/Engine/CMediaUnit.h"

#include <algorithm>
#include <string>

#include "Common/OpenGL/CGLTexTarget.h"
#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Lib3/LSources/Fs/CMacFileU.h"
#include "Orbilume/CSources/Document/CAppPrefs.h"
#include "Orbilume/CSources/Document/CDocModelHolder.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"
#include "Orbilume/CSources/Engine/DriveMediaIn.h"
#include "Orbilume/CSources/Engine/SFrameInfo.h"
#include "Orbilume/CSources/Engine/UClipName.h"
#include "Orbilume/CSources/Media/CVCapSlots.h"
#include "Orbilume/CSources/QCx/CQcPortDesc.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Video/GLTextureCache.h"

namespace {

using T = CDocModelTypes;

constexpr char kImageIn[] = "obprivate_ImageIn";
constexpr char kTapOut[] = "obprivate_Tap";
constexpr char kMediaOut[] = "obprivate_Media";
constexpr char kDurationOut[] = "obprivate_Duration";

bool PrefOn(uint32_t field) {
    CAppPrefs* prefs = CAppPrefs::Get();
    return prefs && prefs->Root() && prefs->Root()->GetUInt(field) != 0;
}

}  // namespace

CMediaUnit::CMediaUnit(CUnitHost* host, uint32_t depth) : CChainUnit(nullptr, kMedia, depth), fHost(host) {
    for (uint32_t i = 0; i < kSlotCount; ++i)
        InitSlot(fSlots[i], host ? host->InternalComposition(i) : nullptr);
}

CMediaUnit::~CMediaUnit() {
    if (fHost && fClip == ".mixbuffer") {
        std::lock_guard<std::recursive_mutex> lock(fHost->FrameLock());
        fHost->AddReadBackUsers(-1);
    }
    fChain.clear();
    // The unit's renderer is one of the slots'; drop it before the slots go.
    Clear();
    for (SCompoSlot& slot : fSlots) slot.renderer = nullptr;
}

void CMediaUnit::InitSlot(SCompoSlot& slot, MQcComposition_* composition) {
    COpenGLFBOTarget* shared = fHost ? fHost->SharedTarget() : nullptr;
    if (!composition || !shared) return;
    slot.renderer = MQcRenderer_::CreateShared(composition, shared);
    if (!slot.renderer) return;
    CStrArray keys;
    MQcComposition_::InputKeys(composition, keys);
    for (uint32_t i = 0; i < keys.Count(); ++i) {
        CQcPortDesc desc;
        if (!MQcComposition_::ReadPortDesc(composition, keys[i], desc)) continue;
        SSavedInput in;
        in.kind = desc.kind;
        in.key = keys[i];
        if (desc.kind >= 1 && desc.kind <= 3) in.number = slot.renderer->GetInputFloat(keys[i]);
        if (desc.kind == 4) in.text = slot.renderer->GetInputString(keys[i]);
        if (desc.kind == 5) (void)slot.renderer->GetInputColor(keys[i], in.color);
        slot.saved.push_back(std::move(in));
    }
}

void CMediaUnit::RestoreSlot(SCompoSlot& slot) {
    if (!slot.renderer) return;
    static const float kZeros[16] = {};
    for (const SSavedInput& in : slot.saved) {
        switch (in.kind) {
            case 1:
            case 2:
            case 3:
                slot.renderer->SetNumber(in.key, in.number);
                break;
            case 4:
                slot.renderer->SetString(in.key, in.text);
                break;
            case 5:
                slot.renderer->SetColor(in.key, in.color[0], in.color[1], in.color[2], in.color[3]);
                break;
            case 6:
                slot.renderer->SetImage(in.key, nullptr);
                break;
            case 7:
                slot.renderer->SetStructure(in.key, kZeros);
                break;
            default:
                break;
        }
    }
}

void CMediaUnit::Deselect() {
    fVideoSource = -1;
    if (fCurrent < kSlotCount) RestoreSlot(fSlots[fCurrent]);
    fCurrent = kSlotCount;
}

void CMediaUnit::SelectSlot(uint32_t slot, uint32_t width, uint32_t height) {
    Deselect();
    fCurrent = slot;
    MQcRenderer_* renderer = fSlots[slot].renderer.get();
    if (!renderer) {
        BuildParams(nullptr, fHost, 6);
        return;
    }
    BuildParams(MQcRenderer_::Composition(renderer), fHost, 6);
    fRenderer = plat::RetainRef(renderer);
    fWidth = fHeight = 0;
    ResizeTo(width, height, true);
}

void CMediaUnit::ResizeTo(uint32_t width, uint32_t height, bool) {
    // The slot renderers stay on the shared target: only the chain gets renderers of its own.
    for (const auto& c : fChain) c->Prepare(width, height, fHost, false);
    CChainUnit::Resize(width, height);
    // The file composition learns what kind of medium it shows.
    if (fCurrent == kFileSlot && fRenderer)
        (void)DriveMediaIn(fHost ? fHost->MediaCache() : nullptr, fId, fRenderer.get(), false, true, width,
                           height);
}

void CMediaUnit::LoadClip(CUnitHost* host, const LString& clip, CRecord* record) {
    if (host) fHost = host;
    uint32_t w = 0, h = 0;
    if (fHost) fHost->OutputSize(w, h);
    if (static_cast<int32_t>(w) < 1 || static_cast<int32_t>(h) < 1) w = h = 32;
    if (fClip == ".mixbuffer" && fHost) fHost->AddReadBackUsers(-1);
    CMediaCache* cache = fHost ? fHost->MediaCache() : nullptr;
    if (cache) (void)cache->SetMedia(fId, LFsSpec());
    fClip = clip;
    const SClipKind kind = ClassifyClip(clip);
    if (fVideoLink && kind.kind != SClipKind::kVideoInput) fVideoLink->SetSource(nullptr);
    switch (kind.kind) {
        case SClipKind::kColorFill:
            SelectSlot(kColorFillSlot, w, h);
            break;
        case SClipKind::kMixBuffer:
            if (fHost) fHost->AddReadBackUsers(1);
            SelectSlot(kMixBufferSlot, w, h);
            break;
        case SClipKind::kVideoInput:
            SelectSlot(kVideoInputSlot, w, h);
            // Without capture slots the composition shows its default image; out-of-range slots bind nothing.
            fVideoSource = kind.videoSlot >= 0 && kind.videoSlot < kVideoSlots ? kind.videoSlot : -1;
            if (!fVideoLink) fVideoLink = std::make_unique<CVCapLink>();
            fVideoLink->SetSource(CVCapSlots::Get() && fVideoSource >= 0
                                      ? CVCapSlots::Get()->GetSlot(uint32_t(fVideoSource))
                                      : nullptr);
            break;
        case SClipKind::kLocalTap:
            SelectSlot(kLocalTapSlot, w, h);
            break;
        case SClipKind::kFile: {
            CDocModelHolder* document = fHost ? fHost->Document() : nullptr;
            const LFsSpec path =
                document ? document->ResolveStoredPath(clip) : CMacFileU::LFsSpecFromPath(clip);
            const uint32_t id = record ? record->GetUInt(T::kUnitId) : fId;
            if (cache && cache->SetMedia(id, path) == 0) return;
            SelectSlot(kFileSlot, w, h);
            if (fRenderer) (void)fRenderer->RenderAtTime(0);
            ApplyMediaKind();
            break;
        }
    }
    if (!record) return;
    LoadTreeFromRecord(nullptr, record, fHost);
    if (cache) cache->AddEntry(fId);
    SetChanged(true);
    if (fHost) fHost->Signal();
    CRecord* held = record;
    (void)CRecordRef(&held).SetByte(nullptr, T::kUnitRun1, record->Slot(T::kUnitRun1).u8 ? 0 : 1);
}

void CMediaUnit::ApplyMediaKind() {
    if (!fRenderer) return;
    const uint32_t flags = fRenderer->GetOutputUInt(kMediaOut);
    if (!(flags & 1)) RemoveParamGroup("lumetra.imageparams");
    if (!(flags & 2)) {
        RemoveParamGroup("lumetra.audioparams");
        if (fRenderer->GetOutputFloat(kDurationOut) < 0.1f) {
            RemoveParamGroup("lumetra.movieparams");
            fFaderPort = false;
            fRenderer->ClearTimed();
        }
    }
    RemoveParamGroup((flags & 4) ? "lumetra.movieparams" : "lumetra.3dparams");
    if (!PrefOn(CAppPrefs::kPrefMovieTimeMon)) RemoveParamGroup("lumetra.mvmonparams");
    if (!PrefOn(CAppPrefs::kPrefMovieTimeRem)) RemoveParamGroup("lumetra.rmmonparams");
}

bool CMediaUnit::Render(double time) {
    if (!fRenderer) return false;
    if (fCurrent == kFileSlot) {
        CMediaCache* cache = fHost ? fHost->MediaCache() : nullptr;
        (void)DriveMediaIn(cache, fId, fRenderer.get(), fIdle, false, fWidth, fHeight);
    }
    return fRenderer->RenderAtTime(time);
}

bool CMediaUnit::EvaluateMedia(SFrameInfo& info, CUnit*& out) {
    if (fRenderer && fCurrent == kVideoInputSlot && fVideoLink) (void)fVideoLink->Update(fRenderer.get());
    if (fRenderer && fClip == ".mixbuffer") {
        SMixFeed* feed = info.mixFeed;
        CGLTexTarget* mix = feed ? feed->target : nullptr;
        if (mix && mix->texture()) {
            if (!feed->copied) {
                if (!feed->cleared) mix->Clear();
                mix->CopyToPixelBuffer();
                feed->copied = 1;
            }
            plat::Ref<plat::GLTexture> texture = mix->CopyPixelBufferTexture();
            plat::Ref<plat::GLTextureImage> image;
            if (texture && fRenderer->Target()) {
                COpenGLScope_Cca scope(fRenderer->Target()->context());
                image = plat::GLTextureImage::CreateFromTexture(texture.get(), mix->width(), mix->height());
            }
            fRenderer->SetImage(kImageIn, image.get());
        } else {
            fRenderer->SetImage(kImageIn, nullptr);
        }
    } else if (fRenderer && fClip == ".localtap") {
        CUnit* tap = info.tapSlot ? *info.tapSlot : nullptr;
        if (tap && tap->renderer()) {
            (void)tap->renderer()->RenderAtTime(info.time);
            (void)MQcRenderer_::PassImage(fRenderer.get(), kImageIn, tap->renderer(), kTapOut, true);
        } else {
            fRenderer->SetImage(kImageIn, nullptr);
        }
    }
    const bool r = Evaluate(info, out);
    if (r) {
        SetChanged(true);
        if (fHost) fHost->Signal();
    }
    fIdle = false;
    return r;
}
