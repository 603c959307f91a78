// Reads a generated packed font source (packed_source_format.h) back into
// its fonts. Only the text that packedSourceText writes is accepted, with
// any text in its comment lines, and only fonts that checkPackedFont
// accepts, so that drawing with them reads only within their tables. Free
// of FreeType.
#pragma once

#include "packed_font.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct PackedSource {
    std::string name;               // the sanitized font name
    std::vector<std::string> notes; // its comment lines, without "// "
    std::vector<PackedFont> fonts;  // one per rotation written, ascending
};

// Whether `text` declares packed fonts, so that it is read by
// readPackedSource rather than as a classic font source.
bool isPackedSource(std::string_view text);

// Parses `text` into `source`. Returns false when the text departs from what
// the exporter writes, with `errorLine` the 1-based line where it departs (a
// font that breaks the format's rules departs at its first line); `source`
// is then unspecified.
bool readPackedSource(std::string_view text, PackedSource& source, uint32_t& errorLine);
