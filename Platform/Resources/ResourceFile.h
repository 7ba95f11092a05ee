#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Platform/Foundation/Object.h"

// Our own resource files in place of the Resource Manager: each holds resources keyed by a
// four-character type and a 32-bit id, optionally named. Open files get reference numbers; one of
// them is current, and the Get1 calls search only the current file. Reference 0 is the system
// file, absent unless a file is opened as 0.
//
// File layout (big-endian): "ORSC", u32 version 1, u32 entry count N, N entries of 24 bytes
// {u32 type, i32 id, u32 name offset, u32 name length, u32 data offset, u32 data length}, then
// the names (at most 255 bytes each) and the data anywhere after the table. Offsets are from the
// start of the file.
namespace plat {

using ResFileRef = int32_t;
inline constexpr ResFileRef kSystemResFile = 0;
inline constexpr ResFileRef kNoResFile = -1;

// The bytes of one resource, handed out with one reference (Release when done).
class ResourceHandle : public Object {
public:
    ResourceHandle(const uint8_t* bytes, size_t size) : fBytes(bytes, bytes + size) {}
    const uint8_t* Bytes() const { return fBytes.data(); }
    size_t Size() const { return fBytes.size(); }

private:
    std::vector<uint8_t> fBytes;
};

struct ResourceEntry {
    uint32_t type = 0;
    int32_t id = 0;
    std::string name;
    std::vector<uint8_t> data;
};

inline constexpr size_t kMaxResourceFileSize = size_t{64} << 20;
inline constexpr uint32_t kMaxResourceCount = 65536;

// Reads a file image; false for anything malformed (bad magic or version, a table or a range
// outside the image, a name longer than 255 bytes, more than kMaxResourceCount entries).
[[nodiscard]] bool ParseResourceFile(const uint8_t* bytes, size_t size, std::vector<ResourceEntry>& out);
// The image of a file holding the entries, in their order.
std::vector<uint8_t> BuildResourceFile(const std::vector<ResourceEntry>& entries);

// Opens a file and makes it current; its reference number (above 0), or kNoResFile.
ResFileRef OpenResFile(const std::string& path);
// Opens a file as the system file (reference 0), replacing any earlier one.
[[nodiscard]] bool OpenSystemResFile(const std::string& path);
void CloseResFile(ResFileRef ref);
// The current file (kNoResFile when none was opened) and the change of it; an unknown reference
// makes lookups find nothing.
ResFileRef CurResFile();
void UseResFile(ResFileRef ref);

// Lookups in the current file only; an owned handle, or null.
ResourceHandle* Get1Resource(uint32_t type, int32_t id);
ResourceHandle* Get1NamedResource(uint32_t type, const std::string& name);

}  // namespace plat
