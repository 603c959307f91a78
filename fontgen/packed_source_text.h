// The text of a generated packed font source (packed_source_format.h), byte
// for byte. Free of FreeType.
#pragma once

#include "packed_font.h"

#include <string>
#include <vector>

// The source file of the font `name` (sanitized) in the rotations of
// `fonts`, ascending: the include line, `notes` as comment lines (each
// written after "// "), the tables and the font records.
std::string packedSourceText(
    const std::string& name, const std::vector<std::string>& notes, const std::vector<PackedFont>& fonts);

// The rotations of `fonts`, in their order.
std::vector<uint32_t> packedRotations(const std::vector<PackedFont>& fonts);
