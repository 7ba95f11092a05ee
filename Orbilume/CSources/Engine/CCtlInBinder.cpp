#include "Orbilume/CSources/Engine/CCtlInBinder.h"

#include <algorithm>
#include <cmath>

#include "Lib3/LSources/CoreData/CParamSet.h"
#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreData/CRecordRef.h"
#include "Lib3/LSources/Mac/GetEventTimeMs.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UCtlAttr.h"
#include "Orbilume/CSources/Engine/CCtlInHub.h"
#include "Orbilume/CSources/Engine/CUnitParam.h"
#include "Orbilume/CSources/Osc/OscArg.h"
#include "Orbilume/CSources/Osc/OscPattern.h"

namespace {

using T = CDocModelTypes;

// Nested control sets are found within this many parents of a changed record.
constexpr int kMaxControlDepth = 16;

CRecordRef Ref(const CRecord*& record) {
    return CRecordRef(const_cast<CRecord**>(&record));
}

int TypeOf(const CRecord* control) {
    return control ? UCtlAttr::GetInCtlType(Ref(control)) : 0;
}

uint32_t NowMs() {
    return static_cast<uint32_t>(GetEventTimeMs());
}

std::unique_lock<std::mutex> Guard(std::mutex* lock) {
    return lock ? std::unique_lock<std::mutex>(*lock) : std::unique_lock<std::mutex>();
}

}  // namespace

int CCtlInBinder::SourceOf(const CRecord* control) {
    return TypeOf(control);
}

CtlBinding::~CtlBinding() {
    CRecord::Delete(control);
}

void CtlBinding::Reset() {
    lastText = LString();
    moved = false;
}

CtlBinding* CtlUnitBindings::Find(const LString& key) const {
    for (const auto& b : bindings) {
        if (b->key == key) return b.get();
    }
    return nullptr;
}

CCtlInBinder::CCtlInBinder(CCtlInHub* hub) : fHub(hub) {
    if (fHub) (void)fHub->AddOscListener(&CCtlInBinder::OscProc, this);
}

CCtlInBinder::~CCtlInBinder() {
    if (fHub) (void)fHub->RemoveOscListener(&CCtlInBinder::OscProc, this);
}

float CCtlInBinder::LocalValue(uint32_t) {
    return 0;
}

// --- bindings ---------------------------------------------------------------------------------

void CCtlInBinder::UpdateFromInput(CRecord* input) {
    auto lock = Guard(fLock);
    UpdateLocked(input);
}

void CCtlInBinder::UpdateLocked(CRecord* input) {
    if (!input || !input->IsOfType(T::kDomain, T::kINPT)) return;
    const CRecord* unitRecord = input->Parent();
    if (!unitRecord || !unitRecord->IsOfType(T::kDomain, T::kUNIT)) return;
    const uint32_t unitId = unitRecord->GetUInt(T::kUnitId);
    const LString& key = input->GetString(T::kInptKey);
    const CRecord* control = input->GetSubRecord(T::kInptCtl);
    if (TypeOf(control) == kNone) {
        RemoveLocked(unitId, key);
        return;
    }
    CtlUnitBindings* unit = nullptr;
    for (auto& u : fUnits) {
        if (u->unitId == unitId) unit = u.get();
    }
    if (!unit) {
        fUnits.push_back(std::make_unique<CtlUnitBindings>());
        unit = fUnits.back().get();
        unit->unitId = unitId;
        fUnitCount.store(static_cast<uint32_t>(fUnits.size()), std::memory_order_relaxed);
    }
    CtlBinding* binding = unit->Find(key);
    if (!binding) {
        unit->bindings.push_back(std::make_unique<CtlBinding>());
        binding = unit->bindings.back().get();
        binding->key = key;
    }
    binding->control = CRecord::Clone(control, binding->control);
    binding->Reset();
}

void CCtlInBinder::RemoveInput(CRecord* input) {
    if (!input || !input->IsOfType(T::kDomain, T::kINPT)) return;
    const CRecord* unitRecord = input->Parent();
    if (!unitRecord || !unitRecord->IsOfType(T::kDomain, T::kUNIT)) return;
    auto lock = Guard(fLock);
    RemoveLocked(unitRecord->GetUInt(T::kUnitId), input->GetString(T::kInptKey));
}

