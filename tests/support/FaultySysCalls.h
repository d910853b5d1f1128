#pragma once

#include "platform/SysCalls.h"

#include <cerrno>

namespace tvrn2::test {

// Real system calls with one fault switched on, installed for one scope.
class FaultySysCalls final : public SysCalls {
public:
    enum class Fault {
        None,
        DiskFull, // the first write stores part of the data, later writes fail with ENOSPC
        RenameFails, // rename fails with EIO
        ReadFails, // every positioned read fails with EIO
    };

    explicit FaultySysCalls(Fault fault)
        : m_fault(fault)
        , m_previous(setSysCalls(this))
    { }
    ~FaultySysCalls() override { setSysCalls(m_previous); }
    FaultySysCalls(const FaultySysCalls&) = delete;
    FaultySysCalls& operator=(const FaultySysCalls&) = delete;

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
    int m_reads { 0 };
};

} // namespace tvrn2::test
