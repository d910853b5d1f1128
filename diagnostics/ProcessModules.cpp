#include "diagnostics/ProcessModules.h"

#include <climits>
#include <link.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

std::string nameOf(const dl_phdr_info& info)
{
    // The program itself is listed without a name.
    if (info.dlpi_name && *info.dlpi_name)
        return info.dlpi_name;
    return ProcessModules::programPath().value_or(std::string {});
}

// Calls `visit(info, segment header, segment number)` for every loadable
// segment of every module until it answers true.
template <typename Visit> void forEachSegment(Visit visit)
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, std::size_t, void* data) {
            auto& visitor = *static_cast<Visit*>(data);
            unsigned number = 0;
            for (int i = 0; i < info->dlpi_phnum; ++i) {
                if (info->dlpi_phdr[i].p_type != PT_LOAD)
                    continue;
                if (visitor(*info, info->dlpi_phdr[i], ++number))
                    return 1;
            }
            return 0;
        },
        &visit);
}

} // namespace

std::optional<std::string> ProcessModules::programPath()
{
    char path[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || std::size_t(length) >= sizeof path)
        return std::nullopt;
    return std::string(path, std::size_t(length));
}

std::string ProcessModules::pathOf(pw::ModuleHandle module)
{
    std::string path;
    auto wanted = reinterpret_cast<std::uintptr_t>(module);
    forEachSegment([&](const dl_phdr_info& info, const ElfW(Phdr) & segment, unsigned number) {
        if (number != 1 || info.dlpi_addr + segment.p_vaddr != wanted)
            return false;
        path = nameOf(info);
        return true;
    });
    return path;
}

std::optional<CodeLocation> ProcessModules::locate(std::uintptr_t address)
{
    std::optional<CodeLocation> found;
    forEachSegment([&](const dl_phdr_info& info, const ElfW(Phdr) & segment, unsigned number) {
        auto start = info.dlpi_addr + segment.p_vaddr;
        if (address < start || address - start >= segment.p_memsz)
            return false;
        auto path = nameOf(info);
        found = CodeLocation { path.substr(path.find_last_of('/') + 1), number, address - start };
        return true;
    });
    return found;
}

} // namespace tvrn2
