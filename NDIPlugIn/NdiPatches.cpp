#include "NDIPlugIn/NdiPatches.h"

#include <epoxy/gl.h>

#include <cstring>
#include <vector>

#include "NDIPlugIn/NdiTextureOutput.h"
#include "Specific/PlugInSupport/PlugInContextScope.h"

namespace {

const char* StringOr(const char* s) {
    return s ? s : "";
}

plat::PlugInPortDescription Port(const char* key, plat::PlugInPortType type, bool output, const char* name) {
    plat::PlugInPortDescription d;
    d.key = key;
    d.type = type;
    d.output = output;
    d.attributes.name = name;
    return d;
}

}  // namespace

NDIFindPlugIn::NDIFindPlugIn() : fLib(CNdiLib::Open()) {
    if (!fLib) return;
    fFind = std::make_unique<CNdiFind>(*fLib);
    if (!fFind->HasInstance()) fFind.reset();
}

bool NDIFindPlugIn::Execute(plat::PlugInContext&, double, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    if (!fFind) return true;
    uint32_t count = 0;
    const NDIlib_source_t* sources = fFind->GetSrcs(count);
    // Once every source is gone the list empties rather than keeping stale names.
    if (count == 0 && fPublished && fLastCount == 0) return true;
    plat::PlugInStructure names;
    for (uint32_t i = 0; i < count; ++i)
        names.Append(plat::PlugInValue::String(StringOr(sources[i].p_ndi_name)));
    ports.SetStructureOutput("outputNames", &names);
    fPublished = true;
    fLastCount = count;
    return true;
}

NDISendPlugIn::NDISendPlugIn() : fLib(CNdiLib::Open()) {}

bool NDISendPlugIn::Execute(plat::PlugInContext&, double, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    if (!fLib) return true;
    const std::string name = StringOr(ports.StringInput("inputName"));
    const auto now = NdiRetry::Clock::now();
    const bool retry = fRetry.ShouldCreate(name, fSend != nullptr, now);
    if (!ports.InputChanged("inputImage") && !ports.InputChanged("inputName") && !retry) return true;
    if (retry) {
        fSend.reset();
        auto send = std::make_unique<CNdiSend>(*fLib, name.c_str());
        if (send->HasInstance()) fSend = std::move(send);
        fRetry.Tried(name, now);
    }
    plat::PlugInImageSource* image = ports.ImageInput("inputImage");
    if (!fSend || !image) return true;
    plat::PlugInBufferInfo buffer;
    if (!image->LockBuffer(buffer)) return true;
    if (buffer.address && buffer.width > 0 && buffer.height > 0 &&
        buffer.bytesPerRow >= size_t(buffer.width) * 4 && buffer.bytesPerRow <= size_t(INT32_MAX)) {
        NDIlib_video_frame_v2_t frame{};
        frame.xres = int(buffer.width);
        frame.yres = int(buffer.height);
        frame.FourCC = ndi::kFourCCBGRA;
        frame.frame_rate_N = 30000;
        frame.frame_rate_D = 1000;
        frame.picture_aspect_ratio = 0;
        frame.frame_format_type = ndi::kFrameFormatProgressive;
        frame.timecode = ndi::kTimecodeSynthesize;
        frame.p_data = static_cast<uint8_t*>(const_cast<void*>(buffer.address));
        frame.line_stride_in_bytes = int(buffer.bytesPerRow);
        fSend->Send(frame);
    }
    image->UnlockBuffer();
    return true;
}

NDIRcvPlugIn::NDIRcvPlugIn() : fLib(CNdiLib::Open()), fPool(GL_TEXTURE_RECTANGLE) {}

bool NDIRcvPlugIn::Start(plat::PlugInContext& context) {
    // Without a context frames are received and dropped; the patch still runs.
    if (fLib) (void)fContext.Create(context);
    return true;
}

void NDIRcvPlugIn::Stop(plat::PlugInContext& context) {
    if (fContext.Get()) {
        plugin::PlugInContextScope scope(context, fContext.Get());
        if (scope.Ok()) fPool.Purge();
    }
    fContext.Destroy(context);
}

