// A folder's entries as comparable text, to check that a run changed exactly
// the files it should and left nothing behind.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

// Each entry's name with what it is: "file <octal mode> <bytes>" (long
// contents by size and hash), "link <target>" or "folder".
using FolderState = std::map<std::string, std::string>;

std::string fileEntry(const std::string& bytes, unsigned mode = 0644);
std::string linkEntry(const std::string& target);
extern const std::string kFolderEntry;
// Set-up only: a second name for an entry made before it.
std::string hardLinkEntry(const std::string& existingName);

// Entries to make, in order (a hard link after the file it names).
using FolderSetup = std::vector<std::pair<std::string, std::string>>;

// Makes the entries; files given with fileEntry must be short enough to be
// shown whole.
void makeEntries(const std::string& folder, const FolderSetup& entries);
FolderState folderState(const std::string& folder);

// `state` with every entry of `changes` put in (an empty text removes it).
FolderState withChanges(FolderState state, const FolderState& changes);
