// UTF-8 as the text functions of packed fonts read it. A well-formed
// sequence is one of the forms of the Unicode standard's table of
// well-formed byte sequences: no overlong forms, no surrogates, nothing
// above U+10FFFF. Anything else is skipped a maximal subpart at a time, as
// the standard recommends for replacing ill-formed text: the longest start
// of a well-formed sequence found there, or one byte when not even the
// first byte can begin one, so that the next well-formed character is
// always read whole.
#pragma once

#include <stdint.h>

// Reads the sequence at `at`, which must not point at the terminating 0,
// and moves `at` past it. True with `character` set for a well-formed
// sequence; false for a maximal ill-formed subpart, which is skipped.
inline bool dsNextCharacter(const char*& at, uint32_t& character)
{
    const uint8_t lead = uint8_t(at[0]);
    if (lead < 0x80) {
        character = lead;
        ++at;
        return true;
    }
    // The length of the sequence and the range its second byte must lie in;
    // later continuation bytes are 0x80 to 0xBF.
    uint32_t length = 0;
    uint8_t low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;  // below: overlong
        high = lead == 0xED ? 0x9F : 0xBF; // above: surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;  // below: overlong
        high = lead == 0xF4 ? 0x8F : 0xBF; // above: beyond U+10FFFF
    } else {
        ++at; // a continuation byte, C0, C1 or F5 to FF: begins nothing
        return false;
    }
    uint32_t value = lead & (0x7Fu >> length);
    for (uint32_t i = 1; i < length; ++i) {
        const uint8_t next = uint8_t(at[i]);
        if (next < low || next > high) {
            at += i; // the terminating 0 fails here too
            return false;
        }
        value = value << 6 | (next & 0x3Fu);
        low = 0x80;
        high = 0xBF;
    }
    at += length;
    character = value;
    return true;
}
