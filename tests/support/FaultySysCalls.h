#pragma once

#include "platform/SysCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace tvrn2::test {

// Real system calls with one fault switched on, installed for one scope.
class FaultySysCalls final : public SysCalls {
public:
    enum class Fault {
        None,
        DiskFull, // the first write stores part of the data, later writes fail with ENOSPC
        RenameFails, // rename fails with EIO
        ReadFails, // every positioned read fails with EIO
        KilledBeforeRename, // the process ends (exit status 9) where it would rename: for a forked child
        StaleTemporary, // the first new temporary file already exists, left half-written by a crash
    };

    explicit FaultySysCalls(Fault fault)
        : m_fault(fault)
        , m_previous(setSysCalls(this))
    { }
    ~FaultySysCalls() override { setSysCalls(m_previous); }
    FaultySysCalls(const FaultySysCalls&) = delete;
    FaultySysCalls& operator=(const FaultySysCalls&) = delete;

    int open(const char* path, int flags, mode_t mode) override
    {
        if (m_fault == Fault::StaleTemporary && (flags & O_EXCL) && m_staleFiles++ == 0) {
            int stale = SysCalls::open(path, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
            if (stale >= 0) {
                SysCalls::write(stale, "half", 4);
                SysCalls::close(stale);
            }
        }
        return SysCalls::open(path, flags, mode);
    }
    ssize_t write(int fd, const void* data, std::size_t size) override
    {
        if (m_fault != Fault::DiskFull)
            return SysCalls::write(fd, data, size);
        if (m_writes++ == 0 && size > 1)
            return SysCalls::write(fd, data, size / 2);
        errno = ENOSPC;
        return -1;
    }
    int rename(const char* from, const char* to) override
    {
        if (m_fault == Fault::KilledBeforeRename)
            ::_exit(9);
        if (m_fault != Fault::RenameFails)
            return SysCalls::rename(from, to);
        errno = EIO;
        return -1;
    }
    ssize_t pread(int fd, void* data, std::size_t size, off_t offset) override
    {
        ++m_reads;
        if (m_fault != Fault::ReadFails)
            return SysCalls::pread(fd, data, size, offset);
        errno = EIO;
        return -1;
    }

    int reads() const { return m_reads; }

private:
    Fault m_fault;
    SysCalls* m_previous;
    int m_writes { 0 };
    int m_staleFiles { 0 };
    int m_reads { 0 };
};

// Runs `write` in a forked child that dies where it would rename its
// temporary file over the real one, as a process killed at that moment.
// Returns the child's exit status: 9 when it died there, 0 when it never
// reached a rename, -1 when it could not be started or ended otherwise.
inline int killedBeforeRename(const std::function<void()>& write)
{
    pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        FaultySysCalls killed(FaultySysCalls::Fault::KilledBeforeRename);
        write();
        ::_exit(0);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

} // namespace tvrn2::test
