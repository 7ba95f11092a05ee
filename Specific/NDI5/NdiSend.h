#pragma once

#include "Specific/NDI5/NdiLib.h"
#include "Specific/NDI5/NdiTypes.h"

// A sender of video under one source name, unclocked.
class CNdiSend {
public:
    CNdiSend(const CNdiLib& lib, const char* name);
    ~CNdiSend();
    CNdiSend(const CNdiSend&) = delete;
    CNdiSend& operator=(const CNdiSend&) = delete;

    bool HasInstance() const { return fInstance != nullptr; }
    void Send(const NDIlib_video_frame_v2_t& frame) const;

private:
    NDIlib_send_instance_t fInstance = nullptr;
    NDIlib_send_destroy_f fDestroy = nullptr;
    NDIlib_send_send_video_v2_f fSendVideo = nullptr;
};
