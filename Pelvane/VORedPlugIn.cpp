#include "Pelvane/VORedPlugIn.h"

#include "Pelvane/CExtTex_QC.h"
#include "Pelvane/CFluidInputs.h"
#include "Pelvane/FluidPorts.h"
#include "Pelvane/FluidSolverLife.h"

bool VORedPlugIn::Start(plat::PlugInContext& context) {
    fClock.Reset();
    fWidth = fHeight = 0;
    return pelvane::StartSolver(fNsgl, context);
}

void VORedPlugIn::Stop(plat::PlugInContext& context) {
    pelvane::StopSolver(fNsgl, context);
}

bool VORedPlugIn::Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                          const plat::PlugInStructure&) {
    if (!fNsgl) return false;
    if (ports.BoolInput("inputFrz")) return true;
    cfd::CLSM_GL& solver = *fNsgl;
    cfd::CCFD_GL::Call call(solver, context);
    fClock.Resync(time);
    const SFluidInputs in = SFluidInputs::Read(ports, true);
    const bool resized = in.width != fWidth || in.height != fHeight;
    if (resized) {
        fWidth = in.width;
        fHeight = in.height;
        (void)solver.SetSize(fWidth, fHeight);
    }
    in.ApplyTo(solver);
    solver.SetDensity(0, in.density[0]);
    solver.SetDensity(1, in.density[1]);
    solver.fKv[0] = in.phaseViscosity[0];
    solver.fKv[1] = in.phaseViscosity[1];
    solver.fSurfaceTension = in.surfaceTension;
    for (int s = 0; s < 4; ++s) solver.fSidePhase[s] = in.sidePhase[s];
    const float aspect = GridAspect(solver);
    if (resized || ports.InputChanged("inputObs")) {
        CExtTex_QC obstacle(context, ports.ImageInput("inputObs"), aspect);
        solver.SetObstacle(obstacle);
    }
    if (resized || ports.InputChanged("inputFrc")) {
        CExtTex_QC force(context, ports.ImageInput("inputFrc"), aspect);
        solver.SetForce(force, in.forceDim);
    }
    const bool phaseSet = ports.BoolInput("inputSetPh");
    if (phaseSet) {
        CExtTex_QC phase(context, ports.ImageInput("inputPhs"), aspect);
        solver.SetPhase(phase);
        solver.ReInitLevelSet(4);
        solver.CorrectVolume(true);
    }
    plat::PlugInImageSource* pressure = ports.ImageInput("inputPrs");
    fClock.Run(time, in.dt, ports.BoolInput("inputStep"), [&] {
        solver.Step(phaseSet);
        if (pressure && in.pressureOn) {
            CExtTex_QC image(context, pressure, aspect);
            solver.Pressure(image, in.pressureMultiplier);
        }
    });
    if (!phaseSet && ports.BoolInput("inputVc")) solver.CorrectVolume(false);
    ports.SetIndexOutput("outputU", solver.UName());
    ports.SetIndexOutput("outputP", solver.PName());
    ports.SetIndexOutput("outputD", solver.DName());
    return true;
}

std::vector<plat::PlugInPortDescription> VORedPlugInClass::Ports() const {
    return FluidPorts(true);
}
