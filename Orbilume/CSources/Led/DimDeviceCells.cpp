#include "Orbilume/CSources/Led/DimDeviceCells.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecordHolder.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"
#include "Orbilume/CSources/Led/DimMultiEdit.h"

using T = CDimTypes;

namespace dimcell {

namespace {

const char kAnuniv[] = "anuniv";
const char kDrsern[] = "drsern";

int32_t Anuniv(const CRecord* device) {
    CRecord* prms = device ? device->GetSubRecord(T::kDidvParams) : nullptr;
    if (!prms) return 0;
    return CParamSet::GetIntOr(CRecordRef(&prms), LString(kAnuniv), 0);
}

double Clamp(double v, double lo, double hi) {
    if (!(v >= lo)) return lo;  // NaN reads as the low end
    return v > hi ? hi : v;
}

}  // namespace

Scale LayoutScale(const CRecord* dims, const CRecord* device, const CRecord* def, bool lyodiv) {
    Scale s;
    if (!lyodiv) return s;
    s.pixels = true;
    s.posLimit = 1000;
    s.sizeLimit = 1000;
    s.step = 1;
    s.decimals = 0;
    const uint32_t cw = dims ? dims->GetUInt(T::kDimsCanvasWidth) : 0;
    const uint32_t ch = dims ? dims->GetUInt(T::kDimsCanvasHeight) : 0;
    s.s = (cw == 0 && ch == 0) ? 0.5 : double(std::max(cw, ch)) * 0.5;
    const uint64_t gap = dims ? dims->GetByte(T::kDimsDotGap) : 0;
    uint64_t nx = def ? def->GetUInt(T::kDidfColumns) : 0;
    uint64_t ny = def ? def->GetUInt(T::kDidfRows) : 0;
    if (device) {
        const double r = double(device->GetFloat(T::kDidvRotation)) * M_PI / 180.0;
        if (std::sin(r) * std::sin(r) > 0.5) std::swap(nx, ny);
    }
    if (nx == 0) nx = 1;
    if (ny == 0) ny = 1;
    s.ox = ((gap + 1) * nx) % 2 != cw % 2 ? 0.5 : 0;
    s.oy = ((gap + 1) * ny) % 2 != ch % 2 ? 0.5 : 0;
    return s;
}

LayoutValues Shown(const Scale& s, const CRecord* d) {
    LayoutValues v;
    if (!d) return v;
    v.x = double(d->GetFloat(T::kDidvPosX)) * s.s - s.ox;
    v.y = double(d->GetFloat(T::kDidvPosY)) * s.s - s.oy;
    v.w = double(d->GetFloat(T::kDidvWidth)) * s.s;
    v.h = double(d->GetFloat(T::kDidvHeight)) * s.s;
    v.rotation = int32_t(std::round(Clamp(double(d->GetFloat(T::kDidvRotation)), -1e6, 1e6)));
    return v;
}

uint32_t WithPart(int32_t anuniv, Part part, int32_t value) {
    const uint32_t a = uint32_t(anuniv);
    switch (part) {
        case Part::kNet:
            return (a & ~0x7F00u) | ((uint32_t(value) << 8) & 0x7F00u);
        case Part::kSubNet:
            return (a & ~0xF0u) | ((uint32_t(value) << 4) & 0xF0u);
        case Part::kUniverse:
            return (a & ~0x0Fu) | (uint32_t(value) & 0x0Fu);
    }
    return a;
}

int32_t PartOf(int32_t anuniv, Part part) {
    switch (part) {
        case Part::kNet:
            return (anuniv >> 8) & 127;
        case Part::kSubNet:
            return (anuniv >> 4) & 15;
        case Part::kUniverse:
            return anuniv & 15;
    }
    return 0;
}

std::string EndChannelText(uint32_t first, uint64_t footprint) {
    const uint64_t last = footprint == 0 ? first : uint64_t(first) + footprint - 1;
    return "- " + std::to_string(last);
}

uint32_t SelectSerial(std::vector<PopupItem>& items, const std::string& serial) {
    if (items.empty()) items.push_back({});
    size_t selected = 0;
    if (!serial.empty()) {
        selected = items.size();
        for (size_t i = 1; i < items.size(); ++i)
            if (!items[i].separator && items[i].title == serial) {
                selected = i;
                break;
            }
        if (selected == items.size()) {
            if (items.size() >= 2 && items[items.size() - 2].separator) {
                items.back() = {serial, false};
            } else {
                items.push_back({"", true});
                items.push_back({serial, false});
            }
            selected = items.size() - 1;
        }
    }
    if (selected != items.size() - 1 && items.size() >= 3 && items[items.size() - 2].separator)
        items.resize(items.size() - 2);
    return uint32_t(selected);
}

void FillInterfaces(std::vector<PopupItem>& items, const std::vector<std::string>& serials) {
    if (items.empty()) items.push_back({});
    items.resize(1);
    for (const std::string& s : serials) items.push_back({s, false});
}

CRecordRef CEdits::DeviceRef(uint32_t row) const {
    CRecord* dims = fDims ? fDims->Root() : nullptr;
    if (!dims || row >= dims->ArrayCount(T::kDimsDevices)) return CRecordRef();
    return CRecordRef(&(*dims->GetRecordArray(T::kDimsDevices))[row]);
}

void CEdits::Edit(LHandler* editor, uint32_t row, const std::vector<uint32_t>& selection, const void* control,
                  Setter setter, double number, const std::string& text, bool lyodiv) {
    if (!DeviceRef(row)) return;
    std::vector<uint32_t> rows;
    if (setter != Setter::kFirstChannel && std::find(selection.begin(), selection.end(), row) != selection.end())
        rows = selection;
    else
        rows = {row};
    const bool same = fLast.row == row && fLast.setter == setter && fLast.control == control &&
                      fLast.selection == selection;
    fLast = {setter, control, selection, row};
    // The first channel is the row's own edit, never merged.
    const int merge = same && setter != Setter::kFirstChannel ? dimedit::kContinue : dimedit::kNew;

    const CRecord* dims = fDims->Root();
    std::vector<dimedit::Item> items;
    auto defOf = [this](const CRecord* d) {
        return fDefs && d ? fDefs->Find(d->GetString(T::kDidvDefinition).CStr()) : nullptr;
    };
    switch (setter) {
        case Setter::kX:
        case Setter::kY:
        case Setter::kW:
        case Setter::kH:
        case Setter::kRotation:
            for (uint32_t r : rows) {
                const CRecordRef ref = DeviceRef(r);
                if (!ref) continue;
                const Scale s = LayoutScale(dims, ref.Get(), defOf(ref.Get()), lyodiv);
                double v = 0;
                uint32_t field = 0;
                switch (setter) {
                    case Setter::kX:
                        v = (Clamp(number, -s.posLimit, s.posLimit) + s.ox) / s.s;
                        field = T::kDidvPosX;
                        break;
                    case Setter::kY:
                        v = (Clamp(number, -s.posLimit, s.posLimit) + s.oy) / s.s;
                        field = T::kDidvPosY;
                        break;
                    case Setter::kW:
                        v = Clamp(number, 0, s.sizeLimit) / s.s;
                        field = T::kDidvWidth;
                        break;
                    case Setter::kH:
                        v = Clamp(number, 0, s.sizeLimit) / s.s;
                        field = T::kDidvHeight;
                        break;
                    default:
                        v = Clamp(number, -180, 180);
                        field = T::kDidvRotation;
                        break;
                }
                items.push_back(dimedit::Float(ref, field, float(v)));
            }
            return dimedit::Apply(editor, fDims, items, merge);
        case Setter::kFirstChannel:
            items.push_back(dimedit::Scalar(DeviceRef(row), T::kDidvFirstSlot, uint32_t(Clamp(number, 1, 512))));
            return dimedit::Apply(editor, fDims, items, merge);
        case Setter::kOutput:
            for (uint32_t r : rows)
                items.push_back(dimedit::Scalar(DeviceRef(r), T::kDidvConnection, uint8_t(Clamp(number, 0, 2))));
            return dimedit::Apply(editor, fDims, items, merge);
        default:
            break;
    }
    // Parameter and text edits: one group per edit.
    void* group = CRecordUndo::BeginGroup(editor);
    for (uint32_t r : rows) {
        const CRecordRef ref = DeviceRef(r);
        CRecord* d = ref.Get();
        if (!d) continue;
        if (setter == Setter::kDefinition) {
            ref.SetString(editor, T::kDidvDefinition, LString(text.c_str()));
            continue;
        }
        CRecord* prms = d->GetSubRecord(T::kDidvParams);
        if (!prms) continue;
        const CRecordRef set(&d->Slot(T::kDidvParams).record);
        const int32_t a = Anuniv(d);
        switch (setter) {
            case Setter::kNet:
                CParamSet::SetInt(set, editor, LString(kAnuniv),
                                  int32_t(WithPart(a, Part::kNet, int32_t(Clamp(number, 0, 127)))));
                break;
            case Setter::kSubNet:
                CParamSet::SetInt(set, editor, LString(kAnuniv),
                                  int32_t(WithPart(a, Part::kSubNet, int32_t(Clamp(number, 0, 15)))));
                break;
            case Setter::kUniverse:
                CParamSet::SetInt(set, editor, LString(kAnuniv),
                                  int32_t(WithPart(a, Part::kUniverse, int32_t(Clamp(number, 0, 15)))));
                break;
            case Setter::kSacn:
                CParamSet::SetInt(set, editor, LString(kAnuniv), int32_t(Clamp(number, 1, 32768)) - 1);
                break;
            case Setter::kInterface:
                CParamSet::SetString(set, editor, LString(kDrsern), LString(text.c_str()));
                break;
            default:
                break;
        }
    }
    CRecordUndo::EndGroup(group);
}

}  // namespace dimcell
