#pragma once

#include <functional>
#include <memory>
#include <string>

namespace tvrn2 {

// While alive, the session's requests to end (SIGTERM at logout or shutdown,
// SIGINT from a terminal's Ctrl+C, SIGHUP when the terminal goes) reach the
// handler on the main loop, through GLib's Unix signal sources on the default
// main context, instead of ending the process on the spot, so the program
// closes the way it does when the user closes it. The handler answers
// whether it took the request; one it did not take (no window open yet) is
// offered again every tenth of a second. One object at a time.
//
// A session can also go without asking: its display goes away. Nothing that
// shows can close then, so the program cannot take its usual path; what it
// gives to whenDisplayLost() writes what the close would have written, and
// the program halts with exit code 1.
class ProgramEndRequests {
public:
    using Handler = std::function<bool(const std::string& signal)>;

    explicit ProgramEndRequests(Handler handler);
    ~ProgramEndRequests();
    ProgramEndRequests(const ProgramEndRequests&) = delete;
    ProgramEndRequests& operator=(const ProgramEndRequests&) = delete;

    // What runs when the display is lost, before the halt; it must not touch the display.
    void whenDisplayLost(std::function<void()> closeWithoutDisplay);

    // Called by the display's front-end when its connection broke. Does not return.
    [[noreturn]] static void displayLost();

    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace tvrn2