void CCtlInBinder::RemoveLocked(uint32_t unitId, const LString& key) {
    for (size_t i = 0; i < fUnits.size(); ++i) {
        auto& list = fUnits[i]->bindings;
        if (fUnits[i]->unitId != unitId) continue;
        list.erase(std::remove_if(list.begin(), list.end(), [&](const auto& b) { return b->key == key; }),
                   list.end());
        if (list.empty()) fUnits.erase(fUnits.begin() + static_cast<long>(i));
        break;
    }
    fUnitCount.store(static_cast<uint32_t>(fUnits.size()), std::memory_order_relaxed);
}

void CCtlInBinder::RemoveUnit(uint32_t unitId) {
    auto lock = Guard(fLock);
    fUnits.erase(
        std::remove_if(fUnits.begin(), fUnits.end(), [&](const auto& u) { return u->unitId == unitId; }),
        fUnits.end());
    fUnitCount.store(static_cast<uint32_t>(fUnits.size()), std::memory_order_relaxed);
}

void CCtlInBinder::ResetAll() {
    auto lock = Guard(fLock);
    for (auto& u : fUnits) {
        for (auto& b : u->bindings) b->Reset();
    }
}

CtlUnitBindings* CCtlInBinder::FindUnitBindings(uint32_t unitId) {
    auto lock = Guard(fLock);
    for (auto& u : fUnits) {
        if (u->unitId == unitId) return u.get();
    }
    return nullptr;
}

CtlBinding* CCtlInBinder::FindBinding(CtlUnitBindings* unit, const LString& key) {
    if (!unit) return nullptr;
    auto lock = Guard(fLock);
    return unit->Find(key);
}

bool CCtlInBinder::BoundKeys(uint32_t unitId, std::vector<std::pair<LString, bool>>& out) {
    out.clear();
    auto lock = Guard(fLock);
    for (auto& u : fUnits) {
        if (u->unitId != unitId) continue;
        for (auto& b : u->bindings) out.emplace_back(b->key, b->moved);
    }
    return !out.empty();
}

CRecord* CCtlInBinder::InputOfControlChange(CRecord* record) {
    for (int depth = 0; record && depth < kMaxControlDepth; ++depth) {
        CRecord* parent = record->Parent();
        if (!parent) return nullptr;
        if (parent->IsOfType(T::kDomain, T::kINPT))
            return record->FieldInParent() == T::kInptCtl ? parent : nullptr;
        if (!record->IsOfType(CParamSet::kDomain, CParamSet::kSet) &&
            !record->IsOfType(CParamSet::kDomain, CParamSet::kEntry))
            return nullptr;
        record = parent;
    }
    return nullptr;
}

// --- sources ----------------------------------------------------------------------------------

bool CCtlInBinder::SourceValue(const CRecord* control, float& value) {
    const int source = TypeOf(control);
    if (source == kLocal) {
        value = LocalValue(kLocal);
        return std::isfinite(value);
    }
    if (!fHub) return false;
    CRecordRef set = Ref(control);
    double v = 0;
    switch (source) {
        case kDmx:
            v = fHub->DmxValue(static_cast<uint32_t>(UCtlAttr::GetInCtlDmxCh(set))) / 255.0;
            break;
        case kDmx2: {
            const auto ch = static_cast<uint32_t>(UCtlAttr::GetInCtlDmxCh(set));
            const uint32_t low = ch + 1 < CCtlInHub::kDmxSlots ? fHub->DmxValue(ch + 1) : 0;
            v = (fHub->DmxValue(ch) * 256.0 + low) / 65535.0;
            break;
        }
        case kMidiCc:
            v = fHub->MidiCc(static_cast<uint32_t>(UCtlAttr::GetInCtlMidiCh(set)),
                             static_cast<uint32_t>(UCtlAttr::GetInCtlMidiCc(set))) /
                127.0;
            break;
        case kMidiNote: {
            const auto ch = static_cast<uint32_t>(UCtlAttr::GetInCtlMidiCh(set));
            const uint8_t note = fHub->MidiLastNote(ch);
            v = note / 127.0;
            if (UCtlAttr::GetInCtlMidiNg(set) && !(fHub->MidiNote(ch, note) & 0x80)) v = 0;
            break;
        }
        case kMidiVelocity: {
            const auto ch = static_cast<uint32_t>(UCtlAttr::GetInCtlMidiCh(set));
            const bool useNote = UCtlAttr::GetInCtlMidiNs(set);
            const uint8_t note = fHub->MidiNote(ch, static_cast<uint32_t>(UCtlAttr::GetInCtlMidiNn(set)));
            uint32_t velocity = useNote ? (note & 0x7F) : fHub->MidiLastVelocity(ch);
            if (UCtlAttr::GetInCtlMidiNg(set)) {
                if ((useNote && !(note & 0x80)) || (!useNote && fHub->MidiHeldCount(ch) == 0)) velocity = 0;
            }
            v = velocity / 127.0;
            break;
        }
        case kSpectrum: {
            float bands[CCtlInHub::kBands];
            fHub->Spectrum(bands);
            v = *std::max_element(bands, bands + CCtlInHub::kBands);
            break;
        }
        default:
            return false;
    }
    value = static_cast<float>(v);
    return true;
}

