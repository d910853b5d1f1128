#include "platform/GLibEventLoop.h"

#include <glib.h>

namespace tvrn2 {

struct GLibEventLoop::Source {
    Task task;
    std::weak_ptr<bool> alive;

    static gboolean runOnce(gpointer data)
    {
        auto* source = static_cast<Source*>(data);
        if (!source->alive.expired())
            source->task();
        return G_SOURCE_REMOVE;
    }
    static gboolean tick(gpointer data)
    {
        auto* source = static_cast<Source*>(data);
        if (source->alive.expired())
            return G_SOURCE_REMOVE;
        // Copy: the tick may stop its own timer, which frees this source.
        auto task = source->task;
        task();
        return G_SOURCE_CONTINUE;
    }
    static void destroy(gpointer data) { delete static_cast<Source*>(data); }
};

GLibEventLoop::GLibEventLoop()
    : m_alive(std::make_shared<bool>(true))
{ }

GLibEventLoop::~GLibEventLoop()
{
    for (auto& [id, source] : m_timers)
        g_source_remove(source);
}

bool GLibEventLoop::runUntil(const std::function<bool()>& done)
{
    while (!done())
        g_main_context_iteration(nullptr, TRUE);
    return true;
}

bool GLibEventLoop::pump()
{
    bool ran = false;
    while (g_main_context_iteration(nullptr, FALSE))
        ran = true;
    return ran;
}

void GLibEventLoop::wake()
{
    g_main_context_wakeup(nullptr);
}

void GLibEventLoop::post(Task task)
{
    g_idle_add_full(
        G_PRIORITY_DEFAULT, Source::runOnce, new Source { std::move(task), m_alive }, Source::destroy);
}

EventLoop::TimerId GLibEventLoop::startTimer(std::chrono::milliseconds interval, Task tick)
{
    auto ms = static_cast<guint>(std::max<std::chrono::milliseconds::rep>(interval.count(), 1));
    auto id = m_nextTimer++;
    m_timers[id] = g_timeout_add_full(
        G_PRIORITY_DEFAULT, ms, Source::tick, new Source { std::move(tick), m_alive }, Source::destroy);
    return id;
}

void GLibEventLoop::stopTimer(TimerId id)
{
    auto found = m_timers.find(id);
    if (found == m_timers.end())
        return;
    g_source_remove(found->second);
    m_timers.erase(found);
}

} // namespace tvrn2
