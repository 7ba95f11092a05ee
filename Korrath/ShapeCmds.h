#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Platform/Composer/PlugInInterface.h"

// The shape list of the "Command" port: entries keyed "0", "1", ... up to the structure's count,
// each a rectangle, polygon or circle with a grey level.
class CShapeCmds {
public:
    enum : uint32_t { kRect = 0, kPolygon = 1, kCircle = 2 };
    // Bounds on what a composition can ask for.
    static constexpr size_t kMaxEntries = 65536;
    static constexpr size_t kMaxVertices = 65536;

    struct SVtx {
        float x = 0, y = 0;
    };
    struct SCmd {
        uint32_t type = kRect;
        float grey = 1.0f;
        float v[4] = {0, 0, 0, 0};  // rectangle l, r, b, t; circle x, y, r
        std::vector<SVtx> vtx;      // polygon
    };

    // Replaces the list. A missing or malformed entry is a degenerate rectangle (all 0, grey 1);
    // an entry of another type is left out. Null gives an empty list.
    void Parse(const plat::PlugInStructure* command);
    const std::vector<SCmd>& Cmds() const { return fCmds; }

private:
    std::vector<SCmd> fCmds;
};
