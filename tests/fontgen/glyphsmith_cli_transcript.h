// What glyphsmith_cli prints around its work: the banner and the usage
// listing, for the tests that compare its transcripts exactly.
#pragma once

#include "tool_transcript.h"

inline const ToolTranscript& glyphsmithCliTranscript()
{
    static const ToolTranscript transcript = {toolBanner("Corvane Font Generator CLI"),
        "\n\nUSAGE: glyphsmith_cli [options]\nwhere [options] can be any of the following:\n\n" +
            usageRow("--help", "Print this help screen") +
            usageRow("--silent", "Print minimal information on the screen (useful for running from scripts)") +
            usageRow("--font <font file>", "Input font file") +
            usageRow("--chars <range>", "List of characters to process. Example: 32-126,145,146,147") +
            usageRow("--size <height>", "Font height to process") +
            usageRow("--output_path <path>", "Path for the output files") +
            usageRow("--codepage <name>", "Show the characters of an 8-bit code page. Example: CP1251") +
            usageRow("--fallback <font file>", "Font for the characters the input font lacks (repeatable)") +
            usageRow("--bpp <1 | 2 | 4 | 8>", "Write the packed format with this many bits per pixel") +
            usageRow("--compress", "Compress the glyph images of the packed format") +
            usageRow("--rotations <list>", "Rotations to write, of 0,90,180,270 (default: all; packed: 0)")};
    return transcript;
}
