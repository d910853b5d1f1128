#pragma once

#include "platform/ScopedSlot.h"

#include <cstddef>
#include <sys/types.h>

namespace tvrn2 {

// The system calls through which the platform layer writes (and reads) files.
// Everything goes through one replaceable object so that tests can make a
// disk fill up, a rename fail or a read break, and check what is left behind.
// Each call returns what the system call returns and leaves errno set.
class SysCalls {
public:
    virtual ~SysCalls() = default;

    virtual int open(const char* path, int flags, mode_t mode);
    virtual ssize_t write(int fd, const void* data, std::size_t size);
    virtual ssize_t pread(int fd, void* data, std::size_t size, off_t offset);
    virtual int fsync(int fd);
    virtual int close(int fd);
    virtual int rename(const char* from, const char* to);
    virtual int unlink(const char* path);
    virtual int mkdir(const char* path, mode_t mode);
};

// The calls in use: the real ones unless a test installed its own.
SysCalls& sysCalls();

// Installs replacement calls (nullptr restores the real ones); returns the previous ones.
SysCalls* setSysCalls(SysCalls* calls);
using ScopedSysCalls = ScopedSlot<SysCalls, setSysCalls>;

} // namespace tvrn2
