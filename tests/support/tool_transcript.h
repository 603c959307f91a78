// The whole standard output of a command-line tool's run, as the tool frame
// prints it, for the end-to-end tests that compare transcripts exactly.
#pragma once

#include <string>

// The line that closes a successful run that is not silent.
inline const std::string kClosingLine = "\n\n";

// "\n\n<title> v1.00. <maker's notice>\n\n".
std::string toolBanner(const std::string& title);

// One row of a usage listing: the syntax padded to 32 columns, then the help.
std::string usageRow(const std::string& syntax, const std::string& help);

// The transcripts of one tool.
struct ToolTranscript {
    std::string banner; // toolBanner of the tool's title
    std::string usage;  // its whole usage listing

    // A command-line error: the banner, the usage listing and the error line.
    std::string usageError(const std::string& line) const;
    // A failure at run time: the banner and the error line.
    std::string runtimeError(const std::string& line) const;
    // A successful run: the banner, a blank line, the result line and the
    // closing line.
    std::string success(const std::string& resultLine) const;
};
