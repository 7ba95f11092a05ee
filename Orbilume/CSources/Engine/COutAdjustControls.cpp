#include "Orbilume/CSources/Engine/COutAdjustControls.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "Common/String/PropertyTree.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/CoreString/LCharIn.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Engine/CCtlInDocBinder.h"
#include "Orbilume/CSources/Timecode/ScaledValueText.h"
#include "Platform/Foundation/Bundle.h"
#include "Platform/Foundation/FileIO.h"

namespace {

using T = CDocModelTypes;

float Number(const PropertyTreeObject& o, const char* name) {
    const LString text = o.GetMemberValue(name);
    const double v = std::strtod(text.CStr(), nullptr);
    return std::isfinite(v) ? static_cast<float>(v) : 0.0f;
}

uint32_t Decimals(const PropertyTreeObject& o) {
    long precision = std::strtol(o.GetMemberValue("prec").CStr(), nullptr, 10);
    precision = precision < 0 ? 0 : std::min(precision, 6L);
    const double scale = std::strtod(o.GetMemberValue("scale").CStr(), nullptr);
    if (std::isfinite(scale))
        for (double p = 1.0; p < scale && precision < 6; p *= 10.0) ++precision;
    return static_cast<uint32_t>(precision);
}

// Depth first in file order; the reader bounds the nesting.
void Collect(const PropertyTreeMember& controls, std::vector<COutAdjustControls::Control>& out) {
    for (uint32_t i = 0; i < controls.ObjectCount(); ++i) {
        const PropertyTreeObject* o = controls.ObjectAt(i);
        if (!o) continue;
        if (o->FindMember("id") && out.size() < COutAdjustControls::kMaxControls) {
            COutAdjustControls::Control c;
            c.id = o->GetMemberValue("id");
            c.type = o->GetMemberValue("type");
            c.name = o->GetMemberValue("name");
            c.min = Number(*o, "min");
            c.max = Number(*o, "max");
            const std::string text = ScaledValueText(*o);
            c.defaultText = LString(text.c_str());
            c.decimals = Decimals(*o);
            out.push_back(std::move(c));
        }
        if (const PropertyTreeMember* nested = o->FindMember("controls")) Collect(*nested, out);
    }
}

int OscType() {
    for (int n = 1;; ++n) {
        const char* name = UCtlAttr::InCtlTypeName(n);
        if (!name) return -1;
        if (std::string(name) == "osc") return n;
    }
}

}  // namespace

std::string COutAdjustControls::DefaultPath() {
    return plat::BundleSharedSupportPath(plat::MainBundlePath()) + "/editor/outadj";
}

bool COutAdjustControls::Load(const std::string& path) {
    fControls.clear();
    std::string bytes;
    if (plat::ReadWholeFile(path, kMaxFileBytes, bytes) != plat::ReadFileResult::kOk) return false;
    return LoadText(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

bool COutAdjustControls::LoadText(const char* bytes, uint32_t length) {
    fControls.clear();
    PropertyTreeObject root;
    LCStrCharIn in(reinterpret_cast<const unsigned char*>(bytes), length);
    if (PropertyTreeReader::Parse(in, root) != PropertyTreeReader::kOk) return false;
    const PropertyTreeObject* obfx = root.FindMemberObject("obfx");
    const PropertyTreeMember* controls = obfx ? obfx->FindMember("controls") : nullptr;
    if (!controls) return false;
    Collect(*controls, fControls);
    return true;
}

const COutAdjustControls::Control* COutAdjustControls::Find(const LString& id) const {
    for (const Control& c : fControls)
        if (c.id == id) return &c;
    return nullptr;
}

void COutAdjustControls::AddRanges(CCtlInDocBinder& binder) const {
    for (const Control& c : fControls)
        if (c.IsNumeric()) binder.AddRange(c.id, c.min, c.max);
}

CRecord* COutAdjustControls::FindInput(const CRecord* unit, const LString& key) {
    if (!unit) return nullptr;
    for (uint32_t i = 0; i < unit->ArrayCount(T::kUnitInputs); ++i) {
        CRecord* input = unit->GetElement(T::kUnitInputs, i);
        if (input && input->GetString(T::kInptKey) == key) return input;
    }
    return nullptr;
}

void COutAdjustControls::RestoreDefaults(CRecord* unit) const {
    for (const Control& c : fControls) {
        CRecord* input = FindInput(unit, c.id);
        if (!input || input->GetString(T::kInptValue) == c.defaultText) continue;
        (void)CRecordRef(&input).SetString(nullptr, T::kInptValue, c.defaultText);
    }
}

void COutAdjustControls::OscControlList(const CRecord* unit, std::vector<OscControl>& out) const {
    const int osc = OscType();
    for (const Control& c : fControls) {
        CRecord* input = FindInput(unit, c.id);
        CRecord* ctrl = input ? input->GetSubRecord(T::kInptCtl) : nullptr;
        if (!ctrl || UCtlAttr::GetInCtlType(CRecordRef(&ctrl)) != osc) continue;
        const LString address = UCtlAttr::GetInCtlOscAdr(CRecordRef(&ctrl));
        if (address.IsEmpty()) continue;
        out.push_back({address, c.min, c.max, c.name, input->GetString(T::kInptValue)});
    }
}
