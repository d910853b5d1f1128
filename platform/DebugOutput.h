#pragma once

#include "platform/ScopedSlot.h"

#include <string_view>

namespace tvrn2 {

// Receives debugger-output text, one call per line. The default sink writes
// each call to GLib's structured log at debug level under the domain
// "tvrn2": hidden unless G_MESSAGES_DEBUG names the domain (or "all") or a
// debug switch was given, and in the journal when the program runs under
// systemd. Tests install a capturing sink.
class DebugSink {
public:
    virtual void write(std::string_view text) = 0;

protected:
    ~DebugSink() = default;
};

inline constexpr const char* debugLogDomain = "tvrn2";

// The debugger-output call: hands the text to the installed sink unchanged.
void outputDebugString(std::string_view text);

// A fault the user should hear of without asking for the debugger output
// (a damaged settings file, a write that failed): a warning in the log, shown
// by default. An installed sink receives it like any other line.
void outputWarning(std::string_view text);

// Whether the command line carries one of the debug switches ("/fedebugmin",
// "/fedebugmax", "/LVDebug", "/LVDebugList").
bool debugSwitchGiven();

// At start-up, before other threads run: the log goes to standard error, and
// a debug switch shows the debugger output as G_MESSAGES_DEBUG would.
void startDebugOutput();

// Installs a sink (nullptr restores standard error); returns the previous one.
DebugSink* setDebugSink(DebugSink* sink);
using ScopedDebugSink = ScopedSlot<DebugSink, setDebugSink>;

} // namespace tvrn2
