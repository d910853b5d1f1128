#pragma once

#include "platform/webkit/JsValue.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct _WebKitWebView WebKitWebView;

namespace tvrn2 {

enum class ScriptStatus { Ok, ScriptError, TimedOut, WebProcessGone };

struct ScriptResult {
    ScriptStatus status { ScriptStatus::Ok };
    JsValue value;
    std::string error; // the page's exception text or why no answer came

    bool ok() const { return status == ScriptStatus::Ok; }
};

// Held for as long as a synchronous call waits. The window runtime returns an
// object that keeps the window's own events queued; destroying it lets them run.
class WaitHold {
public:
    virtual ~WaitHold() = default;
};

enum class ScriptDialogKind { Alert, Confirm, Prompt, BeforeUnload };

struct ScriptDialogSeen {
    ScriptDialogKind kind { ScriptDialogKind::Alert };
    std::string message;
};

// Runs JavaScript in a web view and waits for the answer on the default main
// context, so callers get a plain return value.
//
// The waiting state lives on the heap and is shared with WebKit's callback:
// a reply may arrive after the wait gave up, and must then land somewhere
// valid. The nested wait dispatches other events, which is why the caller
// can hand in `holdEvents` to keep the window's own events back meanwhile.
// A page dialog raised while a call waits would block the page, and with it
// the reply, so such dialogs are answered here: alerts dismissed, confirms
// refused, prompts cancelled. Outside a wait the view shows them as usual.
class ScriptRunner {
public:
    static constexpr std::chrono::milliseconds defaultTimeout { 5000 };

    // An empty world name runs in the page's own world.
    ScriptRunner(WebKitWebView* view, std::string worldName);
    ~ScriptRunner();
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    ScriptResult run(std::string_view script, std::chrono::milliseconds timeout = defaultTimeout);
    // Sends the script and goes on at once. The page runs it after every
    // script sent before and before every one sent after (run or posted), so
    // a later call sees what it did; `done`, when given, gets its answer from
    // the loop later, never after the runner has gone. Page dialogs raised
    // before the answer came are answered as during a wait.
    void post(std::string_view script, std::function<void(const ScriptResult&)> done = nullptr);

    // How many web processes of the view have ended so far.
    unsigned processesEnded() const { return m_terminations; }
    // A call waits, or a posted script has not answered yet.
    bool waiting() const { return m_depth > 0 || m_posted->inFlight > 0; }
    // Silent: page dialogs are answered as during a wait, never shown.
    void setSilent(bool silent) { m_silent = silent; }
    bool silent() const { return m_silent; }
    const std::string& worldName() const { return m_world; }
    // Dialogs answered (during waits, or all when silent), oldest first.
    const std::vector<ScriptDialogSeen>& dialogsAnswered() const { return m_dialogs; }

    std::function<std::unique_ptr<WaitHold>()> holdEvents;
    std::function<void(const ScriptDialogSeen&)> onDialogAnswered;

private:
    // Shared with the answers of posted scripts, which may come after the
    // runner has gone or after the web process they were sent to ended.
    struct Posted {
        unsigned inFlight { 0 };
        unsigned process { 0 }; // bumped when the web process ends
        bool runnerGone { false };
    };
    struct PostedCall;
    static void onPostedAnswer(void* source, void* result, void* data);

    static int onScriptDialog(WebKitWebView*, void* dialog, ScriptRunner* self);
    static void onWebProcessTerminated(WebKitWebView*, int reason, ScriptRunner* self);

    WebKitWebView* m_view; // not owned: the web view outlives its runner
    std::string m_world;
    int m_depth { 0 };
    bool m_silent { false };
    unsigned m_terminations { 0 };
    unsigned long m_dialogHandler { 0 };
    unsigned long m_terminatedHandler { 0 };
    std::vector<ScriptDialogSeen> m_dialogs;
    std::shared_ptr<Posted> m_posted { std::make_shared<Posted>() };
};

} // namespace tvrn2
