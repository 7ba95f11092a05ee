#include "Orbilume/CSources/Led/UDimArrange.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordUndo.h"
#include "Orbilume/CSources/Led/CDimDefStore.h"
#include "Orbilume/CSources/Led/CDimTypes.h"

namespace {

using T = CDimTypes;
constexpr double kPi = 3.14159265358979323846;

class Step {
public:
    explicit Step(LHandler* editor) : mToken(CRecordUndo::BeginGroup(editor)) {}
    ~Step() { CRecordUndo::EndGroup(mToken); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    void* mToken;
};

CRecordRef DeviceRef(CRecordRef dims, uint32_t i) {
    return CRecordRef(&(*dims->GetRecordArray(T::kDimsDevices))[i]);
}

std::vector<uint32_t> Selected(const CRecord* dims) {
    std::vector<uint32_t> out;
    const uint32_t n = dims ? dims->ArrayCount(T::kDimsDevices) : 0;
    for (uint32_t i = 0; i < n; ++i)
        if (dims->GetElement(T::kDimsDevices, i)->GetByte(T::kDidvSelected)) out.push_back(i);
    return out;
}

float Get(CRecordRef dims, uint32_t i, uint32_t field) {
    return dims->GetElement(T::kDimsDevices, i)->GetFloat(field);
}

void Set(LHandler* editor, CRecordRef dims, uint32_t i, uint32_t field, double value) {
    (void)DeviceRef(dims, i).SetFloat(editor, field, static_cast<float>(value));
}

bool ArrangeSelected(LHandler* editor, CRecordRef dims, const std::vector<uint32_t>& sel, bool vertical, int kind,
             double f) {
    const uint32_t pos = vertical ? T::kDidvPosY : T::kDidvPosX;
    const uint32_t size = vertical ? T::kDidvHeight : T::kDidvWidth;
    if (kind == 0) {  // mean
        double sum = 0;
        for (uint32_t i : sel) sum += Get(dims, i, size);
        const double mean = sum / double(sel.size());
        Step step(editor);
        for (uint32_t i : sel) Set(editor, dims, i, size, mean);
        return true;
    }
    if (kind == 1) {  // align an edge
        double target = Get(dims, sel[0], pos) + f * Get(dims, sel[0], size);
        for (uint32_t i : sel) {
            const double edge = Get(dims, i, pos) + f * Get(dims, i, size);
            target = f < 0 ? std::min(target, edge) : std::max(target, edge);
        }
        Step step(editor);
        for (uint32_t i : sel) Set(editor, dims, i, pos, target - f * Get(dims, i, size));
        return true;
    }
    // Even spread between the outer edges.
    uint32_t loDev = sel[0], hiDev = sel[0];
    double lo = Get(dims, sel[0], pos) - Get(dims, sel[0], size) / 2;
    double hi = Get(dims, sel[0], pos) + Get(dims, sel[0], size) / 2;
    for (uint32_t i : sel) {
        const double a = Get(dims, i, pos) - Get(dims, i, size) / 2;
        const double b = Get(dims, i, pos) + Get(dims, i, size) / 2;
        if (a < lo) lo = a, loDev = i;
        if (b > hi) hi = b, hiDev = i;
    }
    if (loDev == hiDev || hi <= lo) return false;
    std::vector<uint32_t> middle;
    for (uint32_t i : sel) {
        if (i == loDev || i == hiDev) continue;
        auto at = middle.end();
        while (at != middle.begin() && Get(dims, *(at - 1), pos) > Get(dims, i, pos)) --at;
        middle.insert(at, i);
    }
    std::vector<uint32_t> places;
    places.push_back(loDev);
    places.insert(places.end(), middle.begin(), middle.end());
    places.push_back(hiDev);
    const double n = double(sel.size());
    const double w = (hi - lo) / n;
    Step step(editor);
    for (size_t k = 0; k < places.size(); ++k) {
        Set(editor, dims, places[k], size, w);
        Set(editor, dims, places[k], pos, lo + double(k) * (hi - lo) / n + w / 2);
    }
    return true;
}

void Turn(double& x, double& y, double degrees) {
    const double r = degrees * kPi / 180.0;
    const double c = std::cos(r), s = std::sin(r);
    const double nx = x * c - y * s, ny = x * s + y * c;
    x = nx;
    y = ny;
}

void SnapOne(LHandler* editor, CRecordRef dims, uint32_t i, const CDimDefStore* defs, uint32_t width,
             uint32_t height, bool dotMode) {
    const CRecord* dev = dims->GetElement(T::kDimsDevices, i);
    const double cell = 2.0 / double(std::max<uint32_t>(std::max(width, height), 1));
    const double rota = dev->GetFloat(T::kDidvRotation);
    const double cr = std::cos(rota * kPi / 180.0);
    const bool across = cr * cr < 0.5;
    const double a = across ? dev->GetFloat(T::kDidvHeight) : dev->GetFloat(T::kDidvWidth);
    const double b = across ? dev->GetFloat(T::kDidvWidth) : dev->GetFloat(T::kDidvHeight);
    const CRecord* def = defs ? defs->Find(dev->GetString(T::kDidvDefinition).CStr()) : nullptr;
    double nx, ny;
    if (dotMode && def) {
        nx = def->GetUInt(T::kDidfColumns);
        ny = def->GetUInt(T::kDidfRows);
    } else {
        nx = std::max(1.0, std::round(a / cell));
        ny = std::max(1.0, std::round(b / cell));
    }
    double x = dev->GetFloat(T::kDidvPosX), y = dev->GetFloat(T::kDidvPosY);
    Turn(x, y, -rota);
    auto snap = [](double v, double cells, uint32_t side) {
        const bool sameParity = (static_cast<uint64_t>(cells) & 1) == (side & 1);
        return sameParity ? std::floor(v + 0.5) : std::floor(v) + 0.5;
    };
    x = snap(x / cell, nx, width) * cell;
    y = snap(y / cell, ny, height) * cell;
    Turn(x, y, rota);
    Set(editor, dims, i, T::kDidvPosX, x);
    Set(editor, dims, i, T::kDidvPosY, y);
    Set(editor, dims, i, T::kDidvWidth, (across ? ny : nx) * cell);
    Set(editor, dims, i, T::kDidvHeight, (across ? nx : ny) * cell);
}

int64_t Decimal(CRecord* params, const char* key) {
    LString text;
    if (!params || CParamSet::Find(CRecordRef(&params), LString(key), &text) < 0) return 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.CStr(), &end, 10);
    return end && end != text.CStr() ? static_cast<int64_t>(v) : 0;
}

struct SortKey {
    int64_t conn, port, slot;
    bool operator>(const SortKey& o) const {
        if (conn != o.conn) return conn > o.conn;
        if (port != o.port) return port > o.port;
        return slot > o.slot;
    }
};

SortKey KeyOf(const CRecord* dev) {
    const uint32_t conn = dev->GetByte(T::kDidvConnection);
    CRecord* params = dev->GetSubRecord(T::kDidvParams);
    int64_t port = 0;
    if (conn == 2) port = Decimal(params, "anuniv");
    if (conn == 1) port = Decimal(params, "drsern");
    return {conn, port, dev->GetUInt(T::kDidvFirstSlot)};
}

}  // namespace

