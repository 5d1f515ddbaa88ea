// Loading a GIF picture from a module's resources.
#pragma once

#include <windows.h>

#include "ui/core/raster_set.h"

namespace mrwd {

// Replaces the contents of `set` with the frames of resource `id` of type
// `typeName` (the program's pictures are of type "GIF") in `module`.
// Returns the number of frames loaded: 0 when the resource is missing,
// empty or cannot be locked, or is not a GIF.
int LoadGif(CRasterSet& set, HMODULE module, const char* typeName, int id);

}  // namespace mrwd
