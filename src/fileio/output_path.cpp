#include "output_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

constexpr int kMostSymlinks = 40;              // the kernel gives up on a path walk after as many
constexpr size_t kLongestDescriptorDigits = 9; // more would not fit an int

OutputTarget targetAt(OutputTarget::Kind kind, const std::string& path)
{
    OutputTarget target;
    const size_t slash = path.find_last_of('/');
    target.folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    target.name = slash == std::string::npos ? path : path.substr(slash + 1);
    const bool usableName = !target.name.empty() && target.name != "." && target.name != "..";
    target.kind = usableName ? kind : OutputTarget::Kind::Unusable;
    return target;
}

// The path a symlink points to, read relative to the folder it stands in.
bool followLink(std::string& path)
{
    std::vector<char> buffer(4096);
    const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
    if (length <= 0 || size_t(length) >= buffer.size())
        return false;
    const std::string link(buffer.data(), size_t(length));
    if (link.front() == '/') {
        path = link;
        return true;
    }
    const size_t slash = path.find_last_of('/');
    path = slash == std::string::npos ? link : path.substr(0, slash + 1) + link;
    return true;
}

// The descriptor number after `prefix` in `path`, digits only.
bool descriptorAfter(const std::string& path, const std::string& prefix, int& descriptor)
{
    if (path.size() <= prefix.size() || path.compare(0, prefix.size(), prefix) != 0 ||
        path.size() - prefix.size() > kLongestDescriptorDigits)
        return false;
    int number = 0;
    for (size_t i = prefix.size(); i < path.size(); ++i) {
        if (path[i] < '0' || path[i] > '9')
            return false;
        number = number * 10 + (path[i] - '0');
    }
    descriptor = number;
    return true;
}

// True when `path` is one of the names Linux gives this process's open
// descriptors. Opening such a name would open the file behind the
// descriptor afresh, at offset 0, or fail for a socket.
bool namesDescriptor(const std::string& path, int& descriptor)
{
    const struct {
        const char* name;
        int descriptor;
    } standardNames[] = {{"/dev/stdin", 0}, {"/dev/stdout", 1}, {"/dev/stderr", 2}};
    for (const auto& standard : standardNames)
        if (path == standard.name) {
            descriptor = standard.descriptor;
            return true;
        }
    const std::string ownProc = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string& prefix : {std::string("/dev/fd/"), std::string("/proc/self/fd/"), ownProc})
        if (descriptorAfter(path, prefix, descriptor))
            return true;
    return false;
}

// The file an output path would replace, as the kernel knows it: an existing
// file by its device and inode, a new one by its folder's and its name.
struct ReplacedFile {
    bool known = false; // a regular file or a new one in a folder that exists
    dev_t device = 0;
    ino_t inode = 0;
    std::string name; // empty for an existing file
};

bool operator==(const ReplacedFile& a, const ReplacedFile& b)
{
    return a.known && b.known && a.device == b.device && a.inode == b.inode && a.name == b.name;
}

ReplacedFile replacedFile(const OutputTarget& target)
{
    ReplacedFile file;
    struct stat status { };
    const bool exists = target.kind == OutputTarget::Kind::Regular;
    if ((!exists && target.kind != OutputTarget::Kind::Missing) ||
        ::stat((exists ? target.folder + "/" + target.name : target.folder).c_str(), &status) != 0)
        return file;
    file.known = true;
    file.device = status.st_dev;
    file.inode = status.st_ino;
    file.name = exists ? std::string() : target.name;
    return file;
}

OutputTarget descriptorTarget(int descriptor)
{
    OutputTarget target;
    if (::fcntl(descriptor, F_GETFD) < 0)
        return target;
    target.kind = OutputTarget::Kind::Descriptor;
    target.descriptor = descriptor;
    return target;
}

} // namespace

OutputTarget resolveOutputTarget(const std::string& path)
{
    std::string current = path;
    for (int hop = 0; hop <= kMostSymlinks; ++hop) {
        int descriptor = -1;
        if (namesDescriptor(current, descriptor))
            return descriptorTarget(descriptor);
        struct stat status { };
        if (::lstat(current.c_str(), &status) != 0)
            return errno == ENOENT ? targetAt(OutputTarget::Kind::Missing, current) : OutputTarget{};
        if (S_ISLNK(status.st_mode)) {
            if (!followLink(current))
                return {};
            continue;
        }
        if (S_ISREG(status.st_mode))
            return targetAt(OutputTarget::Kind::Regular, current);
        if (S_ISDIR(status.st_mode))
            return {};
        OutputTarget target;
        target.kind = OutputTarget::Kind::Special;
        return target;
    }
    return {};
}

bool sameOutputFile(const std::string& first, const std::string& second)
{
    return replacedFile(resolveOutputTarget(first)) == replacedFile(resolveOutputTarget(second));
}

bool outputReplacesFile(const std::string& output, const std::string& input)
{
    struct stat status { };
    if (::stat(input.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return false;
    ReplacedFile inputFile;
    inputFile.known = true;
    inputFile.device = status.st_dev;
    inputFile.inode = status.st_ino;
    return replacedFile(resolveOutputTarget(output)) == inputFile;
}
