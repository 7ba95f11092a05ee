#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "Pelvane/CFluidClock.h"
#include "Pelvane/CFluidInputs.h"
#include "Pelvane/FluidPorts.h"

namespace {

// The patches' stepping, with a counter standing in for the solver's step.
TEST(CFluidClockTest, StepsPerExecution) {
    struct Case {
        const char* name;
        double clock;  // where the clock stands
        double time;   // the patch time of the execution
        double dt;
        bool single;
        uint32_t steps;
        double after;
    };
    const double dt = 0.017;
    const Case cases[] = {
        {"time went back", 5.0, 1.0, dt, false, 1, 1.0 + dt},
        {"time jumped ahead", 1.0, 1.5, dt, false, 1, 1.5 + dt},
        {"frame shorter than dt", 1.0, 1.005, dt, false, 1, 1.0 + dt},
        {"two steps behind", 1.0, 1.0 + 1.5 * dt, dt, false, 2, 1.0 + 2 * dt},
        {"single step far behind", 1.0, 1.19, dt, true, 1, 1.0 + dt},
        {"single step after a jump", 0.0, 3.0, dt, true, 1, 3.0 + dt},
        {"tiny dt is capped and resynchronised", 1.0, 1.1, 0.000001, false, CFluidClock::kMaxSteps, 1.1},
        {"default dt across the whole window", 1.0, 1.2, dt, false, 12, 1.0 + 12 * dt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFluidClock clock;
        clock.Resync(c.clock);  // from 0 a jump: the clock stands at c.clock
        uint32_t counted = 0;
        clock.Resync(c.time);
        const uint32_t steps = clock.Run(c.time, c.dt, c.single, [&] { ++counted; });
        EXPECT_EQ(steps, c.steps);
        EXPECT_EQ(counted, c.steps);
        EXPECT_NEAR(clock.Time(), c.after, 1e-9);
    }
}

class MapPorts final : public plat::PlugInPorts {
public:
    bool BoolInput(const char* key) const override { return Get(key) != 0; }
    uint32_t IndexInput(const char* key) const override { return uint32_t(Get(key)); }
    double NumberInput(const char* key) const override { return Get(key); }
    const char* StringInput(const char*) const override { return ""; }
    bool ColorInput(const char*, plat::PlugInColor&) const override { return false; }
    const plat::PlugInStructure* StructureInput(const char*) const override { return nullptr; }
    plat::PlugInImageSource* ImageInput(const char*) override { return nullptr; }
    bool InputChanged(const char*) const override { return true; }
    void SetBoolOutput(const char*, bool) override {}
    void SetIndexOutput(const char*, uint32_t) override {}
    void SetNumberOutput(const char*, double) override {}
    void SetStringOutput(const char*, const char*) override {}
    void SetColorOutput(const char*, const plat::PlugInColor*) override {}
    void SetStructureOutput(const char*, const plat::PlugInStructure*) override {}
    void SetImageOutput(const char*, std::unique_ptr<plat::PlugInImageProvider>) override {}

    double Get(const char* key) const {
        auto it = values.find(key);
        return it == values.end() ? 0 : it->second;
    }
    std::map<std::string, double> values;
};

TEST(SFluidInputsTest, BadInputIsMadeSafe) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    MapPorts ports;
    ports.values = {{"inputW", 1e9},    {"inputH", 1},     {"inputJr", 4e9},   {"inputDt", 1e-9},
                    {"inputKv", nan},   {"inputFgX", inf}, {"inputFgY", -2},   {"inputPrL", nan},
                    {"inputBcR", 7},    {"inputPxT", 1},   {"inputVlB", 0.25}, {"inputPrsM", nan},
                    {"inputFrcDim", 1}, {"inputR0", 0},    {"inputPhL", 1},    {"inputPhR", 2},
                    {"inputPhB", 9},    {"inputSfc", -inf}};
    SFluidInputs in = SFluidInputs::Read(ports, false);
    EXPECT_EQ(in.width, SFluidInputs::kMaxGridSide);
    EXPECT_EQ(in.height, 3u);
    EXPECT_EQ(in.iterations, SFluidInputs::kMaxIterations);
    EXPECT_EQ(in.dt, SFluidInputs::kMinDt);
    EXPECT_EQ(in.viscosity, 0);
    EXPECT_EQ(in.fg[0], 0);
    EXPECT_EQ(in.fg[1], -2);
    EXPECT_EQ(in.sides[0].pressure, 0);
    EXPECT_EQ(in.sides[1].type, 7);  // the solver leaves such a side alone
    EXPECT_TRUE(in.sides[3].fixPressure);
    EXPECT_EQ(in.sides[2].velocity, 0.25f);
    EXPECT_FALSE(in.pressureOn);
    EXPECT_EQ(in.forceDim, 1u);

    ports.values["inputDt"] = nan;
    ports.values["inputPrsM"] = -3;
    in = SFluidInputs::Read(ports, true);
    EXPECT_EQ(in.dt, SFluidInputs::kDefaultDt);
    EXPECT_TRUE(in.pressureOn);
    EXPECT_EQ(in.pressureMultiplier, -3);
    EXPECT_EQ(in.surfaceTension, 0);
    EXPECT_EQ(in.density[0], 0);  // bounded by the solver
    EXPECT_EQ(in.sidePhase[0], -1);
    EXPECT_EQ(in.sidePhase[1], 1);
    EXPECT_EQ(in.sidePhase[2], 0);
    ports.values["inputPrsM"] = inf;
    EXPECT_FALSE(SFluidInputs::Read(ports, true).pressureOn);
    ports.values["inputPrsM"] = 0;
    EXPECT_FALSE(SFluidInputs::Read(ports, true).pressureOn);
}

TEST(FluidPortsTest, OrderAndAttributes) {
    auto keys = [](bool twoPhase) {
        std::string out;
        for (const auto& p : FluidPorts(twoPhase)) out += p.key.substr(p.output ? 6 : 5) + " ";
        return out;
    };
    EXPECT_EQ(
        keys(false),
        "W H Jr Dt Kv FgX FgY PxL PxR PxB PxT BcL BcR BcB BcT PrL PrR PrB PrT VlL VlR VlB VlT FrcDim FoX "
        "FoY FmX FmY PrsM Frc Obs Prs U P ");
    EXPECT_EQ(
        keys(true),
        "Frz Step W H Jr Dt R0 R1 Kv0 Kv1 Sfc FgX FgY PxL PxR PxB PxT BcL BcR BcB BcT PrL PrR PrB PrT VlL "
        "VlR VlB VlT PhL PhR PhB PhT FrcDim FoX FoY FmX FmY PrsM SetPh Vc Frc Obs Prs Phs U P D ");
    for (const auto& p : FluidPorts(true)) {
        SCOPED_TRACE(p.key);
        const auto& a = p.attributes;
        if (p.key == "inputJr") {
            EXPECT_EQ(a.defaultValue.NumberValue(), 10);
        }
        if (p.key == "inputDt") {
            EXPECT_EQ(a.defaultValue.NumberValue(), 0.017);
            EXPECT_TRUE(a.hasMinimum);
            EXPECT_EQ(a.minimum, 0.000001);
        }
        if (p.key == "inputBcT") {
            EXPECT_EQ(a.maximum, 3);
            EXPECT_EQ(a.menuItems, (std::vector<std::string>{"Free", "Slip", "No Slip", "Velocity"}));
        }
        if (p.key == "inputPhL") {
            EXPECT_EQ(a.maximum, 2);
            EXPECT_EQ(a.menuItems, (std::vector<std::string>{"Any", "Phase0", "Phase1"}));
        }
        if (p.key == "inputPhs") {
            EXPECT_EQ(a.name, "Phase");
        }
        if (p.key == "inputSetPh") {
            EXPECT_EQ(a.name, "SetPhase");
        }
        if (p.key == "inputFrz") {
            EXPECT_EQ(a.name, "Freeze");
        }
        if (p.key == "inputR0") {
            EXPECT_EQ(a.name, "r0");
        }
        if (p.key == "inputKv1") {
            EXPECT_EQ(a.name, "kv1");
        }
    }
}

}  // namespace