void CCtlInBinder::MappingRange(const CRecord* control, float& min, float& max) {
    if (TypeOf(control) == kLocal) {
        min = 0;
        max = 1;
        return;
    }
    CRecordRef set = Ref(control);
    if (!UCtlAttr::GetInCtlRange(set)) return;
    const LString lo = UCtlAttr::GetInCtlMin(set);
    const LString hi = UCtlAttr::GetInCtlMax(set);
    if (!lo.IsEmpty()) min = CUnitParam::ReadFloat(lo);
    if (!hi.IsEmpty()) max = CUnitParam::ReadFloat(hi);
}

LString CCtlInBinder::IntegerText(double value) {
    // In single precision, as the values are: 2.5 rounds to 3.
    float f = std::isfinite(value) ? static_cast<float>(value) : 0.0f;
    f += std::copysign(0.49999997f, f);
    return UWord::FloatSuppress(std::trunc(std::clamp(static_cast<double>(f), -2147483648.0, 2147483647.0)),
                                0);
}

void CCtlInBinder::RgbToHsv(const float rgb[3], float hsv[3]) {
    const float r = rgb[0], g = rgb[1], b = rgb[2];
    const float max = std::max({r, g, b});
    const float min = std::min({r, g, b});
    const float delta = max - min;
    float h = 0;
    if (delta > 0) {
        if (max == r)
            h = (0 + (g - b) / delta) / 6;
        else if (max == g)
            h = (2 + (b - r) / delta) / 6;
        else
            h = (4 + (r - g) / delta) / 6;
        if (h < 0) h += 1;
        if (h >= 1) h -= 1;
    }
    hsv[0] = h;
    hsv[1] = max > 0 ? delta / max : 0;
    hsv[2] = max;
}

void CCtlInBinder::HsvToRgb(const float hsv[3], float rgb[3]) {
    const float h = hsv[0], s = hsv[1], v = hsv[2];
    // A hue of 1 (or beyond) is hue 0 again.
    const bool wraps = !(6 * h < 6) || !(h >= 0);
    const int i = wraps ? 0 : static_cast<int>(std::floor(6 * h));
    const float f = wraps ? 0.0f : 6 * h - static_cast<float>(i);
    const float p = v * (1 - s), q = v * (1 - s * f), t = v * (1 - s * (1 - f));
    const float table[6][3] = {{v, t, p}, {q, v, p}, {p, v, t}, {p, q, v}, {t, p, v}, {v, p, q}};
    for (int c = 0; c < 3; ++c) rgb[c] = table[i][c];
}

bool CCtlInBinder::ColorValue(CtlBinding& binding, float rgba[4]) {
    const int source = TypeOf(binding.control);
    if (source == kRgb || source == kHsv) {
        float comps[4] = {rgba[0], rgba[1], rgba[2], rgba[3]};
        if (source == kHsv) RgbToHsv(rgba, comps);
        CRecordRef set = Ref(const_cast<const CRecord*&>(binding.control));
        for (int c = 0; c < 4; ++c) {
            const CRecord* compo = UCtlAttr::GetInCtlCompo(set, c + 1);
            const int type = TypeOf(compo);
            if (type == kNone) continue;
            float v = 0;
            if (type == kOsc) {
                if (binding.osc[c] >= 0) comps[c] = binding.osc[c];
            } else if (SourceValue(compo, v)) {
                comps[c] = v;
            }
        }
        if (source == kHsv) {
            HsvToRgb(comps, rgba);
            rgba[3] = comps[3];
        } else {
            for (int c = 0; c < 4; ++c) rgba[c] = comps[c];
        }
        return true;
    }
    float g = 0;
    if (!SourceValue(binding.control, g)) return false;
    rgba[0] = rgba[1] = rgba[2] = g;
    rgba[3] = 1.0f;
    return true;
}

// --- evaluation -------------------------------------------------------------------------------

void CCtlInBinder::Evaluate() {
    auto lock = Guard(fLock);
    EvaluateLocked();
}

