#include "Korrath/ShapeCmds.h"

#include <cmath>
#include <string>
#include <string_view>
#include <unordered_map>

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

// Values of a structure by decimal index: at their position in an array, else through a map of
// the keys made on the first miss, so that reading every index stays linear.
class IndexedEntries {
public:
    explicit IndexedEntries(const plat::PlugInStructure& s) : fS(s) {}
    const plat::PlugInValue* At(size_t i) {
        std::string key = std::to_string(i);
        if (i < fS.Count() && fS.KeyAt(i) == key) return &fS.ValueAt(i);
        if (!fIndexed) {
            for (size_t k = 0; k < fS.Count(); ++k) fKeys.emplace(fS.KeyAt(k), k);
            fIndexed = true;
        }
        auto it = fKeys.find(key);
        return it == fKeys.end() ? nullptr : &fS.ValueAt(it->second);
    }

private:
    const plat::PlugInStructure& fS;
    std::unordered_map<std::string_view, size_t> fKeys;
    bool fIndexed = false;
};

}  // namespace

void CShapeCmds::Parse(const plat::PlugInStructure* command) {
    fCmds.clear();
    if (!command) return;
    size_t count = std::min(command->Count(), kMaxEntries);
    IndexedEntries entries(*command);
    for (size_t i = 0; i < count; ++i) {
        const plat::PlugInValue* value = entries.At(i);
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
                        IndexedEntries byIndex(*vertices);
                        for (size_t j = 0; j < kMaxVertices; ++j) {
                            const plat::PlugInValue* vertex = byIndex.At(j);
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
