#include "platform/Halt.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

namespace tvrn2 {
namespace {

struct Registered {
    unsigned long id;
    std::function<void()> restore;
};

std::mutex restorersMutex;
std::vector<Registered> restorers;
unsigned long nextId = 1;
bool intercepting = false;

// Takes the restorers out of the register, so each one runs at most once
// even when a restorer itself halts.
std::vector<Registered> takeRestorers()
{
    std::lock_guard lock(restorersMutex);
    return std::exchange(restorers, {});
}

} // namespace

void haltProgram(int exitCode)
{
    auto pending = takeRestorers();
    for (auto it = pending.rbegin(); it != pending.rend(); ++it) {
        // A failing restorer must not keep the others from running.
        try {
            it->restore();
        } catch (...) { }
    }
    if (intercepting)
        throw ProgramHalted { exitCode };
    std::fflush(nullptr);
    std::exit(exitCode);
}

EmergencyRestorer::EmergencyRestorer(std::function<void()> restore)
{
    std::lock_guard lock(restorersMutex);
    m_id = nextId++;
    restorers.push_back({ m_id, std::move(restore) });
}

EmergencyRestorer::~EmergencyRestorer()
{
    release();
}

void EmergencyRestorer::release()
{
    std::lock_guard lock(restorersMutex);
    std::erase_if(restorers, [this](const Registered& entry) { return entry.id == m_id; });
}

HaltInterceptor::HaltInterceptor()
    : m_previous(std::exchange(intercepting, true))
{ }

HaltInterceptor::~HaltInterceptor()
{
    intercepting = m_previous;
}

} // namespace tvrn2
