#pragma once

#include <cstddef>
#include <cstdint>

#include "Lib3/LSources/CoreString/LString.h"

namespace plat {
class ResourceHandle;
}

// What to load: by name when the name is not empty, else by id.
struct SRsrcRequest {
    int32_t id = 0;
    LString name;

    SRsrcRequest() = default;
    SRsrcRequest(int32_t i) : id(i) {}           // NOLINT: ids read naturally
    SRsrcRequest(const char* n) : name(n) {}     // NOLINT: so do names
    SRsrcRequest(const LString& n) : name(n) {}  // NOLINT
};

// Base of every loadable resource: a provider lets it load itself from a resource file.
class LRsrcObject {
public:
    virtual ~LRsrcObject() = default;
    // Loads from the file with the reference number (already current); true when loaded.
    virtual bool Load(int32_t fileRef, const SRsrcRequest& request) = 0;
};

// Something that can load resource objects: a resource file, or a chain of providers.
class ResourceProvider {
public:
    static constexpr uint32_t kLanguageUS = 0x55532020;  // 'US  '

    virtual ~ResourceProvider() = default;
    virtual bool Lookup(LRsrcObject& object, const SRsrcRequest& request) = 0;
    virtual uint32_t Language() { return kLanguageUS; }
};

class URsrc {
public:
    // Asks the provider, or the global chain when none is given; nothing without either.
    static bool Fetch(LRsrcObject& object, const SRsrcRequest& request, ResourceProvider* provider = nullptr);
    // Looks in the current file only: by name when the request has one (at most 255 bytes), else
    // by id. An owned handle, or null.
    static plat::ResourceHandle* Get1Resource(int32_t fileRef, uint32_t type, const SRsrcRequest& request,
                                              size_t* size = nullptr);
};
