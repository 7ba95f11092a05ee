#include "Korrath/ShapeCmds.h"

#include <cmath>
#include <string>

namespace {

float Float(const plat::PlugInStructure& entry, const char* key, float otherwise = 0) {
    const plat::PlugInValue* v = entry.Find(key);
    return v ? static_cast<float>(v->NumberValue()) : otherwise;
}

// "typ" as unsigned; a value no unsigned number holds reads as an unknown type.
bool Type(const plat::PlugInStructure& entry, uint32_t& type) {
    const plat::PlugInValue* v = entry.Find("typ");
    double n = v ? v->NumberValue() : 0;
    if (!(n >= 0 && n < 4294967296.0)) return false;
    type = static_cast<uint32_t>(n);
    return true;
}

}  // namespace

void CShapeCmds::Parse(const plat::PlugInStructure* command) {
    fCmds.clear();
    if (!command) return;
    size_t count = std::min(command->Count(), kMaxEntries);
    for (size_t i = 0; i < count; ++i) {
        const plat::PlugInValue* value = command->Find(std::to_string(i));
        const plat::PlugInStructure* entry = value ? value->StructureValue() : nullptr;
        SCmd cmd;
        if (!entry) {
            fCmds.push_back(std::move(cmd));
            continue;
        }
        if (!Type(*entry, cmd.type)) continue;
        switch (cmd.type) {
            case kRect:
                cmd.v[0] = Float(*entry, "l");
                cmd.v[1] = Float(*entry, "r");
                cmd.v[2] = Float(*entry, "b");
                cmd.v[3] = Float(*entry, "t");
                break;
            case kPolygon:
                if (const plat::PlugInValue* vtc = entry->Find("vtc")) {
                    if (const plat::PlugInStructure* vertices = vtc->StructureValue()) {
                        for (size_t j = 0; j < kMaxVertices; ++j) {
                            const plat::PlugInValue* vertex = vertices->Find(std::to_string(j));
                            if (!vertex) break;
                            SVtx p;
                            if (const plat::PlugInStructure* xy = vertex->StructureValue()) {
                                p.x = Float(*xy, "0");
                                p.y = Float(*xy, "1");
                            }
                            cmd.vtx.push_back(p);
                        }
                    }
                }
                break;
            case kCircle:
                cmd.v[0] = Float(*entry, "x");
                cmd.v[1] = Float(*entry, "y");
                cmd.v[2] = Float(*entry, "r");
                break;
            default:
                continue;
        }
        cmd.grey = Float(*entry, "brt", 1.0f);
        fCmds.push_back(std::move(cmd));
    }
}
