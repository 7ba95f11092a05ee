#include "Orbilume/CSources/QCx/MQcComposition_.h"

#include <charconv>
#include <cmath>

#include "Lib3/LSources/CoreData/CStrArray.h"
#include "Orbilume/CSources/QCx/PickLocalText.h"
#include "Platform/Composer/CompositionKeys.h"
#include "Platform/Composer/PortType.h"
#include "Platform/Composer/Repository.h"

namespace {

const char* const kProtocolNames[MQcComposition_::kProtocolCount] = {
    plat::kProtocolGraphicAnimation, plat::kProtocolGraphicTransition, plat::kProtocolImageFilter,
    plat::kProtocolScreenSaver,      plat::kProtocolRSSVisualizer,     plat::kProtocolMusicVisualizer,
};

constexpr char kMakerName[] = "lumetra.name";
constexpr char kMakerCategory[] = "lumetra.category";
constexpr char kMakerStub[] = "lumetra.stub";
constexpr char kMakerPlane[] = "lumetra.plane";
constexpr char kMakerClear[] = "lumetra.clear";
constexpr char kMakerPortEx[] = "lumetra.portex";

constexpr char kExName[] = "name";
constexpr char kExItems[] = "items";
constexpr char kExPrec[] = "prec";
constexpr char kExLines[] = "lines";
constexpr char kExStrSel[] = "strsel";
constexpr char kExMonitor[] = "monk";
constexpr char kExFormat[] = "frmt";

constexpr char kNodeIndexLabels[] = "indexLabels";
constexpr char kNodeInputMin[] = "inputMin";
constexpr char kSliderMin[] = "CIAttributeSliderMin";
constexpr char kSliderMax[] = "CIAttributeSliderMax";

LString ToLString(const std::string& s) {
    return LString(s.data(), static_cast<uint32_t>(s.size()));
}

// The text of a string value; empty for anything else.
LString TextOf(const plat::Value& v) {
    return v.Kind() == plat::ValueKind::String ? ToLString(v.StringValue()) : LString();
}

std::string StdString(const LString& s) {
    return std::string(s.CStr(), s.Length());
}

// Finds the entry of an array of dictionaries whose "key" is key.
const plat::Value& FindKeyed(const plat::Value& array, const std::string& key) {
    if (array.Kind() != plat::ValueKind::Array) return plat::Value::Null();
    for (const plat::Value& e : array.ArrayValue()) {
        const plat::Value& k = e[plat::kNodeKey];
        if (k.Kind() == plat::ValueKind::String && k.StringValue() == key) return e;
    }
    return plat::Value::Null();
}

float ToFloat(double d) {
    if (std::isnan(d)) return 0;
    if (d > 3.4e38) return 3.4e38f;
    if (d < -3.4e38) return -3.4e38f;
    return static_cast<float>(d);
}

// A number in the range of a signed 32-bit integer (truncated), else the fallback.
int32_t ToInt(double d, int32_t fallback) {
    if (!(d >= -2147483648.0 && d <= 2147483647.0)) return fallback;
    return static_cast<int32_t>(d);
}

}  // namespace

MQcComposition_::MQcComposition_(plat::Composition* composition, std::string path)
    : fCompo(composition), fPath(std::move(path)) {}

MQcComposition_* MQcComposition_::FromFile(const std::string& path) {
    if (path.empty()) return nullptr;
    plat::Ref<plat::Composition> c = plat::Composition::CreateFromFile(path);
    if (!c) return nullptr;
    return new MQcComposition_(c.get(), path);
}

MQcComposition_* MQcComposition_::FromComposition(plat::Composition* composition) {
    return composition ? new MQcComposition_(composition, std::string()) : nullptr;
}

void MQcComposition_::AllRepositoryCompositions(std::vector<MQcComposition_*>& out,
                                                plat::Repository* repository) {
    if (!repository) repository = plat::Repository::Shared();
    if (!repository) return;
    for (const auto& c : repository->AllCompositions()) out.push_back(FromComposition(c.get()));
}

