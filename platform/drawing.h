// Drawing on the canvas and on numbered off-screen images: a raster interface (whole
// pixels, no anti-aliasing) and an anti-aliased vector interface (paths, strokes, text).
// At most one drawing context is open at a time; every begin has its matching end. This
// header gathers the three parts for the view.
#pragma once

#include "platform/images.h"
#include "platform/raster_drawing.h"
#include "platform/vector_drawing.h"
