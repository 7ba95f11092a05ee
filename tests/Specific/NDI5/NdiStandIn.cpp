// A stand-in NDI runtime for tests: the twelve functions over an in-process "network" where senders
// publish frames by name, finders list the senders and receivers get each sender's latest frame.
// Hooks (NdiStandIn_*) let tests inject frames of other formats and make creation fail.

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "Specific/NDI5/NdiTypes.h"

namespace {

struct Frame {
    std::vector<uint8_t> data;
    int width = 0, height = 0, stride = 0;
    uint32_t fourcc = 0;
    uint64_t sequence = 0;
};

struct Source {
    int senders = 0;
    int sends = 0;
    Frame last;
};

struct Finder {
    std::vector<std::string> names;
    std::vector<NDIlib_source_t> sources;
};

struct Receiver {
    std::string name;
    uint64_t seen = 0;
};

struct Sender {
    std::string name;
};

std::mutex gMutex;
std::map<std::string, Source> gSources;
bool gFailCreate = false;
uint64_t gSequence = 0;

#define EXPORT extern "C" __attribute__((visibility("default")))

}  // namespace

EXPORT void NdiStandIn_Reset() {
    std::lock_guard lock(gMutex);
    gSources.clear();
    gFailCreate = false;
}

EXPORT void NdiStandIn_SetFailCreate(bool fail) {
    std::lock_guard lock(gMutex);
    gFailCreate = fail;
}

EXPORT int NdiStandIn_SendCount(const char* name) {
    std::lock_guard lock(gMutex);
    auto it = gSources.find(name);
    return it == gSources.end() ? 0 : it->second.sends;
}

// Publishes a frame under name as if a sender had sent it (any FourCC and stride).
EXPORT void NdiStandIn_Publish(const char* name, uint32_t fourcc, int width, int height, int stride,
                               const uint8_t* data, size_t size) {
    std::lock_guard lock(gMutex);
    Frame& f = gSources[name].last;
    f.data.assign(data, data + size);
    f.width = width, f.height = height, f.stride = stride, f.fourcc = fourcc;
    f.sequence = ++gSequence;
}

EXPORT NDIlib_find_instance_t NDIlib_find_create_v2(const NDIlib_find_create_t*) {
    std::lock_guard lock(gMutex);
    return gFailCreate ? nullptr : new Finder;
}

EXPORT void NDIlib_find_destroy(NDIlib_find_instance_t f) {
    delete static_cast<Finder*>(f);
}

EXPORT const NDIlib_source_t* NDIlib_find_get_current_sources(NDIlib_find_instance_t f, uint32_t* count) {
    std::lock_guard lock(gMutex);
    auto* finder = static_cast<Finder*>(f);
    finder->names.clear();
    for (const auto& [name, source] : gSources)
        if (source.senders > 0) finder->names.push_back(name);
    finder->sources.clear();
    for (const std::string& n : finder->names) finder->sources.push_back({n.c_str(), nullptr});
    *count = uint32_t(finder->sources.size());
    return finder->sources.data();
}

EXPORT bool NDIlib_find_wait_for_sources(NDIlib_find_instance_t, uint32_t) {
    return false;
}

EXPORT NDIlib_send_instance_t NDIlib_send_create(const NDIlib_send_create_t* settings) {
    std::lock_guard lock(gMutex);
    if (gFailCreate || !settings || !settings->p_ndi_name) return nullptr;
    ++gSources[settings->p_ndi_name].senders;
    return new Sender{settings->p_ndi_name};
}

EXPORT void NDIlib_send_destroy(NDIlib_send_instance_t s) {
    std::lock_guard lock(gMutex);
    auto* sender = static_cast<Sender*>(s);
    --gSources[sender->name].senders;
    delete sender;
}

EXPORT void NDIlib_send_send_video_v2(NDIlib_send_instance_t s, const NDIlib_video_frame_v2_t* frame) {
    std::lock_guard lock(gMutex);
    Source& source = gSources[static_cast<Sender*>(s)->name];
    ++source.sends;
    Frame& f = source.last;
    f.data.assign(frame->p_data, frame->p_data + size_t(frame->line_stride_in_bytes) * size_t(frame->yres));
    f.width = frame->xres, f.height = frame->yres, f.stride = frame->line_stride_in_bytes;
    f.fourcc = frame->FourCC;
    f.sequence = ++gSequence;
}

EXPORT NDIlib_recv_instance_t NDIlib_recv_create_v3(const NDIlib_recv_create_v3_t* settings) {
    std::lock_guard lock(gMutex);
    if (gFailCreate || !settings || !settings->source_to_connect_to.p_ndi_name) return nullptr;
    return new Receiver{settings->source_to_connect_to.p_ndi_name, 0};
}

EXPORT void NDIlib_recv_destroy(NDIlib_recv_instance_t r) {
    delete static_cast<Receiver*>(r);
}

EXPORT void NDIlib_recv_connect(NDIlib_recv_instance_t, const NDIlib_source_t*) {}

EXPORT int NDIlib_recv_capture_v2(NDIlib_recv_instance_t r, NDIlib_video_frame_v2_t* video, void*, void*,
                                  uint32_t) {
    std::lock_guard lock(gMutex);
    auto* receiver = static_cast<Receiver*>(r);
    auto it = gSources.find(receiver->name);
    if (it == gSources.end() || it->second.last.sequence <= receiver->seen) return 0;
    const Frame& f = it->second.last;
    receiver->seen = f.sequence;
    video->xres = f.width, video->yres = f.height, video->FourCC = f.fourcc;
    video->line_stride_in_bytes = f.stride;
    video->p_data = f.data.empty() ? nullptr : new uint8_t[f.data.size()];
    if (video->p_data) std::memcpy(video->p_data, f.data.data(), f.data.size());
    return 1;
}

EXPORT void NDIlib_recv_free_video_v2(NDIlib_recv_instance_t, const NDIlib_video_frame_v2_t* video) {
    delete[] video->p_data;
}
