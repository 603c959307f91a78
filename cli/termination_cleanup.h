// The process-wide list of named temporary files that SIGINT, SIGTERM and
// SIGHUP remove before the process ends, and a guard that holds those
// signals back.
#pragma once

#include <signal.h>

#include <string>

// Registering installs the handlers on first use; a signal the process
// ignores stays ignored. A name longer than NAME_MAX, or a ninth file, is
// refused (false). Both calls are safe to make while a handler might run.
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
