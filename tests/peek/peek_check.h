// Shared by the assetpeek tests: pictures read back with libpng.
#pragma once

#include "png_builder.h"
#include "small_font.h"

#include <string>

// The PNG file at `path` decoded by libpng as it is stored; fails the test
// and returns an empty image when libpng refuses it.
LibpngImage readPicture(const std::string& path);
