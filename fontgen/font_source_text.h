// The text of the generated bitmap-font source and header, byte for byte.
//
// Every piece of generated text is made here, appended to a string, from the
// pieces in font_source_format.h that the reader uses too.
#pragma once

#include "character_list.h"
#include "font_glyph_set.h"
#include "font_rasterizer.h"
#include "font_source_format.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// One flag per font slot: set when that code's glyph was emitted.
using PresenceTable = std::array<bool, kLargestFontCode + 1>;

// Rotations to write, ascending: a subset of kFontRotations.
using FontRotations = std::vector<uint32_t>;

// All four, which a classic export writes unless asked for fewer.
const FontRotations& allFontRotations();

// Replaces every byte other than A-Z, a-z, 0-9 and '_' by '_'.
void sanitizeFontName(std::string& name);

// A font record's metrics as the source stores them, in whole pixels:
// FreeType's 26.6 fixed-point values with their fraction dropped.
struct StoredFontMetrics {
    int64_t height;    // baseline-to-baseline distance
    int64_t ascender;  // baseline up to the top of the tallest glyphs
    int64_t descender; // baseline to the lowest glyph bottom, normally negative
};
StoredFontMetrics storedFontMetrics(const SizeMetrics& metrics);

// "#include <includeName>" and an empty line.
void appendIncludeLine(std::string& out, const std::string& includeName);

// A font's name inside a comment line: control bytes would end or splice
// the line, so they become '?'.
void appendFontNote(std::string& out, const std::string& name);

// The comment lines that say what the slots of `glyphs` show and where from,
// and an empty line; nothing when every slot shows its own code from the
// main font. `fallbackNames` name the fallback fonts in order; bytes that
// would break a comment line become '?'.
void appendSlotNotes(std::string& out, const FontGlyphSet& glyphs, const std::vector<std::string>& fallbackNames);

// Everything emitted for one glyph: its kerning arrays when `pairs` is not
// empty, its pixel array of each rotation when it has pixels, and its
// record of each rotation.
void appendGlyph(std::string& out, uint32_t code, const RenderedGlyph& glyph, const KerningPairs& pairs,
    const FontRotations& rotations = allFontRotations());

// The font record of each rotation, which close the source file. `metrics`
// are in 26.6 fixed point and are written in whole pixels, truncated toward
// zero.
void appendFontRecords(std::string& out, const std::string& name, const SizeMetrics& metrics,
    const PresenceTable& present, const FontRotations& rotations = allFontRotations());

// The whole header declaring the fonts of `name`, one per rotation.
std::string headerText(const std::string& name, const FontRotations& rotations = allFontRotations());