void MQcComposition_::ReleaseAll(std::vector<MQcComposition_*>& list) {
    for (MQcComposition_* c : list) plat::Release(c);
    list.clear();
}

MQcComposition_* MQcComposition_::FromRepository(const LString& identifier, plat::Repository* repository) {
    if (!repository) repository = plat::Repository::Shared();
    if (!repository) return nullptr;
    return FromComposition(
        repository->FindComposition(std::string_view(identifier.CStr(), identifier.Length())));
}

const plat::Value& MQcComposition_::prop() const {
    return fCompo ? fCompo->PropertyList() : plat::Value::Null();
}

void MQcComposition_::InputKeys(const MQcComposition_* c, CStrArray& list) {
    if (!c) return;
    for (const std::string& k : c->fCompo->InputKeys()) list.Append(ToLString(k));
}

void MQcComposition_::OutputKeys(const MQcComposition_* c, CStrArray& list) {
    if (!c) return;
    for (const std::string& k : c->fCompo->OutputKeys()) list.Append(ToLString(k));
}

void MQcComposition_::ImagePorts(const MQcComposition_* c, bool inputs, std::vector<CQcImagePort>& list) {
    if (!c) return;
    const auto& keys = inputs ? c->fCompo->InputKeys() : c->fCompo->OutputKeys();
    const char* standard = inputs ? plat::kProtocolInputImage : plat::kProtocolOutputImage;
    for (const std::string& k : keys) {
        const plat::Dictionary* port = c->fCompo->PortAttributes(k);
        if (!port) continue;
        const plat::Value& type = port->Get(plat::kPortAttributeType);
        if (type.Kind() != plat::ValueKind::String || type.StringValue() != plat::kPortTypeImage) continue;
        list.push_back(CQcImagePort{ToLString(k), static_cast<uint8_t>(k == standard ? 1 : 0)});
    }
}

void MQcComposition_::ImageInputs(const MQcComposition_* c, std::vector<CQcImagePort>& list) {
    ImagePorts(c, true, list);
}

void MQcComposition_::ImageOutputs(const MQcComposition_* c, std::vector<CQcImagePort>& list) {
    ImagePorts(c, false, list);
}

const plat::Value& MQcComposition_::PublishedNodeState(const MQcComposition_* c, const std::string& key) {
    const plat::Value& state = c->prop()[plat::kCompositionFileRootPatch][plat::kGraphState];
    const plat::Value& published = FindKeyed(state[plat::kGraphPublishedInputs], key);
    const plat::Value& node = published[plat::kPublishedPortNode];
    if (node.Kind() != plat::ValueKind::String) return plat::Value::Null();
    return FindKeyed(state[plat::kGraphNodes], node.StringValue())[plat::kNodeState];
}

plat::Value MQcComposition_::MenuItems(const MQcComposition_* c, const LString& key) {
    if (!c) return plat::Value();
    const std::string k = StdString(key);
    if (const plat::Dictionary* port = c->fCompo->PortAttributes(k)) {
        const plat::Value& items = port->Get(plat::kPortAttributeMenuItems);
        if (items.Kind() == plat::ValueKind::Array) return items;
    }
    const plat::Value& labels = PublishedNodeState(c, k)[kNodeIndexLabels];
    return labels.Kind() == plat::ValueKind::Array ? labels : plat::Value();
}

bool MQcComposition_::NumberOf(const plat::Value& value, double& out) {
    switch (value.Kind()) {
        case plat::ValueKind::Number:
            out = value.NumberValue();
            return true;
        case plat::ValueKind::Boolean:
            out = value.BoolValue() ? 1 : 0;
            return true;
        case plat::ValueKind::String: {
            const std::string& s = value.StringValue();
            size_t b = 0, e = s.size();
            while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
            while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
            if (b < e && s[b] == '+') ++b;
            if (b == e) return false;
            double d = 0;
            auto [ptr, ec] = std::from_chars(s.data() + b, s.data() + e, d);
            if (ec != std::errc() || ptr != s.data() + e) return false;
            out = d;
            return true;
        }
        default:
            return false;
    }
}

