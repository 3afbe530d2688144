#pragma once
// The raster canvas lives with the pictures that the command line draws too.
#include "picture/RasterCanvas.h"
