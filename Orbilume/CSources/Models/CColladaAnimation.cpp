#include "Orbilume/CSources/Models/CColladaAnimation.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "Orbilume/CSources/Models/CColladaSource.h"
#include "Orbilume/CSources/Models/CColladaTargetPath.h"
#include "Orbilume/CSources/Models/UColladaXml.h"

namespace {

// Rows of the cubic bases, applied to the control values p0..p3.
constexpr double kBezierBasis[4][4] = {{-1, 3, -3, 1}, {3, -6, 3, 0}, {-3, 3, 0, 0}, {1, 0, 0, 0}};
constexpr double kHermiteBasis[4][4] = {{2, -2, 1, 1}, {-3, 3, -2, -1}, {0, 0, 1, 0}, {1, 0, 0, 0}};
constexpr double kBSplineBasis[4][4] = {{-1.0 / 6, 3.0 / 6, -3.0 / 6, 1.0 / 6},
                                        {3.0 / 6, -6.0 / 6, 3.0 / 6, 0},
                                        {-3.0 / 6, 0, 3.0 / 6, 0},
                                        {1.0 / 6, 4.0 / 6, 1.0 / 6, 0}};

constexpr uint32_t kMax = CColladaSampler::kMaxValues;

int64_t Clamp(const CColladaAccessor* a, int64_t i) {
    return std::min(std::max<int64_t>(i, 0), a->count() - 1);
}

// n values of entry i (clamped to the source's last entry); false when the source yields fewer.
bool ReadEntry(const CColladaAccessor* a, int64_t i, uint32_t n, double* out) {
    if (!a || a->count() <= 0) return false;
    float v[kMax];
    if (a->ReadValues(Clamp(a, i), n, v) < static_cast<int32_t>(n)) return false;
    for (uint32_t k = 0; k < n; ++k) out[k] = v[k];
    return true;
}

// A tangent: 2n values are (time, value) pairs whose values are taken; n values stand as they are.
bool ReadTangent(const CColladaAccessor* a, int64_t i, uint32_t n, double* out) {
    if (!a || a->count() <= 0) return false;
    float v[kMax];
    const uint32_t want = std::min(2 * n, kMax);
    const int32_t got = a->ReadValues(Clamp(a, i), want, v);
    if (2 * n <= kMax && got >= static_cast<int32_t>(2 * n)) {
        for (uint32_t k = 0; k < n; ++k) out[k] = v[2 * k + 1];
        return true;
    }
    if (got < static_cast<int32_t>(n)) return false;
    for (uint32_t k = 0; k < n; ++k) out[k] = v[k];
    return true;
}

void Cubic(const double (&basis)[4][4], const double* const p[4], double u, uint32_t n, float* out) {
    double powers[4] = {u * u * u, u * u, u, 1};
    for (uint32_t k = 0; k < n; ++k) {
        double sum = 0;
        for (int row = 0; row < 4; ++row) {
            double dot = 0;
            for (int c = 0; c < 4; ++c) dot += basis[row][c] * p[c][k];
            sum += dot * powers[row];
        }
        out[k] = static_cast<float>(sum);
    }
}

}  // namespace

uint32_t CColladaSampler::InterpolationOf(const LString& name) {
    static const char* const kNames[] = {"LINEAR", "STEP", "BEZIER", "HERMITE", "BSPLINE", "CARDINAL"};
    for (uint32_t i = 0; i < 6; ++i)
        if (name == kNames[i]) return i;
    return kLinear;
}