bool MQcComposition_::ReadPortDesc(const MQcComposition_* c, const LString& key, CQcPortDesc& desc) {
    if (!c) return false;
    const std::string k = StdString(key);
    const plat::Dictionary* port = c->fCompo->PortAttributes(k);
    if (!port) return false;
    const plat::Value& ex = c->fCompo->Attributes()[kMakerPortEx][k];

    const plat::Value* minAttr = nullptr;
    const plat::Value* maxAttr = nullptr;
    double number = 0;
    auto numeric = [&](const plat::Value& v) { return NumberOf(v, number) ? &v : nullptr; };

    const plat::PortType type = plat::PortTypeFromName(port->Get(plat::kPortAttributeType).StringValue());
    desc.kind = static_cast<uint32_t>(type);
    switch (type) {
        case plat::PortType::Index: {
            desc.menuLabels.clear();
            const plat::Value labels = MenuItems(c, key);
            for (const plat::Value& l : labels.ArrayValue()) desc.menuLabels.push_back(TextOf(l));
            const plat::Value& items = ex[kExItems];
            if (items.Kind() == plat::ValueKind::Array) {
                const size_t n = std::min(items.ArrayValue().size(), desc.menuLabels.size());
                for (size_t i = 0; i < n; ++i)
                    if (items.At(i).Kind() == plat::ValueKind::String)
                        desc.menuLabels[i] = PickLocalText(TextOf(items.At(i)));
            }
            desc.min = 0;
            desc.max = 10000;
            maxAttr = numeric(port->Get(plat::kPortAttributeMaximum));
            minAttr = numeric(port->Get(plat::kPortAttributeMinimum));
            if (!minAttr || ToInt(number, 0) == 0) minAttr = numeric(PublishedNodeState(c, k)[kNodeInputMin]);
            break;
        }
        case plat::PortType::Number: {
            if (numeric(ex[kExPrec])) desc.decimals = ToInt(number, desc.decimals);
            const bool unit = k == plat::kProtocolInputAudioPeak || k == plat::kProtocolInputPace;
            desc.min = unit ? 0 : -1000;
            desc.max = unit ? 1 : 1000;
            maxAttr = numeric(port->Get(plat::kPortAttributeMaximum));
            minAttr = numeric(port->Get(plat::kPortAttributeMinimum));
            break;
        }
        case plat::PortType::String:
            if (numeric(ex[kExLines]) && number > 0)
                desc.lines = number >= 255 ? 255 : static_cast<uint8_t>(number);
            desc.stringSelection = TextOf(ex[kExStrSel]);
            break;
        case plat::PortType::Structure:
            if (k == plat::kProtocolInputAudioSpectrum) desc.audioSpectrum = 1;
            break;
        default:
            break;
    }

    desc.key = key;
    desc.name = PickLocalText(TextOf(ex[kExName]));
    if (desc.name.IsEmpty()) desc.name = TextOf(port->Get(plat::kPortAttributeName));
    desc.defaultValue = NumberOf(port->Get(plat::kPortAttributeDefault), number) ? ToFloat(number) : 0;
    desc.monitorKey = TextOf(ex[kExMonitor]);
    if (ex[kExFormat].Kind() == plat::ValueKind::String && ex[kExFormat].StringValue() == "time")
        desc.timeFormat = 1;

    double lo = 0, hi = 0;
    const bool hasMin = minAttr && NumberOf(*minAttr, lo);
    const bool hasMax = maxAttr && NumberOf(*maxAttr, hi);
    if (type == plat::PortType::Number && hasMin && hasMax) {
        desc.min = ToFloat(lo);
        desc.max = ToFloat(hi);
    } else if (type == plat::PortType::Index && hasMax) {
        if (hasMin) desc.min = ToFloat(lo);
        desc.max = ToFloat(hi);
    } else if (type == plat::PortType::Index || type == plat::PortType::Number) {
        const plat::Value& fallback = c->prop()[plat::kCompositionFilePortAttributes][k];
        const bool slideMin = !hasMin && NumberOf(fallback[kSliderMin], lo);
        const bool slideMax = !hasMax && NumberOf(fallback[kSliderMax], hi);
        if (hasMin || slideMin) desc.min = ToFloat(lo);
        if (hasMax || slideMax) desc.max = ToFloat(hi);
    }
    return true;
}

