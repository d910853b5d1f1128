#include "platform/DebugOutput.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace tvrn2 {
namespace {

    class StandardErrorSink final : public DebugSink {
    public:
        void write(std::string_view text) override
        {
            // Callers end their lines in CR LF as the debugger output expects;
            // on a terminal one plain line per call reads better.
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
                text.remove_suffix(1);
            std::string line(text);
            line.push_back('\n');
            std::fwrite(line.data(), 1, line.size(), stderr);
        }
    };

    StandardErrorSink standardError;
    DebugSink* installed = nullptr;
    std::mutex sinkMutex;

} // namespace

void outputDebugString(std::string_view text)
{
    std::lock_guard lock(sinkMutex);
    (installed ? *installed : static_cast<DebugSink&>(standardError)).write(text);
}

DebugSink* setDebugSink(DebugSink* sink)
{
    std::lock_guard lock(sinkMutex);
    auto* previous = installed;
    installed = sink;
    return previous;
}

} // namespace tvrn2
