#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tvrn2::test {

// The suite's own desktop, set up before the first test touches GIO (which
// reads the desktop's folders once per process): programs "web" for the web
// schemes, "mail" for "mailto:" and "image" for PNG files, each a
// script that writes the arguments it was started with to "<name>.args".
// The system's folders are left out, so the machine's own associations never
// answer. The registry store lives in the same place.
class TestDesktop {
public:
    static const std::filesystem::path& root();
    // The command line the desktop gives for a program.
    static std::string command(const std::string& program);

    // The store file the registry reads; tests write and remove it.
    static std::filesystem::path registryFile();
    static void writeRegistry(const std::string& body);
    static void removeRegistry();

    // Forgets what the named program recorded last.
    static void forget(const std::string& program);
    // The arguments the program ("web", "mail" or "image") was started with, one per
    // line, once it has written them; nothing after a few seconds.
    static std::optional<std::string> recorded(const std::string& program);
};

// The program's command line: "tvrn2" and these switches.
void useCommandLine(std::vector<const char*> switches);

} // namespace tvrn2::test
