#pragma once

#include "browser_host/FeMaster.h"
#include "platform/MessageBox.h"
#include "platform/SystemInfo.h"

#include <map>
#include <string>
#include <tuple>
#include <vector>

namespace tvrn2::test {

// Sets the program's command line for one scope.
class ScopedCommandLine {
public:
    explicit ScopedCommandLine(const std::vector<const char*>& arguments)
        : m_previous(commandLine())
    {
        std::vector<const char*> argv { "tvrn2" };
        argv.insert(argv.end(), arguments.begin(), arguments.end());
        setCommandLine(static_cast<int>(argv.size()), argv.data());
    }
    ~ScopedCommandLine()
    {
        const char* argv[] = { m_previous.c_str() };
        setCommandLine(1, argv);
    }
    ScopedCommandLine(const ScopedCommandLine&) = delete;
    ScopedCommandLine& operator=(const ScopedCommandLine&) = delete;

private:
    std::string m_previous;
};

// Installs scripted message boxes for one scope.
class ScopedBoxes {
public:
    ScriptedMessageBoxes boxes;

private:
    ScopedMessageBoxes m_installed { boxes };
};

// A master whose registry reads, connected state and connection actions
// come from the test, recording what it was asked.
class ScriptedMaster : public FeMaster {
public:
    using Key = std::tuple<std::string, std::string, std::string>; // hive, key, value name

    std::string GetRegistryValue(std::string_view hive, std::string_view key, std::string_view name) override
    {
        Key asked { std::string(hive), std::string(key), std::string(name) };
        registryReads.push_back(asked);
        auto found = registry.find(asked);
        return found == registry.end() ? std::string() : found->second;
    }
    std::uint8_t IsOnline() override
    {
        ++onlineQueries;
        return online;
    }
    std::uint8_t ConnectionAction(std::uint8_t action, std::string_view name) override
    {
        actions.emplace_back(action, std::string(name));
        return static_cast<std::uint8_t>(40 + action);
    }

    std::map<Key, std::string> registry;
    std::vector<Key> registryReads;
    std::uint8_t online { 0 };
    int onlineQueries { 0 };
    std::vector<std::pair<std::uint8_t, std::string>> actions;
};

} // namespace tvrn2::test
