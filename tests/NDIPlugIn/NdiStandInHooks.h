#pragma once

#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <vector>

// The stand-in NDI runtime's test hooks, found in the same loaded copy the patches open (same file).
struct NdiStandInHooks {
    void* handle = dlopen(NDI_STANDIN_PATH, RTLD_NOW | RTLD_LOCAL);
    template <class F>
    F Get(const char* name) {
        return reinterpret_cast<F>(dlsym(handle, name));
    }
    void Reset() { Get<void (*)()>("NdiStandIn_Reset")(); }
    void FailCreate(bool f) { Get<void (*)(bool)>("NdiStandIn_SetFailCreate")(f); }
    int Sends(const char* name) { return Get<int (*)(const char*)>("NdiStandIn_SendCount")(name); }
    void Publish(const char* name, uint32_t fourcc, int w, int h, int stride,
                 const std::vector<uint8_t>& data) {
        Get<void (*)(const char*, uint32_t, int, int, int, const uint8_t*, size_t)>("NdiStandIn_Publish")(
            name, fourcc, w, h, stride, data.data(), data.size());
    }
    ~NdiStandInHooks() {
        if (handle) dlclose(handle);
    }
};
