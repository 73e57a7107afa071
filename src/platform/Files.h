// Files.h: the program folder, folder listing and file names looked up without regard to case.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

// The folder of the running executable, ending with "/".
std::string ProgramFolder();

struct TFolderEntry {
    std::string Name; // bare name, no folder
    bool IsDirectory = false;
};

// Lists one folder (no subfolders, hidden files included) and hands every entry that is not a directory to
// onEntry(folder with trailing "/", entry); the listing stops when onEntry answers false. A missing or
// unreadable folder lists nothing.
void ListFolder(const std::string& folder,
                const std::function<bool(const std::string& folder, const TFolderEntry& entry)>& onEntry);

// The path of an existing regular file: the exact name when it exists, else the first name in the same
// folder that equals it under ASCII case folding. nullopt when there is none.
std::optional<std::string> FindFileNoCase(const std::string& path);

// The extension of the bare file name, from its last "." on, dot included and lower-cased (ASCII);
// empty without a dot. "clip.MPG" gives ".mpg", "archive.tar.gz" gives ".gz", "dir.d/file" gives "".
std::string LowerExtension(const std::string& path);

// Ensures a trailing "/" (empty stays empty).
std::string IncludeTrailingSlash(const std::string& folder);

bool FileExists(const std::string& path); // a regular file (or a link to one)
bool DirectoryExists(const std::string& path);

// Whole file into memory; nullopt when it cannot be opened or read, or is not a regular file.
std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path);

// The file a write to path lands on: path itself, or for a symbolic link the file at the end of its chain
// of links (a relative link read from its own folder), whether that file exists yet or not. Sets ec (too
// many links, or the error of reading one) and answers path then.
std::string WriteThroughPath(const std::string& path, std::error_code& ec);

// Replaces path (or the file a link at path points to) with bytes in one rename: a temporary file beside
// it, written, flushed to disk, given the old file's mode, then renamed over it. Any failure leaves the
// old file whole and raises ELumatex naming the file and the system's reason.
void WriteFileAtomically(const std::string& path, const std::string& bytes);
