#pragma once

#include "platform/Halt.h"

#include <cstdint>
#include <optional>

namespace tvrn2 {

// Switches the desktop's drag option (window contents shown while dragging)
// off for the program's run when it was on, and puts it back on every way
// out: restore(), destruction, or a halt from anywhere in the program.
class DragOptionSwitch {
public:
    // Reads the option and switches it off when it is on. When the option
    // cannot be read it is left alone and never restored.
    DragOptionSwitch();
    ~DragOptionSwitch();
    DragOptionSwitch(const DragOptionSwitch&) = delete;
    DragOptionSwitch& operator=(const DragOptionSwitch&) = delete;

    // Switches the option back on if this object switched it off; once.
    void restore();

    bool switchedOff() const { return m_restorer.has_value(); }

private:
    static void switchOn();

    std::int32_t m_saved { 0 };
    std::optional<EmergencyRestorer> m_restorer;
};

} // namespace tvrn2
