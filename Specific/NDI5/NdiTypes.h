#pragma once
// Records and function types of the NDI runtime library, declared from its C interface.

#include <cstdint>

extern "C" {

struct NDIlib_source_t {
    const char* p_ndi_name;
    const char* p_url_address;
};

struct NDIlib_find_create_t {
    bool show_local_sources;
    const char* p_groups;
    const char* p_extra_ips;
};

struct NDIlib_send_create_t {
    const char* p_ndi_name;
    const char* p_groups;
    bool clock_video;
    bool clock_audio;
};

struct NDIlib_recv_create_v3_t {
    NDIlib_source_t source_to_connect_to;
    int color_format;  // 0: BGRX or BGRA
    int bandwidth;     // 100: highest
    bool allow_video_fields;
    const char* p_ndi_recv_name;
};

struct NDIlib_video_frame_v2_t {
    int xres, yres;
    uint32_t FourCC;
    int frame_rate_N, frame_rate_D;
    float picture_aspect_ratio;
    int frame_format_type;  // 1: progressive
    int64_t timecode;
    uint8_t* p_data;
    int line_stride_in_bytes;
    const char* p_metadata;
    int64_t timestamp;
};

using NDIlib_find_instance_t = void*;
using NDIlib_send_instance_t = void*;
using NDIlib_recv_instance_t = void*;

using NDIlib_find_create_v2_f = NDIlib_find_instance_t (*)(const NDIlib_find_create_t*);
using NDIlib_find_destroy_f = void (*)(NDIlib_find_instance_t);
using NDIlib_find_get_current_sources_f = const NDIlib_source_t* (*)(NDIlib_find_instance_t, uint32_t*);
using NDIlib_find_wait_for_sources_f = bool (*)(NDIlib_find_instance_t, uint32_t);
using NDIlib_send_create_f = NDIlib_send_instance_t (*)(const NDIlib_send_create_t*);
using NDIlib_send_destroy_f = void (*)(NDIlib_send_instance_t);
using NDIlib_send_send_video_v2_f = void (*)(NDIlib_send_instance_t, const NDIlib_video_frame_v2_t*);
using NDIlib_recv_create_v3_f = NDIlib_recv_instance_t (*)(const NDIlib_recv_create_v3_t*);
using NDIlib_recv_destroy_f = void (*)(NDIlib_recv_instance_t);
using NDIlib_recv_connect_f = void (*)(NDIlib_recv_instance_t, const NDIlib_source_t*);
using NDIlib_recv_capture_v2_f = int (*)(NDIlib_recv_instance_t, NDIlib_video_frame_v2_t*, void*, void*,
                                         uint32_t);
using NDIlib_recv_free_video_v2_f = void (*)(NDIlib_recv_instance_t, const NDIlib_video_frame_v2_t*);
}

namespace ndi {
constexpr uint32_t FourCC(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}
inline constexpr uint32_t kFourCCBGRA = FourCC('B', 'G', 'R', 'A');
inline constexpr uint32_t kFourCCBGRX = FourCC('B', 'G', 'R', 'X');
inline constexpr uint32_t kFourCCUYVY = FourCC('U', 'Y', 'V', 'Y');
inline constexpr int64_t kTimecodeSynthesize = INT64_MAX;
inline constexpr int kFrameTypeVideo = 1;
inline constexpr int kFrameFormatProgressive = 1;
}  // namespace ndi
