#pragma once
// Saves a raster picture as an 8-bit RGB PNG file, replacing the target atomically.
#include <filesystem>

#include "picture/RasterCanvas.h"

namespace sv {

// Throws IoError when the picture cannot be encoded or saved.
void SavePng(const RasterCanvas& picture, const std::filesystem::path& target);

}  // namespace sv
