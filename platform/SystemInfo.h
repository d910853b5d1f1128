#pragma once

#include <cstdint>
#include <string>

namespace tvrn2 {

// The folder that holds the program's settings and plays the part of the
// Windows directory: $XDG_CONFIG_HOME/tvrn2, by default ~/.config/tvrn2.
// Read from the environment on every call; no trailing "/".
std::string settingsFolder();

// The Windows directory of the program's world: the settings folder.
std::string windowsDirectory();

// The temporary folder: $TMPDIR, else "/tmp/", always with a trailing "/".
std::string tempPath();

// The program's command line: its argv joined by blanks. The program hands
// its argv over once at start.
void setCommandLine(int argc, const char* const* argv);
std::string commandLine();

// The calling thread's number; the main thread keeps one number for the
// whole run and no two live threads share one.
std::uint32_t currentThreadId();

} // namespace tvrn2
