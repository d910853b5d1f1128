#include "platform/DebugOutput.h"

#include "platform/SystemInfo.h"
#include "platform/TextCase.h"

#include <glib.h>
#include <mutex>
#include <string>

namespace tvrn2 {
namespace {

std::string_view withoutLineEnd(std::string_view text)
{
    // Callers end their lines in CR LF as the debugger output expects; a
    // log message is one line without them.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

void log(GLogLevelFlags level, std::string_view text)
{
    std::string line(withoutLineEnd(text));
    g_log_structured(debugLogDomain, level, "MESSAGE", "%s", line.c_str());
}

class StructuredLogSink final : public DebugSink {
public:
    void write(std::string_view text) override { log(G_LOG_LEVEL_DEBUG, text); }
};

StructuredLogSink structuredLog;
DebugSink* installed = nullptr;
std::mutex sinkMutex;

} // namespace

void outputDebugString(std::string_view text)
{
    std::lock_guard lock(sinkMutex);
    (installed ? *installed : static_cast<DebugSink&>(structuredLog)).write(text);
}

void outputWarning(std::string_view text)
{
    std::lock_guard lock(sinkMutex);
    if (installed)
        installed->write(text);
    else
        log(G_LOG_LEVEL_WARNING, text);
}

DebugSink* setDebugSink(DebugSink* sink)
{
    std::lock_guard lock(sinkMutex);
    auto* previous = installed;
    installed = sink;
    return previous;
}

bool debugSwitchGiven()
{
    auto command = toLowerAscii(commandLine());
    for (std::string_view name : { "/fedebugmin", "/fedebugmax", "/lvdebug" }) {
        if (command.find(name) != std::string::npos)
            return true;
    }
    return false;
}

void startDebugOutput()
{
    // Diagnostics belong on standard error, beside the warnings.
    g_log_writer_default_set_use_stderr(TRUE);
    if (!debugSwitchGiven())
        return;
    std::string shown = g_getenv("G_MESSAGES_DEBUG") ? g_getenv("G_MESSAGES_DEBUG") : "";
    if (shown.find(debugLogDomain) == std::string::npos && shown.find("all") == std::string::npos)
        g_setenv("G_MESSAGES_DEBUG",
            (shown.empty() ? std::string() : shown + " ").append(debugLogDomain).c_str(), TRUE);
}

} // namespace tvrn2
