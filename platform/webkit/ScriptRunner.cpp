#include "platform/webkit/ScriptRunner.h"

#include "platform/GObjectPtr.h"

#include <webkit2/webkit2.h>

namespace tvrn2 {
namespace {

struct PendingScript {
    bool answered { false };
    bool timedOut { false };
    GObjectPtr<GCancellable> cancellable;
    GObjectPtr<JSCValue> value;
    GErrorPtr error;
};
using SharedPending = std::shared_ptr<PendingScript>;

void onEvaluated(GObject* source, GAsyncResult* result, gpointer data)
{
    std::unique_ptr<SharedPending> holder(static_cast<SharedPending*>(data));
    PendingScript& pending = **holder;
    GError* error = nullptr;
    pending.value = GObjectPtr<JSCValue>::adopt(
        webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), result, &error));
    pending.error.reset(error);
    pending.answered = true;
}

gboolean onTimeout(gpointer data)
{
    (*static_cast<SharedPending*>(data))->timedOut = true;
    return G_SOURCE_REMOVE;
}

void deleteSharedPending(gpointer data)
{
    delete static_cast<SharedPending*>(data);
}

std::string takeString(char* text)
{
    GCharPtr owned(text);
    return owned ? std::string(owned.get()) : std::string();
}

JsValue fromJsc(JSCValue* value)
{
    if (!value || jsc_value_is_undefined(value))
        return {};
    if (jsc_value_is_null(value))
        return JsValue::null();
    if (jsc_value_is_boolean(value))
        return JsValue::boolean(jsc_value_to_boolean(value));
    if (jsc_value_is_number(value))
        return JsValue::number(jsc_value_to_double(value));
    if (jsc_value_is_string(value))
        return JsValue::string(takeString(jsc_value_to_string(value)));
    std::string json = takeString(jsc_value_to_json(value, 0));
    return JsValue::json(json.empty() ? "null" : json);
}

ScriptResult resultOf(JSCValue* value, const GError* error)
{
    ScriptResult result;
    if (error) {
        result.status = ScriptStatus::ScriptError;
        result.error = error->message ? error->message : "script failed";
        return result;
    }
    result.value = fromJsc(value);
    return result;
}

} // namespace

ScriptRunner::ScriptRunner(WebKitWebView* view, std::string worldName)
    : m_view(view)
    , m_world(std::move(worldName))
{
    m_dialogHandler = g_signal_connect(view, "script-dialog", G_CALLBACK(onScriptDialog), this);
    m_terminatedHandler
        = g_signal_connect(view, "web-process-terminated", G_CALLBACK(onWebProcessTerminated), this);
}

ScriptRunner::~ScriptRunner()
{
    m_posted->runnerGone = true;
    // A destroyed view has dropped its handlers already.
    for (auto handler : { m_dialogHandler, m_terminatedHandler }) {
        if (g_signal_handler_is_connected(m_view, handler))
            g_signal_handler_disconnect(m_view, handler);
    }
}

ScriptResult ScriptRunner::run(std::string_view script, std::chrono::milliseconds timeout)
{
    auto pending = std::make_shared<PendingScript>();
    pending->cancellable = GObjectPtr<GCancellable>::adopt(g_cancellable_new());
    auto keepView = GObjectPtr<WebKitWebView>::ref(m_view);
    auto hold = holdEvents ? holdEvents() : nullptr;

    webkit_web_view_evaluate_javascript(m_view, script.data(), static_cast<gssize>(script.size()),
        m_world.empty() ? nullptr : m_world.c_str(), nullptr, pending->cancellable.get(), onEvaluated,
        new SharedPending(pending));
    guint timer = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(timeout.count()), onTimeout,
        new SharedPending(pending), deleteSharedPending);

    unsigned terminations = m_terminations;
    ++m_depth;
    while (!pending->answered && !pending->timedOut && m_terminations == terminations)
        g_main_context_iteration(nullptr, TRUE);
    --m_depth;

    if (!pending->timedOut)
        g_source_remove(timer);

    ScriptResult result;
    if (!pending->answered) {
        // The reply may still come; it lands in the shared state and is dropped.
        g_cancellable_cancel(pending->cancellable.get());
        if (m_terminations != terminations) {
            result.status = ScriptStatus::WebProcessGone;
            result.error = "the web process ended while the page was being asked";
        } else {
            result.status = ScriptStatus::TimedOut;
            result.error = "the page did not answer within " + std::to_string(timeout.count()) + " ms";
        }
        return result;
    }
    return resultOf(pending->value.get(), pending->error.get());
}

struct ScriptRunner::PostedCall {
    std::shared_ptr<Posted> posted;
    unsigned process;
    std::function<void(const ScriptResult&)> done;
};

void ScriptRunner::post(std::string_view script, std::function<void(const ScriptResult&)> done)
{
    ++m_posted->inFlight;
    webkit_web_view_evaluate_javascript(m_view, script.data(), static_cast<gssize>(script.size()),
        m_world.empty() ? nullptr : m_world.c_str(), nullptr, nullptr,
        reinterpret_cast<GAsyncReadyCallback>(onPostedAnswer),
        new PostedCall { m_posted, m_posted->process, std::move(done) });
}

void ScriptRunner::onPostedAnswer(void* source, void* asyncResult, void* data)
{
    std::unique_ptr<PostedCall> call(static_cast<PostedCall*>(data));
    Posted& posted = *call->posted;
    GError* error = nullptr;
    auto value = GObjectPtr<JSCValue>::adopt(webkit_web_view_evaluate_javascript_finish(
        WEBKIT_WEB_VIEW(source), G_ASYNC_RESULT(asyncResult), &error));
    GErrorPtr ownedError(error);
    // The count of a process that ended was reset then.
    if (call->process == posted.process && posted.inFlight > 0)
        --posted.inFlight;
    if (call->done && !posted.runnerGone)
        call->done(resultOf(value.get(), ownedError.get()));
}

int ScriptRunner::onScriptDialog(WebKitWebView*, void* dialogPointer, ScriptRunner* self)
{
    if (!self->waiting() && !self->m_silent)
        return FALSE;
    auto* dialog = static_cast<WebKitScriptDialog*>(dialogPointer);
    ScriptDialogSeen seen;
    if (const char* message = webkit_script_dialog_get_message(dialog))
        seen.message = message;
    switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
        seen.kind = ScriptDialogKind::Alert;
        break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
        seen.kind = ScriptDialogKind::Confirm;
        webkit_script_dialog_confirm_set_confirmed(dialog, FALSE);
        break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
        // Left without text: the page sees the prompt cancelled.
        seen.kind = ScriptDialogKind::Prompt;
        break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
        // The call itself asked to leave the page.
        seen.kind = ScriptDialogKind::BeforeUnload;
        webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
        break;
    }
    self->m_dialogs.push_back(seen);
    if (self->onDialogAnswered)
        self->onDialogAnswered(seen);
    return TRUE;
}

void ScriptRunner::onWebProcessTerminated(WebKitWebView*, int, ScriptRunner* self)
{
    ++self->m_terminations;
    // What was posted there will never run; its answers, errors, still come.
    ++self->m_posted->process;
    self->m_posted->inFlight = 0;
}

} // namespace tvrn2
