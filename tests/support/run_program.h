// Runs a real tool binary the way a user's shell would, for end-to-end tests.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct ProgramResult {
    std::string output; // everything the program wrote to standard output
    int status;         // exit status, or -1 when the program did not exit normally
    int signal = 0;     // the signal that ended it, or 0
};

// How the program is started beyond its arguments.
struct ProgramSetup {
    std::string workingDirectory; // empty: this process's own
    int outputFd = -1;            // standard output; -1 captures it into ProgramResult::output
    uint64_t fileSizeLimit = 0;   // RLIMIT_FSIZE in bytes, as `ulimit -f` sets it; 0: none
    uint64_t memoryLimit = 0;     // RLIMIT_AS in bytes; 0: none
    unsigned timeoutSeconds = 0;  // ended by SIGALRM after as many seconds; 0: never
};

// Starts `program` with `arguments` (passed as they are: empty arguments
// included, no shell) in `workingDirectory` (empty: this process's own),
// with standard error discarded, and waits for it.
ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const std::string& workingDirectory = "");

// runProgram with the set-up given.
ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const ProgramSetup& setup);

// A tool's entry function, linked into a test (see corvane_add_tool_library).
using EntryFunction = int (*)(int argc, char** argv);

// Calls `entry` as the tool `program` with `arguments`, in this process, and
// returns what it wrote to standard output and the status it returned: the
// outcome of runProgram without the cost of starting a process.
ProgramResult runEntryFunction(
    EntryFunction entry, const std::string& program, const std::vector<std::string>& arguments);

// Starts `program` like runProgram (standard output discarded), calls
// `meanwhile` with its process id while it runs, and returns its wait status.
int runProgramWhile(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, const std::function<void(pid_t)>& meanwhile);

// Starts `program` like runProgram (standard output discarded), sends it
// `signal` after `delay`, and returns its wait status.
int runProgramInterrupted(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, std::chrono::microseconds delay, int signal);

// Small file helpers for test fixtures.
std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);
// Waits until the file at `path` no longer holds `bytes` (a program running
// meanwhile has replaced it); false after ten seconds.
bool waitForFileChange(const std::string& path, const std::string& bytes);
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
