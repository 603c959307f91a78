// Names for the temporary files made beside an output.
#pragma once

#include <string>

// A name for a temporary file beside `finalName`: ".<finalName>.tmpXXXXXXXX"
// with eight hex digits that differ from call to call (the caller retries on
// a clash), the final name shortened so that the whole fits in NAME_MAX.
std::string temporaryName(const std::string& finalName);
