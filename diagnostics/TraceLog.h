#pragma once

#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

namespace tvrn2 {

// The internal trace: formatted lines in a text file, for internal errors,
// failed internal assertions and memory failures. The first line of a run
// creates the file afresh; later lines are appended. When the user's profile
// asks for it ("auxtrace" in the tracing section), every line also goes to
// the debugger output.
class TraceLog {
public:
    static constexpr std::size_t LineCapacity = 256;
    static constexpr const char* FileName = "TRCLOG.TXT";
    static constexpr const char* ProfileSection = "Tracing";

    // Answers the profile's "auxtrace" value; asked once, with the first line.
    using AuxTraceSetting = std::function<std::string()>;
    static std::string auxTraceFromProfile();

    explicit TraceLog(std::filesystem::path file = FileName, AuxTraceSetting auxTrace = auxTraceFromProfile);

    // Formats one line (cut to LineCapacity - 1 characters) and writes it. A
    // line produced while the same thread is already writing one is dropped.
    void write(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // "Error: <text>", the return addresses of the caller's stack with their
    // modules, and a separator line.
    void reportError(const char* text);
    void assertionFailed(const char* expression, const char* file, long line);

private:
    void writeLine(const std::string& line);

    std::filesystem::path m_file;
    AuxTraceSetting m_auxTraceSetting;
    std::mutex m_mutex;
    bool m_started = false;
    bool m_auxTrace = false;
};

// The program's trace log, in the current directory.
TraceLog& traceLog();

} // namespace tvrn2
