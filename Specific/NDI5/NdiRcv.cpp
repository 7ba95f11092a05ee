#include "Specific/NDI5/NdiRcv.h"

CNdiRcv::CNdiRcv(const CNdiLib& lib, const char* name) {
    auto create = lib.Find<NDIlib_recv_create_v3_f>("NDIlib_recv_create_v3");
    if (!create) return;
    fDestroy = lib.Find<NDIlib_recv_destroy_f>("NDIlib_recv_destroy");
    fConnect = lib.Find<NDIlib_recv_connect_f>("NDIlib_recv_connect");
    fCapture = lib.Find<NDIlib_recv_capture_v2_f>("NDIlib_recv_capture_v2");
    fFree = lib.Find<NDIlib_recv_free_video_v2_f>("NDIlib_recv_free_video_v2");
    if (!fDestroy) return;
    NDIlib_recv_create_v3_t settings{{name, nullptr}, 0, 100, false, nullptr};
    fInstance = create(&settings);
}

CNdiRcv::~CNdiRcv() {
    if (fInstance && fDestroy) fDestroy(fInstance);
}

bool CNdiRcv::Rcv(NDIlib_video_frame_v2_t& frame) const {
    if (!fInstance || !fCapture) return false;
    return fCapture(fInstance, &frame, nullptr, nullptr, 0) == ndi::kFrameTypeVideo;
}

void CNdiRcv::Free(const NDIlib_video_frame_v2_t& frame) const {
    if (fInstance && fFree) fFree(fInstance, &frame);
}
