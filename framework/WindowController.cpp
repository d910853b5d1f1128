#include "framework/WindowController.h"

#include "platform/KeyCode.h"

#include <algorithm>

namespace tvrn2 {

WindowController::WindowController(Window& window)
    : m_window(window)
{ }

int WindowController::Init()
{
    ORIGINALREQUEST = REQUEST;
    CL = std::make_unique<std::vector<WindowComponent*>>();
    BUTTONS = std::make_unique<std::vector<ButtonResponse>>();
    // A right click that opened this window must not reach its first control.
    int key = m_window.lastKeyCode();
    if (key == KeyCode::MouseRight || key == KeyCode::MouseRightUp)
        m_window.setLastKeyCode(0);
    INSERTACTION = 2;
    DELETEACTION = 2;
    CHANGEACTION = 1;
    CANCELACTION = 3;
    AUTOTOOLBAR = 1;
    AUTOREFRESH = 1;
    return 0;
}

void WindowController::EventLoop()
{
    if (DEAD)
        return;
    LASTINSERTEDPOSITION.clear();
    m_window.run([this](const WindowEvent&) {
        if (AcceptsEvent() != 1)
            return Dispatch::Skip;
        int result = HandleEvent();
        if (result == LevelLeave || DEAD)
            return Dispatch::Leave;
        if (result == LevelSkip)
            return Dispatch::Skip;
        return Dispatch::Default;
    });
}

int WindowController::HandleEvent()
{
    const int control = m_window.field();
    int result = 0;
    if (control == 0) {
        result = OnWindowEvent();
        if (result)
            return result;
    }
    switch (m_window.event()) {
    case Event::Accepted:
        result = OnAccepted();
        break;
    case Event::Rejected:
        result = OnRejected();
        break;
    case Event::Selected:
        result = OnSelected();
        break;
    case Event::NewSelection:
        result = OnNewSelection();
        break;
    case Event::AlertKey:
        if (HISTORYKEY != 0 && m_window.lastKeyCode() == HISTORYKEY)
            RecallField(m_window.focus());
        break;
    default:
        break;
    }
    if (result)
        return result;
    if (control != 0) {
        result = OnFieldEvent();
        if (result)
            return result;
    }
    if (CL) {
        for (auto* component : *CL) {
            result = component->TakeEvent();
            if (result)
                return result;
        }
        if (AUTOREFRESH == 1) {
            for (auto* component : *CL) {
                if (component->ResetRequired()) {
                    Redisplay(false);
                    break;
                }
            }
        }
    }
    return result;
}

int WindowController::OnWindowEvent()
{
    switch (m_window.event()) {
    case Event::OpenWindow:
        if (!(INITED & Shown))
            OnFirstShow();
        if (FIRSTFIELD != 0)
            m_window.select(FIRSTFIELD);
        return 0;
    case Event::LoseFocus:
        if (RESETONGAINFOCUS == 1)
            FORCEDRESET = 1;
        return 0;
    case Event::GainFocus:
        if (INITED & Shown)
            Redisplay(false);
        else
            OnFirstShow();
        return 0;
    case Event::Sized:
        // The size event that follows opening only says the window got its size.
        if (INITED & FirstSizeSeen)
            Redisplay(false);
        else
            INITED |= FirstSizeSeen;
        return 0;
    case Event::Completed:
        return OnCompleted();
    case Event::CloseWindow:
    case Event::CloseDown:
        return OnClose();
    default:
        return 0;
    }
}

void WindowController::OnFirstShow()
{
    if (TRANSLATOR)
        TRANSLATOR->TranslateWindow();
    Redisplay(false);
    INITED |= Shown;
}

void WindowController::Redisplay(bool force)
{
    // While the window takes every control's value at once, the screen is
    // the source and must not be overwritten.
    if (m_window.acceptAll())
        return;
    force = force || FORCEDRESET;
    FORCEDRESET = 0;
    m_window.display();
    if (CL) {
        for (auto* component : *CL)
            component->Reset(force);
    }
    m_window.display();
}

void WindowController::RecallField(int control)
{
    if (!HISTORY)
        return;
    auto* target = m_window.control(control);
    if (!target)
        return;
    for (auto entry = HISTORY->rbegin(); entry != HISTORY->rend(); ++entry) {
        if (entry->control == control) {
            target->setScreenText(entry->value);
            target->update();
            return;
        }
    }
}

int WindowController::Execute()
{
    if (Init() == 0)
        EventLoop();
    Kill();
    return RESPONSE ? RESPONSE : RequestCancelled;
}

void WindowController::RegisterAlertKeys()
{
    if (CL) {
        for (auto* component : *CL)
            component->SetAlerts();
    }
    if (HISTORYKEY == 0 || !HISTORY)
        return;
    for (const auto& entry : *HISTORY) {
        if (auto* control = m_window.control(entry.control))
            control->alert(HISTORYKEY);
    }
}

void WindowController::EndWithResponse(int response)
{
    RESPONSE = static_cast<std::uint8_t>(response);
    m_window.post(Event::CloseWindow);
    if (response == RequestCancelled)
        VCRREQUEST.reset();
}

int WindowController::OnAccepted()
{
    const int control = m_window.field();
    if (TOOLBAR) {
        TOOLBAR->TakeEvent();
        if (control == ToolbarHistoryButton)
            RecallField(m_window.focus());
    }
    if (BUTTONS) {
        auto button = std::find_if(BUTTONS->begin(), BUTTONS->end(),
            [control](const ButtonResponse& b) { return b.control == control; });
        if (button != BUTTONS->end()) {
            EndWithResponse(button->response);
            return LevelSkip;
        }
    }
    if (OKCONTROL != 0 && OKCONTROL == control)
        m_window.post(Event::Completed);
    return 0;
}

int WindowController::OnClose()
{
    // FIXME: record forms would ask here whether to save changes; no window
    // of this program has a primary file.
    return 0;
}

int WindowController::OnRejected()
{
    const int control = m_window.field();
    m_window.beep();
    m_window.display(control);
    m_window.select(control);
    return 0;
}

void WindowController::SyncComponents()
{
    if (!CL)
        return;
    for (auto* component : *CL)
        component->Update();
}

int WindowController::Kill()
{
    if (DEAD == 1 || !CL)
        return LevelSkip;
    auto components = std::move(*CL);
    CL.reset();
    for (auto* component : components)
        component->Kill();
    BUTTONS.reset();
    HISTORY.reset();
    if (FILES) {
        for (auto& file : *FILES) {
            if (file.handBack)
                file.handBack();
        }
        FILES.reset();
    }
    if (PRIMARY) {
        if (PRIMARY->handBack)
            PRIMARY->handBack();
        PRIMARY.reset();
    }
    if (TOOLBAR)
        TOOLBAR->Kill();
    if (RESIZE)
        RESIZE->Kill();
    DEAD = 1;
    // The window lives as long as its controller runs it.
    m_window.close();
    return 0;
}

void WindowController::AddItem(WindowComponent& component)
{
    if (CL)
        CL->push_back(&component);
}

void WindowController::AddButton(int control, int response)
{
    if (BUTTONS)
        BUTTONS->push_back({ control, response });
}

void WindowController::AddHistoryField(int control, std::string value)
{
    if (!HISTORY)
        HISTORY = std::make_unique<std::vector<HistoryEntry>>();
    HISTORY->push_back({ control, std::move(value) });
}

} // namespace tvrn2
