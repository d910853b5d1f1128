#include "platform/Files.h"

#include "platform/SysCalls.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

std::string parentFolder(std::string_view path)
{
    auto slash = path.find_last_of('/');
    if (slash == std::string_view::npos)
        return ".";
    if (slash == 0)
        return "/";
    return std::string(path.substr(0, slash));
}

bool folderExists(const std::string& path)
{
    struct stat info { };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Writes every byte, going on after short writes and interruptions.
int writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        ssize_t written = sysCalls().write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

FileError writeWithFlags(const std::string& path, std::string_view data, int flags)
{
    int fd = sysCalls().open(path.c_str(), flags | O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return fileErrorFromErrno(errno, path);
    int error = writeAll(fd, data);
    if (sysCalls().close(fd) != 0 && !error)
        error = errno;
    return error ? fileErrorFromErrno(error, path) : FileError {};
}

} // namespace

std::string_view fileErrorText(int code)
{
    switch (code) {
    case FileErrorCode::None:
        return {};
    case FileErrorCode::FileNotFound:
        return "File Not Found";
    case FileErrorCode::PathNotFound:
        return "Path Not Found";
    case FileErrorCode::TooManyOpenFiles:
        return "Too Many Open Files";
    case FileErrorCode::AccessDenied:
        return "Access Denied";
    default:
        return "File System Error";
    }
}

namespace {
// Per thread, as a runtime keeps its error state: another thread's failure
// never shows up in this one's report.
FileError& lastFailure()
{
    thread_local FileError failure;
    return failure;
}
} // namespace

FileError fileErrorFromErrno(int error, std::string_view path)
{
    int code = FileErrorCode::FileSystemError;
    switch (error) {
    case 0:
        return {};
    case ENOENT:
        code = !path.empty() && !folderExists(parentFolder(path)) ? FileErrorCode::PathNotFound
                                                                  : FileErrorCode::FileNotFound;
        break;
    case ENOTDIR:
        code = FileErrorCode::PathNotFound;
        break;
    case EMFILE:
    case ENFILE:
        code = FileErrorCode::TooManyOpenFiles;
        break;
    case EACCES:
    case EPERM:
    case EROFS:
        code = FileErrorCode::AccessDenied;
        break;
    default:
        break;
    }
    FileError failure { code, std::string(fileErrorText(code)), error, std::strerror(error) };
    lastFailure() = failure;
    return failure;
}

const FileError& lastFileError()
{
    return lastFailure();
}

bool fileExists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool regularFileExists(const std::string& path)
{
    struct stat info { };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

FileSize fileSize(const std::string& path)
{
    struct stat info { };
    if (::stat(path.c_str(), &info) != 0)
        return { 0, fileErrorFromErrno(errno, path) };
    return { static_cast<std::int64_t>(info.st_size), {} };
}

FileError deleteFile(const std::string& path)
{
    if (sysCalls().unlink(path.c_str()) != 0)
        return fileErrorFromErrno(errno, path);
    return {};
}

FileError appendToFile(const std::string& path, std::string_view data)
{
    return writeWithFlags(path, data, O_APPEND);
}

FileError createFile(const std::string& path, std::string_view data)
{
    return writeWithFlags(path, data, O_TRUNC);
}

std::string linkTarget(const std::string& path)
{
    std::string at = path;
    // As many links as the system itself follows before it gives up.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat info { };
        if (::lstat(at.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            return at;
        std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256), '\0');
        ssize_t length = 0;
        while ((length = ::readlink(at.c_str(), target.data(), target.size()))
            == static_cast<ssize_t>(target.size()))
            target.resize(target.size() * 2);
        if (length < 0)
            return at;
        target.resize(static_cast<std::size_t>(length));
        if (target.empty())
            return at;
        at = target.front() == '/' || at.find('/') == std::string::npos ? target
                                                                        : parentFolder(at) + "/" + target;
    }
    return at;
}

int writeFileAtomically(const std::string& link, std::string_view data)
{
    static std::atomic<unsigned> counter { 0 };
    // A settings file that links elsewhere (into a folder of dotfiles) stays
    // a link: the new bytes replace the file it leads to, in its own folder.
    const std::string path = linkTarget(link);
    // Keep the permissions a user gave the file; new files get the usual ones.
    // A file without write permission is not replaced, as the system's own
    // settings functions refuse to write a read-only file.
    mode_t mode = 0644;
    struct stat old { };
    if (::stat(path.c_str(), &old) == 0) {
        mode = old.st_mode & 07777;
        if ((mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0)
            return EACCES;
    }

    // A process killed between its write and its rename leaves its temporary
    // file behind, and a later process may get the same number: a name that
    // is taken is skipped, never reused and never a reason to fail.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        fd = sysCalls().open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return errno;
    int error = writeAll(fd, data);
    if (!error && sysCalls().fsync(fd) != 0)
        error = errno;
    if (sysCalls().close(fd) != 0 && !error)
        error = errno;
    if (!error && sysCalls().rename(temporary.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        sysCalls().unlink(temporary.c_str());
        return error;
    }
    return 0;
}

namespace {

// Reads the open file a piece at a time, handing each piece to `take` until
// it answers false or the file ends; false when a read fails (errno set).
template <typename Take> bool readPieces(int fd, Take take)
{
    char chunk[65536];
    for (;;) {
        ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0 || !take(std::string_view(chunk, static_cast<std::size_t>(got))))
            return true;
    }
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    std::string contents;
    // The size is a hint: the file may grow or shrink while it is read.
    struct stat info { };
    if (::fstat(fd, &info) == 0 && info.st_size > 0)
        contents.reserve(static_cast<std::size_t>(info.st_size));
    bool read = readPieces(fd, [&](std::string_view piece) {
        contents += piece;
        return true;
    });
    int error = errno;
    ::close(fd);
    if (!read) {
        errno = error;
        return std::nullopt;
    }
    return contents;
}

bool fileHolds(const std::string& path, std::string_view bytes)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::size_t at = 0;
    bool same = true;
    bool read = readPieces(fd, [&](std::string_view piece) {
        same = piece.size() <= bytes.size() - at && piece == bytes.substr(at, piece.size());
        at += piece.size();
        return same;
    });
    ::close(fd);
    return read && same && at == bytes.size();
}

int makeFolders(const std::string& path)
{
    if (path.empty() || folderExists(path))
        return 0;
    std::string parent = parentFolder(path);
    if (parent != path) {
        if (int error = makeFolders(parent))
            return error;
    }
    if (sysCalls().mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

} // namespace tvrn2
