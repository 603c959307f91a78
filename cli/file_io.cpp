#include "file_io.h"

#include <sys/stat.h>
#include <unistd.h>

InputFile::~InputFile()
{
    close();
}

bool InputFile::open(const std::string& path)
{
    close();
    mFile = std::fopen(path.c_str(), "rb");
    return mFile != nullptr;
}

bool InputFile::readAll(std::vector<uint8_t>& contents)
{
    if (!mFile || std::fseek(mFile, 0, SEEK_END) != 0)
        return false;
    const long size = std::ftell(mFile);
    if (size <= 0 || std::fseek(mFile, 0, SEEK_SET) != 0)
        return false;
    contents.resize(size_t(size));
    return std::fread(contents.data(), contents.size(), 1, mFile) == 1;
}

void InputFile::close()
{
    if (mFile)
        std::fclose(mFile);
    mFile = nullptr;
}

OutputFile::~OutputFile()
{
    discard();
}

bool OutputFile::create(const std::string& path, bool textMode)
{
    discard();
    mFile = std::fopen(path.c_str(), textMode ? "w" : "wb");
    if (!mFile)
        return false;
    mPath = path;
    mFailed = false;
    struct stat status {};
    mRemovable = fstat(fileno(mFile), &status) == 0 && S_ISREG(status.st_mode);
    mDevice = status.st_dev;
    mInode = status.st_ino;
    return true;
}

void OutputFile::write(const void* data, size_t size)
{
    if (!mFile || mFailed || size == 0)
        return;
    if (std::fwrite(data, size, 1, mFile) != 1)
        mFailed = true;
}

bool OutputFile::commit()
{
    if (!mFile)
        return false;
    const bool flushed = std::fflush(mFile) == 0 && !std::ferror(mFile);
    const bool closed = std::fclose(mFile) == 0;
    mFile = nullptr;
    if (flushed && closed && !mFailed) {
        mRemovable = false;
        return true;
    }
    mFailed = true;
    discard();
    return false;
}

void OutputFile::discard()
{
    if (mFile)
        std::fclose(mFile);
    mFile = nullptr;
    // Unlink only the very file that was opened: the path may have been
    // replaced meanwhile, and it must never take a device or FIFO with it.
    struct stat status {};
    if (mRemovable && lstat(mPath.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
        status.st_dev == mDevice && status.st_ino == mInode)
        unlink(mPath.c_str());
    mRemovable = false;
}
