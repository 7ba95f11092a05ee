#pragma once

#include <memory>
#include <string>

#include "NDIPlugIn/NdiRetry.h"
#include "Platform/Composer/PlugInInterface.h"
#include "Specific/NDI5/NdiFind.h"
#include "Specific/NDI5/NdiRcv.h"
#include "Specific/NDI5/NdiSend.h"
#include "Specific/PlugInSupport/PlugInSharingContext.h"
#include "Specific/PlugInSupport/PlugInTexturePool.h"

// "NDIFind": the names of the NDI sources seen, as an array (empty when none).
class NDIFindPlugIn final : public plat::PlugInPatch {
public:
    NDIFindPlugIn();
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;

private:
    std::unique_ptr<CNdiLib> fLib;
    std::unique_ptr<CNdiFind> fFind;
    bool fPublished = false;
    size_t fLastCount = 0;
};

// "NDISend": sends its input image as BGRA video under "Name", when an input changed.
class NDISendPlugIn final : public plat::PlugInPatch {
public:
    NDISendPlugIn();
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;

private:
    std::unique_ptr<CNdiLib> fLib;
    std::unique_ptr<CNdiSend> fSend;
    NdiRetry fRetry;
};

// "NDIRcv": the last BGRA or BGRX frame of source "Name" as an image, first row on top, in a pooled
// rectangle texture made in a context of its own sharing the renderer's objects.
class NDIRcvPlugIn final : public plat::PlugInPatch {
public:
    NDIRcvPlugIn();
    bool Start(plat::PlugInContext& context) override;
    bool Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                 const plat::PlugInStructure& arguments) override;
    void Stop(plat::PlugInContext& context) override;
    // Largest frame side accepted.
    static constexpr int kMaxSide = 16384;

private:
    // The frame in a texture of the pool (empty when it cannot be made).
    plugin::PlugInTextureRef Upload(plat::PlugInContext& context, const NDIlib_video_frame_v2_t& frame);

    std::unique_ptr<CNdiLib> fLib;
    std::unique_ptr<CNdiRcv> fRcv;
    NdiRetry fRetry;
    plugin::PlugInSharingContext fContext;
    plugin::PlugInTexturePool fPool;
};

// True when a received frame can be shown: BGRA or BGRX with data, a stride of at least four bytes a
// pixel and sides within kMaxSide.
bool NdiFrameUsable(const NDIlib_video_frame_v2_t& frame);

template <class Patch>
class NdiPatchClass final : public plat::PlugInPatchClass {
public:
    NdiPatchClass(const char* name, plat::PlugInExecutionMode mode, plat::PlugInTimeMode time,
                  std::vector<plat::PlugInPortDescription> ports)
        : fName(name), fMode(mode), fTime(time), fPorts(std::move(ports)) {}
    const char* Name() const override { return fName; }
    plat::PlugInAttributes Attributes() const override { return {fName, fName, "Orbilume"}; }
    std::vector<plat::PlugInPortDescription> Ports() const override { return fPorts; }
    plat::PlugInExecutionMode ExecutionMode() const override { return fMode; }
    plat::PlugInTimeMode TimeMode() const override { return fTime; }
    std::unique_ptr<plat::PlugInPatch> CreatePatch() const override { return std::make_unique<Patch>(); }

private:
    const char* fName;
    plat::PlugInExecutionMode fMode;
    plat::PlugInTimeMode fTime;
    std::vector<plat::PlugInPortDescription> fPorts;
};

// Registers the three patch classes.
bool RegisterNdiPatches(plat::PlugInRegistrar& registrar);
