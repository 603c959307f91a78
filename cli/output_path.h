// Where a path given as an output leads.
#pragma once

#include <string>

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
// the file that would be written. A path that stat() finds to be anything
// but a regular file or a folder is Special, and is written through the path
// as given.
OutputTarget resolveOutputTarget(const std::string& path);
