#include "command_line.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

// A value may never begin with '-', and an empty argument counts as no value.
bool isValueText(const std::string& argument)
{
    return !argument.empty() && argument[0] != '-';
}

bool isOptionText(const std::string& argument)
{
    return !argument.empty() && argument[0] == '-';
}

} // namespace

CommandLineException::CommandLineException(std::optional<std::string> option, std::string message)
    : mOption(std::move(option)), mMessage(std::move(message))
{
}

ArgumentPosition NullArgumentParser::parse(ArgumentPosition position, ArgumentList&)
{
    return position;
}

ArgumentPosition StringArgumentParser::parse(ArgumentPosition position, ArgumentList& arguments)
{
    if (position == arguments.end() || !isValueText(*position))
        throw CommandLineException(std::nullopt, "missing value");
    mTarget = *position;
    return arguments.erase(position);
}

template <typename Value>
ArgumentPosition BasicUnsignedArgumentParser<Value>::parse(ArgumentPosition position, ArgumentList& arguments)
{
    if (position == arguments.end() || !isValueText(*position))
        throw CommandLineException(std::nullopt, "missing numeric value");
    const char* text = position->c_str();
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text, &end, mBase);
    // strtoull negates a number after a '-' (" -5"), wrapping it into range.
    const bool negated = std::strchr(text, '-') != nullptr;
    if (end == text || *end != '\0' || errno == ERANGE || negated || value > std::numeric_limits<Value>::max())
        throw CommandLineException(std::nullopt, "invalid numeric value");
    mTarget = Value(value);
    return arguments.erase(position);
}

template class BasicUnsignedArgumentParser<uint32_t>;
template class BasicUnsignedArgumentParser<uint64_t>;

CommandLine::CommandLine(std::string programName, int argc, const char* const* argv)
    : mProgramName(std::move(programName))
{
    for (int i = 1; i < argc; ++i)
        mArguments.emplace_back(argv[i]);
}

void CommandLine::addOption(std::string syntax, std::string help)
{
    mOptions.push_back({std::move(syntax), std::move(help)});
}

bool CommandLine::getOption(
    const std::string& name, const std::string& alias, ArgumentParser& parser, bool allowMultiple)
{
    std::string displayName = name;
    if (!name.empty() && !alias.empty())
        displayName += ", ";
    displayName += alias;

    const auto matches = [&](const std::string& argument) {
        return argument == name || (!alias.empty() && argument == alias);
    };
    auto found = mArguments.begin();
    while (found != mArguments.end() && !matches(*found))
        ++found;
    if (found == mArguments.end())
        return false;

    const ArgumentPosition next = mArguments.erase(found);
    try {
        parser.parse(next, mArguments);
    } catch (const CommandLineException& error) {
        throw CommandLineException(displayName, error.what());
    }
    if (!allowMultiple) {
        for (const std::string& argument : mArguments)
            if (matches(argument))
                throw CommandLineException(displayName, "duplicate option");
    }
    return true;
}

bool CommandLine::getPositional(ArgumentParser& parser)
{
    bool standAlone = true;
    for (auto position = mArguments.begin(); position != mArguments.end(); ++position) {
        if (isOptionText(*position)) {
            standAlone = false;
        } else if (!standAlone) {
            standAlone = true;
        } else if (!position->empty()) {
            try {
                parser.parse(position, mArguments);
            } catch (const CommandLineException& error) {
                throw CommandLineException(std::string(), error.what());
            }
            return true;
        }
    }
    return false;
}

void CommandLine::checkUnused() const
{
    if (!mArguments.empty())
        throw CommandLineException(std::nullopt, "invalid argument " + mArguments.front());
}

void CommandLine::printUsage() const
{
    std::printf("\n\nUSAGE: %s [options]\n", mProgramName.c_str());
    std::puts("where [options] can be any of the following:\n");
    for (const OptionEntry& entry : mOptions)
        std::printf("\n %-32s  -  %s\n", entry.syntax.c_str(), entry.help.c_str());
}