double UDimArrange::Normalize(double r) {
    return r - 360.0 * std::floor(r / 360.0 + 0.5);
}

uint32_t UDimArrange::SelectedCount(const CRecord* dims) {
    return static_cast<uint32_t>(Selected(dims).size());
}

bool UDimArrange::DoArrange(LHandler* editor, CRecordRef dims, Arrange what) {
    if (!dims) return false;
    const std::vector<uint32_t> sel = Selected(dims.Get());
    if (sel.size() < 2) return false;
    switch (what) {
        case kMeanWidth:
            return ArrangeSelected(editor, dims, sel, false, 0, 0);
        case kMeanHeight:
            return ArrangeSelected(editor, dims, sel, true, 0, 0);
        case kAlignLeft:
            return ArrangeSelected(editor, dims, sel, false, 1, -0.5);
        case kAlignRight:
            return ArrangeSelected(editor, dims, sel, false, 1, 0.5);
        case kAlignTop:
            return ArrangeSelected(editor, dims, sel, true, 1, 0.5);
        case kAlignBottom:
            return ArrangeSelected(editor, dims, sel, true, 1, -0.5);
        case kEvenWidth:
            return ArrangeSelected(editor, dims, sel, false, 2, 0);
        case kEvenHeight:
            return ArrangeSelected(editor, dims, sel, true, 2, 0);
    }
    return false;
}

bool UDimArrange::Snap(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, uint32_t width,
                       uint32_t height, bool dotMode) {
    if (!dims) return false;
    const std::vector<uint32_t> sel = Selected(dims.Get());
    if (sel.empty()) return false;
    Step step(editor);
    for (uint32_t i : sel) SnapOne(editor, dims, i, defs, width, height, dotMode);
    return true;
}

bool UDimArrange::Square(LHandler* editor, CRecordRef dims) {
    if (!dims) return false;
    const std::vector<uint32_t> sel = Selected(dims.Get());
    if (sel.empty()) return false;
    Step step(editor);
    for (uint32_t i : sel)
        Set(editor, dims, i, T::kDidvRotation, Normalize(std::round(Get(dims, i, T::kDidvRotation) / 90.0) * 90.0));
    return true;
}

