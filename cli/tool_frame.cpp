#include "tool_frame.h"

#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr const char* kMakersNotice = "Asset tools for the Corvane embedded graphics library.";
constexpr const char* kHelpOption = "--help";

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

void raiseError(const char* format, ...)
{
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string message;
    if (length > 0) {
        std::vector<char> buffer(size_t(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, arguments);
        message.assign(buffer.data(), size_t(length));
    }
    va_end(arguments);
    throw std::runtime_error(message);
}

void finishRun()
{
    throw 0u;
}

void registerToolOptions(CommandLine& commandLine, void (*registerOptions)(CommandLine&))
{
    commandLine.addOption(kHelpOption, "Print this help screen");
    registerOptions(commandLine);
}

void answerHelp(CommandLine& commandLine)
{
    NullArgumentParser flag;
    if (commandLine.getOption(kHelpOption, "", flag)) {
        commandLine.printUsage();
        finishRun();
    }
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
    } catch (const std::exception& error) {
        if (!options.reportOtherError || !options.reportOtherError(error))
            std::printf("\n\nERROR: %s\n\n", error.what());
    }
    std::fflush(stdout);
    return status;
}

int runStandardTool(const ToolIdentity& identity, int argc, const char* const* argv,
    void (*registerOptions)(CommandLine&), const std::function<void(CommandLine&)>& work)
{
    printBanner(identity);
    CommandLine commandLine(identity.usageName, argc, argv);
    registerToolOptions(commandLine, registerOptions);
    return runTool(commandLine, [&] {
        answerHelp(commandLine);
        work(commandLine);
        finishRun();
    });
}
