#pragma once

#include <functional>
#include <utility>

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

    // Installs a listener for one scope and puts the previous one back.
    class ScopedListener {
    public:
        explicit ScopedListener(Listener listener)
            : m_previous(setListener(std::move(listener)))
        { }
        ~ScopedListener() { setListener(std::move(m_previous)); }
        ScopedListener(const ScopedListener&) = delete;
        ScopedListener& operator=(const ScopedListener&) = delete;

    private:
        Listener m_previous;
    };

    class Guard {
    public:
        Guard() { push(); }
        ~Guard() { pop(); }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;
    };
};

} // namespace tvrn2
