#pragma once

#include <cstdint>
#include <vector>

#include "Orbilume/CSources/Models/CColladaElement.h"

class CColladaAccessor;
class CColladaDoc;

// The object of an animation "sampler": keys read from its INPUT (times) and INTERPOLATION (names),
// evaluated at a time into at most sixteen values of its OUTPUT. A time past the keys loops; a time
// before the first key extrapolates the first segment. The last time asked for is kept with its key
// and fraction, so asking again for the same time does no key search.
class CColladaSampler : public CColladaElement {
public:
    static constexpr Kind kKind = kSampler;
    Kind kind() const override { return kKind; }
    static constexpr uint32_t kMaxValues = 16;
    enum Interpolation : uint32_t { kLinear = 0, kStep, kBezier, kHermite, kBSpline, kCardinal };

    struct Key {
        double time;
        uint32_t interpolation;
    };

    // The attached sampler, or a new one; null without inputs or without OUTPUT.
    static CColladaSampler* Build(CColladaDoc& doc, CXmlElement* element);
    // The interpolation number of a name (unknown names and none: linear).
    static uint32_t InterpolationOf(const LString& name);

    // Values at the time (seconds) into out (room for max values, at most kMaxValues); the number
    // produced, 0 when a source yields fewer than needed or the time is not a number.
    uint32_t Evaluate(double seconds, float* out, uint32_t max = kMaxValues);

    const std::vector<Key>& keys() const { return fKeys; }
    // Last key time minus the first with two keys or more, else 0.
    double duration() const { return fDuration; }
    // Key searches made so far (the cache saves them).
    uint64_t searches() const { return fSearches; }

private:
    bool Locate(double t);

    CColladaAccessor* fOutput = nullptr;
    CColladaAccessor* fInTangent = nullptr;
    CColladaAccessor* fOutTangent = nullptr;
    std::vector<Key> fKeys;
    double fDuration = 0;
    bool fCached = false;
    double fCacheTime = 0;
    int64_t fKey = -1;
    double fU = 0;
    uint64_t fSearches = 0;
};

// The object of a "channel": its sampler and the target (object and member) it writes.
class CColladaChannel : public CColladaElement {
public:
    static constexpr Kind kKind = kChannel;
    Kind kind() const override { return kKind; }

    // The attached channel, or a new one; null when its sampler or target does not resolve.
    static CColladaChannel* Build(CColladaDoc& doc, CXmlElement* element);
    // Evaluates the sampler and hands what it produced to the target.
    void Apply(double seconds);

    CColladaSampler* sampler() const { return fSampler; }
    CColladaElement* target() const { return fTarget; }
    const SColladaTarget& record() const { return fRecord; }

private:
    CColladaSampler* fSampler = nullptr;
    CColladaElement* fTarget = nullptr;
    SColladaTarget fRecord;
};

// The object of an "animation": its child animations and its channels that built, in document order.
class CColladaAnimation : public CColladaElement {
public:
    static constexpr Kind kKind = kAnimation;
    Kind kind() const override { return kKind; }

    // The attached animation, or a new one (children built first).
    static CColladaAnimation* Build(CColladaDoc& doc, CXmlElement* element, uint32_t depth = 0);
    // Child animations first, then the channels.
    void Apply(double seconds, uint32_t depth = 0);
    // The largest duration of a sampler reached through a channel, nested animations included.
    double LongestDuration(uint32_t depth = 0) const;

    const std::vector<CColladaAnimation*>& children() const { return fChildren; }
    const std::vector<CColladaChannel*>& channels() const { return fChannels; }

private:
    std::vector<CColladaAnimation*> fChildren;
    std::vector<CColladaChannel*> fChannels;
};
