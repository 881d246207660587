#pragma once
// Whole-file reads and crash-safe whole-file writes for the program's text files.

#include <optional>
#include <string>

namespace morvik::platform {

struct FileContent {
    bool exists = false;  // false: there is no file at the path (not an error)
    std::string bytes;
    std::string error;  // why the file could not be read; empty on success
};

FileContent ReadWholeFile(const std::string& path);

// The temporary file a write goes through before it is renamed into place.
std::string TemporaryPathFor(const std::string& path);

// Writes bytes to TemporaryPathFor(path), flushes it to disk and renames it
// over path, keeping the old file's permissions; a crash leaves the old or the
// new file. When path is a symbolic link, the file it leads to is replaced the
// same way, beside itself, and the link stays. Returns an error text on
// failure (the old file is then untouched), nothing on success.
std::optional<std::string> WriteFileAtomically(const std::string& path, const std::string& bytes);

}  // namespace morvik::platform
