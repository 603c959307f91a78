// PNG files of pictures, written with libpng.
#pragma once

#include "output_file.h"
#include "picture.h"

// Writes `picture` (1 to 2^31 - 1 pixels each way) into `output` as an 8-bit
// PNG of the picture's format. Returns false when libpng fails; what reached
// `output` is then incomplete, and the caller discards it.
bool writePng(const Picture& picture, OutputFile& output);
