#pragma once

namespace tvrn2 {

// Window event numbers, shared by the window runtime, the framework, the
// browser host and the hyperlink manager.
enum class Event : int {
    None = 0,
    Accepted = 1,
    NewSelection = 2,
    MouseIn = 11,
    MouseOut = 12,
    MouseMove = 13,
    AlertKey = 15,
    Rejected = 26,
    Selected = 257,
    CloseWindow = 513,
    CloseDown = 514,
    OpenWindow = 515,
    LoseFocus = 517,
    GainFocus = 518,
    Timer = 523,
    Completed = 549,
    Sized = 561,
    FeCallback = 1030,
};

// Handler results, which are error-manager levels: go on, leave the event
// loop, skip the runtime's own handling of the event.
enum class Level : int {
    Benign = 0,
    Question = 1,
    Program = 2,
    Fatal = 3,
    Cancel = 4,
    Notify = 5,
};

} // namespace tvrn2
