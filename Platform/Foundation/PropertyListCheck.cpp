#include "Platform/Foundation/PropertyListCheck.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "Platform/Foundation/Bytes.h"

namespace plat {

namespace {

uint64_t ReadBigEndian(const uint8_t* p, unsigned n) {
    return LoadBE(p, n);
}

class BinaryChecker {
public:
    BinaryChecker(const uint8_t* data, size_t size, const PropertyListLimits& limits,
                  std::vector<uint8_t>* shared)
        : fData(data), fSize(size), fLimits(limits), fShared(shared) {}

    bool Run() {
        constexpr size_t kHeader = 8, kTrailer = 32;
        if (fSize < kHeader + kTrailer || std::memcmp(fData, "bplist00", 8) != 0) return false;
        const uint8_t* t = fData + fSize - kTrailer;
        fOffsetSize = t[6];
        fRefSize = t[7];
        uint64_t count = ReadBigEndian(t + 8, 8);
        uint64_t top = ReadBigEndian(t + 16, 8);
        uint64_t tableOffset = ReadBigEndian(t + 24, 8);
        if (fOffsetSize < 1 || fOffsetSize > 8 || fRefSize < 1 || fRefSize > 8) return false;
        if (count == 0 || count > fLimits.maxNodes || top >= count) return false;
        if (tableOffset < kHeader || tableOffset > fSize - kTrailer) return false;
        if (count > (fSize - kTrailer - tableOffset) / fOffsetSize) return false;
        fObjectEnd = tableOffset;
        fTable = fData + tableOffset;
        fCount = static_cast<size_t>(count);
        fState.assign(fCount, 0);
        fDepth.assign(fCount, 0);
        fNodes.assign(fCount, 0);
        fBytes.assign(fCount, 0);
        if (fShared) fShared->assign(fCount, 0);
        return Visit(static_cast<size_t>(top));
    }

private:
    struct Object {
        size_t childStart = 0;  // offset of the first reference
        size_t children = 0;    // number of references
        size_t payload = 0;     // bytes of its own content
    };

    bool Offset(size_t index, size_t& out) const {
        uint64_t o = ReadBigEndian(fTable + index * fOffsetSize, fOffsetSize);
        if (o < 8 || o >= fObjectEnd) return false;
        out = static_cast<size_t>(o);
        return true;
    }

    // Reads a length that follows a marker whose low nibble is 0xF.
    bool ExtendedLength(size_t& pos, uint64_t& length) const {
        if (pos >= fObjectEnd) return false;
        uint8_t m = fData[pos++];
        if ((m & 0xF0) != 0x10) return false;
        unsigned n = 1u << (m & 0x0F);
        if (n > 8 || pos + n > fObjectEnd) return false;
        length = ReadBigEndian(fData + pos, n);
        pos += n;
        return true;
    }

    bool Parse(size_t index, Object& obj) const {
        size_t pos;
        if (!Offset(index, pos)) return false;
        uint8_t marker = fData[pos++];
        uint8_t type = marker >> 4, low = marker & 0x0F;
        uint64_t length = low;
        auto fits = [&](uint64_t bytes) { return bytes <= fObjectEnd - pos; };
        switch (type) {
            case 0x0:
                return true;
            case 0x1:
            case 0x2:
                if (low > 4) return false;
                obj.payload = 1u << low;
                return fits(obj.payload);
            case 0x3:
                obj.payload = 8;
                return fits(8);
            case 0x4:
            case 0x5:
            case 0x6:
                if (low == 0xF && !ExtendedLength(pos, length)) return false;
                if (type == 0x6) {
                    if (length > fObjectEnd) return false;
                    length *= 2;
                }
                if (!fits(length)) return false;
                obj.payload = static_cast<size_t>(length);
                // libplist asserts on dictionary keys holding a NUL; no text may hold one.
                if (type == 0x5 && std::memchr(fData + pos, 0, obj.payload)) return false;
                if (type == 0x6) {
                    for (size_t i = 0; i < obj.payload; i += 2)
                        if (fData[pos + i] == 0 && fData[pos + i + 1] == 0) return false;
                }
                return true;
            case 0x8:
                obj.payload = low + 1u;
                return fits(obj.payload);
            case 0xA:
            case 0xC:
            case 0xD: {
                if (low == 0xF && !ExtendedLength(pos, length)) return false;
                uint64_t refs = type == 0xD ? length * 2 : length;
                if (length > fObjectEnd || refs > (fObjectEnd - pos) / fRefSize) return false;
                obj.childStart = pos;
                obj.children = static_cast<size_t>(refs);
                return true;
            }
            default:
                return false;
        }
    }

