#include "run_program.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

void setLimit(int resource, uint64_t bytes)
{
    if (bytes == 0)
        return;
    const rlimit limit{rlim_t(bytes), rlim_t(bytes)};
    setrlimit(resource, &limit);
}

// Starts `program` with standard output into `outputEnd` (or /dev/null when
// it is -1), standard error and input on /dev/null, and the limits of `setup`.
pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, int outputEnd, const ProgramSetup& setup = {})
{
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int devNull = open("/dev/null", O_RDWR);
        dup2(outputEnd >= 0 ? outputEnd : devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
        dup2(devNull, STDIN_FILENO);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0)
            _exit(127);
        setLimit(RLIMIT_FSIZE, setup.fileSizeLimit);
        setLimit(RLIMIT_AS, setup.memoryLimit);
        if (setup.timeoutSeconds > 0)
            alarm(setup.timeoutSeconds); // kept across exec
        signal(SIGPIPE, SIG_DFL);        // as a shell starts a program, whatever this process ignores
        signal(SIGXFSZ, SIG_DFL);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

} // namespace

ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const std::string& workingDirectory)
{
    ProgramSetup setup;
    setup.workingDirectory = workingDirectory;
    return runProgram(program, arguments, setup);
}

ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const ProgramSetup& setup)
{
    int pipeEnds[2] = {-1, -1};
    if (setup.outputFd < 0 && pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const int outputEnd = setup.outputFd >= 0 ? setup.outputFd : pipeEnds[1];
    const pid_t child = startProgram(program, arguments, setup.workingDirectory, outputEnd, setup);
    ProgramResult result{"", -1};
    if (setup.outputFd < 0) {
        close(pipeEnds[1]);
        char buffer[4096];
        ssize_t count;
        while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, size_t(count));
        close(pipeEnds[0]);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        result.signal = WTERMSIG(status);
    return result;
}

int runProgramWhile(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, const std::function<void(pid_t)>& meanwhile)
{
    const pid_t child = startProgram(program, arguments, workingDirectory, -1);
    meanwhile(child);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

int runProgramInterrupted(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, std::chrono::microseconds delay, int signal)
{
    const pid_t child = startProgram(program, arguments, workingDirectory, -1);
    std::this_thread::sleep_for(delay);
    kill(child, signal);
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

ProgramResult runEntryFunction(
    EntryFunction entry, const std::string& program, const std::vector<std::string>& arguments)
{
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::FILE* capture = std::tmpfile();
    if (!capture)
        throw std::runtime_error("no temporary file for standard output");
    const int saved = dup(STDOUT_FILENO);
    dup2(fileno(capture), STDOUT_FILENO);
    const int status = entry(int(words.size()), argv.data());
    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    close(saved);
    std::string output;
    std::rewind(capture);
    for (int c = std::fgetc(capture); c != EOF; c = std::fgetc(capture))
        output.push_back(char(c));
    std::fclose(capture);
    return {output, status};
}

std::string readFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

bool fileExists(const std::string& path)
{
    struct stat status;
    return lstat(path.c_str(), &status) == 0;
}

bool waitForFileChange(const std::string& path, const std::string& bytes)
{
    for (int poll = 0; poll < 5000; ++poll) {
        if (readFileBytes(path) != bytes)
            return true;
        usleep(2000);
    }
    return false;
}

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
        lines.push_back(line);
    return lines;
}

TemporaryDirectory::TemporaryDirectory()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "corvane-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    mPath = pattern;
}

TemporaryDirectory::~TemporaryDirectory()
{
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}
