#pragma once

#include <cstdint>

#include "Common/Stream/CXmlElement.h"
#include "Lib3/LSources/CoreString/LString.h"

// What an animation target or parameter reference names inside an element object: the member part of
// a target path (".name", or one or two "(index)"), and the value index the object resolved it to.
struct SColladaTarget {
    LString member;  // after "."; empty when none
    int32_t indices[2] = {-1, -1};
    uint32_t indexCount = 0;  // number of "(index)" parts
    int32_t valueIndex = -1;  // set by ResolveTarget
};

// Base of every object built from a COLLADA element. An object is built at most once per element:
// builders return the attached object when there is one, else make, attach and fill one. The element
// owns what is attached to it; lists inside element objects borrow. Objects are built on the media
// loader's thread and afterwards used by one render thread.
class CColladaElement : public CXmlAttachable {
public:
    // Kinds, so attached objects are told apart without RTTI.
    enum Kind : uint32_t {
        kOther = 0,
        kNewParam,
        kSurface,
        kImage,
        kParamHolder,
        kCommonEffect,
        kMaterial,
        kVisualScene,
        kFloatParam,
        kCamera,
        kLight,
        kDataArray,
        kAccessor,
        kBindMaterial,
        kGeometry,
        kNode,
        kTransform,
        kController,
        kSkin,
        kSampler,
        kChannel,
        kAnimation,
        kGlslEffect,
        kTechnique,
        kPass,
        kRenderState,
        kShaderBind,
    };

    // Whether the target names something in this object; stores the value index into the record.
    virtual bool ResolveTarget(SColladaTarget& target);
    // Takes up to sixteen animated values for the target.
    virtual void SetAnimated(const SColladaTarget& target, uint32_t count, const float* values);
    virtual Kind kind() const { return kOther; }

    CXmlElement* element() const { return fOwner; }

    // The object of the kind attached to e, or null (also when another kind is attached).
    template <class T>
    static T* AttachedAs(const CXmlElement* e) {
        if (!e || !e->Attached()) return nullptr;
        auto* o = static_cast<CColladaElement*>(e->Attached());
        return o->kind() == T::kKind ? static_cast<T*>(o) : nullptr;
    }
};