void CCtlInBinder::EvaluateLocked() {
    fEvaluating = true;
    for (size_t u = 0; u < fUnits.size(); ++u) {
        CtlUnitBindings& unit = *fUnits[u];
        for (size_t i = 0; i < unit.bindings.size(); ++i) {
            CtlBinding& b = *unit.bindings[i];
            const int source = TypeOf(b.control);
            if (source == kNone || source == kOsc) continue;
            float min = 0, max = 0;
            uint8_t decimals = 0;
            const uint32_t kind = ValueKind(unit, b, min, max, decimals);
            LString text;
            float v = 0;
            switch (kind) {
                case kNumberKind:
                case kIntegerKind: {
                    if (!SourceValue(b.control, v)) continue;
                    MappingRange(b.control, min, max);
                    const double mapped = min + (static_cast<double>(max) - min) * v;
                    if (!std::isfinite(mapped)) continue;
                    text = kind == kNumberKind ? UWord::FloatSuppress(mapped, decimals) : IntegerText(mapped);
                    break;
                }
                case kColorKind: {
                    float rgba[4];
                    CUnitParam::ParseRgba(CurrentText(unit, b), rgba);
                    if (!ColorValue(b, rgba)) continue;
                    text = CUnitParam::FormatRgba(rgba);
                    break;
                }
                case kTextKind:
                    if (!SourceValue(b.control, v)) continue;
                    text = UWord::FloatSuppress(v, 3);
                    break;
                default:
                    continue;
            }
            SetValue(unit, b, text, true);
        }
    }
    fEvaluating = false;
}

// --- OSC ----------------------------------------------------------------------------------------

void CCtlInBinder::OscProc(void* context, OscPattern& pattern, const OscArg* args, uint32_t count) {
    static_cast<CCtlInBinder*>(context)->OnOsc(pattern, args, count);
}

void CCtlInBinder::OnOsc(OscPattern& pattern, const OscArg* args, uint32_t count) {
    auto lock = Guard(fLock);
    OnOscLocked(pattern, args, count);
}

void CCtlInBinder::OnOscLocked(OscPattern& pattern, const OscArg* args, uint32_t count) {
    const uint32_t now = fClock ? fClock() : NowMs();
    const bool recent = fRecent && static_cast<int32_t>(now - fRecentStamp) <= 1000;
    if (!recent) fRecent = 0;
    if (count == 0 || !args) return;
    const OscArg& arg = args[0];
    const float f = arg.AsFloat();
    for (auto& unitPtr : fUnits) {
        CtlUnitBindings& unit = *unitPtr;
        for (auto& bPtr : unit.bindings) {
            CtlBinding& b = *bPtr;
            const int source = TypeOf(b.control);
            CRecordRef set = Ref(const_cast<const CRecord*&>(b.control));
            if (source == kRgb || source == kHsv) {
                for (int c = 0; c < 4; ++c) {
                    const CRecord* compo = UCtlAttr::GetInCtlCompo(set, c + 1);
                    if (TypeOf(compo) != kOsc || !std::isfinite(f)) continue;
                    if (pattern.IsMatch(UCtlAttr::GetInCtlOscAdr(Ref(compo)).CStr()))
                        b.osc[c] = std::clamp(f, 0.0f, 1.0f);
                }
                continue;
            }
            if (source != kOsc || !pattern.IsMatch(UCtlAttr::GetInCtlOscAdr(set).CStr())) continue;
            float min = 0, max = 0;
            uint8_t decimals = 0;
            const uint32_t kind = ValueKind(unit, b, min, max, decimals);
            const bool range = UCtlAttr::GetInCtlRange(set);
            MappingRange(b.control, min, max);
            const double mapped = range ? min + (static_cast<double>(max) - min) * f : f;
            LString text;
            switch (kind) {
                case kNumberKind:
                    if (!std::isfinite(mapped)) continue;
                    text = UWord::FloatSuppress(mapped, decimals);
                    break;
                case kIntegerKind:
                    if (range && !std::isfinite(mapped)) continue;
                    text = range ? IntegerText(mapped) : UWord::FloatSuppress(arg.AsInt(), 0);
                    break;
                case kColorKind: {
                    if (!std::isfinite(f)) continue;
                    const float g = std::clamp(f, 0.0f, 1.0f);
                    const float rgba[4] = {g, g, g, 1.0f};
                    text = CUnitParam::FormatRgba(rgba);
                    break;
                }
                case kTextKind:
                    text = LString(arg.AsText(3).c_str());
                    break;
                default:
                    continue;
            }
            SetValue(unit, b, text, recent);
        }
    }
}
