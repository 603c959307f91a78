// The character list shared by the font tools.
#pragma once

#include <cstdint>
#include <vector>

// Character codes in the order the user wrote them, duplicates kept.
using CharacterList = std::vector<uint32_t>;

// A generated font has one slot per code from 0 to this value.
constexpr uint32_t kLargestFontCode = 255;
