// Compressed surface files, written on the build machine: the rows of a
// surface coded as ds_compressed.h describes, so that a device draws them
// straight from flash.
#pragma once

#include "ds_surface.h"

#include <cstdint>
#include <vector>

// Rows of a block: the encoder's choice, which the file records. A clipped
// drawing decodes at most this many rows above its first one; a block's
// first row refers to no row above, which costs bytes.
constexpr uint32_t kDsCompressedRowsPerBlock = 32;

// The compressed surface file of `surface` turned by `angle` (0, 90, 180 or
// 270; any other counts as 0), the same image as the file that
// turnedFile and copyTurnedRows give: the header of ds_surface.h with the
// compressed flag on the colour mode, the block table, the coded rows, zeros
// up to a multiple of 4 bytes. Each row takes the runs of a shortest path
// over its pixels: the fewest bytes, a residual run counted a byte more than
// it takes for what it costs the decoder. Empty when the code would
// take 4 GiB or more, which the file's 32-bit offsets cannot hold. The
// surface must be valid and uncompressed.
std::vector<uint8_t> dsCompressSurface(const DsSurface& surface, int32_t angle);
