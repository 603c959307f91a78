// PNG files of pictures, written with libpng.
#pragma once

#include "output_file.h"
#include "picture.h"

#include <cstdint>
#include <functional>

// Writes `picture` (1 to 2^31 - 1 pixels each way) into `output` as an 8-bit
// PNG of the picture's format. Returns false when libpng fails; what reached
// `output` is then incomplete, and the caller discards it. Throws
// std::bad_alloc when libpng runs out of memory.
bool writePng(const Picture& picture, OutputFile& output);

// The bytes of row `y` (from the top) of a picture being written, width x
// channels of them, valid until the next call; null to stop the write. Rows
// are asked for once each, in order.
using PngRowSource = std::function<const uint8_t*(uint32_t y)>;

// Writes a `width` x `height` picture (1 to 2^31 - 1 pixels each way) of
// `format` into `output` as an 8-bit PNG, one row at a time from `rows`, so
// that no whole image need be held. Adds the bytes written to `*written`
// when it is given. Returns false when libpng fails or `rows` gives null;
// what reached `output` is then incomplete, and the caller discards it.
// Throws std::bad_alloc when libpng runs out of memory.
bool writePngRows(uint32_t width, uint32_t height, PictureFormat format, const PngRowSource& rows, OutputFile& output,
    uint64_t* written = nullptr);

// The memory writePngRows takes for rows of `width` pixels of `format`:
// libpng's four rows a filter byte longer than the pixels (the row being
// filtered, the one above it, and two rows of filter trials) and its deflate
// state and buffers.
uint64_t pngWriterMemoryBytes(uint32_t width, PictureFormat format);
