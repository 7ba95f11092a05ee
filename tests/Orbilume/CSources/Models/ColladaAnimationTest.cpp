#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "Orbilume/CSources/Models/CColladaAnimation.h"
#include "Orbilume/CSources/Models/CColladaDoc.h"
#include "tests/Orbilume/CSources/Models/ColladaSceneFixtures.h"
#include "tests/Orbilume/CSources/Models/ColladaTestDoc.h"

// Specs list only the fields a case needs.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using colladascene::Floats;

// A float source with `lanes` params per entry (the accessor's stride).
std::string LaneSource(const std::string& id, const std::vector<float>& v, uint32_t lanes) {
    std::string s =
        "<source id=\"" + id + "\"><float_array id=\"" + id + "-a\" count=\"" + std::to_string(v.size()) +
        "\">" + Floats(v) + "</float_array><technique_common><accessor source=\"#" + id + "-a\" count=\"" +
        std::to_string(lanes ? v.size() / lanes : 0) + "\" stride=\"" + std::to_string(lanes) + "\">";
    for (uint32_t k = 0; k < lanes; ++k) s += "<param name=\"V" + std::to_string(k) + "\" type=\"float\"/>";
    return s + "</accessor></technique_common></source>";
}

struct SamplerSpec {
    std::vector<float> times;
    std::vector<float> values;
    uint32_t lanes = 1;
    std::string interpolation;  // one name for every key; empty: no INTERPOLATION input
    std::vector<float> inTangent, outTangent;
    uint32_t tangentLanes = 1;
};

// A document holding one sampler "s" built from the spec.
class Sampler {
public:
    explicit Sampler(const SamplerSpec& spec) {
        std::string body = LaneSource("in", spec.times, 1) + LaneSource("out", spec.values, spec.lanes);
        std::string inputs =
            "<input semantic=\"INPUT\" source=\"#in\"/><input semantic=\"OUTPUT\" source=\"#out\"/>";
        if (!spec.interpolation.empty()) {
            std::string names;
            for (size_t i = 0; i < spec.times.size(); ++i) names += spec.interpolation + " ";
            body += "<source id=\"ip\"><Name_array id=\"ip-a\" count=\"" + std::to_string(spec.times.size()) +
                    "\">" + names + "</Name_array><technique_common><accessor source=\"#ip-a\" count=\"" +
                    std::to_string(spec.times.size()) +
                    "\"><param name=\"INTERPOLATION\" type=\"name\"/></accessor></technique_common></source>";
            inputs += "<input semantic=\"INTERPOLATION\" source=\"#ip\"/>";
        }
        if (!spec.inTangent.empty()) {
            body += LaneSource("it", spec.inTangent, spec.tangentLanes);
            inputs += "<input semantic=\"IN_TANGENT\" source=\"#it\"/>";
        }
        if (!spec.outTangent.empty()) {
            body += LaneSource("ot", spec.outTangent, spec.tangentLanes);
            inputs += "<input semantic=\"OUT_TANGENT\" source=\"#ot\"/>";
        }
        fDoc = colladatest::Parse(colladatest::Wrap("<library_animations><animation id=\"a\">" + body +
                                                    "<sampler id=\"s\">" + inputs +
                                                    "</sampler></animation></library_animations>"));
        if (fDoc) fSampler = CColladaSampler::Build(*fDoc, fDoc->FindById("s"));
    }
    CColladaSampler* operator->() const { return fSampler; }
    explicit operator bool() const { return fSampler != nullptr; }
    // The first value at t, NaN when none was produced.
    float At(double t) const {
        float out[CColladaSampler::kMaxValues];
        return fSampler->Evaluate(t, out) ? out[0] : std::numeric_limits<float>::quiet_NaN();
    }

private:
    std::unique_ptr<CColladaDoc> fDoc;
    CColladaSampler* fSampler = nullptr;
};

