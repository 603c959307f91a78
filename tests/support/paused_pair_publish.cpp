// Linked into the tests' builds of glyphsmith_cli and pixpack: named
// temporary files, and a pause between the two renames of a pair of outputs
// (a font's source and header, a surface and its palette), long enough for a
// test to send a signal or change the folder while one file is in place and
// the other is not.
#include "output_file.h"

#include <time.h>

namespace {

constexpr long kPauseMilliseconds = 400;

void pause(OutputPausePoint point)
{
    if (point != OutputPausePoint::BetweenPairPublishes)
        return;
    timespec delay{0, kPauseMilliseconds * 1000000};
    while (nanosleep(&delay, &delay) != 0) { }
}

const bool kPaused = [] {
    OutputFileTestHooks hooks;
    hooks.namedTemporaries = true;
    hooks.pause = pause;
    setOutputFileTestHooks(hooks);
    return true;
}();

} // namespace
