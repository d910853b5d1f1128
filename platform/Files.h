#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tvrn2 {

// The file error vocabulary the program's messages are written for.
namespace FileErrorCode {
inline constexpr int None = 0;
inline constexpr int FileNotFound = 2;
inline constexpr int PathNotFound = 3;
inline constexpr int TooManyOpenFiles = 4;
inline constexpr int AccessDenied = 5;
inline constexpr int FileSystemError = 90;
} // namespace FileErrorCode

// The text of a file error code: "File Not Found", ..., "File System Error".
std::string_view fileErrorText(int code);

// A file failure: the code and text of the vocabulary, plus the system's own
// error number and text (what the file driver reports as its error).
struct FileError {
    int code { FileErrorCode::None };
    std::string text;
    int systemCode { 0 };
    std::string systemText;

    explicit operator bool() const { return code != FileErrorCode::None; }
};

// Maps an errno value to the vocabulary. ENOENT is "Path Not Found" when the
// folder that should hold `path` is itself missing, "File Not Found" otherwise.
FileError fileErrorFromErrno(int error, std::string_view path = {});

// The most recent file failure of this thread, as mapped above; none before
// the first. Error reports take their codes and texts from it.
const FileError& lastFileError();

// True when something other than a folder exists under that name.
bool fileExists(const std::string& path);

// True when a regular file is there, after following links: not a folder, a
// named pipe, a device or socket, nor a link that leads nowhere.
bool regularFileExists(const std::string& path);

// The size in bytes, or the error.
struct FileSize {
    std::int64_t bytes { 0 };
    FileError error;
};
FileSize fileSize(const std::string& path);

FileError deleteFile(const std::string& path);

// Appends the bytes at the end of the file, creating it when missing.
FileError appendToFile(const std::string& path, std::string_view data);

// Replaces the file (or creates it) with exactly these bytes.
FileError createFile(const std::string& path, std::string_view data);

// Replaces the file's contents all at once: the bytes go to a temporary file
// beside it, which is flushed to disk and renamed over the old one. A failure
// at any step leaves the old file as it was and removes the temporary file.
// A symbolic link stays a link: the file it leads to is replaced, through a
// temporary file in that file's folder. A file that has no write permission
// (mode 444, or not writable by this user) is read-only: it is left as it is
// and the answer is EACCES. Returns 0 or the errno value of the failed step.
int writeFileAtomically(const std::string& path, std::string_view data);

// Where a path leads after its symbolic links: the path itself when it is no
// link, the last link's target when that does not exist yet.
std::string linkTarget(const std::string& path);

// The whole file, or std::nullopt with errno set.
std::optional<std::string> readWholeFile(const std::string& path);

// Whether the file holds exactly these bytes (false when it cannot be read),
// found out a piece at a time without a copy of the whole file.
bool fileHolds(const std::string& path, std::string_view bytes);

// Creates the folder and the folders above it as needed; returns 0 or errno.
int makeFolders(const std::string& path);

} // namespace tvrn2
