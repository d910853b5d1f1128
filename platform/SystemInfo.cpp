#include "platform/SystemInfo.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

std::mutex commandLineMutex;
std::string programCommandLine;

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return "/";
}

std::string withoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

} // namespace

std::string settingsFolder()
{
    // Relative values are not valid for the XDG variables and are ignored.
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string base = config && config[0] == '/' ? std::string(config) : homeFolder() + "/.config";
    return withoutTrailingSlashes(base) + "/tvrn2";
}

std::string windowsDirectory()
{
    return settingsFolder();
}

std::string tempPath()
{
    const char* tmp = std::getenv("TMPDIR");
    std::string path = tmp && *tmp ? std::string(tmp) : std::string("/tmp/");
    if (path.back() != '/')
        path.push_back('/');
    return path;
}

void setCommandLine(int argc, const char* const* argv)
{
    std::string joined;
    for (int i = 0; i < argc && argv[i]; ++i) {
        if (i)
            joined.push_back(' ');
        joined += argv[i];
    }
    std::lock_guard lock(commandLineMutex);
    programCommandLine = std::move(joined);
}

std::string commandLine()
{
    std::lock_guard lock(commandLineMutex);
    return programCommandLine;
}

std::uint32_t currentThreadId()
{
    return static_cast<std::uint32_t>(::gettid());
}

} // namespace tvrn2
