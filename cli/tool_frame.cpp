#include "tool_frame.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kMakersNotice = "Asset tools for the Corvane embedded graphics library.";
constexpr const char* kHelpOption = "--help";
constexpr const char* kSilentOption = "--silent";

void printCommandLineError(const CommandLineException& error)
{
    if (error.option())
        std::printf("\n\nERROR: '%s' %s\n\n", error.option()->c_str(), error.what());
    else
        std::printf("\n\nERROR: %s\n\n", error.what());
}

// A file-size limit (SIGXFSZ) and a reader that goes away (SIGPIPE) would
// end the process by signal, with no message and a named temporary file
// left behind; ignored, they make the write fail (EFBIG, EPIPE) instead, and
// the run reports it as any failed write.
void letWritesFailInsteadOfSignals()
{
    std::signal(SIGXFSZ, SIG_IGN);
    std::signal(SIGPIPE, SIG_IGN);
}

} // namespace

void printBanner(const ToolIdentity& identity)
{
    std::printf("\n\n%s v%X.%02X. %s\n\n", identity.title, unsigned(identity.version >> 8),
        unsigned(identity.version & 0xFF), kMakersNotice);
}

namespace {

// Measures the formatted text with a first pass that writes nothing, then
// formats it into a buffer of that size.
std::string formatArguments(const char* format, std::va_list arguments)
{
    std::va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(size_t(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        text.assign(buffer.data(), size_t(length));
    }
    return text;
}

} // namespace

void raiseError(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::string message = formatArguments(format, arguments);
    va_end(arguments);
    throw std::runtime_error(message);
}

std::string formatText(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::string text = formatArguments(format, arguments);
    va_end(arguments);
    return text;
}

void finishRun()
{
    throw 0u;
}

int runTool(const CommandLine& commandLine, const std::function<void()>& work, const ToolRunOptions& options)
{
    letWritesFailInsteadOfSignals();
    int status = 1;
    try {
        work();
    } catch (const CommandLineException& error) {
        commandLine.printUsage();
        printCommandLineError(error);
    } catch (const std::runtime_error& error) {
        std::printf("\n\nERROR: %s\n\n", error.what());
    } catch (unsigned) {
        if (options.closingLine)
            std::puts("\n");
        status = 0;
    } catch (const std::bad_alloc&) {
        // What a tool does not report as its own "not enough memory for ...".
        std::printf("\n\nERROR: not enough memory\n\n");
    } catch (const std::exception& error) {
        if (!options.reportOtherError || !options.reportOtherError(error))
            std::printf("\n\nERROR: %s\n\n", error.what());
    }
    std::fflush(stdout);
    return status;
}

namespace {

void registerHelpAndSilent(CommandLine& commandLine)
{
    commandLine.addOption(kHelpOption, "Print this help screen");
    commandLine.addOption(kSilentOption, "Print minimal information on the screen (useful for running from scripts)");
}

// Prints the usage listing and ends the run when "--help" is given.
void answerHelp(CommandLine& commandLine)
{
    NullArgumentParser flag;
    if (commandLine.getOption(kHelpOption, "", flag)) {
        commandLine.printUsage();
        finishRun();
    }
}

bool lookUpSilent(CommandLine& commandLine)
{
    NullArgumentParser flag;
    return commandLine.getOption(kSilentOption, "", flag);
}

} // namespace

int runStandardTool(const ToolIdentity& identity, int argc, const char* const* argv,
    void (*registerOptions)(CommandLine&), const std::function<std::string(CommandLine&)>& work,
    const StandardToolStyle& style)
{
    CommandLine commandLine(identity.usageName, argc, argv);
    registerHelpAndSilent(commandLine);
    registerOptions(commandLine);
    ToolRunOptions options;
    options.reportOtherError = style.reportOtherError;
    return runTool(
        commandLine,
        [&] {
            const bool silent = lookUpSilent(commandLine);
            // runTool reads the option only once the run has ended.
            options.closingLine = !silent;
            if (!silent)
                printBanner(identity);
            answerHelp(commandLine);
            const std::string resultLine = work(commandLine);
            std::printf(silent || style.resultLineEndsLine ? "%s\n" : "\n%s", resultLine.c_str());
            finishRun();
        },
        options);
}
