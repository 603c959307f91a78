// The value parser of the --chars option of glyphsmith_cli and assetpeek.
#pragma once

#include "character_list.h"
#include "character_map.h"
#include "command_line.h"

#include <string>

// What the codes of a list are.
enum class CharListKind {
    FontCodes,        // the classic format's 8-bit codes, with `=` items
    UnicodeCharacters // the packed format's characters, 0 to U+10FFFF
};

// Reads a character list such as "32-126,145,146,147": items separated by
// ',', each a decimal code or a range "low-high" with low below high. Every
// code must lie in 0 to 255. Codes are appended to `target` in the order
// written, duplicates kept.
//
// An item may end in "=U+XXXX" (hex) or "=N" (decimal): its codes then show
// consecutive characters from that one on ("128-191=U+0410"), recorded in
// the overrides. Two items giving one code two different characters, a
// character beyond U+10FFFF or a surrogate are refused.
//
// A list of Unicode characters takes codes from 0 to 0x10FFFF, each also
// written "U+XXXX" (1 to 6 hex digits), as in "32-126,U+20AC,U+0400-U+04FF";
// `=` items are refused.
class CharListArgumentParser final : public ArgumentParser {
public:
    explicit CharListArgumentParser(CharacterList& target) : target(target), overrides(ownOverrides) { }
    CharListArgumentParser(CharacterList& target, CharacterOverrides& overrides) : target(target), overrides(overrides)
    {
    }
    CharListArgumentParser(CharacterList& target, CharListKind kind)
        : target(target), overrides(ownOverrides), kind(kind)
    {
    }

    // Joins every following word that does not begin with '-' (empty words
    // are consumed and add nothing) into one value text and reads it. Throws
    // CommandLineException "missing value" when that text is empty (no value
    // word, or only empty ones), as for any option without its value;
    // "invalid value" or "invalid range" for an item without '=', and for an
    // item with one the messages of char_list_parser.cpp naming the item;
    // codes of the items before the bad one stay appended.
    ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) override;

private:
    CharacterList& target;           // the caller's list, appended to
    CharacterOverrides& overrides;   // the caller's overrides, or ownOverrides
    CharacterOverrides ownOverrides; // kept for callers that do not ask for them
    CharListKind kind = CharListKind::FontCodes;
};
