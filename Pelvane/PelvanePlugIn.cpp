#include "Pelvane/PelvanePlugIn.h"

#include "Pelvane/CExtTex_QC.h"
#include "Pelvane/CFluidInputs.h"
#include "Pelvane/FluidPorts.h"
#include "Pelvane/FluidSolverLife.h"

bool PelvanePlugIn::Start(plat::PlugInContext& context) {
    fClock.Reset();
    fWidth = fHeight = 0;
    return pelvane::StartSolver(fNsgl, context);
}

void PelvanePlugIn::Stop(plat::PlugInContext& context) {
    pelvane::StopSolver(fNsgl, context);
}

bool PelvanePlugIn::Execute(plat::PlugInContext& context, double time, plat::PlugInPorts& ports,
                            const plat::PlugInStructure&) {
    if (!fNsgl) return false;
    cfd::CNS_GL& solver = *fNsgl;
    cfd::CCFD_GL::Call call(solver, context);
    fClock.Resync(time);
    const SFluidInputs in = SFluidInputs::Read(ports, false);
    const bool resized = in.width != fWidth || in.height != fHeight;
    if (resized) {
        fWidth = in.width;
        fHeight = in.height;
        (void)solver.SetSize(fWidth, fHeight);
    }
    in.ApplyTo(solver);
    solver.fViscosity = in.viscosity;
    const float aspect = GridAspect(solver);
    if (resized || ports.InputChanged("inputObs")) {
        CExtTex_QC obstacle(context, ports.ImageInput("inputObs"), aspect);
        solver.SetObstacle(obstacle);
    }
    if (resized || ports.InputChanged("inputFrc")) {
        CExtTex_QC force(context, ports.ImageInput("inputFrc"), aspect);
        solver.SetForce(force, in.forceDim);
    }
    plat::PlugInImageSource* pressure = ports.ImageInput("inputPrs");
    fClock.Run(time, in.dt, false, [&] {
        solver.Step();
        if (pressure && in.pressureOn) {
            CExtTex_QC image(context, pressure, aspect);
            solver.Pressure(image, in.pressureMultiplier);
        }
    });
    ports.SetIndexOutput("outputU", solver.UName());
    ports.SetIndexOutput("outputP", solver.PName());
    return true;
}

std::vector<plat::PlugInPortDescription> PelvanePlugInClass::Ports() const {
    return FluidPorts(false);
}
