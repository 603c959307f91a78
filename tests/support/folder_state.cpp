#include "folder_state.h"
#include "run_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

namespace {

const std::string kFilePrefix = "file ";
const std::string kLinkPrefix = "link ";
const std::string kHardLinkPrefix = "hardlink ";

constexpr size_t kLongestShownContent = 64; // longer contents are shown by size and hash

// The bytes themselves when short, else their size and FNV-1a hash, so that a
// failed comparison stays readable.
std::string describedContent(const std::string& bytes)
{
    if (bytes.size() <= kLongestShownContent)
        return bytes;
    uint64_t hash = 0xCBF29CE484222325ull;
    for (unsigned char byte : bytes)
        hash = (hash ^ byte) * 0x100000001B3ull;
    char text[64];
    std::snprintf(text, sizeof text, "<%zu bytes, hash %016llx>", bytes.size(), static_cast<unsigned long long>(hash));
    return text;
}

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

void makeEntry(const std::string& folder, const std::string& name, const std::string& entry)
{
    const std::string path = folder + "/" + name;
    bool made = true;
    if (entry == kFolderEntry) {
        made = mkdir(path.c_str(), 0755) == 0;
    } else if (startsWith(entry, kLinkPrefix)) {
        made = symlink(entry.substr(kLinkPrefix.size()).c_str(), path.c_str()) == 0;
    } else if (startsWith(entry, kHardLinkPrefix)) {
        made = link((folder + "/" + entry.substr(kHardLinkPrefix.size())).c_str(), path.c_str()) == 0;
    } else if (startsWith(entry, kFilePrefix)) {
        const size_t space = entry.find(' ', kFilePrefix.size());
        writeFileBytes(path, entry.substr(space + 1));
        if (describedContent(entry.substr(space + 1)) != entry.substr(space + 1))
            throw std::invalid_argument("set-up files must be short: " + name);
        made = chmod(path.c_str(), mode_t(std::stoul(entry.substr(kFilePrefix.size()), nullptr, 8))) == 0;
    } else {
        throw std::invalid_argument("unknown folder entry: " + entry);
    }
    if (!made)
        throw std::runtime_error("cannot make " + path);
}

} // namespace

const std::string kFolderEntry = "folder";

std::string fileEntry(const std::string& bytes, unsigned mode)
{
    char octal[8];
    std::snprintf(octal, sizeof octal, "%o", mode);
    return kFilePrefix + octal + " " + describedContent(bytes);
}

std::string linkEntry(const std::string& target)
{
    return kLinkPrefix + target;
}

std::string hardLinkEntry(const std::string& existingName)
{
    return kHardLinkPrefix + existingName;
}

void makeEntries(const std::string& folder, const FolderSetup& entries)
{
    for (const auto& [name, entry] : entries)
        makeEntry(folder, name, entry);
}

FolderState folderState(const std::string& folder)
{
    FolderState state;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        const std::string path = item.path().string();
        const std::string name = item.path().filename().string();
        struct stat status { };
        lstat(path.c_str(), &status);
        if (S_ISLNK(status.st_mode))
            state[name] = linkEntry(std::filesystem::read_symlink(item.path()).string());
        else if (S_ISDIR(status.st_mode))
            state[name] = kFolderEntry;
        else
            state[name] = fileEntry(readFileBytes(path), status.st_mode & 07777);
    }
    return state;
}

FolderState withChanges(FolderState state, const FolderState& changes)
{
    for (const auto& [name, entry] : changes)
        if (entry.empty())
            state.erase(name);
        else
            state[name] = entry;
    return state;
}
