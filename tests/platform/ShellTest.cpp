#include "platform/Shell.h"

#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>
#include <thread>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;

// A desktop of its own: a scheme handler and a text/plain handler, both a
// small script that writes the arguments it was started with to a file,
// one per line. GLib reads the desktop folders once per process, so the
// launches run in a fresh child process that inherits this environment;
// the child finds the folder through TVRN2_TEST_DESKTOP instead of
// making another.
class RecordingDesktop {
public:
    RecordingDesktop()
    {
        if (const char* inherited = std::getenv("TVRN2_TEST_DESKTOP")) {
            m_root = inherited;
            return;
        }
        m_dir.emplace();
        m_root = m_dir->path();
        auto script = m_dir->write("bin/record.sh",
            "#!/bin/sh\n"
            "out=\"$(dirname \"$0\")/../args\"\n"
            "printf '%s' \"$#\" > \"$out.count\"\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        fs::permissions(script, fs::perms::owner_all);
        m_dir->write("data/applications/scheme-recorder.desktop",
            "[Desktop Entry]\nType=Application\nName=Scheme recorder\nExec=" + script.string()
                + " %u\nMimeType=x-scheme-handler/x-tvrn2-test;\nNoDisplay=true\n");
        m_dir->write("data/applications/file-recorder.desktop",
            "[Desktop Entry]\nType=Application\nName=File recorder\nExec=" + script.string()
                + " %f\nMimeType=text/plain;\nNoDisplay=true\n");
        m_dir->write("config/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/x-tvrn2-test=scheme-recorder.desktop\n"
            "text/plain=file-recorder.desktop\n");
        m_inherit.emplace("TVRN2_TEST_DESKTOP", m_root.string());
        m_data.emplace("XDG_DATA_HOME", (m_root / "data").string());
        m_config.emplace("XDG_CONFIG_HOME", (m_root / "config").string());
    }

    const fs::path& root() const { return m_root; }

    // The recorded arguments, once the handler has written them.
    std::optional<std::string> recorded() const
    {
        auto file = m_root / "args";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (std::chrono::steady_clock::now() < deadline) {
            if (fs::exists(file))
                return test::TempDir::read(file);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }

    // How many arguments the handler got, once it has written them.
    int argumentCount() const
    {
        return recorded() ? std::stoi(test::TempDir::read(m_root / "args.count")) : -1;
    }

    void forget() const
    {
        fs::remove(m_root / "args");
        fs::remove(m_root / "args.count");
    }

private:
    std::optional<test::TempDir> m_dir;
    fs::path m_root;
    std::optional<test::ScopedEnv> m_inherit, m_data, m_config;
};

void openInChild(const std::string& target)
{
    std::exit(shellOpen(target) == ShellResult::Opened ? 0 : 1);
}

class ShellOpenTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

TEST_F(ShellOpenTest, HandsAUriFullOfShellSyntaxToItsHandlerAsOneArgument)
{
    RecordingDesktop desktop;
    auto marker = [&](const char* name) { return (desktop.root() / name).string(); };
    const std::string target = "x-tvrn2-test:a;touch " + marker("semicolon") + " $(touch " + marker("dollar")
        + ") `touch " + marker("backtick") + "` && touch " + marker("and") + " | tee " + marker("pipe")
        + " > " + marker("redirect") + " 'q' \"dq\" * ?";

    EXPECT_EXIT(openInChild(target), ::testing::ExitedWithCode(0), "");

    auto recorded = desktop.recorded();
    ASSERT_TRUE(recorded) << "the handler never ran";
    EXPECT_EQ(*recorded, target + "\n");
    for (auto name : { "semicolon", "dollar", "backtick", "and", "pipe", "redirect" })
        EXPECT_FALSE(fs::exists(marker(name))) << name;
}

// A hostile target and what its handler must receive; "@" stands for a
// marker file that exists only if something ran a command out of it.
struct HostileTarget {
    const char* what;
    std::string target;
    std::string received;
};

class ShellOpenHostileTest : public ShellOpenTest, public ::testing::WithParamInterface<HostileTarget> { };

TEST_P(ShellOpenHostileTest, ReachesTheHandlerAsOneArgumentAndRunsNothing)
{
    RecordingDesktop desktop;
    const std::string marker = (desktop.root() / "injected").string();
    auto withMarker = [&](std::string text) {
        for (auto at = text.find('@'); at != std::string::npos; at = text.find('@', at + marker.size()))
            text.replace(at, 1, marker);
        return text;
    };
    const std::string target = withMarker(GetParam().target);

    EXPECT_EXIT(openInChild(target), ::testing::ExitedWithCode(0), "");

    auto recorded = desktop.recorded();
    ASSERT_TRUE(recorded) << "the handler never ran";
    EXPECT_EQ(*recorded, withMarker(GetParam().received) + "\n");
    EXPECT_EQ(desktop.argumentCount(), 1);
    EXPECT_FALSE(fs::exists(marker));
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(Targets, ShellOpenHostileTest,
    ::testing::Values(HostileTarget { "LineBreaks", "x-tvrn2-test:a\ntouch @\r\nb;touch @",
                          "x-tvrn2-test:a\ntouch @\r\nb;touch @" },
        // Targets are C strings to the desktop: the NUL ends the target, and
        // what follows it is neither handed over nor run.
        HostileTarget { "Nul", "x-tvrn2-test:before\0; touch @"s, "x-tvrn2-test:before" },
        HostileTarget { "VeryLong", "x-tvrn2-test:" + std::string(100'000, 'a') + "$(touch @)",
            "x-tvrn2-test:" + std::string(100'000, 'a') + "$(touch @)" }),
    [](const ::testing::TestParamInfo<HostileTarget>& info) { return std::string(info.param.what); });

TEST_F(ShellOpenTest, HandsAFileWithShellSyntaxInItsNameToTheTypesHandler)
{
    RecordingDesktop desktop;
    // A file name cannot hold a "/", so the injected commands would
    // create their marker in the working directory.
    const std::string marker = "tvrn2-injected-" + desktop.root().filename().string();
    auto file
        = desktop.root() / ("notes;touch " + marker + ";$(touch " + marker + ")`touch " + marker + "`.txt");
    {
        std::FILE* out = std::fopen(file.c_str(), "w");
        ASSERT_NE(out, nullptr);
        std::fputs("plain text\n", out);
        std::fclose(out);
    }

    EXPECT_EXIT(openInChild(file.string()), ::testing::ExitedWithCode(0), "");

    auto recorded = desktop.recorded();
    ASSERT_TRUE(recorded) << "the handler never ran";
    EXPECT_EQ(*recorded, file.string() + "\n");
    EXPECT_FALSE(fs::exists(fs::current_path() / marker));
    EXPECT_FALSE(fs::exists(desktop.root() / marker));
}

TEST(ShellOpen, ReportsWhyATargetCannotBeOpened)
{
    test::TempDir dir;
    struct Case {
        std::string target;
        int expected;
    } cases[] = {
        { (dir / "missing.txt").string(), ShellResult::FileNotFound },
        { (dir / "no-such-folder" / "missing.txt").string(), ShellResult::PathNotFound },
        { "file://" + (dir / "missing.htm").string(), ShellResult::FileNotFound },
        { "x-tvrn2-nobody-handles-this:thing", ShellResult::NoAssociation },
        { "   ", ShellResult::FileNotFound },
    };
    for (const auto& c : cases)
        EXPECT_EQ(shellOpen(c.target), c.expected) << c.target;
}

} // namespace
} // namespace tvrn2