bool MQcComposition_::HasConsumers(const MQcComposition_* c) {
    return c && c->fCompo->HasConsumers();
}

bool MQcComposition_::IsTimeDependent(const MQcComposition_* c) {
    return c && c->fCompo->IsTimeDependent();
}

LString MQcComposition_::Name(const MQcComposition_* c) {
    return c ? TextOf(c->fCompo->Attributes()[plat::kCompositionAttributeName]) : LString();
}

LString MQcComposition_::Identifier(const MQcComposition_* c) {
    if (!c) return LString();
    if (!c->fCompo->Identifier().empty()) return ToLString(c->fCompo->Identifier());
    const size_t slash = c->fPath.find_last_of('/');
    return ToLString(slash == std::string::npos ? c->fPath : c->fPath.substr(slash + 1));
}

uint32_t MQcComposition_::Category(const MQcComposition_* c) {
    if (!c) return kCategoryOther;
    const plat::Value& v = c->fCompo->Attributes()[plat::kCompositionAttributeCategory];
    if (v.Kind() != plat::ValueKind::String) return kCategoryOther;
    if (v.StringValue() == plat::kCompositionCategoryDistortion) return kCategoryDistortion;
    if (v.StringValue() == plat::kCompositionCategoryStylize) return kCategoryStylize;
    if (v.StringValue() == plat::kCompositionCategoryUtility) return kCategoryUtility;
    return kCategoryOther;
}

int32_t MQcComposition_::ProtocolCode(const std::string& protocol) {
    for (uint32_t i = 0; i < kProtocolCount; ++i)
        if (protocol == kProtocolNames[i]) return static_cast<int32_t>(i);
    return -1;
}

void MQcComposition_::Protocols(const MQcComposition_* c, std::vector<uint32_t>& codes) {
    if (!c) return;
    for (const std::string& p : c->fCompo->Protocols()) {
        const int32_t code = ProtocolCode(p);
        if (code >= 0) codes.push_back(static_cast<uint32_t>(code));
    }
}

bool MQcComposition_::BoolAttribute(const MQcComposition_* c, const char* key) {
    if (!c) return false;
    const plat::Value& v = c->fCompo->Attributes()[key];
    if (v.Kind() == plat::ValueKind::Boolean) return v.BoolValue();
    return v.Kind() == plat::ValueKind::Number && v.NumberValue() != 0;
}

bool MQcComposition_::IsStub(const MQcComposition_* c) {
    return BoolAttribute(c, kMakerStub);
}
bool MQcComposition_::IsPlane(const MQcComposition_* c) {
    return BoolAttribute(c, kMakerPlane);
}
bool MQcComposition_::IsClear(const MQcComposition_* c) {
    return BoolAttribute(c, kMakerClear);
}

LString MQcComposition_::DisplayName(const MQcComposition_* c) {
    if (!c) return LString();
    LString name = PickLocalText(TextOf(c->fCompo->Attributes()[kMakerName]));
    return name.IsEmpty() ? Name(c) : name;
}

LString MQcComposition_::MakerCategory(const MQcComposition_* c) {
    return c ? PickLocalText(TextOf(c->fCompo->Attributes()[kMakerCategory])) : LString();
}

void MQcComposition_::StringListAttribute(const MQcComposition_* c, const char* key, CStrArray& list) {
    if (!c) return;
    const plat::Value& v = c->fCompo->Attributes()[key];
    if (v.Kind() != plat::ValueKind::Array) return;
    for (const plat::Value& e : v.ArrayValue())
        if (e.Kind() == plat::ValueKind::String) list.Append(TextOf(e));
}
