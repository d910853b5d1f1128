#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace tvrn2 {
namespace {

const char* const probedKeys[] = {
    ".htm",
    ".html",
    "htmlfile\\shell\\open\\command",
    "htmfile\\shell\\open\\command",
    "mailto\\shell\\open\\command",
    ".pdf",
    "pdffile\\shell\\open\\command",
    ".txt",
    "txtfile\\shell\\open\\command",
};

// GLib reads the XDG folders once per process, so the desktop's answers
// are asked for in a fresh copy of this program started with the test's
// folders. It prints one line per key: key, result code, default value.
[[maybe_unused]] const bool probed = [] {
    if (!std::getenv("TVRN2_REGISTRY_PROBE"))
        return false;
    for (const char* key : probedKeys) {
        char value[1024] = {};
        std::int32_t size = sizeof value;
        std::int32_t result = regQueryValue(HKEY_CLASSES_ROOT, key, value, &size);
        std::printf("%s\t%d\t%s\n", key, result, result == ERROR_SUCCESS ? value : "");
    }
    std::fflush(stdout);
    std::_Exit(0);
    return true;
}();

std::map<std::string, std::string> askFreshProcess()
{
    test::ScopedEnv probe("TVRN2_REGISTRY_PROBE", "1");
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    char program[] = "/proc/self/exe";
    char* argv[] = { program, nullptr };
    pid_t child = 0;
    int spawned = posix_spawn(&child, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    std::string output;
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], chunk, sizeof chunk)) > 0;)
        output.append(chunk, static_cast<std::size_t>(got));
    ::close(pipeEnds[0]);
    int status = 0;
    if (spawned == 0)
        ::waitpid(child, &status, 0);
    EXPECT_EQ(spawned, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    std::map<std::string, std::string> answers;
    for (std::size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = output.substr(at, end - at);
        auto tab = line.find('\t');
        answers[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return answers;
}

class LiveRegistryTest : public ::testing::Test {
protected:
    test::TempDir temp;
    test::ScopedEnv home { "HOME", (temp / "home").string() };
    test::ScopedEnv config { "XDG_CONFIG_HOME", (temp / "config").string() };
    test::ScopedEnv data { "XDG_DATA_HOME", (temp / "data").string() };
    test::ScopedEnv systemData { "XDG_DATA_DIRS", (temp / "system").string() };
    test::ScopedEnv systemConfig { "XDG_CONFIG_DIRS", (temp / "system").string() };

    // The system folders hold only the file-type database, so that no
    // application installed on the machine answers for a type.
    void SetUp() override
    {
        std::filesystem::create_directories(temp / "system");
        std::filesystem::create_directory_symlink("/usr/share/mime", temp / "system/mime");
    }

    void addApplication(const std::string& id, const std::string& exec, const std::string& types)
    {
        temp.write("data/applications/" + id,
            "[Desktop Entry]\nType=Application\nName=" + id + "\nExec=" + exec + "\nMimeType=" + types
                + "\n");
    }
};

TEST_F(LiveRegistryTest, AssociationsComeFromTheDesktopDefaults)
{
    addApplication("test-browser.desktop", "/bin/true --browse %u", "text/html;");
    addApplication("test-mail.desktop", "/bin/echo mail %u", "x-scheme-handler/mailto;");
    addApplication("test-editor.desktop", "/bin/true --edit %f", "text/plain;");
    temp.write("config/mimeapps.list",
        "[Default Applications]\ntext/html=test-browser.desktop\n"
        "x-scheme-handler/mailto=test-mail.desktop\ntext/plain=test-editor.desktop\n");
    // A stored value wins over the desktop's.
    temp.write("config/tvrn2/registry.reg",
        "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\.txt]\n@=\"mytext\"\n");

    auto answers = askFreshProcess();
    const std::pair<const char*, const char*> expected[] = {
        { ".htm", "0\thtmlfile" },
        { ".html", "0\thtmlfile" },
        { "htmlfile\\shell\\open\\command", "0\t/bin/true --browse %u" },
        { "htmfile\\shell\\open\\command", "0\t/bin/true --browse %u" },
        { "mailto\\shell\\open\\command", "0\t/bin/echo mail %u" },
        { ".pdf", "2\t" },
        { "pdffile\\shell\\open\\command", "2\t" },
        { ".txt", "0\tmytext" },
        { "txtfile\\shell\\open\\command", "0\t/bin/true --edit %f" },
    };
    for (const auto& [key, answer] : expected)
        EXPECT_EQ(answers[key], answer) << key;
}

TEST_F(LiveRegistryTest, NothingWithoutDesktopDefaults)
{
    auto answers = askFreshProcess();
    ASSERT_EQ(answers.size(), std::size(probedKeys));
    for (const auto& [key, answer] : answers)
        EXPECT_EQ(answer, "2\t") << key;
}

} // namespace
} // namespace tvrn2
