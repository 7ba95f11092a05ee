#pragma once

#include <mutex>

typedef struct _PangoFontMap PangoFontMap;
typedef struct _PangoContext PangoContext;
typedef struct _cairo cairo_t;

namespace plat::pango {

// Fonts and text share one font map at 72 dots per inch (a point is a pixel) with unhinted metrics,
// so that measured and drawn sizes agree at every scale. Every use holds Lock().
std::mutex& Lock();
PangoFontMap* FontMap();
// The measuring context (owned by the module).
PangoContext* MeasuringContext();
// A new context for drawing into cr (caller unrefs).
PangoContext* CreateDrawingContext(cairo_t* cr);

}  // namespace plat::pango
