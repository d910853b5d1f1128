#include "platform/RecordFile.h"

#include "platform/SysCalls.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvrn2 {
namespace {
constexpr std::int64_t alignment = 4096;

FileError invalidPosition()
{
    return fileErrorFromErrno(EINVAL);
}
} // namespace

RecordFile::RecordFile(std::size_t bufferSize)
    : m_capacity(bufferSize < alignment ? alignment : bufferSize)
{ }

RecordFile::~RecordFile()
{
    close();
}

FileError RecordFile::open(const std::string& path, ShareMode share)
{
    close();
    // Without O_NONBLOCK, opening a named pipe waits for a writer forever.
    int fd = sysCalls().open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK, 0);
    if (fd < 0)
        return fileErrorFromErrno(errno, path);
    // Records are read at positions: only a regular file has them.
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        sysCalls().close(fd);
        FileError notAFile = fileErrorFromErrno(error, path);
        if (error == EINVAL)
            notAFile.systemText = "not a regular file";
        return notAFile;
    }
    if (share == ShareMode::DenyWrite) {
        // An open-file-description lock belongs to this open only, so two
        // opens in one process do not share it and close releases it.
        struct flock lock { };
        lock.l_type = F_RDLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
            int error = errno;
            sysCalls().close(fd);
            FileError denied = fileErrorFromErrno(EACCES, path);
            denied.systemCode = error;
            denied.systemText = std::strerror(error);
            return error == EAGAIN || error == EACCES ? denied : fileErrorFromErrno(error, path);
        }
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    m_fd = fd;
    m_path = path;
    m_start = 0;
    m_filled = 0;
    return {};
}

void RecordFile::close()
{
    if (m_fd >= 0)
        sysCalls().close(m_fd);
    m_fd = -1;
    m_filled = 0;
}

FileSize RecordFile::size() const
{
    struct stat info { };
    if (m_fd < 0)
        return { 0, fileErrorFromErrno(EBADF) };
    if (::fstat(m_fd, &info) != 0)
        return { 0, fileErrorFromErrno(errno) };
    return { static_cast<std::int64_t>(info.st_size), {} };
}

FileError RecordFile::fill(std::int64_t offset)
{
    if (!m_buffer)
        m_buffer = std::make_unique<char[]>(m_capacity);
    m_start = offset - offset % alignment;
    m_filled = 0;
    while (m_filled < m_capacity) {
        ssize_t got = sysCalls().pread(m_fd, m_buffer.get() + m_filled, m_capacity - m_filled,
            static_cast<off_t>(m_start + static_cast<std::int64_t>(m_filled)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            int error = errno;
            m_filled = 0;
            return fileErrorFromErrno(error, m_path);
        }
        if (got == 0)
            break;
        m_filled += static_cast<std::size_t>(got);
    }
    return {};
}

RecordFile::Read RecordFile::view(std::int64_t position, std::size_t length)
{
    if (m_fd < 0)
        return { {}, fileErrorFromErrno(EBADF) };
    if (position < 1 || length > m_capacity - alignment)
        return { {}, invalidPosition() };
    std::int64_t offset = position - 1;
    auto covered = [&] {
        return offset >= m_start
            && offset + static_cast<std::int64_t>(length) <= m_start + static_cast<std::int64_t>(m_filled);
    };
    // A request the buffer does not hold whole is read afresh, which also
    // picks up a file that grew since the buffer was filled.
    if (!covered()) {
        if (FileError error = fill(offset))
            return { {}, error };
    }
    std::int64_t inBuffer = offset - m_start;
    if (inBuffer >= static_cast<std::int64_t>(m_filled))
        return { {}, {} };
    std::size_t available = m_filled - static_cast<std::size_t>(inBuffer);
    return { { m_buffer.get() + inBuffer, length < available ? length : available }, {} };
}

RecordFile::Read RecordFile::read(std::int64_t position, std::span<char> into)
{
    Read got = view(position, into.size());
    if (!got.bytes.empty())
        std::memcpy(into.data(), got.bytes.data(), got.bytes.size());
    return { into.first(got.bytes.size()), got.error };
}

} // namespace tvrn2
