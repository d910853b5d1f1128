#include "browser_host/ConnectionLibrary.h"

#include "browser_host/netconn/ConnectionEntryPoints.h"

#include <dlfcn.h>
#include <filesystem>

namespace tvrn2 {
namespace {

ConnectionLibrary realLibrary;
ConnectionLibrary* installed = nullptr;

std::filesystem::path programFolder()
{
    std::error_code error;
    auto program = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : program.parent_path();
}

} // namespace

void* ConnectionLibrary::open()
{
    // The copy beside the program belongs to it; one elsewhere on the search
    // path may be of another build.
    if (auto folder = programFolder(); !folder.empty()) {
        auto beside = folder / netconn::libraryFileName;
        if (void* handle = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL))
            return handle;
    }
    return dlopen(netconn::libraryFileName, RTLD_NOW | RTLD_LOCAL);
}

void* ConnectionLibrary::symbol(void* library, const char* name)
{
    return dlsym(library, name);
}

int ConnectionLibrary::close(void* library)
{
    return dlclose(library);
}

ConnectionLibrary& connectionLibrary()
{
    return installed ? *installed : realLibrary;
}

ConnectionLibrary* setConnectionLibrary(ConnectionLibrary* library)
{
    auto* previous = installed;
    installed = library;
    return previous;
}

} // namespace tvrn2
