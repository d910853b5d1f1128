#pragma once

#include <functional>

namespace tvrn2 {

// The program-wide wait cursor. Shows while at least one push is outstanding,
// so nested long operations each bracket themselves without undoing an outer
// one. Use the guard where the scope allows it.
class WaitCursor {
public:
    static void push();
    static void pop(); // a pop without a push is ignored
    static bool shown();
    static int depth();

    // Called with true when the cursor appears and false when it goes; the
    // window system installs one so the cursor reaches the screen. Returns
    // the previous listener.
    using Listener = std::function<void(bool shown)>;
    static Listener setListener(Listener listener);

    class Guard {
    public:
        Guard() { push(); }
        ~Guard() { pop(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };
};

} // namespace tvrn2
