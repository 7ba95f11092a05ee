#include "Orbilume/CSources/Models/CColladaFloatParam.h"

#include <algorithm>
#include <cstring>

#include "Orbilume/CSources/Models/UColladaNumbers.h"

void CColladaFloatParam::Parse(const char* text, uint32_t length, uint32_t n) {
    size_t i = 0;
    UColladaNumbers::ForEachToken(text, text + length, UINT64_MAX, [&](const char* b, const char* e) {
        float v = UColladaNumbers::ToFloat(b, e);
        if (i < fValues.size())
            fValues[i] = v;
        else
            fValues.push_back(v);
        ++i;
    });
    if (fValues.size() < n) fValues.resize(n, 0.0f);
}

bool CColladaFloatParam::ResolveTarget(SColladaTarget& target) {
    if (!target.member.IsEmpty()) return false;
    int32_t index = target.indexCount ? target.indices[0] : -1;
    if (index >= 0 && static_cast<size_t>(index) >= fValues.size()) return false;
    target.valueIndex = index;
    return true;
}

void CColladaFloatParam::SetAnimated(const SColladaTarget& target, uint32_t count, const float* values) {
    if (count == 0) return;
    if (target.valueIndex < 0) {
        if (count == 1)
            std::fill(fValues.begin(), fValues.end(), values[0]);
        else
            std::copy_n(values, std::min<size_t>(count, fValues.size()), fValues.begin());
    } else if (static_cast<size_t>(target.valueIndex) < fValues.size()) {
        fValues[target.valueIndex] = values[0];
    }
}

bool CColladaColorParam::ResolveTarget(SColladaTarget& target) {
    if (target.member.IsEmpty()) return CColladaFloatParam::ResolveTarget(target);
    static const char* const kMembers[] = {"R", "G", "B", "A"};
    for (int32_t i = 0; i < 4; ++i) {
        if (target.member == kMembers[i]) {
            target.valueIndex = i;
            return true;
        }
    }
    return false;
}

void CColladaParamList::Build(CXmlElement* source, const Row* rows, uint32_t count, bool colorRows) {
    for (uint32_t r = 0; r < count; ++r) {
        const Row& row = rows[r];
        std::unique_ptr<CColladaFloatParam> p;
        if (colorRows && row.values == 3)
            p = std::make_unique<CColladaColorParam>();
        else
            p = std::make_unique<CColladaFloatParam>();
        CXmlElement* child = source ? source->FindChild(row.name) : nullptr;
        // An element that already carries another object keeps it; the parameter then reads its text
        // but stays with the list.
        if (child && !child->Attached()) {
            CColladaFloatParam* raw = p.release();
            child->Attach(raw);
            raw->Parse(child->Text().CStr(), child->Text().Length(), row.values);
            fParams.push_back(raw);
            continue;
        }
        if (child)
            p->Parse(child->Text().CStr(), child->Text().Length(), row.values);
        else
            p->Parse(row.defaultText, static_cast<uint32_t>(std::strlen(row.defaultText)), 1);
        fParams.push_back(p.get());
        fOwned.push_back(std::move(p));
    }
}