// Values worked out by hand from the bases.
TEST(ColladaAnimation, SamplerValuesFollowTheInterpolationOfTheKey) {
    struct Case {
        const char* what;
        SamplerSpec spec;
        double t;
        float expected;
    };
    const SamplerSpec linear{{0, 1, 3}, {0, 10, 30}, 1, "LINEAR"};
    const SamplerSpec late{{1, 2}, {10, 20}};
    const SamplerSpec cubic = {{0, 1}, {0, 1}, 1, "BEZIER", {9, -1}, {2, 9}};
    // The same tangents as (time, value) pairs: only the values count.
    const SamplerSpec pairs = {{0, 1}, {0, 1}, 1, "BEZIER", {0.1f, 9, 0.7f, -1}, {0.3f, 2, 0.9f, 9}, 2};
    SamplerSpec hermite = cubic;
    hermite.interpolation = "HERMITE";
    SamplerSpec hermitePairs = pairs;
    hermitePairs.interpolation = "HERMITE";
    const SamplerSpec bspline{{0, 1, 2, 3}, {0, 1, 4, 9}, 1, "BSPLINE"};
    const Case cases[] = {
        {"single key before", {{2}, {5}}, 0, 5},
        {"single key at", {{2}, {5}}, 2, 5},
        {"single key long after", {{2}, {5}}, 100, 5},
        {"single key negative", {{2}, {5}}, -3, 5},
        {"linear inside", linear, 0.5, 5},
        {"linear second segment", linear, 2, 20},
        {"wrap past the end", linear, 3.5, 5},
        {"wrap twice", linear, 7, 10},
        // Before the first key the remainder keeps its sign: the first segment extrapolates.
        {"extrapolates before the first key", late, 0.5, 5},
        {"extrapolates at a negative time", late, -0.25, 7.5},
        {"unknown name is linear", {{0, 2}, {0, 4}, 1, "SMOOTH"}, 0.5, 1},
        {"cardinal is linear", {{0, 2}, {0, 4}, 1, "CARDINAL"}, 0.5, 1},
        {"step holds the key", {{0, 1, 2}, {3, 7, 9}, 1, "STEP"}, 1.5, 7},
        {"bezier, n tangents", cubic, 0.25, 0.71875f},
        {"bezier, 2n tangents", pairs, 0.25, 0.71875f},
        {"hermite, n tangents", hermite, 0.25, 0.484375f},
        {"hermite, 2n tangents", hermitePairs, 0.25, 0.484375f},
        {"bspline inside", bspline, 1.5, 15.5f / 6},
        {"bspline first segment", bspline, 0.5, 3.25f / 6},
        {"bspline last segment", bspline, 2.5, 39.25f / 6},
        // OUTPUT shorter than INPUT: the missing value is the last one.
        {"output shorter than input", {{0, 1, 2}, {0, 10}}, 1.5, 10},
    };
    for (const Case& c : cases) {
        Sampler s(c.spec);
        ASSERT_TRUE(s) << c.what;
        EXPECT_NEAR(s.At(c.t), c.expected, 1e-5) << c.what;
    }
}

TEST(ColladaAnimation, SamplerKeysDurationAndRefusals) {
    Sampler s(SamplerSpec{{0, 1, 3}, {0, 10, 30}, 1, "STEP"});
    ASSERT_TRUE(s);
    EXPECT_EQ(s->keys().size(), 3u);
    EXPECT_EQ(s->keys()[1].interpolation, static_cast<uint32_t>(CColladaSampler::kStep));
    EXPECT_DOUBLE_EQ(s->duration(), 3.0);
    EXPECT_DOUBLE_EQ(Sampler(SamplerSpec{{4}, {1}})->duration(), 0.0);

    // No OUTPUT, or no input at all: no sampler.
    for (const char* inputs : {"<input semantic=\"INPUT\" source=\"#in\"/>", ""}) {
        auto doc = colladatest::Parse(
            colladatest::Wrap("<library_animations><animation>" + LaneSource("in", {0, 1}, 1) +
                              "<sampler id=\"s\">" + inputs + "</sampler></animation></library_animations>"));
        ASSERT_TRUE(doc);
        EXPECT_EQ(CColladaSampler::Build(*doc, doc->FindById("s")), nullptr) << inputs;
    }
    // Without INPUT there are no keys: the first value at every time.
    auto doc = colladatest::Parse(
        colladatest::Wrap("<library_animations><animation>" + LaneSource("out", {6, 8}, 1) +
                          "<sampler id=\"s\"><input semantic=\"OUTPUT\" source=\"#out\"/>"
                          "</sampler></animation></library_animations>"));
    CColladaSampler* keyless = CColladaSampler::Build(*doc, doc->FindById("s"));
    ASSERT_NE(keyless, nullptr);
    float v = 0;
    EXPECT_EQ(keyless->Evaluate(2.5, &v), 1u);
    EXPECT_EQ(v, 6);
}

