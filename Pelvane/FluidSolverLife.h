// Making and releasing a patch's solver, shared by the two fluid patches.
#pragma once

#include <memory>

#include "Specific/Graph/CFD/CCFD_GL.h"

namespace pelvane {

// Makes the solver in the host's share group and clears its fields; false leaves none.
template <class Solver>
bool StartSolver(std::unique_ptr<Solver>& solver, plat::PlugInContext& context) {
    if (!solver) solver = std::make_unique<Solver>();
    if (!solver->Init(context)) {
        solver->Release(context);
        solver.reset();
        return false;
    }
    cfd::CCFD_GL::Call call(*solver, context);
    return solver->SetSize(0, 0);
}

template <class Solver>
void StopSolver(std::unique_ptr<Solver>& solver, plat::PlugInContext& context) {
    if (!solver) return;
    solver->Release(context);
    solver.reset();
}

}  // namespace pelvane
