#include "Orbilume/CSources/Media/CVideoCapture.h"

#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Common/OpenGL/COpenGLFBO.h"
#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/Media/CaptureRegistry.h"
#include "Platform/Video/GLTextureCache.h"

CVideoCapture* CVideoCapture::OpenCapture(CVCapSourceList* owner, const LString& name) {
    return OpenCapture(owner, name, plat::CaptureRegistry::Default());
}

CVideoCapture* CVideoCapture::OpenCapture(CVCapSourceList* owner, const LString& name,
                                          plat::CaptureRegistry& registry) {
    auto* capture = new CVideoCapture(owner, name);
    plat::CaptureCallbacks callbacks;
    callbacks.frame = [capture](plat::Ref<plat::PixelBuffer> frame) { capture->Arrived(std::move(frame)); };
    callbacks.gone = [capture] { capture->mGone = true; };
    capture->mStream = registry.Open(std::string(name.CStr(), name.Length()), std::move(callbacks));
    if (!capture->mStream) {
        capture->Release();
        return nullptr;
    }
    // Made only for a device that opened: slots retry missing names on every rebind.
    capture->mContext = std::make_unique<COpenGLContext_Cca>(nullptr, nullptr);
    return capture;
}

CVideoCapture::CVideoCapture(CVCapSourceList* owner, const LString& name)
    : CVCapSource(owner, name), mFbo(new COpenGLFBO) {}

CVideoCapture::~CVideoCapture() {
    // No callback runs once the stream is gone.
    mStream.reset();
    {
        std::lock_guard<std::mutex> lock(mFrameLock);
        mLatest = nullptr;
    }
    mFbo->Release();
    mContext.reset();
}

bool CVideoCapture::IsOpen() const {
    return mStream && !mGone;
}

void CVideoCapture::Start() {
    if (++mRunCount != 1 || !mStream) return;
    // A device that cannot stream any more is gone: the slots open it anew.
    if (!mStream->Start()) mGone = true;
}

void CVideoCapture::Stop() {
    if (mRunCount == 0) return;
    if (--mRunCount == 0 && mStream) mStream->Stop();
}

void CVideoCapture::Arrived(plat::Ref<plat::PixelBuffer> frame) {
    if (!frame) return;
    std::lock_guard<std::mutex> lock(mFrameLock);
    mLatest = std::move(frame);
    mNewFrame = true;
}

uint32_t CVideoCapture::GetFrameInfo(uint32_t& width, uint32_t& height) {
    std::lock_guard<std::mutex> lock(mFrameLock);
    if (!mLatest) {
        width = height = 0;
        mSerial = 0;
        return 0;
    }
    width = uint32_t(mLatest->Width());
    height = uint32_t(mLatest->Height());
    if (mNewFrame) {
        if (++mSerial == 0) mSerial = 1;
        mNewFrame = false;
    }
    return mSerial;
}

void CVideoCapture::SetSerialForTest(uint32_t serial) {
    std::lock_guard<std::mutex> lock(mFrameLock);
    mSerial = serial;
}

void CVideoCapture::DrawFrame(plat::GLTexture* texture) {
    if (!texture || !texture->Image() || !mContext || !mContext->valid()) return;
    std::lock_guard<std::mutex> lock(mFrameLock);
    plat::PixelBuffer* frame = mLatest.get();
    if (!frame) return;
    const GLsizei tw = texture->Image()->Width(), th = texture->Image()->Height();
    COpenGLScope_Cca scope(*mContext);
    const GLuint fbo = mFbo->Prepare(*mContext);
    if (!fbo) return;
    GLint previous = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &previous);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture->Target(),
                              texture->Name(), 0);
    glViewport(0, 0, tw, th);
    if (frame->Lock(plat::kPixelBufferLockReadOnly)) {
        glWindowPos2i(0, 0);
        glPixelZoom(GLfloat(tw) / GLfloat(frame->Width()), GLfloat(th) / GLfloat(frame->Height()));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(frame->BytesPerRow() / 4));
        glDrawPixels(frame->Width(), frame->Height(), GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     frame->BaseAddress());
        glFlush();
        frame->Unlock(plat::kPixelBufferLockReadOnly);
    }
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, texture->Target(), 0, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, GLuint(previous));
}

struct CAVDeviceIterator::Devices {
    std::vector<plat::CaptureDeviceInfo> list;
};

CAVDeviceIterator::CAVDeviceIterator(plat::CaptureRegistry* registry)
    : mRegistry(registry ? registry : &plat::CaptureRegistry::Default()) {}

CAVDeviceIterator::~CAVDeviceIterator() = default;

void CAVDeviceIterator::Begin() {
    mDevices = std::make_unique<Devices>();
    mDevices->list = mRegistry->Devices();
    mIndex = 0;
}

bool CAVDeviceIterator::Next() {
    if (!mDevices || mIndex >= mDevices->list.size()) return false;
    ++mIndex;
    return true;
}

bool CAVDeviceIterator::HasMediaType(uint32_t kind) const {
    if (!mDevices || mIndex == 0) return false;
    const uint32_t kinds = mDevices->list[mIndex - 1].kinds;
    switch (kind) {
        case 0:
            return kinds & plat::kCaptureAudio;
        case 1:
            return kinds & plat::kCaptureVideo;
        case 2:
            return kinds & plat::kCaptureMuxed;
        default:
            return false;
    }
}

LString CAVDeviceIterator::Name() const {
    if (!mDevices || mIndex == 0) return LString();
    return LString(mDevices->list[mIndex - 1].name.c_str());
}

void CAVDeviceIterator::End() {
    mDevices.reset();
    mIndex = 0;
}
