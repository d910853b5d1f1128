#pragma once

#include "platform/DebugOutput.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

// For a test that needs a display: failed when there is none or it cannot be
// opened. The suite runs under a virtual display; a skip would pass off a test
// that never ran.
#define TVRN2_NEED_DISPLAY(opened)                                                                           \
    do {                                                                                                     \
        if (!(opened)) {                                                                                     \
            const char* named = std::getenv("DISPLAY");                                                      \
            GTEST_FAIL() << (named ? "the display " + std::string(named) + " could not be opened"            \
                                   : std::string("no display: run the suite under one (xvfb-run -a)"));      \
        }                                                                                                    \
    } while (false)

namespace tvrn2::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

    // Writes a file below the folder (creating folders on the way) and returns its path.
    std::filesystem::path write(const std::string& name, const std::string& contents) const;
    static std::string read(const std::filesystem::path& file);

private:
    std::filesystem::path m_path;
};

// Sets (or unsets, with std::nullopt) an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_previous;
};

// Captures every debugger-output call while it lives.
class CapturedDebugOutput final : public DebugSink {
public:
    CapturedDebugOutput();
    ~CapturedDebugOutput();
    CapturedDebugOutput(const CapturedDebugOutput&) = delete;
    CapturedDebugOutput& operator=(const CapturedDebugOutput&) = delete;

    void write(std::string_view text) override { m_lines.emplace_back(text); }
    const std::vector<std::string>& lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
    DebugSink* m_previous;
};

// Sends every debugger-output call straight to standard error, one line
// each, from now until the process ends: for a child process whose output a
// test reads (a death test), the report at exit included.
void debugOutputToStandardError();

} // namespace tvrn2::test
