#include "Orbilume/CSources/Engine/CUnitParam.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "Lib3/LSources/CoreData/CRecord.h"
#include "Lib3/LSources/CoreString/LVariStr.h"
#include "Lib3/LSources/String/CCLocaleScope.h"
#include "Lib3/LSources/String/UNum.h"
#include "Lib3/LSources/String/UWord.h"
#include "Orbilume/CSources/Document/CDocModelTypes.h"
#include "Orbilume/CSources/Document/UDocModel.h"
#include "Orbilume/CSources/Engine/CMediaUnit.h"
#include "Orbilume/CSources/Engine/CUnit.h"
#include "Orbilume/CSources/Engine/CUnitHost.h"
#include "Orbilume/CSources/QCx/MQcComposition_.h"
#include "Orbilume/CSources/QCx/MQcRenderer_.h"

namespace {

constexpr char kProtocolInputPrefix[] = "_protocolInput_";
constexpr uint32_t kProtocolInputPrefixLength = sizeof kProtocolInputPrefix - 1;

double Finite(double value) {
    return std::isfinite(value) ? value : 0;
}

// Narrowed without overflowing to infinity.
float ToFloat(double value) {
    return static_cast<float>(
        std::clamp(Finite(value), -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

// Reads a number in the C locale at p; the end is where reading stopped (p when nothing was read).
double ReadAt(const char* p, const char** end) {
    char* stop = nullptr;
    double value;
    {
        CCLocaleScope c;
        value = std::strtod(p, &stop);
    }
    *end = stop;
    return Finite(value);
}

}  // namespace

CUnitParam::CUnitParam() = default;
CUnitParam::~CUnitParam() = default;

uint8_t CUnitParam::DecimalsForRange(float min, float max) {
    const double m = std::fmax(std::fabs(static_cast<double>(min)), std::fabs(static_cast<double>(max)));
    if (std::isnan(m) || m <= 0) return 3;
    if (std::isinf(m)) return 0;
    const double d = 3 - std::floor(std::log10(m));
    return static_cast<uint8_t>(std::fmin(3, std::fmax(0, d)));
}

double CUnitParam::ReadNumber(const LString& text) {
    const char* end;
    return ReadAt(text.CStr(), &end);
}

float CUnitParam::ReadFloat(const LString& text) {
    return ToFloat(ReadNumber(text));
}

int32_t CUnitParam::ReadInt(const LString& text) {
    return UNum::ToInt(text.Text());
}

void CUnitParam::ParseRgba(const LString& text, float rgba[4]) {
    rgba[0] = rgba[1] = rgba[2] = 0;
    rgba[3] = 1;
    const char* p = text.CStr();
    while (*p == ' ' || *p == '\t') ++p;
    if (std::strncmp(p, "rgba", 4) != 0 || (p[4] >= 'a' && p[4] <= 'z')) {
        const uint32_t rgb = UNum::ToHex(text.Text());
        rgba[0] = static_cast<float>(((rgb >> 16) & 0xFF) / 255.0);
        rgba[1] = static_cast<float>(((rgb >> 8) & 0xFF) / 255.0);
        rgba[2] = static_cast<float>((rgb & 0xFF) / 255.0);
        return;
    }
    p += 4;
    if (*p != '(') return;
    ++p;
    for (int i = 0; i < 4; ++i) {
        const char* end;
        const double value = ReadAt(p, &end);
        if (end == p) return;
        rgba[i] = ToFloat(value);
        if (*end != ',') return;
        p = end + 1;
    }
}

LString CUnitParam::FormatRgba(const float rgba[4]) {
    LVariStr<64> out;
    out.Append("rgba(");
    for (int i = 0; i < 4; ++i) {
        if (i) out.Append(",");
        UWord::FloatSuppress(static_cast<double>(rgba[i]), 3, out);
    }
    out.Append(")");
    return LString(out);
}

std::unique_ptr<CUnitParam> CUnitParam::FromPort(const MQcComposition_* composition, const LString& key,
                                                 bool hidden, CUnitHost* host) {
    auto param = std::make_unique<CUnitParam>();
    if (!MQcComposition_::ReadPortDesc(composition, key, *param)) return nullptr;
    if (param->name.Length() >= kProtocolInputPrefixLength &&
        std::memcmp(param->name.CStr(), kProtocolInputPrefix, kProtocolInputPrefixLength) == 0)
        param->name = LString(param->name.CStr() + kProtocolInputPrefixLength,
                              param->name.Length() - kProtocolInputPrefixLength);
    if (param->kind == kImage && host) param->fMediaUnit = host->MakeMediaUnit();
    param->fHidden = hidden ? 1 : 0;
    if (param->decimals >= 0)
        param->fDecimals = static_cast<uint8_t>(param->decimals > 255 ? 255 : param->decimals);
    else
        param->fDecimals = param->kind == kNumber ? DecimalsForRange(param->min, param->max) : 0;
    return param;
}

std::unique_ptr<CUnitParam> CUnitParam::Engine(const char* key, uint32_t kind, float defaultValue, float min,
                                               float max, const char* value, uint8_t decimals) {
    auto param = std::make_unique<CUnitParam>();
    param->kind = kind;
    param->key = LString(key);
    param->name = param->key;
    param->defaultValue = defaultValue;
    param->min = min;
    param->max = max;
    param->fValue = LString(value);
    param->fDecimals = decimals;
    param->fHidden = 1;
    return param;
}

LString CUnitParam::ValueText(const MQcRenderer_* renderer) const {
    if (fHidden) return fValue;
    if (kind == kImage) return fMediaUnit ? fMediaUnit->Clip() : LString();
    if (!renderer) return LString();
    switch (kind) {
        case kBoolean:
        case kIndex: {
            const float v = renderer->GetInputFloat(key);
            return UWord::Decimal(std::isfinite(v) && std::fabs(v) < 2e9f ? static_cast<long>(v) : 0);
        }
        case kNumber:
            return UWord::FloatSuppress(Finite(renderer->GetInputFloat(key)), fDecimals);
        case kString:
            return renderer->GetInputString(key);
        case kColor: {
            float rgba[4] = {0, 0, 0, 1};
            (void)renderer->GetInputColor(key, rgba);
            return FormatRgba(rgba);
        }
        default:
            return LString();
    }
}

LString CUnitParam::MonitorText(const MQcRenderer_* renderer) const {
    if (monitorKey.IsEmpty() || fHidden || kind < kBoolean || kind > kColor || !renderer) return LString();
    switch (kind) {
        case kBoolean:
        case kIndex: {
            const float v = renderer->GetOutputFloat(monitorKey);
            return UWord::Decimal(std::isfinite(v) && std::fabs(v) < 2e9f ? static_cast<long>(v) : 0);
        }
        case kNumber:
            return UWord::FloatSuppress(Finite(renderer->GetOutputFloat(monitorKey)), fDecimals);
        case kString:
            return renderer->GetOutputString(monitorKey);
        default: {
            float rgba[4] = {0, 0, 0, 1};
            (void)renderer->GetOutputColor(monitorKey, rgba);
            return FormatRgba(rgba);
        }
    }
}

void CUnitParam::Store(CUnitHost* host, const LString& text) {
    fValue = text;
    if (monitorKey.IsEmpty()) fWriteBack = 1;
    if (host) host->Signal();
}

void CUnitParam::SetValue(CUnitHost* host, const LString& text, CRecord* unit, bool force) {
    if (!force && fAnimator && !fAnimator->IsBypassed()) return;
    {
        std::unique_lock<std::mutex> lock;
        if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
        if (!(text == fValue)) {
            if (fHidden) {
                Store(host, text);
            } else if (kind >= kBoolean && kind <= kColor) {
                fDirty = 1;
                Store(host, text);
            } else if (kind == kImage && fMediaUnit) {
                fMediaUnit->SetReloadRequest(true);
                Store(host, text);
            }
        }
    }
    if (!fMediaUnit || !unit || !fMediaUnit->ReloadRequest()) return;
    fMediaUnit->SetReloadRequest(false);
    CRecord* input = UDocModel::FindUnitInput(unit, key);
    CRecord* imgi = input ? input->GetSubRecord(CDocModelTypes::kInptImage) : nullptr;
    if (!imgi) return;
    std::unique_lock<std::recursive_mutex> frame;
    if (host) frame = std::unique_lock<std::recursive_mutex>(host->FrameLock());
    fMediaUnit->LoadClip(host, Value(host), imgi);
}

void CUnitParam::PushIfDirty(CUnitHost* host, MQcRenderer_* renderer) {
    LString text;
    {
        std::unique_lock<std::mutex> lock;
        if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
        if (!fDirty) return;
        fDirty = 0;
        text = fValue;
    }
    if (!renderer) return;
    switch (kind) {
        case kBoolean:
        case kIndex:
        case kNumber:
            renderer->SetNumber(key, ReadFloat(text));
            break;
        case kString:
            renderer->SetString(key, text);
            break;
        case kColor: {
            float rgba[4];
            ParseRgba(text, rgba);
            renderer->SetColor(key, rgba[0], rgba[1], rgba[2], rgba[3]);
            break;
        }
        default:
            break;
    }
}

LString CUnitParam::Value(CUnitHost* host) const {
    std::unique_lock<std::mutex> lock;
    if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
    return fValue;
}

LString CUnitParam::MonitorValue(CUnitHost* host) const {
    std::unique_lock<std::mutex> lock;
    if (host) lock = std::unique_lock<std::mutex>(host->ParamLock());
    return fMonitorValue;
}

void CUnitParam::SetMediaUnit(std::unique_ptr<CMediaUnit> unit) {
    fMediaUnit = std::move(unit);
}

void CUnitParam::DeleteAnimator() {
    fAnimator.reset();
}

void CUnitParam::SetAnimator(LHandler* editor, CRecord* anim, CUnitHost* host, uint32_t depth) {
    if (!anim || depth + 1 >= CUnit::kMaxDepth) {
        fAnimator.reset();
        return;
    }
    uint32_t width = 0, height = 0;
    if (host) host->FullOutputSize(width, height);
    const LString& spec = anim->GetString(CDocModelTypes::kUnitSpec);
    if (fAnimator && fAnimator->Spec() == spec) {
        fAnimator->Prepare(width, height, host, false);
        fAnimator->LoadFromRecord(editor, anim, host);
        return;
    }
    plat::Ref<MQcComposition_> composition = CUnit::LoadComposition(host, spec);
    if (!composition) {
        fAnimator.reset();
        return;
    }
    if (!fAnimator) fAnimator = std::make_unique<CUnit>(nullptr, CUnit::kAnimator, depth + 1);
    fAnimator->BuildParams(composition.get(), host, kind);
    fAnimator->SetSpec(spec);
    fAnimator->Prepare(width, height, host, false);
    fAnimator->LoadFromRecord(editor, anim, host);
}
