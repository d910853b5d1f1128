#pragma once

#include "platform/Dialogs.h"
#include "platform/FixedText.h"

#include <cstdint>

namespace tvrn2 {

// One registered link. The item list stays sorted by Control, then Column.
struct HyperlinkItem {
    std::int32_t Control { 0 }; // for a string or prompt the control itself, not its overlay
    PaddedString<4096> URL; // blank: the control's own text is the target; unused for list columns
    Colour Normal { 0 }; // 0 or less: not yet known
    Colour Bright { 0 };
    Colour InactiveColor { 0 };
    std::int32_t Style { 0 }; // list columns: the normal list style; the bright one is Style + 1
    std::int32_t Column { 0 }; // list columns: the column number; 0 for other controls
    std::uint8_t Underline { 0 };
    std::int32_t UseEvent { 0 }; // the event that launches the link; 0 = accepted
    std::int32_t Working { 0 }; // 1 while shown bright; list columns: the row under the mouse
    std::uint8_t HandCursor { 0 }; // list columns: show the hand cursor over the column
    std::int32_t NormalStyle { 0 };
    std::int32_t BrightStyle { 0 };
    std::uint8_t Active { 1 }; // 0: greyed, no cursor, not launched
    std::int32_t UseStdAction { 0 }; // entries: the key code alerted on the control
};

// The format a list column had when its formats were last saved, and where.
struct ColumnTracker {
    std::int32_t Control { 0 };
    PaddedString<255> OldFormatCol;
    std::int32_t ColumnNo { 0 };
};

} // namespace tvrn2
