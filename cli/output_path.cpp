#include "output_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

constexpr int kMostSymlinks = 40; // the kernel gives up on a path walk after as many

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

} // namespace

OutputTarget resolveOutputTarget(const std::string& path)
{
    struct stat status { };
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        // Devices and FIFOs are written where they are, through the path as
        // given: /dev/stdout may lead to a pipe that has no name to follow.
        if (S_ISDIR(status.st_mode))
            return {};
        OutputTarget target;
        target.kind = OutputTarget::Kind::Special;
        return target;
    }
    std::string current = path;
    for (int hop = 0; hop <= kMostSymlinks; ++hop) {
        if (::lstat(current.c_str(), &status) != 0)
            return errno == ENOENT ? targetAt(OutputTarget::Kind::Missing, current) : OutputTarget{};
        if (!S_ISLNK(status.st_mode))
            return S_ISREG(status.st_mode) ? targetAt(OutputTarget::Kind::Regular, current) : OutputTarget{};
        if (!followLink(current))
            return {};
    }
    return {};
}
