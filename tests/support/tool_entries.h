// The tools' entry functions, for the tests that link the builds of them
// made by corvane_add_tool_library (tests/CMakeLists.txt) and call them
// through runEntryFunction.
#pragma once

int pixpack_main(int argc, char** argv);
int assetpeek_main(int argc, char** argv);
