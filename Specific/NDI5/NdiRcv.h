#pragma once

#include "Specific/NDI5/NdiLib.h"
#include "Specific/NDI5/NdiTypes.h"

// A receiver of one named source in BGRX/BGRA at the highest bandwidth, progressive only.
class CNdiRcv {
public:
    CNdiRcv(const CNdiLib& lib, const char* name);
    ~CNdiRcv();
    CNdiRcv(const CNdiRcv&) = delete;
    CNdiRcv& operator=(const CNdiRcv&) = delete;

    bool HasInstance() const { return fInstance != nullptr; }
    // True when a video frame arrived (free it with Free); never waits.
    bool Rcv(NDIlib_video_frame_v2_t& frame) const;
    void Free(const NDIlib_video_frame_v2_t& frame) const;

private:
    NDIlib_recv_instance_t fInstance = nullptr;
    NDIlib_recv_destroy_f fDestroy = nullptr;
    NDIlib_recv_connect_f fConnect = nullptr;
    NDIlib_recv_capture_v2_f fCapture = nullptr;
    NDIlib_recv_free_video_v2_f fFree = nullptr;
};
