#include "Common/OpenGL/CObSampleDC.h"

CObSampleDC::CObSampleDC(LHandler* upper, plat::GLWindowHost* window)
    : LHandler(upper), fContext(window, nullptr) {}

CObSampleDC::~CObSampleDC() {
    Send(CObSampleDC_Destruct);
}
