// The header of a generated font, classic or packed: its include guard,
// ds_font.h and the declaration of the font of each rotation written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The header of the font `name` (sanitized) declaring `fontType` objects
// font_<name>_<rotation>, one per entry of `rotations`, in that order.
std::string fontHeaderText(const std::string& name, const std::vector<uint32_t>& rotations, std::string_view fontType);
