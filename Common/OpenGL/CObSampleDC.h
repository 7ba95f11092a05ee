#pragma once

#include "Common/OpenGL/COpenGLContext_Cca.h"
#include "Lib3/LSources/CoreData/LHandler.h"

namespace plat {
class GLWindowHost;
}

// Sent as a sample context goes (sender the context holder, target its upper handler).
L_MESSAGE_ID(CObSampleDC_Destruct);

// A window context an image pane draws sample images with. The pane hands over the window its
// surface comes from (the window of the upper handler).
class CObSampleDC : public LHandler {
public:
    CObSampleDC(LHandler* upper, plat::GLWindowHost* window);
    ~CObSampleDC() override;

    COpenGLContext_Cca& context() { return fContext; }

private:
    COpenGLContext_Cca fContext;
};
