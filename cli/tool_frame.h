// The shape every command-line run shares: banner, one try block, and one
// place that turns what was thrown into output and an exit status.
#pragma once

#include "command_line.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>

// What the usage listing and the banner call a tool.
struct ToolIdentity {
    const char* usageName; // program name of the usage listing
    const char* title;     // first words of the banner
    uint16_t version;      // major version in the high byte, minor in the low byte
};

// Prints "\n\n<title> v<major>.<minor>. <maker's notice>\n\n".
void printBanner(const ToolIdentity& identity);

// Formats like printf and throws the text as std::runtime_error.
[[noreturn]] void raiseError(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Formats like printf into a string, for result lines and messages built
// before they are thrown or printed.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Ends a run normally: throws the exit marker (the unsigned integer 0).
[[noreturn]] void finishRun();

struct ToolRunOptions {
    bool closingLine = true; // write the closing line after the exit marker
    // Reports an exception type the frame does not know (FreeType failures
    // in the font tool); returns false when it does not know it either.
    std::function<bool(const std::exception&)> reportOtherError;
};

// Where a tool's run departs from the standard one.
struct StandardToolStyle {
    // The result line follows the tool's own messages directly and ends its
    // line, silent or not, instead of coming after a blank line.
    bool resultLineEndsLine = false;
    // As ToolRunOptions::reportOtherError.
    std::function<bool(const std::exception&)> reportOtherError;
};

// The whole run of a tool: "--help" (the first row of every listing) and
// "--silent" registered before the tool's own options; "--silent" looked
// up, the banner unless it is given, "--help" (the usage listing and the end
// of the run), then `work`, which reads the remaining options, does the job
// and returns the result line; the result line, then the exit marker. The
// result line follows a blank line and the closing line ends it; in silent
// mode, where the banner and the closing line are left out so that a build
// log holds only the result line, it stands alone on its line. Usage
// listings and errors are printed either way. Returns the process exit
// status.
int runStandardTool(const ToolIdentity& identity, int argc, const char* const* argv,
    void (*registerOptions)(CommandLine&), const std::function<std::string(CommandLine&)>& work,
    const StandardToolStyle& style = {});

// Runs `work`, which ends by throwing the exit marker, a CommandLineException
// or a std::runtime_error, and returns the process exit status (0 or 1). A
// std::bad_alloc that `work` lets out is reported as "not enough memory".
// SIGXFSZ and SIGPIPE are ignored from then on, so that a write over a
// file-size limit or into a pipe without a reader fails as a write.
int runTool(const CommandLine& commandLine, const std::function<void()>& work, const ToolRunOptions& options = {});
