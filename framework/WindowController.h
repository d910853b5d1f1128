#pragma once

#include "framework/WindowComponent.h"
#include "platform/FixedText.h"
#include "platform/Window.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tvrn2 {

class ErrorManager;

// Runs one window: initialises it, runs its event loop, hands every event to
// the right handler and shuts it down. A window derives from it and replaces
// the handlers it needs. Handler results are error-manager levels: 0 go on,
// 3 leave the event loop, 5 skip the runtime's own handling of the event.
class WindowController {
public:
    // Pairs of (control, response): accepting the control ends the window with the response.
    struct ButtonResponse {
        int control;
        int response;
    };
    // A saved field value that the recall key puts back.
    struct HistoryEntry {
        int control;
        std::string value;
    };
    // Record forms: a file the window opened, handed back to its manager by Kill.
    struct FileUse {
        std::string name;
        std::function<void()> handBack;
    };

    static constexpr int LevelLeave = 3;
    static constexpr int LevelSkip = 5;
    static constexpr int RequestCancelled = 2;
    static constexpr int ToolbarHistoryButton = 3012;

    explicit WindowController(Window& window);
    virtual ~WindowController() = default;
    WindowController(const WindowController&) = delete;
    WindowController& operator=(const WindowController&) = delete;

    Window& window() const { return m_window; }

    // Slots in their fixed order.
    virtual void EventLoop(); // 0
    virtual int Init(); // 1
    virtual int Kill(); // 2
    virtual void OnFirstShow(); // 3
    virtual void Hook() { } // 4
    virtual int PrimeRecord() { return 0; } // 5: record forms
    virtual void Redisplay(bool force); // 6
    virtual void RecallField(int control); // 7
    virtual int Execute(); // 8
    virtual int Confirm() { return RequestCancelled; } // 9
    virtual void RegisterAlertKeys(); // 10
    virtual void EndWithResponse(int response); // 11
    virtual int OnAccepted(); // 12
    virtual int OnCompleted() { return 0; } // 13: record forms
    virtual int OnClose(); // 14
    virtual int HandleEvent(); // 15
    virtual int OnFieldEvent() { return 0; } // 16
    virtual int OnNewSelection() { return 0; } // 17
    virtual int OnRejected(); // 18
    virtual int OnSelected() { return 0; } // 19
    virtual int OnWindowEvent(); // 20
    virtual void SyncComponents(); // 21
    virtual int AcceptsEvent() { return 1; } // 22

    // Registration helpers; each needs the lists made by Init.
    void AddItem(WindowComponent& component);
    void AddButton(int control, int response);
    void AddHistoryField(int control, std::string value);

    // Fields, in their declared order.
    std::uint8_t AUTOREFRESH { 0 };
    std::uint8_t AUTOTOOLBAR { 0 };
    std::unique_ptr<std::vector<ButtonResponse>> BUTTONS;
    std::unique_ptr<std::vector<WindowComponent*>> CL;
    std::uint8_t CANCELACTION { 0 };
    std::uint8_t CHANGEACTION { 0 };
    std::uint8_t DEAD { 0 };
    std::uint8_t DELETEACTION { 0 };
    ErrorManager* ERRORS { nullptr };
    std::unique_ptr<std::vector<FileUse>> FILES;
    std::uint8_t FILESOPENED { 0 };
    std::int32_t FIRSTFIELD { 0 };
    std::uint8_t FORCEDRESET { 0 };
    std::unique_ptr<std::vector<HistoryEntry>> HISTORY;
    std::int32_t HISTORYKEY { 0 };
    std::uint8_t INITED { 0 };
    std::uint8_t INSERTACTION { 0 };
    PaddedString<1024> LASTINSERTEDPOSITION;
    std::int32_t OKCONTROL { 0 };
    std::uint8_t OPENED { 0 };
    std::uint8_t ORIGINALREQUEST { 0 };
    std::optional<FileUse> PRIMARY;
    std::uint8_t REQUEST { 0 };
    std::uint8_t RESETONGAINFOCUS { 0 };
    WindowComponent* RESIZE { nullptr };
    std::uint8_t RESPONSE { 0 };
    std::uint16_t SAVED { 0 };
    WindowComponent* TOOLBAR { nullptr };
    WindowTranslator* TRANSLATOR { nullptr };
    std::optional<int> VCRREQUEST;

    // INITED bits.
    static constexpr std::uint8_t Shown = 1;
    static constexpr std::uint8_t FirstSizeSeen = 2;

private:
    Window& m_window;
};

} // namespace tvrn2
