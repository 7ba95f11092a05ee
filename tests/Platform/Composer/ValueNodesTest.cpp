#include <gtest/gtest.h>

#include <cmath>

#include "Platform/Composer/BuiltinNodeClasses.h"
#include "Platform/Composer/CompositionRenderer.h"
#include "Platform/GL/GLContext.h"
#include "tests/Platform/Composer/GraphBuilder.h"
#include "tests/Platform/Composer/RendererTestSupport.h"
#include "tests/support/GLFixture.h"

namespace composertest {
namespace {

using plat::Color;
using plat::Composition;
using plat::CompositionRenderer;
using plat::Value;

class ValueNodesTest : public testsupport::GLTest {
protected:
    Ref<CompositionRenderer> MakeRenderer(const GraphBuilder& graph) {
        Ref<Composition> composition(graph.Build());
        if (!composition) return nullptr;
        return Ref<CompositionRenderer>(CompositionRenderer::Create(
            Context(), Context()->PixelFormat(), plat::ColorSpace::kSRGB, composition.get()));
    }
};

GraphBuilder Lfo() {
    GraphBuilder g;
    g.Node("lfo", plat::kNodeClassLfo);
    for (const char* key : {"type", "period", "phase", "amplitude", "offset"})
        g.PublishInput(key, "lfo", key);
    g.PublishOutput("value", "lfo", "value");
    return g;
}

TEST_F(ValueNodesTest, LfoValuesAtGivenTimes) {
    auto renderer = MakeRenderer(Lfo());
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(renderer->IsTimeDependent());
    struct Row {
        int type;
        double period, phase, amplitude, offset, time, value;
    };
    const Row rows[] = {
        {0, 4, 0, 2, 1, 1, 3},        {0, 4, 0, 2, 1, 3, -1},     {0, 1, 0, 1, 0, 0, 0},
        {1, 1, 0, 1, 0, 0.125, 0.5},  {1, 1, 0, 1, 0, 0.5, 0},    {1, 1, 0, 1, 0, 0.75, -1},
        {2, 2, 0, 1, 0, 0.5, 1},      {2, 2, 0, 1, 0, 1.5, -1},   {3, 1, 0.5, 1, 0, 0, 0},
        {3, 1, 0, 1, 0, 0.25, -0.5},  {3, 10, 0, 1, 0, 105, 0},   {0, 0, 0.25, 1, 0, 7, 1},
        {0, -3, 0.25, 1, 0, 1000, 1}, {1, 1, 0, 1, 0, -0.25, -1}, {0, 1, 0, 1, 5, 1e300, 5},
    };
    for (const Row& r : rows) {
        EXPECT_TRUE(renderer->SetInputValue("type", Value(r.type)));
        EXPECT_TRUE(renderer->SetInputValue("period", Value(r.period)));
        EXPECT_TRUE(renderer->SetInputValue("phase", Value(r.phase)));
        EXPECT_TRUE(renderer->SetInputValue("amplitude", Value(r.amplitude)));
        EXPECT_TRUE(renderer->SetInputValue("offset", Value(r.offset)));
        ASSERT_TRUE(renderer->RenderAtTime(r.time));
        EXPECT_NEAR(renderer->OutputValue("value").NumberValue(), r.value, 1e-9)
            << "type " << r.type << " period " << r.period << " at " << r.time;
    }
}

TEST_F(ValueNodesTest, RandomIsHeldForAPeriodAndChangesBetweenPeriods) {
    auto renderer = MakeRenderer(Lfo());
    ASSERT_TRUE(renderer);
    EXPECT_TRUE(renderer->SetInputValue("type", Value(4)));
    EXPECT_TRUE(renderer->SetInputValue("period", Value(2.0)));
    auto at = [&](double t) {
        EXPECT_TRUE(renderer->RenderAtTime(t));
        return renderer->OutputValue("value").NumberValue();
    };
    const double first = at(0.1);
    EXPECT_EQ(at(1.9), first);
    int changed = 0;
    for (int period = 1; period < 20; ++period) {
        const double v = at(period * 2 + 0.5);
        EXPECT_GE(v, -1.0);
        EXPECT_LE(v, 1.0);
        EXPECT_EQ(at(period * 2 + 1.5), v);
        changed += v != first;
    }
    EXPECT_GT(changed, 15);
}

TEST_F(ValueNodesTest, ColorComposeInBothModels) {
    GraphBuilder g;
    g.Node("color", plat::kNodeClassColorCompose);
    for (const char* key : {"model", "value1", "value2", "value3", "alpha"})
        g.PublishInput(key, "color", key);
    g.PublishOutput("color", "color", "color");
    auto renderer = MakeRenderer(g);
    ASSERT_TRUE(renderer);
    struct Row {
        int model;
        double a, b, c, alpha;
        Color want;
    };
    const Row rows[] = {
        {0, 0.25, 0.5, 0.75, 1, {0.25f, 0.5f, 0.75f, 1}}, {1, 0, 1, 1, 1, {1, 0, 0, 1}},
        {1, 1.0 / 3, 1, 1, 0.5, {0, 1, 0, 0.5f}},         {1, 2.0 / 3, 1, 0.5, 1, {0, 0, 0.5f, 1}},
        {1, 1.5, 0, 0.8, 1, {0.8f, 0.8f, 0.8f, 1}},       {1, -0.5, 1, 1, 1, {0, 1, 1, 1}},
    };
    for (const Row& r : rows) {
        EXPECT_TRUE(renderer->SetInputValue("model", Value(r.model)));
        EXPECT_TRUE(renderer->SetInputValue("value1", Value(r.a)));
        EXPECT_TRUE(renderer->SetInputValue("value2", Value(r.b)));
        EXPECT_TRUE(renderer->SetInputValue("value3", Value(r.c)));
        EXPECT_TRUE(renderer->SetInputValue("alpha", Value(r.alpha)));
        ASSERT_TRUE(renderer->RenderAtTime(0));
        Color c = renderer->OutputValue("color").ColorValue();
        EXPECT_NEAR(c.red, r.want.red, 1e-5) << r.model << " " << r.a;
        EXPECT_NEAR(c.green, r.want.green, 1e-5) << r.model << " " << r.a;
        EXPECT_NEAR(c.blue, r.want.blue, 1e-5) << r.model << " " << r.a;
        EXPECT_NEAR(c.alpha, r.want.alpha, 1e-5) << r.model << " " << r.a;
    }
}

}  // namespace
}  // namespace composertest