CColladaSampler* CColladaSampler::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "sampler")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaSampler>(element);
    CColladaAccessor* by[11] = {};
    bool any = false;
    for (CXmlElement* in = UColladaXml::FindChild(element, "input"); in;
         in = UColladaXml::FindChild(element, "input", in)) {
        const SColladaSemantic* semantic = SColladaSemantic::Find(in->GetAttribute("semantic"));
        if (!semantic) continue;
        CColladaAccessor* accessor = CColladaAccessor::Build(doc, doc.ResolveUrl(in->GetAttribute("source")));
        if (!accessor) continue;
        any = true;
        if (semantic->number < 11 && !by[semantic->number]) by[semantic->number] = accessor;
    }
    CColladaAccessor* output = by[SColladaSemantic::kOutput];
    if (!any || !output) return nullptr;
    auto sampler = std::make_unique<CColladaSampler>();
    sampler->fOutput = output;
    sampler->fInTangent = by[9];
    sampler->fOutTangent = by[10];
    if (CColladaAccessor* input = by[SColladaSemantic::kInput]) {
        // Every key reads its own array entry: no more keys than the array has values.
        const int64_t count = std::min<int64_t>(
            input->count(), static_cast<int64_t>(input->array() ? input->array()->size() : 0));
        CColladaAccessor* names = by[8];
        sampler->fKeys.reserve(static_cast<size_t>(std::max<int64_t>(count, 0)));
        for (int64_t i = 0; i < count; ++i) {
            float t = 0;
            Key key{input->ReadValues(i, 1, &t) == 1 ? static_cast<double>(t) : 0.0, kLinear};
            LString name;
            if (names && names->ReadNames(i, 1, &name) == 1) key.interpolation = InterpolationOf(name);
            sampler->fKeys.push_back(key);
        }
    }
    if (sampler->fKeys.size() >= 2)
        sampler->fDuration = sampler->fKeys.back().time - sampler->fKeys.front().time;
    CColladaSampler* built = sampler.release();
    element->Attach(built);
    return built;
}

bool CColladaSampler::Locate(double t) {
    if (fCached && t == fCacheTime) return true;
    const size_t n = fKeys.size();
    double at = t;
    if (fDuration > 0) at = fKeys[0].time + std::fmod(t - fKeys[0].time, fDuration);
    if (std::isnan(at)) return false;
    ++fSearches;
    size_t i = 0;
    if (n >= 2) {
        // The last key whose time is not above the time; out-of-order times still give an index in range.
        size_t lo = 0, hi = n;
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (fKeys[mid].time <= at)
                lo = mid + 1;
            else
                hi = mid;
        }
        i = lo ? lo - 1 : 0;
    }
    double u = 0;
    if (i + 1 < n) {
        const double span = fKeys[i + 1].time - fKeys[i].time;
        u = span != 0 ? (at - fKeys[i].time) / span : 0;
    }
    fCached = true;
    fCacheTime = t;
    fKey = static_cast<int64_t>(i);
    fU = u;
    return true;
}

uint32_t CColladaSampler::Evaluate(double seconds, float* out, uint32_t max) {
    if (!fOutput || std::isnan(seconds) || !Locate(seconds) || !std::isfinite(fU)) return 0;
    const uint32_t n = std::min({fOutput->lanes(), kMax, max});
    if (n == 0) return 0;
    const int64_t i = fKey;
    const double u = fU;
    const uint32_t interpolation = fKeys.empty() ? kLinear : fKeys[static_cast<size_t>(i)].interpolation;
    double a[kMax], b[kMax], c[kMax], d[kMax];
    const double* p[4] = {a, b, c, d};
    switch (interpolation) {
        case kStep:
            if (!ReadEntry(fOutput, i, n, a)) return 0;
            for (uint32_t k = 0; k < n; ++k) out[k] = static_cast<float>(a[k]);
            return n;
        case kBezier:
            if (!ReadEntry(fOutput, i, n, a) || !ReadTangent(fOutTangent, i, n, b) ||
                !ReadTangent(fInTangent, i + 1, n, c) || !ReadEntry(fOutput, i + 1, n, d))
                return 0;
            Cubic(kBezierBasis, p, u, n, out);
            return n;
        case kHermite:
            if (!ReadEntry(fOutput, i, n, a) || !ReadEntry(fOutput, i + 1, n, b) ||
                !ReadTangent(fOutTangent, i, n, c) || !ReadTangent(fInTangent, i + 1, n, d))
                return 0;
            Cubic(kHermiteBasis, p, u, n, out);
            return n;
        case kBSpline: {
            if (!ReadEntry(fOutput, i, n, b) || !ReadEntry(fOutput, i + 1, n, c)) return 0;
            if (i - 1 < 0) {
                for (uint32_t k = 0; k < n; ++k) a[k] = 2 * b[k] - c[k];
            } else if (!ReadEntry(fOutput, i - 1, n, a)) {
                return 0;
            }
            if (i + 2 > fOutput->count() - 1) {
                for (uint32_t k = 0; k < n; ++k) d[k] = 2 * c[k] - b[k];
            } else if (!ReadEntry(fOutput, i + 2, n, d)) {
                return 0;
            }
            Cubic(kBSplineBasis, p, u, n, out);
            return n;
        }
        default:
            if (!ReadEntry(fOutput, i, n, a) || !ReadEntry(fOutput, i + 1, n, b)) return 0;
            for (uint32_t k = 0; k < n; ++k) out[k] = static_cast<float>(a[k] + u * (b[k] - a[k]));
            return n;
    }
}

