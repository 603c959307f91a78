// What each font code shows: the Unicode character of every slot, from the
// identity (code N shows U+N), an 8-bit code page read through the C
// library's iconv, and the `=` items of a character list on top. Free of
// FreeType.
#pragma once

#include "character_list.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The largest Unicode character, and the surrogates, which are none.
constexpr uint32_t kLargestCharacter = 0x10FFFF;
constexpr uint32_t kFirstSurrogate = 0xD800;
constexpr uint32_t kLastSurrogate = 0xDFFF;

// Marks a slot that shows no character (a code the code page leaves undefined).
constexpr uint32_t kNoCharacter = UINT32_MAX;

// The Unicode character each font code shows, kNoCharacter for none.
using CharacterMap = std::array<uint32_t, kLargestFontCode + 1>;

// The characters given by `=` items of a character list, per code.
using CharacterOverrides = std::array<std::optional<uint32_t>, kLargestFontCode + 1>;

// The code pages --codepage accepts, by the names iconv knows them under:
// single-byte pages without shift states, so each byte converts on its own.
constexpr std::array<std::string_view, 23> kCodePages = {"CP1250", "CP1251", "CP1252", "CP1253", "CP1254", "CP1257",
    "ISO-8859-1", "ISO-8859-2", "ISO-8859-3", "ISO-8859-4", "ISO-8859-5", "ISO-8859-6", "ISO-8859-7", "ISO-8859-8",
    "ISO-8859-9", "ISO-8859-10", "ISO-8859-11", "ISO-8859-13", "ISO-8859-14", "ISO-8859-15", "ISO-8859-16", "KOI8-R",
    "KOI8-U"};

// Code N shows U+N: the meaning of a list without code page or `=` items.
CharacterMap identityMap();

// The entry of kCodePages that `name` spells, ignoring case; nullopt for a
// name that is not one of them.
std::optional<std::string_view> codePageName(std::string_view name);

// Every byte of the code page `name` (an entry of kCodePages) converted on
// its own by iconv; kNoCharacter where the page defines no character.
// Returns false when iconv cannot open the page.
bool codePageMap(std::string_view name, CharacterMap& map);

// The `=` items of a character list ("128-191=U+0410", "200=61445"): the
// item's codes show consecutive characters from the one after the separator
// on. Both readers of a list (--chars and the desktop program's field) take
// the character in the hexadecimal notation below, and each reads the
// decimal form with its own number syntax.
constexpr char kMappingSeparator = '=';

// True when `text` begins with "U+" or "u+".
bool hasUnicodePrefix(std::string_view text);

// The character of "U+XXXX" or "u+XXXX" with 1 to 6 hexadecimal digits
// (U+10FFFF at most takes 6), which may lie beyond Unicode; nullopt for
// any other text.
std::optional<uint32_t> unicodeNotation(std::string_view text);

enum class MappingCheck {
    Accepted,      // recorded
    BeyondUnicode, // the last character would lie beyond U+10FFFF
    Surrogate,     // a character would be a surrogate
    TwoCharacters, // a code already shows another character
};

// Records in `overrides` that the non-empty `codes` show consecutive
// characters from `first` on; codes above kLargestFontCode have no slot and
// are passed over. Unless Accepted, `overrides` is left as it was, and for
// TwoCharacters `conflict` is the first code that already shows another
// character.
MappingCheck addMapping(const CharacterList& codes, uint64_t first, CharacterOverrides& overrides, uint32_t& conflict);

// `base` with every overridden code replaced by its override.
CharacterMap withOverrides(CharacterMap base, const CharacterOverrides& overrides);

// The code that shows `character`: the first of `candidates` whose slot in
// `map` holds it; nullopt when none does.
std::optional<uint32_t> codeOfCharacter(const CharacterMap& map, const CharacterList& candidates, uint32_t character);
