#include "tool_transcript.h"

std::string toolBanner(const std::string& title)
{
    return "\n\n" + title + " v1.00. Asset tools for the Corvane embedded graphics library.\n\n";
}

std::string usageRow(const std::string& syntax, const std::string& help)
{
    std::string padded = syntax;
    if (padded.size() < 32)
        padded.resize(32, ' ');
    return "\n " + padded + "  -  " + help + "\n";
}

std::string ToolTranscript::usageError(const std::string& line) const
{
    return banner + usage + "\n\nERROR: " + line + "\n\n";
}

std::string ToolTranscript::runtimeError(const std::string& line) const
{
    return banner + "\n\nERROR: " + line + "\n\n";
}

std::string ToolTranscript::success(const std::string& resultLine) const
{
    return banner + "\n" + resultLine + kClosingLine;
}