CColladaChannel* CColladaChannel::Build(CColladaDoc& doc, CXmlElement* element) {
    if (!UColladaXml::NameIs(element, "channel")) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaChannel>(element);
    CColladaSampler* sampler = CColladaSampler::Build(doc, doc.ResolveUrl(element->GetAttribute("source")));
    if (!sampler) return nullptr;
    SColladaTarget record;
    CColladaElement* target =
        CColladaTargetPath::Resolve(doc, element, element->GetAttribute("target"), record);
    if (!target) return nullptr;
    auto* channel = new CColladaChannel;
    element->Attach(channel);
    channel->fSampler = sampler;
    channel->fTarget = target;
    channel->fRecord = record;
    return channel;
}

void CColladaChannel::Apply(double seconds) {
    float values[CColladaSampler::kMaxValues];
    const uint32_t n = fSampler->Evaluate(seconds, values);
    if (n) fTarget->SetAnimated(fRecord, n, values);
}

CColladaAnimation* CColladaAnimation::Build(CColladaDoc& doc, CXmlElement* element, uint32_t depth) {
    if (!UColladaXml::NameIs(element, "animation") || depth >= CColladaDoc::kMaxTreeDepth) return nullptr;
    if (element->Attached()) return AttachedAs<CColladaAnimation>(element);
    auto* animation = new CColladaAnimation;
    element->Attach(animation);
    for (CXmlElement* c = UColladaXml::FirstChild(element); c; c = UColladaXml::Next(c)) {
        if (UColladaXml::NameIs(c, "animation")) {
            if (CColladaAnimation* child = Build(doc, c, depth + 1)) animation->fChildren.push_back(child);
        } else if (UColladaXml::NameIs(c, "channel")) {
            if (CColladaChannel* channel = CColladaChannel::Build(doc, c))
                animation->fChannels.push_back(channel);
        }
    }
    return animation;
}

void CColladaAnimation::Apply(double seconds, uint32_t depth) {
    if (depth >= CColladaDoc::kMaxTreeDepth) return;
    for (CColladaAnimation* child : fChildren) child->Apply(seconds, depth + 1);
    for (CColladaChannel* channel : fChannels) channel->Apply(seconds);
}

double CColladaAnimation::LongestDuration(uint32_t depth) const {
    double longest = 0;
    if (depth >= CColladaDoc::kMaxTreeDepth) return longest;
    for (const CColladaAnimation* child : fChildren)
        longest = std::max(longest, child->LongestDuration(depth + 1));
    for (const CColladaChannel* channel : fChannels)
        if (channel->sampler()->duration() > longest) longest = channel->sampler()->duration();
    return longest;
}
