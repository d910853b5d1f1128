#pragma once

#include "platform/Halt.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace tvrn2 {

// Switches the desktop's drag option (window contents shown while dragging)
// off for the program's run when it was on, and puts it back on every way
// out: restore(), destruction, or a halt from anywhere in the program.
//
// Before switching, the value it had is noted in the registry store; putting
// it back clears the note. A run that ended without putting it back (killed,
// crashed, or the store could not be written at exit) leaves the note, and
// the next start puts the value back first (restoreLeftOver). A restore that
// fails says so on standard error and keeps the note for the next start.
class DragOptionSwitch {
public:
    // Where the note is kept.
    static constexpr std::string_view noteKey = "Software\\tvrn2\\Switched Options";
    static constexpr std::string_view noteValue = "DragFullWindows";

    // Reads the option and switches it off when it is on. When the option
    // cannot be read it is left alone and never restored; when the note
    // cannot be written it is left on.
    DragOptionSwitch();
    ~DragOptionSwitch();
    DragOptionSwitch(const DragOptionSwitch&) = delete;
    DragOptionSwitch& operator=(const DragOptionSwitch&) = delete;

    // Switches the option back on if this object switched it off; once.
    void restore();

    bool switchedOff() const { return m_restorer.has_value(); }

    // Puts back a value an earlier run switched off and never restored.
    static void restoreLeftOver();

private:
    static void putBack(std::int32_t value);

    std::int32_t m_saved { 0 };
    std::optional<EmergencyRestorer> m_restorer;
};

} // namespace tvrn2
