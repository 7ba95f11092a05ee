#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "Orbilume/CSources/Media/CVCapSource.h"
#include "Platform/Foundation/Object.h"
#include "Platform/Video/PixelBuffer.h"

namespace plat {
class CaptureRegistry;
class CaptureStream;
}  // namespace plat
class COpenGLContext_Cca;
class COpenGLFBO;

// One open capture device: its stream hands the newest BGRA frame over on the stream's thread (only
// the newest is kept, no copy), and DrawFrame scales it into a texture on the capture's own
// offscreen context, which shares objects with the common one.
class CVideoCapture final : public CVCapSource {
public:
    // The first video or muxed device of exactly that name, with one reference for the caller; null
    // when there is none or it cannot be opened.
    static CVideoCapture* OpenCapture(CVCapSourceList* owner, const LString& name);
    static CVideoCapture* OpenCapture(CVCapSourceList* owner, const LString& name,
                                      plat::CaptureRegistry& registry);

    // False once the device went away (it does not come back: a new capture is opened then).
    bool IsOpen() const override;
    // Main thread: the first Start starts the stream, the last Stop stops it.
    void Start() override;
    void Stop() override;
    // Render thread. The serial counts new frames, skipping 0 when it wraps.
    uint32_t GetFrameInfo(uint32_t& width, uint32_t& height) override;
    void DrawFrame(plat::GLTexture* texture) override;

    uint32_t runCount() const { return mRunCount; }
    // The capture's own context (where DrawFrame draws).
    COpenGLContext_Cca& context() const { return *mContext; }
    // Tests: the serial goes on from this value.
    void SetSerialForTest(uint32_t serial);

private:
    CVideoCapture(CVCapSourceList* owner, const LString& name);
    ~CVideoCapture() override;
    void Arrived(plat::Ref<plat::PixelBuffer> frame);

    std::mutex mFrameLock;
    plat::Ref<plat::PixelBuffer> mLatest;  // mFrameLock
    uint32_t mSerial = 0;                  // mFrameLock
    bool mNewFrame = false;                // mFrameLock
    std::unique_ptr<plat::CaptureStream> mStream;
    std::atomic<bool> mGone{false};
    uint32_t mRunCount = 0;
    std::unique_ptr<COpenGLContext_Cca> mContext;
    COpenGLFBO* mFbo = nullptr;
};

// The capture devices one by one (a value on the stack). Kinds: 1 video, 2 muxed, 0 audio.
class CAVDeviceIterator {
public:
    explicit CAVDeviceIterator(plat::CaptureRegistry* registry = nullptr);
    ~CAVDeviceIterator();
    void Begin();
    bool Next();
    bool HasMediaType(uint32_t kind) const;
    LString Name() const;
    void End();

private:
    struct Devices;
    plat::CaptureRegistry* mRegistry;
    std::unique_ptr<Devices> mDevices;
    uint32_t mIndex = 0;
};
