#include "Platform/Resources/ResourceFile.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "Platform/Foundation/Bytes.h"

namespace plat {

namespace {

constexpr uint8_t kMagic[4] = {'O', 'R', 'S', 'C'};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 12;
constexpr size_t kEntrySize = 24;
constexpr size_t kMaxName = 255;

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    uint8_t b[4];
    StoreBE32(b, v);
    out.insert(out.end(), b, b + 4);
}

bool InRange(size_t size, uint32_t offset, uint32_t length) {
    return offset <= size && length <= size - offset;
}

struct Registry {
    std::mutex mutex;
    std::map<ResFileRef, std::vector<ResourceEntry>> files;
    ResFileRef current = kNoResFile;
    ResFileRef next = 1;
};

Registry& Files() {
    static Registry registry;
    return registry;
}

bool ReadFile(const std::string& path, std::vector<ResourceEntry>& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got = 0;
    bool ok = true;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
        if (bytes.size() + got > kMaxResourceFileSize) {
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    if (std::ferror(f)) ok = false;
    std::fclose(f);
    return ok && ParseResourceFile(bytes.data(), bytes.size(), out);
}

const ResourceEntry* FindCurrent(Registry& r, uint32_t type, const std::string* name, int32_t id) {
    auto file = r.files.find(r.current);
    if (file == r.files.end()) return nullptr;
    for (const ResourceEntry& e : file->second) {
        if (e.type != type) continue;
        if (name ? e.name == *name : e.id == id) return &e;
    }
    return nullptr;
}

ResourceHandle* MakeHandle(const ResourceEntry* e) {
    return e ? new ResourceHandle(e->data.data(), e->data.size()) : nullptr;
}

}  // namespace

bool ParseResourceFile(const uint8_t* bytes, size_t size, std::vector<ResourceEntry>& out) {
    out.clear();
    if (!bytes || size < kHeaderSize || size > kMaxResourceFileSize || std::memcmp(bytes, kMagic, 4) != 0 ||
        LoadBE32(bytes + 4) != kVersion)
        return false;
    const uint32_t count = LoadBE32(bytes + 8);
    if (count > kMaxResourceCount || (size - kHeaderSize) / kEntrySize < count) return false;
    out.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* p = bytes + kHeaderSize + size_t{i} * kEntrySize;
        ResourceEntry e;
        e.type = LoadBE32(p);
        e.id = int32_t(LoadBE32(p + 4));
        const uint32_t nameOffset = LoadBE32(p + 8);
        const uint32_t nameLength = LoadBE32(p + 12);
        const uint32_t dataOffset = LoadBE32(p + 16);
        const uint32_t dataLength = LoadBE32(p + 20);
        if (nameLength > kMaxName || !InRange(size, nameOffset, nameLength) ||
            !InRange(size, dataOffset, dataLength)) {
            out.clear();
            return false;
        }
        e.name.assign(reinterpret_cast<const char*>(bytes + nameOffset), nameLength);
        e.data.assign(bytes + dataOffset, bytes + dataOffset + dataLength);
        out.push_back(std::move(e));
    }
    return true;
}

std::vector<uint8_t> BuildResourceFile(const std::vector<ResourceEntry>& entries) {
    std::vector<uint8_t> out(kMagic, kMagic + 4);
    PutBE32(out, kVersion);
    PutBE32(out, uint32_t(entries.size()));
    size_t offset = kHeaderSize + entries.size() * kEntrySize;
    for (const ResourceEntry& e : entries) {
        const size_t nameLength = e.name.size() > kMaxName ? kMaxName : e.name.size();
        PutBE32(out, e.type);
        PutBE32(out, uint32_t(e.id));
        PutBE32(out, uint32_t(offset));
        PutBE32(out, uint32_t(nameLength));
        PutBE32(out, uint32_t(offset + nameLength));
        PutBE32(out, uint32_t(e.data.size()));
        offset += nameLength + e.data.size();
    }
    for (const ResourceEntry& e : entries) {
        const size_t nameLength = e.name.size() > kMaxName ? kMaxName : e.name.size();
        out.insert(out.end(), e.name.begin(), e.name.begin() + long(nameLength));
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    return out;
}

ResFileRef OpenResFile(const std::string& path) {
    std::vector<ResourceEntry> entries;
    if (!ReadFile(path, entries)) return kNoResFile;
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    const ResFileRef ref = r.next++;
    r.files[ref] = std::move(entries);
    r.current = ref;
    return ref;
}

bool OpenSystemResFile(const std::string& path) {
    std::vector<ResourceEntry> entries;
    if (!ReadFile(path, entries)) return false;
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.files[kSystemResFile] = std::move(entries);
    return true;
}

void CloseResFile(ResFileRef ref) {
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.files.erase(ref);
    if (r.current == ref) r.current = r.files.empty() ? kNoResFile : r.files.rbegin()->first;
}

ResFileRef CurResFile() {
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.current;
}

void UseResFile(ResFileRef ref) {
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.current = ref;
}

ResourceHandle* Get1Resource(uint32_t type, int32_t id) {
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    return MakeHandle(FindCurrent(r, type, nullptr, id));
}

ResourceHandle* Get1NamedResource(uint32_t type, const std::string& name) {
    Registry& r = Files();
    std::lock_guard<std::mutex> lock(r.mutex);
    return MakeHandle(FindCurrent(r, type, &name, 0));
}

}  // namespace plat