TEST(ColladaAnimation, MissingOrShortSourcesProduceNothing) {
    // Three values a key but tangents of two: fewer than needed.
    Sampler shortTangent(SamplerSpec{{0, 1}, {0, 0, 0, 1, 1, 1}, 3, "BEZIER", {1, 1, 1, 1}, {1, 1, 1, 1}, 2});
    ASSERT_TRUE(shortTangent);
    EXPECT_TRUE(std::isnan(shortTangent.At(0.5)));
    // A Bezier key without tangent inputs.
    Sampler noTangent(SamplerSpec{{0, 1}, {0, 1}, 1, "HERMITE"});
    EXPECT_TRUE(std::isnan(noTangent.At(0.5)));
    // Sixteen values at most.
    std::vector<float> wide(40, 2.0f);
    Sampler many(SamplerSpec{{0, 1}, wide, 20});
    float out[CColladaSampler::kMaxValues];
    EXPECT_EQ(many->Evaluate(0.5, out), 16u);
    EXPECT_EQ(many->Evaluate(0.5, out, 3), 3u);
}

// Key times out of order or not numbers keep every read inside the keys and the sources (ASan
// watches); a time that is not a number produces no values.
TEST(ColladaAnimation, DisorderedAndNaNTimesStayInsideTheSources) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::vector<float>> times = {{5, 1, 3, 0}, {0, nan, 2, 3}, {nan, nan},
                                                   {3, 2, 1, 0}, {0, 0, 0, 0},   {1e30f, -1e30f, 0, 1}};
    const char* kinds[] = {"LINEAR", "STEP", "BEZIER", "HERMITE", "BSPLINE"};
    const double at[] = {-1e300,
                         -7.5,
                         -0.5,
                         0,
                         0.5,
                         1,
                         2.999,
                         3,
                         1e9,
                         1e300,
                         std::numeric_limits<double>::infinity(),
                         -std::numeric_limits<double>::infinity()};
    for (const auto& t : times)
        for (const char* kind : kinds) {
            Sampler s(SamplerSpec{t, {0, 1, 2, 3}, 1, kind, {0, 1, 2, 3}, {0, 1, 2, 3}});
            ASSERT_TRUE(s);
            for (double x : at) {
                float out[CColladaSampler::kMaxValues];
                EXPECT_LE(s->Evaluate(x, out), 1u);
            }
            float out[CColladaSampler::kMaxValues];
            EXPECT_EQ(s->Evaluate(std::nan(""), out), 0u);
        }
    Sampler s(SamplerSpec{{0, 1}, {0, 1}});
    float out[1];
    EXPECT_EQ(s->Evaluate(std::numeric_limits<double>::infinity(), out), 0u);
}

TEST(ColladaAnimation, ASecondEvaluationAtTheSameTimeDoesNoKeySearch) {
    Sampler s(SamplerSpec{{0, 1, 2, 3}, {0, 1, 4, 9}});
    EXPECT_FLOAT_EQ(s.At(1.5), 2.5f);
    EXPECT_EQ(s->searches(), 1u);
    EXPECT_FLOAT_EQ(s.At(1.5), 2.5f);
    EXPECT_EQ(s->searches(), 1u);
    EXPECT_FLOAT_EQ(s.At(2.5), 6.5f);
    EXPECT_EQ(s->searches(), 2u);
}

}  // namespace
