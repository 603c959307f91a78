// The value parser of the --chars option of glyphsmith_cli.
#pragma once

#include "character_list.h"
#include "command_line.h"

// Reads a character list such as "32-126,145,146,147": items separated by
// ',', each a decimal code or a range "low-high" with low below high. Every
// code must lie in 0 to 255. Codes are appended to `target` in the order
// written, duplicates kept.
class CharListArgumentParser final : public ArgumentParser {
public:
    explicit CharListArgumentParser(CharacterList& target) : target(target) { }

    // Joins every following word that does not begin with '-' (empty words
    // are consumed and add nothing) into one value text and reads it. No
    // value word leaves `target` as it was. Throws CommandLineException
    // "invalid value" or "invalid range"; codes of the items before the bad
    // one stay appended.
    ArgumentPosition parse(ArgumentPosition position, ArgumentList& arguments) override;

private:
    CharacterList& target; // the caller's list, appended to
};
