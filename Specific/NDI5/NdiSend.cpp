#include "Specific/NDI5/NdiSend.h"

CNdiSend::CNdiSend(const CNdiLib& lib, const char* name) {
    auto create = lib.Find<NDIlib_send_create_f>("NDIlib_send_create");
    if (!create) return;
    fDestroy = lib.Find<NDIlib_send_destroy_f>("NDIlib_send_destroy");
    fSendVideo = lib.Find<NDIlib_send_send_video_v2_f>("NDIlib_send_send_video_v2");
    if (!fDestroy) return;
    NDIlib_send_create_t settings{name, nullptr, false, false};
    fInstance = create(&settings);
}

CNdiSend::~CNdiSend() {
    if (fInstance && fDestroy) fDestroy(fInstance);
}

void CNdiSend::Send(const NDIlib_video_frame_v2_t& frame) const {
    if (fInstance && fSendVideo) fSendVideo(fInstance, &frame);
}
