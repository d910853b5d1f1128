#include "platform/ProgramEndRequests.h"

#include "platform/Halt.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <glib-unix.h>
#include <glib.h>
#include <string>
#include <utility>
#include <vector>

namespace tvrn2 {

struct ProgramEndRequests::State {
    Handler handler;
    std::function<void()> closeWithoutDisplay;
    std::vector<guint> sources;
    guint retry { 0 };
    std::vector<std::string> waiting;

    // Offers the waiting requests; keeps those not taken and tries again later.
    void deliver()
    {
        auto pending = std::exchange(waiting, {});
        for (auto& signal : pending) {
            if (!handler(signal))
                waiting.push_back(std::move(signal));
        }
        if (!waiting.empty() && !retry) {
            retry = g_timeout_add(
                100,
                [](gpointer data) -> gboolean {
                    auto* state = static_cast<State*>(data);
                    state->retry = 0;
                    state->deliver();
                    return G_SOURCE_REMOVE;
                },
                this);
        }
    }
};

namespace {

ProgramEndRequests::State* alive = nullptr;

gboolean onSignal(gpointer data)
{
    int number = GPOINTER_TO_INT(data);
    if (alive) {
        alive->waiting.emplace_back(strsignal(number));
        alive->deliver();
    }
    return G_SOURCE_CONTINUE;
}

} // namespace

ProgramEndRequests::ProgramEndRequests(Handler handler)
    : m_state(std::make_unique<State>())
{
    m_state->handler = std::move(handler);
    alive = m_state.get();
    for (int number : { SIGTERM, SIGINT, SIGHUP })
        m_state->sources.push_back(g_unix_signal_add(number, onSignal, GINT_TO_POINTER(number)));
}

ProgramEndRequests::~ProgramEndRequests()
{
    // With its last source gone GLib gives each signal its default action back.
    for (guint source : m_state->sources)
        g_source_remove(source);
    if (m_state->retry)
        g_source_remove(m_state->retry);
    if (alive == m_state.get())
        alive = nullptr;
}

void ProgramEndRequests::whenDisplayLost(std::function<void()> closeWithoutDisplay)
{
    m_state->closeWithoutDisplay = std::move(closeWithoutDisplay);
}

void ProgramEndRequests::displayLost()
{
    if (alive && alive->closeWithoutDisplay) {
        auto close = std::exchange(alive->closeWithoutDisplay, {});
        try {
            close();
        } catch (...) { }
    }
    haltProgram(1);
    std::abort(); // a halt inside a test returns by throwing; it never comes back here
}

} // namespace tvrn2
