// The comment lines a generated bitmap-font source opens with, read back:
// what each code exported with a code page, `=` items or fallback fonts
// shows, so that a reader can turn text into the font's codes without being
// told how the font was exported. Free of FreeType.
#pragma once

#include "character_map.h"

#include <string_view>

// What the slot notes of the source `text` say: each code shows the
// character its note gives ("// 0xC0-0xFF: U+0410-U+044F",
// "// 0x80: U+F000 from 'icons.ttf'"), every other code U+code, as the
// exporter writes notes only for codes that differ from that. Lines that are
// not well-formed slot notes (the fallback-font lines among them) say
// nothing. `noted` tells whether any slot note was read.
struct SlotNotes {
    CharacterMap map; // the character each code shows
    bool noted;       // at least one slot note was read
};
SlotNotes readSlotNotes(std::string_view text);
