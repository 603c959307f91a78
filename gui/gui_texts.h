// Every text glyphsmith shows: window title, labels, dialogs and messages.
#pragma once

namespace glyphsmith {

constexpr const char* kTitleFormat = "Corvane Bitmap Font Generator %s";
constexpr const char* kVersionText = "v1.00";
constexpr const char* kAboutFormat = "%s\nTurns TrueType fonts into bitmap fonts for the Corvane graphics library.";
constexpr const char* kAboutCaption = "About";

constexpr const char* kFileMenu = "&File";
constexpr const char* kHelpMenu = "&Help";
constexpr const char* kLoadFontItem = "&Load Font\tCtrl-l";
constexpr const char* kQuitItem = "&Quit\tCtrl-q";
constexpr const char* kAboutItem = "&About";

constexpr const char* kConfigurationLabel = "Font Configuration";
constexpr const char* kFontHeightLabel = "Font Height";
constexpr const char* kPixelsLabel = "px";
constexpr const char* kCharactersLabel = "Characters to convert";
constexpr const char* kExportLabel = "Export";
constexpr const char* kCodePageLabel = "Code page";
constexpr const char* kNoCodePage = "none";
constexpr const char* kFormatLabel = "Format";
// The format choice: the classic format, then the packed one at each depth.
constexpr const char* kClassicFormat = "classic (8 bits, codes 0-255)";
constexpr const char* kPackedFormats[] = {"packed, 1 bit", "packed, 2 bits", "packed, 4 bits", "packed, 8 bits"};
constexpr unsigned kPackedDepths[] = {1, 2, 4, 8};
constexpr const char* kCompressLabel = "Compress";
constexpr const char* kRotationsLabel = "Rotations";
constexpr const char* kInitialHeight = "16";
constexpr const char* kInitialCharacters = "32-126";
constexpr const char* kStoredViewLabel = "As stored at the export height (zoomed)";

constexpr const char* kLoadFontTitle = "Choose File to Load Font From";
constexpr const char* kFontFileFilter = "Font files (*.ttf, *.otf)|*.ttf;*.otf;*.TTF;*.OTF|TrueType fonts "
                                        "(*.ttf)|*.ttf;*.TTF|OpenType fonts (*.otf)|*.otf;*.OTF|"
                                        "All files (*)|*";
constexpr const char* kSaveSourceTitle = "Choose File to Save Data To";
constexpr const char* kSourceFileFilter = "C Source File (*.cpp)|*.cpp";

constexpr const char* kExportedCaption = "Export";
// The message after a successful export, with the paths of the source and the header.
constexpr const char* kExportedFormat = "Wrote %s and %s";

constexpr const char* kErrorCaption = "Error";
constexpr const char* kInvalidFontSize = "Invalid font size !";
constexpr const char* kFontSizeOutOfRangeFormat = "Font size must be in between %u and %u !";
constexpr const char* kErrorWritingFile = "Error writing file !";
constexpr const char* kCodesBeyondFont = "Character codes above 255 cannot be exported !";
constexpr const char* kCodesBeyondUnicode = "Character codes above U+10FFFF cannot be exported !";
constexpr const char* kMappingsAreClassic = "Code pages and '=' items need the classic format !";
constexpr const char* kNoRotation = "Choose at least one rotation !";
constexpr const char* kNoFontLoaded = "No font loaded !";
constexpr const char* kInvalidFileName = "Invalid file name !";

// Console line when FreeType cannot start, with the FreeType message.
constexpr const char* kFreeTypeStartFailure = "\nFreeType: %s\n\n";

} // namespace glyphsmith
