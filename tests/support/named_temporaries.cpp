// Linked into the tests' builds of a tool: every replaced output goes
// through a named temporary file, as on a file system without unnamed ones.
#include "output_file.h"

namespace {

const bool kNamedTemporaries = [] {
    OutputFileTestHooks hooks;
    hooks.namedTemporaries = true;
    setOutputFileTestHooks(hooks);
    return true;
}();

} // namespace
