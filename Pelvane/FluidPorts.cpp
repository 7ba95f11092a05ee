#include "Pelvane/FluidPorts.h"

#include <string>

namespace {

using plat::PlugInPortDescription;
using plat::PlugInPortType;

PlugInPortDescription Port(std::string key, PlugInPortType type, std::string name, bool output = false) {
    PlugInPortDescription d;
    d.key = std::move(key);
    d.type = type;
    d.output = output;
    d.attributes.name = std::move(name);
    return d;
}

void Sides(std::vector<PlugInPortDescription>& out, const char* prefix, PlugInPortType type) {
    for (const char* side : {"L", "R", "B", "T"}) {
        PlugInPortDescription d =
            Port(std::string("input") + prefix + side, type, std::string(prefix) + side);
        if (std::string(prefix) == "Bc") {
            d.attributes.hasMaximum = true;
            d.attributes.maximum = 3;
            d.attributes.menuItems = {"Free", "Slip", "No Slip", "Velocity"};
        } else if (std::string(prefix) == "Ph") {
            d.attributes.hasMaximum = true;
            d.attributes.maximum = 2;
            d.attributes.menuItems = {"Any", "Phase0", "Phase1"};
        }
        out.push_back(std::move(d));
    }
}

}  // namespace

std::vector<PlugInPortDescription> FluidPorts(bool twoPhase) {
    using T = PlugInPortType;
    std::vector<PlugInPortDescription> p;
    if (twoPhase) {
        p.push_back(Port("inputFrz", T::Boolean, "Freeze"));
        p.push_back(Port("inputStep", T::Boolean, "Step"));
    }
    p.push_back(Port("inputW", T::Index, "W"));
    p.push_back(Port("inputH", T::Index, "H"));
    PlugInPortDescription jr = Port("inputJr", T::Index, "Jr");
    jr.attributes.defaultValue = plat::PlugInValue::Number(10);
    p.push_back(jr);
    PlugInPortDescription dt = Port("inputDt", T::Number, "dt");
    dt.attributes.defaultValue = plat::PlugInValue::Number(0.017);
    dt.attributes.hasMinimum = true;
    dt.attributes.minimum = 0.000001;
    p.push_back(dt);
    if (twoPhase) {
        for (const char* key : {"R0", "R1", "Kv0", "Kv1"}) {
            std::string name(key);
            name[0] = char(name[0] - 'A' + 'a');
            p.push_back(Port(std::string("input") + key, T::Number, name));
        }
        p.push_back(Port("inputSfc", T::Number, "Sfc"));
    } else {
        p.push_back(Port("inputKv", T::Number, "kv"));
    }
    p.push_back(Port("inputFgX", T::Number, "FgX"));
    p.push_back(Port("inputFgY", T::Number, "FgY"));
    Sides(p, "Px", T::Boolean);
    Sides(p, "Bc", T::Index);
    Sides(p, "Pr", T::Number);
    Sides(p, "Vl", T::Number);
    if (twoPhase) Sides(p, "Ph", T::Index);
    p.push_back(Port("inputFrcDim", T::Index, "FrcDim"));
    for (const char* key : {"FoX", "FoY", "FmX", "FmY", "PrsM"})
        p.push_back(Port(std::string("input") + key, T::Number, key));
    if (twoPhase) {
        p.push_back(Port("inputSetPh", T::Boolean, "SetPhase"));
        p.push_back(Port("inputVc", T::Boolean, "Vc"));
    }
    p.push_back(Port("inputFrc", T::Image, "Frc"));
    p.push_back(Port("inputObs", T::Image, "Obs"));
    p.push_back(Port("inputPrs", T::Image, "Prs"));
    if (twoPhase) p.push_back(Port("inputPhs", T::Image, "Phase"));
    p.push_back(Port("outputU", T::Index, "U", true));
    p.push_back(Port("outputP", T::Index, "P", true));
    if (twoPhase) p.push_back(Port("outputD", T::Index, "D", true));
    return p;
}
