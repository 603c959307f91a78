// The input reader and the output file together, for the tools that read one
// file whole and write another.
#pragma once

#include "input_file.h"
#include "output_file.h"