    size_t Child(const Object& obj, size_t i) const {
        return static_cast<size_t>(ReadBigEndian(fData + obj.childStart + i * fRefSize, fRefSize));
    }

    // Depth-first with an explicit stack; the stack never grows past the depth limit.
    bool Visit(size_t root) {
        struct Frame {
            size_t index;
            Object obj;
            size_t next;
        };
        std::vector<Frame> stack;
        auto push = [&](size_t index) {
            if (stack.size() >= fLimits.maxDepth) return false;
            Frame f{index, {}, 0};
            if (!Parse(index, f.obj)) return false;
            fState[index] = 1;
            stack.push_back(f);
            return true;
        };
        if (!push(root)) return false;
        while (!stack.empty()) {
            Frame& f = stack.back();
            if (f.next < f.obj.children) {
                size_t child = Child(f.obj, f.next++);
                if (child >= fCount || fState[child] == 1) return false;  // out of range or a cycle
                if (fState[child] == 0 && !push(child)) return false;
                if (fState[child] == 2 && fShared) (*fShared)[child] = 1;
                continue;
            }
            // All children done: sum them up.
            size_t depth = 1, nodes = 1, bytes = 16 + f.obj.payload;
            for (size_t i = 0; i < f.obj.children; ++i) {
                size_t c = Child(f.obj, i);
                depth = std::max(depth, fDepth[c] + 1);
                nodes += fNodes[c];
                bytes += fBytes[c];
                if (nodes > fLimits.maxNodes || bytes > fLimits.maxExpandedBytes) return false;
            }
            if (depth > fLimits.maxDepth) return false;
            fDepth[f.index] = depth;
            fNodes[f.index] = nodes;
            fBytes[f.index] = bytes;
            fState[f.index] = 2;
            stack.pop_back();
        }
        return true;
    }

    const uint8_t* fData;
    size_t fSize;
    const PropertyListLimits& fLimits;
    std::vector<uint8_t>* fShared;
    unsigned fOffsetSize = 0, fRefSize = 0;
    size_t fObjectEnd = 0, fCount = 0;
    const uint8_t* fTable = nullptr;
    std::vector<uint8_t> fState;  // 0 unvisited, 1 on the stack, 2 done
    std::vector<size_t> fDepth, fNodes, fBytes;
};

bool StartsWith(std::string_view s, size_t pos, std::string_view prefix) {
    return s.size() - pos >= prefix.size() && s.compare(pos, prefix.size(), prefix) == 0;
}

bool IsNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.' || c == ':';
}

}  // namespace

bool CheckBinaryPropertyList(const uint8_t* data, size_t size, const PropertyListLimits& limits,
                             std::vector<uint8_t>* shared) {
    if (!data || size > limits.maxInputBytes) return false;
    return BinaryChecker(data, size, limits, shared).Run();
}

bool CheckXmlPropertyList(const uint8_t* data, size_t size, const PropertyListLimits& limits) {
    if (!data || size > limits.maxInputBytes) return false;
    std::string_view s(reinterpret_cast<const char*>(data), size);
    size_t depth = 0, tags = 0, pos = 0;
    while ((pos = s.find('<', pos)) != std::string_view::npos) {
        std::string_view end;
        if (StartsWith(s, pos, "<!--"))
            end = "-->";
        else if (StartsWith(s, pos, "<![CDATA["))
            end = "]]>";
        else if (StartsWith(s, pos, "<?"))
            end = "?>";
        else if (StartsWith(s, pos, "<!"))
            end = ">";
        if (!end.empty()) {
            size_t close = s.find(end, pos + 2);
            if (close == std::string_view::npos) return false;
            pos = close + end.size();
            continue;
        }
        bool closing = pos + 1 < s.size() && s[pos + 1] == '/';
        size_t nameStart = pos + (closing ? 2 : 1);
        size_t nameEnd = nameStart;
        while (nameEnd < s.size() && IsNameChar(s[nameEnd])) ++nameEnd;
        std::string_view name = s.substr(nameStart, nameEnd - nameStart);
        size_t gt = s.find('>', nameEnd);
        if (gt == std::string_view::npos) return false;
        bool container = name == "array" || name == "dict";
        if (++tags > limits.maxNodes * 2) return false;
        if (container) {
            if (closing) {
                if (depth == 0) return false;
                --depth;
            } else if (s[gt - 1] != '/') {
                if (++depth > limits.maxDepth) return false;
            }
        }
        pos = gt + 1;
    }
    return true;
}

}  // namespace plat
