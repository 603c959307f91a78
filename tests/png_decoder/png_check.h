// Decoding helpers shared by the PNG decoder tests.
#pragma once

#include "counting_allocator.h"
#include "owned_surface.h"
#include "png_builder.h"
#include "png_decoder.h"

#include <memory>
#include <string>

// decodePng on an exact-size copy of the file, so that over-reads are caught.
SurfacePtr decodeFile(const Bytes& file, bool alphaOnly = false, int rotation = 0);

// The surface file of a surface.
Bytes serialized(const DsSurface& surface);

// Decodes `file` and checks mode, geometry, pixels and palette against what
// libpng's decoding of the same file gives.
void expectSurfaceMatchesReference(const Bytes& file, bool alphaOnly, int rotation, const std::string& label);
