#include "run_program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace {

// Starts `program` with standard output into `outputEnd` (or /dev/null when
// it is -1), standard error and input on /dev/null.
pid_t startProgram(const std::string& program, const std::vector<std::string>& arguments,
    const std::string& workingDirectory, int outputEnd)
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
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    return child;
}

} // namespace

ProgramResult runProgram(
    const std::string& program, const std::vector<std::string>& arguments, const std::string& workingDirectory)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t child = startProgram(program, arguments, workingDirectory, pipeEnds[1]);
    close(pipeEnds[1]);
    ProgramResult result{"", -1};
    char buffer[4096];
    ssize_t count;
    while ((count = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
        result.output.append(buffer, size_t(count));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status))
        result.status = WEXITSTATUS(status);
    return result;
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
