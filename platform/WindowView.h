#pragma once

#include "platform/Control.h"
#include "platform/ScopedSlot.h"

#include <memory>

namespace tvrn2 {

class Window;

// What changed on a window, so a view repaints only that.
enum class WindowProperty {
    Caption,
    Icon,
    Rect,
    Font,
    Focus,
    Controls, // a control was added
};

// The face of one open window. The window model calls it after every change;
// the view turns what the user does into calls of the window's input side.
class WindowView {
public:
    virtual ~WindowView() = default;
    virtual void windowChanged(WindowProperty property) = 0;
    virtual void controlChanged(int control, ControlProperty property) = 0;
    virtual void beep() = 0;
};

// Makes the view of a window when it opens. Without a factory installed a
// window is headless.
class WindowViewFactory {
public:
    virtual std::unique_ptr<WindowView> createView(Window& window) = 0;

protected:
    ~WindowViewFactory() = default;
};

WindowViewFactory* windowViewFactory();
WindowViewFactory* setWindowViewFactory(WindowViewFactory* factory);
using ScopedWindowViewFactory = ScopedSlot<WindowViewFactory, setWindowViewFactory>;

} // namespace tvrn2
