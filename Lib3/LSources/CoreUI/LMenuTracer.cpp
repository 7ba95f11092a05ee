#include "Lib3/LSources/CoreUI/LMenuTracer.h"

#include "Lib3/LSources/CoreUI/LMenu.h"
#include "Lib3/LSources/CoreUI/LMenuItem.h"

LMenu* LMenuTracer::TraceMenu(LMenuItem* item, const LString& name, LMenuBar** bar) {
    if (bar) *bar = nullptr;
    if (!item || !item->Menu()) return nullptr;
    LMenuTracer tracer(name);
    Dispatch(LMessage(LMenuTracer_Trace, &tracer, item->Menu()));
    if (bar) *bar = tracer.Bar();
    return tracer.Found();
}
