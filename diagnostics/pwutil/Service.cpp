// The service object and the thread exit of the leak-tracking library.

#include "diagnostics/pwutil/PwUtil.h"

#include <algorithm>
#include <link.h>
#include <mutex>
#include <new>
#include <pthread.h>
#include <unordered_set>

namespace tvrn2::pw {
namespace {

class ServiceObject final : public Service {
public:
    bool numberToText(std::uint64_t value, char* buffer, std::size_t capacity, int radix) override
    {
        if (!buffer || !capacity)
            return false;
        buffer[0] = '\0';
        if (radix < 2 || radix > 36)
            return false;
        char digits[65];
        std::size_t length = 0;
        do {
            int digit = int(value % unsigned(radix));
            digits[length++] = char(digit < 10 ? '0' + digit : 'a' + digit - 10);
            value /= unsigned(radix);
        } while (value);
        if (length + 1 > capacity)
            return false;
        for (std::size_t i = 0; i < length; ++i)
            buffer[i] = digits[length - 1 - i];
        buffer[length] = '\0';
        return true;
    }

    bool loadedModules(ModuleHandle* modules, std::size_t capacity, std::size_t* count) override
    {
        if (!count || (!modules && capacity))
            return false;
        Listing listing { modules, std::min(capacity, MaxModules), 0 };
        dl_iterate_phdr(addModule, &listing);
        *count = listing.count;
        return true;
    }

private:
    struct Listing {
        ModuleHandle* modules;
        std::size_t capacity;
        std::size_t count;
    };

    // A module's handle is the address its first loadable segment, and so
    // its image, starts at.
    static int addModule(dl_phdr_info* info, std::size_t, void* data)
    {
        auto& listing = *static_cast<Listing*>(data);
        if (listing.count == listing.capacity)
            return 1;
        for (int i = 0; i < info->dlpi_phnum; ++i) {
            if (info->dlpi_phdr[i].p_type == PT_LOAD) {
                auto base = info->dlpi_addr + info->dlpi_phdr[i].p_vaddr;
                listing.modules[listing.count++] = reinterpret_cast<ModuleHandle>(base);
                break;
            }
        }
        return 0;
    }
};

struct Services {
    std::mutex mutex;
    std::unordered_set<Service*> live;
};

Services& services()
{
    static auto* instance = new Services;
    return *instance;
}

} // namespace
} // namespace tvrn2::pw

using namespace tvrn2::pw;

Service* Initialise()
{
    auto* service = new (std::nothrow) ServiceObject;
    if (!service)
        return nullptr;
    auto& all = services();
    std::lock_guard lock(all.mutex);
    try {
        all.live.insert(service);
    } catch (const std::bad_alloc&) {
        delete service;
        return nullptr;
    }
    return service;
}

void UnInitialise(Service* service)
{
    auto& all = services();
    std::lock_guard lock(all.mutex);
    if (all.live.erase(service))
        delete static_cast<ServiceObject*>(service);
}

void pw_ExitThread(std::uint32_t exitCode)
{
    pthread_exit(reinterpret_cast<void*>(std::uintptr_t(exitCode)));
}