plugin::PlugInTextureRef NDIRcvPlugIn::Upload(plat::PlugInContext& context,
                                              const NDIlib_video_frame_v2_t& f) {
    if (!fContext.Get()) return {};
    plugin::PlugInContextScope scope(context, fContext.Get());
    if (!scope.Ok()) return {};
    // Textures of another size go back to GL here: a new size starts a new set.
    plugin::PlugInTextureRef texture = fPool.Acquire(uint32_t(f.xres), uint32_t(f.yres));
    if (!texture) return {};
    GLint previous = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE, &previous);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, f.line_stride_in_bytes / 4);
    glBindBuffer(GL_PIXEL_UNPACK_BUFFER, 0);
    glBindTexture(GL_TEXTURE_RECTANGLE, texture.Get()->Name());
    // BGRX frames carry no alpha: shown opaque.
    glTexParameteri(GL_TEXTURE_RECTANGLE, GL_TEXTURE_SWIZZLE_A,
                    f.FourCC == ndi::kFourCCBGRX ? GL_ONE : GL_ALPHA);
    glTexSubImage2D(GL_TEXTURE_RECTANGLE, 0, 0, 0, f.xres, f.yres, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                    f.p_data);
    glBindTexture(GL_TEXTURE_RECTANGLE, GLuint(previous));
    glPopClientAttrib();
    // The renderer's context reads it next, maybe on another thread.
    glFinish();
    return texture;
}

bool NdiFrameUsable(const NDIlib_video_frame_v2_t& f) {
    if (f.FourCC != ndi::kFourCCBGRA && f.FourCC != ndi::kFourCCBGRX) return false;
    if (!f.p_data || f.xres <= 0 || f.yres <= 0 || f.xres > NDIRcvPlugIn::kMaxSide ||
        f.yres > NDIRcvPlugIn::kMaxSide)
        return false;
    return int64_t(f.line_stride_in_bytes) >= int64_t(f.xres) * 4;
}

bool NDIRcvPlugIn::Execute(plat::PlugInContext& context, double, plat::PlugInPorts& ports,
                           const plat::PlugInStructure&) {
    if (!fLib) return true;
    const std::string name = StringOr(ports.StringInput("inputName"));
    const auto now = NdiRetry::Clock::now();
    if (fRetry.ShouldCreate(name, fRcv != nullptr, now)) {
        const bool changed = fRetry.NameChanged(name);
        fRcv.reset();
        auto rcv = std::make_unique<CNdiRcv>(*fLib, name.c_str());
        if (rcv->HasInstance()) fRcv = std::move(rcv);
        fRetry.Tried(name, now);
        if (changed) ports.SetImageOutput("outputImage", nullptr);
    }
    if (!fRcv) return true;
    NDIlib_video_frame_v2_t frame{};
    frame.FourCC = ndi::kFourCCUYVY;
    frame.frame_rate_N = 30000;
    frame.frame_rate_D = 1001;
    frame.frame_format_type = ndi::kFrameFormatProgressive;
    frame.timecode = ndi::kTimecodeSynthesize;
    if (!fRcv->Rcv(frame)) return true;
    // Frames of another format, without data or with a short stride are skipped: the previous image stays.
    if (NdiFrameUsable(frame)) {
        if (plugin::PlugInTextureRef texture = Upload(context, frame))
            ports.SetImageOutput("outputImage", std::make_unique<NdiTextureOutput>(std::move(texture)));
    }
    fRcv->Free(frame);
    return true;
}

bool RegisterNdiPatches(plat::PlugInRegistrar& registrar) {
    using plat::PlugInExecutionMode;
    using plat::PlugInPortType;
    using plat::PlugInTimeMode;
    bool ok = registrar.RegisterPatchClass(std::make_unique<NdiPatchClass<NDIFindPlugIn>>(
        "NDIFind", PlugInExecutionMode::Provider, PlugInTimeMode::Idle,
        std::vector{Port("outputNames", PlugInPortType::Structure, true, "Names")}));
    ok = registrar.RegisterPatchClass(std::make_unique<NdiPatchClass<NDISendPlugIn>>(
             "NDISend", PlugInExecutionMode::Processor, PlugInTimeMode::None,
             std::vector{Port("inputName", PlugInPortType::String, false, "Name"),
                         Port("inputImage", PlugInPortType::Image, false, "Image"),
                         Port("outputDrive", PlugInPortType::Index, true, "Drive")})) &&
         ok;
    // Idle, not none: the runtime runs a provider of time mode none only after an input changed,
    // and frames arrive without one.
    ok = registrar.RegisterPatchClass(std::make_unique<NdiPatchClass<NDIRcvPlugIn>>(
             "NDIRcv", PlugInExecutionMode::Provider, PlugInTimeMode::Idle,
             std::vector{Port("inputName", PlugInPortType::String, false, "Name"),
                         Port("outputImage", PlugInPortType::Image, true, "Image")})) &&
         ok;
    return ok;
}
