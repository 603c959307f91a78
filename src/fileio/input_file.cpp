#include "input_file.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>

namespace {

constexpr size_t kHugePageBytes = size_t(2) << 20; // x86-64 transparent huge page
constexpr uint64_t kHugePagesWorthwhile = 2;       // the fewest huge pages a file must fill to get them

} // namespace

bool fitsInMemory(uint64_t size)
{
    struct sysinfo machine { };
    if (::sysinfo(&machine) != 0)
        return true; // unknown: the allocation itself will tell
    const uint64_t unit = machine.mem_unit;
    return size <= (uint64_t(machine.totalram) + machine.totalswap) * unit;
}

bool namesNonRegularFile(const std::string& path)
{
    struct stat status { };
    return ::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode);
}

bool openInputFile(const std::string& path, int& fd)
{
    fd = -1;
    if (namesNonRegularFile(path))
        return true;
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    return fd >= 0;
}

InputFile::~InputFile()
{
    close();
    releaseBytes();
}

bool InputFile::open(const std::string& path)
{
    close();
    releaseBytes();
    return openInputFile(path, mFd);
}

bool InputFile::measure()
{
    struct stat status { };
    if (mFd < 0 || ::fstat(mFd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_size <= 0)
        return false; // a folder or device has no size to read whole
    mSize = uint64_t(status.st_size);
    return true;
}

bool InputFile::readAll()
{
    if (!measure())
        return false;
    const uint64_t size = mSize;
    if (size > SIZE_MAX || !fitsInMemory(size))
        return false;
    // Huge pages only pay off for a file of several of them, and only where
    // the file fills them: elsewhere they would bring in memory it never uses.
    const bool hugePages = size >= kHugePagesWorthwhile * kHugePageBytes;
    void* bytes = nullptr;
    if (::posix_memalign(&bytes, hugePages ? kHugePageBytes : alignof(std::max_align_t), size_t(size)) != 0)
        return false;
    mBytes.reset(static_cast<uint8_t*>(bytes));
    if (hugePages) // advice only: small pages work as well
        ::madvise(bytes, size_t(size) / kHugePageBytes * kHugePageBytes, MADV_HUGEPAGE);
    for (uint64_t done = 0; done < size;) {
        const ssize_t got = ::read(mFd, mBytes.get() + done, size_t(size - done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            releaseBytes();
            return false;
        }
        done += uint64_t(got);
    }
    return true;
}

void InputFile::close()
{
    if (mFd >= 0)
        ::close(mFd);
    mFd = -1;
}

bool InputFile::mapAll()
{
    // Every page is brought in, so the file must fit as it would read.
    if (!measure() || mSize > SIZE_MAX || !fitsInMemory(mSize))
        return false;
    void* mapping = ::mmap(nullptr, size_t(mSize), PROT_READ, MAP_PRIVATE | MAP_POPULATE, mFd, 0);
    if (mapping == MAP_FAILED)
        return false;
    mMapping = static_cast<const uint8_t*>(mapping);
    return true;
}

void InputFile::releaseBytes()
{
    if (mMapping)
        ::munmap(const_cast<uint8_t*>(mMapping), size_t(mSize));
    mMapping = nullptr;
    mBytes.reset();
    mSize = 0;
}
