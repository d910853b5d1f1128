#include "diagnostics/TraceLog.h"

#include "diagnostics/ProcessModules.h"
#include "diagnostics/StackWalk.h"
#include "platform/DebugOutput.h"
#include "platform/Profile.h"

#include <cstdarg>
#include <cstdio>

namespace tvrn2 {
namespace {

constexpr std::size_t MaxReturnAddresses = 10;

// Set while this thread writes a line, so that anything the write itself
// sets off cannot recurse into the log.
thread_local bool writingLine = false;

} // namespace

std::string TraceLog::auxTraceFromProfile()
{
    return getProfileString(ProfileSection, "auxtrace", "");
}

TraceLog::TraceLog(std::filesystem::path file, AuxTraceSetting auxTrace)
    : m_file(std::move(file))
    , m_auxTraceSetting(std::move(auxTrace))
{ }

void TraceLog::write(const char* format, ...)
{
    char buffer[LineCapacity];
    va_list arguments;
    va_start(arguments, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    writeLine(buffer);
}

void TraceLog::writeLine(const std::string& line)
{
    if (writingLine)
        return;
    writingLine = true;
    {
        std::lock_guard lock(m_mutex);
        if (!m_started)
            m_auxTrace = m_auxTraceSetting && !m_auxTraceSetting().empty();
        // The file is opened for each line, so that what was written is on
        // disk even when the program dies right after.
        if (std::FILE* file = std::fopen(m_file.c_str(), m_started ? "ab" : "wb")) {
            m_started = true;
            std::fwrite(line.data(), 1, line.size(), file);
            std::fclose(file);
        }
        if (m_auxTrace)
            outputDebugString(line);
    }
    writingLine = false;
}

__attribute__((noinline)) void TraceLog::reportError(const char* text)
{
    write("Error: %s\r\n", text);
    if (auto stack = currentStackBounds()) {
        for (auto address : walkFrames(__builtin_frame_address(0), *stack, MaxReturnAddresses)) {
            auto where = ProcessModules::locate(address).value_or(CodeLocation { {}, 0, address });
            write("%08lX  %04X:%08lX %s\r\n", static_cast<unsigned long>(address), where.section,
                static_cast<unsigned long>(where.offset), where.module.c_str());
        }
    }
    write("----------------------------------\r\n");
}

void TraceLog::assertionFailed(const char* expression, const char* file, long line)
{
    write("Assertion failed:%s\r\nFile %s line %ld", expression, file, line);
}

TraceLog& traceLog()
{
    static auto* log = new TraceLog;
    return *log;
}

} // namespace tvrn2
