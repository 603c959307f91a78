// The rules of glyphsmith that need no window: reading the characters field,
// checking the font height field and deriving the exported font's name.
#pragma once

#include "character_list.h"
#include "character_map.h"
#include "font_glyph_set.h"

#include <cstdint>
#include <string>

namespace glyphsmith {

// Reads the characters field: comma-separated items, each a number or a
// range "start-end" (start <= end, end at most kLargestCharacter: a range
// ending beyond Unicode is a bad item, which also keeps a single item from
// listing billions of codes). Numbers
// are decimal, 0x/0X hexadecimal or 0-prefixed octal, with whitespace allowed
// around each. Empty items yield nothing; bad items (not a number, a number
// beyond 32 bits, a descending or over-long range, more than one hyphen) are
// left out without a message. Codes come out in the order written.
CharacterList parseCharList(const std::string& text);

// The characters field with its `=` items: an item may end in "=U+XXXX"
// (hex) or "=N" (a number of parseCharList's kind), and its codes then show
// consecutive characters from that one on. Lenient as parseCharList: an
// item whose character cannot be read, reaches beyond U+10FFFF or is a
// surrogate, or gives a code a second, different character is left out.
// Codes above 255 keep their own character.
struct MappedCharList {
    CharacterList codes;          // as parseCharList reads them, the `=` items' codes included
    CharacterOverrides overrides; // the characters the `=` items give
};
MappedCharList parseMappedCharList(const std::string& text);

// What the preview and the export show: each code with the character `map`
// gives it, in list order; a code above 255 shows its own character (only
// the preview has room for it), and a code the map leaves without a
// character is left out.
GlyphSlots glyphSlots(const CharacterList& codes, const CharacterMap& map);

enum class HeightStatus {
    Valid,      // the text is a height from kSmallestFontHeight to kLargestFontHeight
    NotANumber, // the text is not entirely a number
    OutOfRange, // a number, but too small or too large (an empty text is 0)
};

struct HeightCheck {
    HeightStatus status; // verdict on the text
    uint32_t height;     // the height, meaningful only when status is Valid
};

// Checks the font height field: the text trimmed of whitespace must convert
// completely as a number of parseCharList's kind, and its whole value, not
// just its low 32 bits, must lie within the exportable heights. A minus sign
// wraps to a huge value and is therefore out of range.
HeightCheck checkFontHeight(const std::string& text);

// The message for a height outside the exportable heights, with the limits.
std::string fontHeightOutOfRangeMessage();

// The font name for a file name chosen in the Save dialog: the name without
// a final ".cpp" in any letter case.
std::string exportFontName(const std::string& fileName);

struct ExportTarget {
    std::string fontName;  // file name without directory and without ".cpp"
    std::string outputDir; // directory of the chosen file, ending in '/'
};

// Splits the full path chosen in the Save dialog into the directory the
// files go to and the font name. The directory is taken from the path
// itself: a path typed into the dialog need not lie in the folder the
// dialog was showing.
ExportTarget exportTarget(const std::string& chosenPath);

// True when `codes` holds a code that has no slot in a generated font.
bool hasCodeBeyondFont(const CharacterList& codes);

// The format an export writes, as the format choice, the compression box
// and the rotation boxes give it.
struct ExportFormat {
    uint32_t bpp = 0;                // bits per pixel of the packed format; 0 for the classic one
    bool compressed = false;         // compressed images (packed only)
    std::vector<uint32_t> rotations; // checked rotations, ascending
};

// The rotations a format's boxes start with when it is chosen: all four for
// the classic format, 0 for the packed one (a firmware uses one).
std::vector<uint32_t> defaultRotations(uint32_t bpp);

// Why the committed list cannot be exported in `format`, as the error box's
// text; empty when it can. `mapped` says that the list has `=` items or a
// code page is chosen, which only the classic format's 8-bit codes take.
std::string exportProblem(const CharacterList& codes, bool mapped, const ExportFormat& format);

} // namespace glyphsmith
