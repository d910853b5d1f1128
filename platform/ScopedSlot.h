#pragma once

namespace tvrn2 {

// Installs an object into one of the program's global slots (message boxes,
// dialogs, system calls, ...) for one scope and puts back what the slot held
// before, however the scope ends: a test whose assertion fails halfway leaves
// no pointer to its dead object behind for the next one. Each slot names its
// own guard next to its setter:
//     using ScopedDialogs = ScopedSlot<Dialogs, setDialogs>;
template <class Slot, Slot* (*install)(Slot*)> class ScopedSlot {
public:
    explicit ScopedSlot(Slot& object)
        : m_previous(install(&object))
    { }
    ~ScopedSlot() { install(m_previous); }
    ScopedSlot(const ScopedSlot&) = delete;
    ScopedSlot& operator=(const ScopedSlot&) = delete;

private:
    Slot* m_previous;
};

} // namespace tvrn2
