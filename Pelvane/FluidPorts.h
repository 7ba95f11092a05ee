#pragma once

#include <vector>

#include "Platform/Composer/PlugInInterface.h"

// The port lists of the two fluid patches, in their declared order.
std::vector<plat::PlugInPortDescription> FluidPorts(bool twoPhase);
