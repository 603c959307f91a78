// Runs a real tool binary the way a user's shell would, for end-to-end tests.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

struct ProgramResult {
    std::string output; // everything the program wrote to standard output
    int status;         // exit status, or -1 when the program did not exit normally
};

// Starts `program` with `arguments` (passed as they are: empty arguments
// included, no shell) in `workingDirectory` (empty: this process's own),
// with standard error discarded, and waits for it.
ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const std::string& workingDirectory = "");

// Starts `program` like runProgram (standard output discarded), sends it
// `signal` after `delay`, and returns its wait status.
int runProgramInterrupted(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, std::chrono::microseconds delay, int signal);

// Small file helpers for test fixtures.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// The lines of `text`, without their line ends.
std::vector<std::string> linesOf(const std::string& text);

// A fresh directory under the system's temporary folder, removed with its contents.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::string& path() const { return mPath; }
    std::string file(const std::string& name) const { return mPath + "/" + name; }
    std::string prefix() const { return mPath + "/"; } // the path followed by '/'

private:
    std::string mPath;
};
