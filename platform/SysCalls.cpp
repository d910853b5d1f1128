#include "platform/SysCalls.h"

#include <atomic>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tvrn2 {
namespace {
SysCalls realCalls;
std::atomic<SysCalls*> installed { nullptr };
} // namespace

int SysCalls::open(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}
ssize_t SysCalls::write(int fd, const void* data, std::size_t size)
{
    return ::write(fd, data, size);
}
ssize_t SysCalls::pread(int fd, void* data, std::size_t size, off_t offset)
{
    return ::pread(fd, data, size, offset);
}
int SysCalls::fsync(int fd)
{
    return ::fsync(fd);
}
int SysCalls::close(int fd)
{
    return ::close(fd);
}
int SysCalls::rename(const char* from, const char* to)
{
    return ::rename(from, to);
}
int SysCalls::unlink(const char* path)
{
    return ::unlink(path);
}
int SysCalls::mkdir(const char* path, mode_t mode)
{
    return ::mkdir(path, mode);
}

SysCalls& sysCalls()
{
    SysCalls* calls = installed.load();
    return calls ? *calls : realCalls;
}

SysCalls* setSysCalls(SysCalls* calls)
{
    return installed.exchange(calls);
}

} // namespace tvrn2
