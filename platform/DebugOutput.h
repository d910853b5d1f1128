#pragma once

#include "platform/ScopedSlot.h"

#include <string_view>

namespace tvrn2 {

// Receives debugger-output text, one call per line. The default sink writes
// each call as one line on standard error; tests install a capturing sink.
class DebugSink {
public:
    virtual void write(std::string_view text) = 0;

protected:
    ~DebugSink() = default;
};

// The debugger-output call: hands the text to the installed sink unchanged.
void outputDebugString(std::string_view text);

// Installs a sink (nullptr restores standard error); returns the previous one.
DebugSink* setDebugSink(DebugSink* sink);
using ScopedDebugSink = ScopedSlot<DebugSink, setDebugSink>;

} // namespace tvrn2
