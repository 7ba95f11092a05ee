#include "Orbilume/CSources/Models/CColladaSource.h"

#include <algorithm>
#include <cstring>

#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/UColladaNumbers.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

struct ArrayKind {
    const char* name;
    uint32_t type;
};
constexpr ArrayKind kArrayKinds[] = {
    {"bool_array", CColladaDataArray::kBool},   {"int_array", CColladaDataArray::kInt},
    {"float_array", CColladaDataArray::kFloat}, {"Name_array", CColladaDataArray::kName},
    {"IDREF_array", CColladaDataArray::kIdRef},
};

constexpr SColladaSemantic kSemantics[] = {
    {"POSITION", 0, 3, {0, 0, 0, 1}},
    {"COLOR", 1, 3, {1, 1, 1, 1}},
    {"NORMAL", 2, 3, {0, 0, 1, 0}},
    {"TEXCOORD", 3, 2, {0, 0, 0, 0}},
    {"JOINT", 4, 1, {0}},
    {"WEIGHT", 5, 1, {0}},
    {"INPUT", 6, 1, {0}},
    {"OUTPUT", 7, 1, {0}},
    {"INTERPOLATION", 8, 1, {0}},
    {"IN_TANGENT", 9, 1, {0}},
    {"OUT_TANGENT", 10, 1, {0}},
};

// The number of floats of a param type.
uint32_t ParamSize(const LString& type) {
    static const struct {
        const char* name;
        uint32_t size;
    } kSizes[] = {
        {"float4x4", 16}, {"float4x3", 12}, {"float4x2", 8}, {"float4x1", 4}, {"float3x4", 12},
        {"float3x3", 9},  {"float3x2", 6},  {"float3x1", 3}, {"float2x4", 8}, {"float2x3", 6},
        {"float2x2", 4},  {"float2x1", 2},  {"float1x4", 4}, {"float1x3", 3}, {"float1x2", 2},
    };
    for (const auto& s : kSizes)
        if (type == s.name) return s.size;
    return 1;
}

int64_t IntAttribute(const CXmlElement* e, const char* name, int64_t otherwise) {
    LString text = e->GetAttribute(name);
    if (text.IsEmpty()) return otherwise;
    return UColladaNumbers::ToInt(text);
}

}  // namespace

CColladaDataArray* CColladaDataArray::Build(CXmlElement* element) {
    if (!element) return nullptr;
    uint32_t type = 0;
    for (const ArrayKind& k : kArrayKinds)
        if (UColladaXml::NameIs(element, k.name)) type = k.type;
    if (!type) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaDataArray>(element);
    auto* a = new CColladaDataArray;
    element->Attach(a);
    a->fType = type;
    int64_t count = std::max<int64_t>(IntAttribute(element, "count", 0), 0);
    const char* text = element->Text().CStr();
    const char* end = text + element->Text().Length();
    UColladaNumbers::ForEachToken(text, end, static_cast<uint64_t>(count), [&](const char* b, const char* e) {
        if (a->strings()) {
            a->fNames.emplace_back(b, static_cast<uint32_t>(e - b));
        } else if (type == kBool) {
            bool isTrue = e - b == 4 && std::memcmp(b, "true", 4) == 0;
            a->fFloats.push_back(isTrue ? 1.0f : static_cast<float>(UColladaNumbers::ToInt(b, e)));
        } else if (type == kInt) {
            a->fFloats.push_back(static_cast<float>(UColladaNumbers::ToInt(b, e)));
        } else {
            a->fFloats.push_back(UColladaNumbers::ToFloat(b, e));
        }
    });
    return a;
}

CColladaAccessor* CColladaAccessor::Build(CColladaDoc& doc, CXmlElement* source) {
    if (!UColladaXml::NameIs(source, "source")) return nullptr;
    if (source->Attached()) return AttachedAs<CColladaAccessor>(source);
    CXmlElement* common = source->FindChild("technique_common");
    CXmlElement* accessor = common ? common->FindChild("accessor") : nullptr;
    if (!accessor) return nullptr;
    CColladaDataArray* array = CColladaDataArray::Build(doc.ResolveUrl(accessor->GetAttribute("source")));
    if (!array) return nullptr;
    auto* a = new CColladaAccessor;
    source->Attach(a);
    a->fArray = array;
    a->fCount = IntAttribute(accessor, "count", 0);
    a->fOffset = IntAttribute(accessor, "offset", 0);
    a->fStride = IntAttribute(accessor, "stride", 1);
    for (int pass = 0; pass < 2 && a->fLanes.empty(); ++pass) {
        uint32_t position = 0;
        for (CXmlElement* p = UColladaXml::FindChild(accessor, "param"); p;
             p = UColladaXml::FindChild(accessor, "param", p)) {
            uint32_t size = ParamSize(p->GetAttribute("type"));
            bool named = !p->GetAttribute("name").IsEmpty();
            for (uint32_t k = 0; k < size; ++k, ++position)
                if (named || pass == 1) a->fLanes.push_back(position);
        }
    }
    return a;
}

