#include "Melquor/MelquorPlugIn.h"

#include <algorithm>
#include <cmath>

#include "Melquor/MelquorOutput.h"

bool MelquorPlugIn::Execute(plat::PlugInContext&, double, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    if (!fText || ports.InputChanged("inputString") || ports.InputChanged("inputFont") ||
        ports.InputChanged("inputVertical") || ports.InputChanged("inputSize") ||
        ports.InputChanged("inputWidth")) {
        MelquorText::Settings settings;
        const char* string = ports.StringInput("inputString");
        const char* font = ports.StringInput("inputFont");
        settings.text = string ? string : "";
        settings.font = font ? font : "";
        settings.size = ports.NumberInput("inputSize");
        settings.width = ports.IndexInput("inputWidth");
        settings.vertical = ports.BoolInput("inputVertical");
        fText = MelquorText::Create(settings);
    }
    if (!fHasColor || ports.InputChanged("inputColor")) {
        fHasColor = true;
        if (!ports.ColorInput("inputColor", fColor)) fColor = {1, 1, 1, 1};
    }
    if (!fText) {
        ports.SetImageOutput("outputImage", nullptr);
        ports.SetStructureOutput("outputLines", nullptr);
        return true;
    }
    uint32_t align = ports.IndexInput("inputAlign");
    double flush = align == 0 ? 0 : align == 2 ? 1 : 0.5;
    double line = ports.NumberInput("inputLine");
    line = std::isfinite(line) ? std::clamp(line, 0.0, 100.0) : 1.0;

    plat::PlugInStructure offsets;
    for (double y : MelquorLineOffsets(fText->Lines(), line)) offsets.Append(plat::PlugInValue::Number(y));
    ports.SetStructureOutput("outputLines", &offsets);
    ports.SetImageOutput("outputImage", std::make_unique<MelquorOutput>(fText, flush, line, fColor));
    return true;
}

plat::PlugInAttributes MelquorPlugInClass::Attributes() const {
    return {"Melquor", "Melquor", "Orbilume"};
}

std::vector<plat::PlugInPortDescription> MelquorPlugInClass::Ports() const {
    using plat::PlugInPortType;
    using plat::PlugInValue;
    auto port = [](const char* key, PlugInPortType type, bool output, const char* name) {
        plat::PlugInPortDescription d;
        d.key = key;
        d.type = type;
        d.output = output;
        d.attributes.name = name;
        return d;
    };
    auto font = port("inputFont", PlugInPortType::String, false, "Font");
    font.attributes.defaultValue = PlugInValue::String("Lucida Grande");
    auto size = port("inputSize", PlugInPortType::Number, false, "Size");
    size.attributes.defaultValue = PlugInValue::Number(12);
    auto line = port("inputLine", PlugInPortType::Number, false, "Line");
    line.attributes.defaultValue = PlugInValue::Number(1);
    line.attributes.hasMinimum = true;
    auto align = port("inputAlign", PlugInPortType::Index, false, "Align");
    align.attributes.hasMaximum = true;
    align.attributes.maximum = 2;
    align.attributes.menuItems = {"Left", "Center", "Right"};
    return {port("inputString", PlugInPortType::String, false, "String"),
            font,
            size,
            line,
            port("inputWidth", PlugInPortType::Index, false, "Width"),
            align,
            port("inputVertical", PlugInPortType::Boolean, false, "Vertical"),
            port("inputColor", PlugInPortType::Color, false, "Color"),
            port("outputImage", PlugInPortType::Image, true, "Image"),
            port("outputLines", PlugInPortType::Structure, true, "Lines")};
}
