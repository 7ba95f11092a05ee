#include "Korrath/KorrathPlugIn.h"

#include "Korrath/KorrathTextureOutput.h"
#include "Specific/PlugInSupport/PlugInContextScope.h"

bool KorrathPlugIn::Start(plat::PlugInContext& context) {
    if (!fContext.Create(context)) return false;
    if (!fDraw) fDraw = std::make_unique<CKorrath>();
    return true;
}

bool KorrathPlugIn::Execute(plat::PlugInContext& context, double, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    if (!fDraw) return false;
    uint32_t width = ports.IndexInput("inputW"), height = ports.IndexInput("inputH");
    if (width != fDraw->Width() || height != fDraw->Height())
        fDraw->SetSize(width, height);
    else if (!ports.InputChanged("inputCmd"))
        return true;

    fCmd.Parse(ports.StructureInput("inputCmd"));
    plugin::PlugInTextureRef texture;
    {
        plugin::PlugInContextScope scope(context, fContext.Get());
        if (!scope.Ok()) return false;
        fDraw->Reset();
        fDraw->Draw(fCmd);
        texture = fDraw->TakeImage();
    }
    if (texture)
        ports.SetImageOutput("outputImage", std::make_unique<KorrathTextureOutput>(std::move(texture)));
    else
        ports.SetImageOutput("outputImage", nullptr);
    return true;
}

void KorrathPlugIn::Stop(plat::PlugInContext& context) {
    if (fDraw) {
        plugin::PlugInContextScope scope(context, fContext.Get());
        if (scope.Ok()) fDraw->ReleaseGL();
    }
    fContext.Destroy(context);
}

plat::PlugInAttributes KorrathPlugInClass::Attributes() const {
    return {"Korrath", "Korrath", "Orbilume"};
}

std::vector<plat::PlugInPortDescription> KorrathPlugInClass::Ports() const {
    using plat::PlugInPortType;
    auto port = [](const char* key, PlugInPortType type, bool output, const char* name) {
        plat::PlugInPortDescription d;
        d.key = key;
        d.type = type;
        d.output = output;
        d.attributes.name = name;
        return d;
    };
    return {port("inputW", PlugInPortType::Index, false, "W"),
            port("inputH", PlugInPortType::Index, false, "H"),
            port("inputCmd", PlugInPortType::Structure, false, "Command"),
            port("outputImage", PlugInPortType::Image, true, "Image")};
}
