#include "Orbilume/CSources/Engine/DriveMediaIn.h"

#include <mutex>

#include "Common/OpenGL/COpenGLFBOTarget.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Orbilume/CSources/Engine/CMediaCache.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"
#include "Platform/Composer/BufferImage.h"
#include "Platform/Composer/GLTextureImage.h"
#include "Platform/Video/GLTextureCache.h"
#include "Platform/Video/PixelBuffer.h"

namespace {

const LString kImageIn("obprivate_ImageIn");
const LString kTimeMon("obprivate_TimeMon");
const LString kRemainMon("obprivate_RemainMon");
const LString kDurationIn("obprivate_DurationIn");
const LString kMediaIn("obprivate_MediaIn");
const LString kStretch("Stretch");
const LString kScene("obprivate_Scene");
const LString kFader("obprivate_Fader");
const LString kStart("Start");
const LString kEnd("End");
const LString kLoop("Loop");
const LString kRate("Rate");
const LString kVolume("Volume");
const LString kTime("Time");
const LString kRemain("Remain");
const LString kTurn("Turn");
const LString kTilt("Tilt");
const LString kX("X");
const LString kY("Y");
const LString kZ("Z");

int32_t DriveImage(CMediaEntry& entry, MQcRenderer_* renderer, bool force, bool setup, uint32_t width,
                   uint32_t height) {
    CImageSource& source = entry.imageSource;
    if (renderer->NeedsRender()) source.SetBox(width, height, renderer->GetInputUInt(kStretch) != 0);
    if (setup) {
        renderer->SetNumber(kMediaIn, 1);
        return 0;
    }
    plat::Ref<plat::Image> image;
    const bool changed = source.GetImage(image);
    if (!image && !(changed && force)) return 0;
    PushImage(renderer, image.get());
    return 1;
}

int32_t DriveMovie(CMediaEntry& entry, MQcRenderer_* renderer, bool force, bool setup) {
    CMovieSource& source = entry.movieSource;
    if (renderer->NeedsRender()) {
        source.SetScene(renderer->GetInputUInt(kScene));
        source.SetFader(renderer->GetInputFloat(kFader));
        source.SetStartText(renderer->GetInputString(kStart));
        source.SetEndText(renderer->GetInputString(kEnd));
        const uint32_t loop = renderer->GetInputUInt(kLoop);
        source.SetLoop(loop == 1);
        source.SetSync(loop == 2);
        source.SetRate(renderer->GetInputFloat(kRate));
        source.SetVolume(renderer->GetInputFloat(kVolume));
        source.SetTime(renderer->GetInputFloat(kTime));
        source.SetRemain(renderer->GetInputFloat(kRemain));
    }
    if (setup) {
        renderer->SetNumber(kDurationIn, source.GetDuration());
        renderer->SetNumber(kMediaIn,
                            static_cast<float>((source.HasVideo() ? 1 : 0) + (source.HasAudio() ? 2 : 0)));
        return 0;
    }
    bool jumped = false;
    plat::Ref<plat::PixelBuffer> frame = source.Update(jumped);
    if (!frame && source.HasVideo() && !(jumped && force)) return 0;
    plat::Ref<plat::BufferImage> image;
    if (frame) image = plat::BufferImage::CreateFromPixelBuffer(frame.get());
    PushImage(renderer, image.get());
    const float time = source.GetTime();
    renderer->SetNumber(kTimeMon, time);
    renderer->SetNumber(kRemainMon, source.RangeEnd() - time);
    return 1;
}

int32_t DriveModel(CMediaEntry& entry, MQcRenderer_* renderer, bool force, bool setup, uint32_t width,
                   uint32_t height) {
    CModelView& view = entry.modelView;
    if (renderer->NeedsRender()) {
        view.SetSize(width, height);
        view.SetPlaying(renderer->GetInputFloat(kFader) > 0);
        view.SetTurn(renderer->GetInputFloat(kTurn));
        view.Invalidate();
        view.SetTilt(renderer->GetInputFloat(kTilt));
        view.Invalidate();
        view.SetPosition(renderer->GetInputFloat(kX), renderer->GetInputFloat(kY),
                         renderer->GetInputFloat(kZ));
        view.Invalidate();
    }
    if (setup) {
        renderer->SetNumber(kDurationIn, view.Duration());
        renderer->SetNumber(kMediaIn, 4);
        return 0;
    }
    bool changed = false;
    plat::Ref<plat::GLTexture> picture = view.Render(changed);
    if (!changed && !force) return 0;
    plat::Ref<plat::GLTextureImage> image;
    // The image joins the share group of the composition's context.
    if (picture && renderer->Target()) {
        COpenGLScope_Cca scope(renderer->Target()->context());
        image = plat::GLTextureImage::CreateFromTexture(picture.get(), view.width(), view.height());
    }
    PushImage(renderer, image.get());
    return 1;
}

}  // namespace

void PushImage(MQcRenderer_* renderer, const plat::Image* image) {
    renderer->SetImage(kImageIn, image);
}

int32_t DriveMediaIn(CMediaCache* cache, uint32_t id, MQcRenderer_* renderer, bool force, bool setup,
                     uint32_t width, uint32_t height) {
    if (!cache || !renderer) return 0;
    std::lock_guard<std::mutex> lock(cache->Lock());
    CMediaEntry* entry = cache->FindEntry(id);
    if (!entry) return 0;
    if (entry->imageSource.HasImage()) return DriveImage(*entry, renderer, force, setup, width, height);
    if (entry->movieSource.Movie()) return DriveMovie(*entry, renderer, force, setup);
    if (entry->modelView.model()) return DriveModel(*entry, renderer, force, setup, width, height);
    // Nothing loaded: clear the picture once.
    if (entry->shown) return 0;
    entry->shown = true;
    PushImage(renderer, nullptr);
    return 1;
}