bool CColladaAccessor::Positions(int64_t i, uint32_t& n, int64_t* positions) const {
    n = std::min<uint32_t>(n, lanes());
    if (i < 0 || fOffset < 0 || fStride < 0) return false;
    // Count, stride and offset are 32-bit, so the 64-bit products do not overflow.
    int64_t base = i * fStride + fOffset;
    for (uint32_t k = 0; k < n; ++k) positions[k] = base + fLanes[k];
    return true;
}

int32_t CColladaAccessor::ReadValues(int64_t i, uint32_t n, float* out) const {
    if (i < 0) return -1;
    if (i >= fCount) return 0;
    int64_t positions[16];
    n = std::min(n, 16u);
    if (!Positions(i, n, positions)) return -1;
    uint32_t k = 0;
    for (; k < n; ++k) {
        if (positions[k] >= static_cast<int64_t>(fArray->size())) break;
        out[k] = fArray->strings() ? 0.0f : fArray->floats()[positions[k]];
    }
    return static_cast<int32_t>(k);
}

int32_t CColladaAccessor::ReadNames(int64_t i, uint32_t n, LString* out) const {
    if (i < 0) return -1;
    if (i >= fCount) return 0;
    int64_t positions[16];
    n = std::min(n, 16u);
    if (!Positions(i, n, positions)) return -1;
    uint32_t k = 0;
    for (; k < n; ++k) {
        if (positions[k] >= static_cast<int64_t>(fArray->size()) || !fArray->strings()) break;
        out[k] = fArray->names()[positions[k]];
    }
    return static_cast<int32_t>(k);
}

const SColladaSemantic* SColladaSemantic::Find(const LString& name) {
    for (const SColladaSemantic& s : kSemantics)
        if (name == s.name) return &s;
    return nullptr;
}

int32_t SColladaIndexedList::CollectInputs(CColladaDoc& doc, std::vector<SColladaInput>& inputs,
                                           CXmlElement* element, int32_t offset, int32_t set,
                                           bool throughVertices) {
    int32_t largest = -1;
    for (CXmlElement* in = UColladaXml::FindChild(element, "input"); in;
         in = UColladaXml::FindChild(element, "input", in)) {
        int64_t o = IntAttribute(in, "offset", offset);
        int64_t s = IntAttribute(in, "set", set);
        // A negative offset would read before each vertex's indices.
        if (o < 0 || o > INT32_MAX - 1) continue;
        largest = std::max(largest, static_cast<int32_t>(o));
        CXmlElement* source = doc.ResolveUrl(in->GetAttribute("source"));
        if (UColladaXml::NameIs(source, "source")) {
            const SColladaSemantic* semantic = SColladaSemantic::Find(in->GetAttribute("semantic"));
            CColladaAccessor* accessor = CColladaAccessor::Build(doc, source);
            if (semantic && accessor)
                inputs.push_back({semantic, accessor, static_cast<int32_t>(o), static_cast<int32_t>(s)});
        } else if (throughVertices && UColladaXml::NameIs(source, "vertices")) {
            (void)CollectInputs(doc, inputs, source, static_cast<int32_t>(o), static_cast<int32_t>(s), false);
        }
    }
    return largest;
}

bool SColladaIndexedList::Read(CColladaDoc& doc, CXmlElement* element, const char* tag) {
    count = IntAttribute(element, "count", 0);
    if (count <= 0) return false;
    int32_t largest = CollectInputs(doc, inputs, element, 0, 0);
    if (inputs.empty() || largest < 0) return false;
    stride = static_cast<uint32_t>(largest) + 1;
    for (CXmlElement* p = UColladaXml::FindChild(element, tag); p;
         p = UColladaXml::FindChild(element, tag, p)) {
        chunks.push_back(indices.size());
        UColladaNumbers::ReadInts(p, indices);
    }
    UColladaNumbers::ReadInts(element->FindChild("vcount"), vcount);
    return true;
}
