#include "Lib3/LSources/CoreUI/LFrameSpec.h"

const LFrameSpec& LFrameSpec::Default() {
    static const LFrameSpec spec;
    return spec;
}
