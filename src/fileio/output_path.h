// Where a path given as an output leads.
#pragma once

#include <string>

struct OutputTarget {
    enum class Kind {
        Missing,    // nothing there yet: a new regular file will be made
        Regular,    // an existing regular file, to be replaced
        Special,    // a device, FIFO or terminal, opened where it is
        Descriptor, // a name of one of the process's open descriptors, written through it
        Unusable,   // a folder, a symlink loop, an unreadable path or a closed descriptor
    };
    Kind kind = Kind::Unusable;
    std::string folder;  // folder of the resolved file ("." for a bare name)
    std::string name;    // the resolved file's name inside that folder
    int descriptor = -1; // the descriptor a Descriptor target names
};

// Follows `path` through any chain of symlinks (dangling ones included) to
// the file that would be written. A step of the chain that names an open
// descriptor (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N or
// /proc/<own pid>/fd/N) ends the walk there, wherever the descriptor leads;
// anything else that is not a regular file or a folder is Special.
OutputTarget resolveOutputTarget(const std::string& path);

// True when the outputs `first` and `second` would replace one and the same
// file: an existing regular file both lead to (one path a symlink to it or a
// hard link of it, or two spellings of one path), or one new file in one
// folder. Devices, FIFOs and descriptors, written where they are, take both.
bool sameOutputFile(const std::string& first, const std::string& second);

// True when the output `output` would replace the existing regular file that
// `input` leads to, through symlinks or as another hard link of it.
bool outputReplacesFile(const std::string& output, const std::string& input);
