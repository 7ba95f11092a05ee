#include "Orbilume/CSources/Media/CObStillSaver_CGi.h"

#include <epoxy/gl.h>

#include <cstring>

#include "Common/OpenGL/COpenGLScope_Cca.h"
#include "Platform/Foundation/Check.h"

CObStillSaver_CGi::CObStillSaver_CGi() : mSignal(this, SignalEncode) {}

CObStillSaver_CGi::~CObStillSaver_CGi() = default;

void CObStillSaver_CGi::SignalEncode(void* self) {
    static_cast<CObStillSaver_CGi*>(self)->Encode();
}

uint32_t CObStillSaver_CGi::capturedWidth() {
    CPsxMutex::Locker lock(mMutex);
    return mWidth;
}

uint32_t CObStillSaver_CGi::capturedHeight() {
    CPsxMutex::Locker lock(mMutex);
    return mHeight;
}

void CObStillSaver_CGi::Capture(COpenGLContext_Cca& context) {
    COpenGLScope_Cca scope(context);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) return;
    auto w = static_cast<uint64_t>(viewport[2]);
    auto h = static_cast<uint64_t>(viewport[3]);
    if (w * h > kMaxPixels) return;
    {
        CPsxMutex::Locker lock(mMutex);
        if (!mPixels.SetSize(static_cast<uint32_t>(w * h * 4), false)) return;
        mWidth = static_cast<uint32_t>(w);
        mHeight = static_cast<uint32_t>(h);
        // Rows of exactly width * 4 bytes into client memory, whatever the caller left set.
        GLint packBuffer = 0, rowLength = 0, alignment = 4;
        glGetIntegerv(GL_PIXEL_PACK_BUFFER_BINDING, &packBuffer);
        glGetIntegerv(GL_PACK_ROW_LENGTH, &rowLength);
        glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        // Bytes A, R, G, B; bottom row first.
        glReadPixels(viewport[0], viewport[1], viewport[2], viewport[3], GL_BGRA, GL_UNSIGNED_INT_8_8_8_8,
                     mPixels.Data());
        glPixelStorei(GL_PACK_ALIGNMENT, alignment);
        glPixelStorei(GL_PACK_ROW_LENGTH, rowLength);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, static_cast<GLuint>(packBuffer));
    }
    mSignal.Signal();
}

void CObStillSaver_CGi::Encode() {
    PLAT_DCHECK_MAIN_THREAD();
    plat::Ref<CStillFrame> frame;
    {
        CPsxMutex::Locker lock(mMutex);
        if (mWidth == 0 || mHeight == 0) return;
        size_t rowBytes = size_t{mWidth} * 4;
        auto* row = static_cast<uint8_t*>(std::malloc(rowBytes));
        if (!row) return;
        uint8_t* pixels = mPixels.Data();
        for (uint32_t i = 0, j = mHeight - 1; i < j; ++i, --j) {
            std::memcpy(row, pixels + i * rowBytes, rowBytes);
            std::memcpy(pixels + i * rowBytes, pixels + j * rowBytes, rowBytes);
            std::memcpy(pixels + j * rowBytes, row, rowBytes);
        }
        std::free(row);
        // The frame takes the buffer; the next capture makes a new one.
        frame = CStillFrame::Create(mPixels.Detach(), mWidth, mHeight);
        mWidth = 0;
        mHeight = 0;
    }
    (void)Write(frame, SStillOptions{});
}
