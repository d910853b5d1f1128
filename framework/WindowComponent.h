#pragma once

namespace tvrn2 {

// A part of a window that takes part in its event handling (a browse, a
// resizer, a toolbar). The controller asks its components in the order they
// were added. Results are error-manager levels: 0 go on, 3 leave the event
// loop, 5 skip the rest of the event's handling.
class WindowComponent {
public:
    virtual ~WindowComponent() = default;

    virtual int TakeEvent() { return 0; }
    // True when the component's screen needs a redisplay.
    virtual bool ResetRequired() { return false; }
    virtual void Reset(bool force) { }
    // Registers the keys the component reacts to on the window's controls.
    virtual void SetAlerts() { }
    // Takes the screen values into the component's variables.
    virtual void Update() { }
    virtual void Kill() { }
};

// Puts the window's texts into the user's language when it is first shown.
class WindowTranslator {
public:
    virtual ~WindowTranslator() = default;
    virtual void TranslateWindow() = 0;
};

} // namespace tvrn2