bool UDimArrange::Group(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, uint32_t width,
                        uint32_t height) {
    if (!dims) return false;
    const std::vector<uint32_t> sel = Selected(dims.Get());
    if (sel.empty()) return false;
    double sum = 0;
    for (uint32_t i : sel) {
        const double r = Get(dims, i, T::kDidvRotation);
        double e = r - 90.0 * std::floor(r / 90.0);
        if (e >= 45.0) e -= 90.0;
        sum += e;
    }
    const double m = sum / double(sel.size());
    Step step(editor);
    for (uint32_t i : sel) {
        const double r = Get(dims, i, T::kDidvRotation);
        Set(editor, dims, i, T::kDidvRotation, Normalize(std::round((r - m) / 90.0) * 90.0 + m));
    }
    for (uint32_t i : sel) SnapOne(editor, dims, i, defs, width, height, false);
    return true;
}

bool UDimArrange::SortByChannel(LHandler* editor, CRecordRef dims) {
    if (!dims) return false;
    const uint32_t n = dims->ArrayCount(T::kDimsDevices);
    if (n < 2) return false;
    std::vector<CRecord*> order;
    std::vector<SortKey> keys;
    for (uint32_t i = 0; i < n; ++i) {
        CRecord* dev = dims->GetElement(T::kDimsDevices, i);
        const SortKey key = KeyOf(dev);
        size_t at = order.size();
        while (at > 0 && keys[at - 1] > key) --at;
        order.insert(order.begin() + static_cast<ptrdiff_t>(at), dev);
        keys.insert(keys.begin() + static_cast<ptrdiff_t>(at), key);
    }
    Step step(editor);
    for (uint32_t i = 0; i < n; ++i) {
        CRecord* want = order[i];
        if (dims->GetElement(T::kDimsDevices, i) == want) continue;
        dims.MoveRecord(editor, T::kDimsDevices, static_cast<uint32_t>(want->ArrayIndex()), i);
    }
    return true;
}

bool UDimArrange::AddDevices(LHandler* editor, CRecordRef dims, const CDimDefStore* defs, const AddValues& v) {
    if (!dims || v.across == 0 || v.down == 0) return false;
    const uint32_t count = dims->ArrayCount(T::kDimsDevices);
    for (uint32_t i = 0; i < count; ++i)
        if (dims->GetElement(T::kDimsDevices, i)->GetByte(T::kDidvSelected))
            (void)DeviceRef(dims, i).SetByte(nullptr, T::kDidvSelected, 0);
    const CRecord* def = defs ? defs->Find(v.name.CStr()) : nullptr;
    const double c = def ? def->GetUInt(T::kDidfColumns) : 1;
    const double r = def ? def->GetUInt(T::kDidfRows) : 1;
    const uint64_t footprint = def ? CDimDefStore::Footprint(def) : 3;
    const double m = std::max(c * v.across, r * v.down);
    if (!(m > 0)) return false;
    const double w = 2 * c / m, h = 2 * r / m;
    const double x0 = -(v.across / 2.0 - 0.5) * w, y0 = (v.down / 2.0 - 0.5) * h;
    uint32_t u = std::min<uint32_t>(v.net * 256 + v.subnet * 16 + v.universe, 32767);
    uint64_t ch = v.firstChannel;
    Step step(editor);
    for (uint32_t row = 0; row < v.down; ++row) {
        for (uint32_t col = 0; col < v.across; ++col) {
            if (ch + footprint >= 514) {
                ch = 1;
                if (u < 32767) ++u;
            }
            CRecord* dev = CRecord::New(T::Didv());
            if (!dev) return true;
            dev->StringSlot(T::kDidvDefinition) = v.name;
            dev->Slot(T::kDidvPosX).f32 = static_cast<float>(x0 + col * w);
            dev->Slot(T::kDidvPosY).f32 = static_cast<float>(y0 - row * h);
            dev->Slot(T::kDidvWidth).f32 = static_cast<float>(w);
            dev->Slot(T::kDidvHeight).f32 = static_cast<float>(h);
            dev->Slot(T::kDidvFirstSlot).u32 = static_cast<uint32_t>(std::min<uint64_t>(ch, 0xFFFFFFFFu));
            dev->Slot(T::kDidvConnection).u8 = 2;
            dev->Slot(T::kDidvSelected).u8 = 1;
            CRecord* params = dev->GetSubRecord(T::kDidvParams);
            if (params) CParamSet::PutIntByName(params, "anuniv", static_cast<int32_t>(u));
            if (!dims.InsertRecord(editor, T::kDimsDevices, CRecordRef::kAppend, dev)) return true;
            ch += footprint;
        }
    }
    return true;
}
