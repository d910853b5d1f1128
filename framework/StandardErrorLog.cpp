#include "framework/StandardErrorLog.h"

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace tvrn2 {

StandardErrorLog::StandardErrorLog(std::filesystem::path file)
    : m_file(std::move(file))
{ }

StandardErrorLog::~StandardErrorLog()
{
    closeFile();
}

int StandardErrorLog::Open(bool force)
{
    if (USAGE == 0 || force) {
        closeFile();
        int fd = ::open(m_file.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (fd < 0)
            return 5;
        m_fd = fd;
    }
    ++USAGE;
    return 0;
}

int StandardErrorLog::Close(bool force)
{
    if (USAGE == 1 || force) {
        closeFile();
        USAGE = 1;
    }
    // Never below zero: an unbalanced Close must not keep the next Open from
    // opening the file.
    if (USAGE > 0)
        --USAGE;
    return 0;
}

int StandardErrorLog::Write(std::string_view text)
{
    if (m_fd < 0)
        return 5;
    std::string record(text.substr(0, recordLength));
    record.push_back('\n');
    std::string_view rest(record);
    while (!rest.empty()) {
        ssize_t written = ::write(m_fd, rest.data(), rest.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return 5;
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    return 0;
}

void StandardErrorLog::closeFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

} // namespace tvrn2
