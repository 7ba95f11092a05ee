#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Orbilume/CSources/Models/CColladaElement.h"

// A list of numbers that an animation may change: a camera or light parameter, or (derived) a node
// transform. Attached to the element it was read from, or owned by a parameter list when it came from
// a default text.
class CColladaFloatParam : public CColladaElement {
public:
    static constexpr Kind kKind = kFloatParam;
    Kind kind() const override { return kKind; }

    // Token i replaces value i or is appended; then zeros up to n values.
    void Parse(const char* text, uint32_t length, uint32_t n);
    bool ResolveTarget(SColladaTarget& target) override;
    void SetAnimated(const SColladaTarget& target, uint32_t count, const float* values) override;

    std::vector<float>& values() { return fValues; }
    const std::vector<float>& values() const { return fValues; }
    float value(uint32_t i) const { return i < fValues.size() ? fValues[i] : 0.0f; }
    // Read from an element of the file rather than from a default.
    bool present() const { return element() != nullptr; }

protected:
    std::vector<float> fValues;
};

// A colour: its members "R", "G", "B", "A" name values 0 to 3.
class CColladaColorParam : public CColladaFloatParam {
public:
    bool ResolveTarget(SColladaTarget& target) override;
};

// The parameters of a camera or light, in row order. Owns the ones that stayed unattached.
class CColladaParamList {
public:
    struct Row {
        const char* name;
        uint32_t values;
        const char* defaultText;
    };

    // One parameter per row from the source's child of the row's name, or from the row's default.
    void Build(CXmlElement* source, const Row* rows, uint32_t count, bool colorRows);
    uint32_t size() const { return static_cast<uint32_t>(fParams.size()); }
    CColladaFloatParam* operator[](uint32_t i) const { return i < fParams.size() ? fParams[i] : nullptr; }
    float value(uint32_t i, uint32_t j = 0) const { return i < fParams.size() ? fParams[i]->value(j) : 0.0f; }

private:
    std::vector<CColladaFloatParam*> fParams;
    std::vector<std::unique_ptr<CColladaFloatParam>> fOwned;
};
