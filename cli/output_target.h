// The pieces OutputFile is built from: finding where an output really goes,
// making temporary files beside it, and removing named ones when the process
// is interrupted.
#pragma once

#include <signal.h>

#include <string>

// Where a path given as an output leads.
struct OutputTarget {
    enum class Kind {
        Missing,  // nothing there yet: a new regular file will be made
        Regular,  // an existing regular file, to be replaced
        Special,  // a device, FIFO or terminal, written directly
        Unusable, // a folder, a symlink loop or an unreadable path
    };
    Kind kind = Kind::Unusable;
    std::string folder; // folder of the resolved file ("." for a bare name)
    std::string name;   // the resolved file's name inside that folder
};

// Follows `path` through any chain of symlinks (dangling ones included) to
// the file that would be written.
OutputTarget resolveOutputTarget(const std::string& path);

// A name for a temporary file beside `finalName`: hidden, unique enough to
// retry on a clash, and recognisably ours.
std::string temporaryName(const std::string& finalName);

// Named temporary files that SIGINT, SIGTERM and SIGHUP remove before the
// process ends. Registering installs the handlers on first use; a signal the
// process ignores stays ignored. Both calls are safe to make while a
// handler might run.
bool registerTemporaryFile(int folderFd, const std::string& name);
void unregisterTemporaryFile(int folderFd, const std::string& name);

// Holds SIGINT, SIGTERM and SIGHUP back for its lifetime, so that a short
// sequence of file-system calls is never cut in two.
class TerminationSignalsBlocked {
public:
    TerminationSignalsBlocked();
    ~TerminationSignalsBlocked();
    TerminationSignalsBlocked(const TerminationSignalsBlocked&) = delete;
    TerminationSignalsBlocked& operator=(const TerminationSignalsBlocked&) = delete;

private:
    sigset_t mPrevious; // the signal mask before
};
