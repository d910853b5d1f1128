#include "tests/hyperlink/TestDesktop.h"

#include "platform/SystemInfo.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace tvrn2::test {
namespace {

namespace fs = std::filesystem;

class DesktopEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_dir = std::make_unique<TempDir>();
        auto script = m_dir->write("bin/record.sh",
            "#!/bin/sh\n"
            "name=\"$1\"; shift\n"
            "out=\"$(dirname \"$0\")/../$name.args\"\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out.part\" && mv \"$out.part\" \"$out\"\n");
        fs::permissions(script, fs::perms::owner_all);
        // No program for web pages on disk, nor for text/plain, which
        // they descend from: the browser of the look-up at start then
        // comes from the registry store only.
        writeProgram(script, "web", "x-scheme-handler/http;x-scheme-handler/https;");
        writeProgram(script, "mail", "x-scheme-handler/mailto;");
        writeProgram(script, "image", "image/png;");
        m_dir->write("config/mimeapps.list",
            "[Default Applications]\n"
            "x-scheme-handler/http=tvrn2-test-web.desktop\nx-scheme-handler/https=tvrn2-test-web.desktop\n"
            "x-scheme-handler/mailto=tvrn2-test-mail.desktop\nimage/png=tvrn2-test-image.desktop\n");
        // The system's MIME database is needed to tell a file's type;
        // its applications and their defaults are not.
        fs::create_directories(m_dir->path() / "none");
        std::error_code noMime;
        fs::create_directory_symlink("/usr/share/mime", m_dir->path() / "none" / "mime", noMime);
        setenv("XDG_DATA_HOME", (m_dir->path() / "data").c_str(), 1);
        setenv("XDG_DATA_DIRS", (m_dir->path() / "none").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir->path() / "config").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_dir->path() / "none").c_str(), 1);
        s_root = m_dir->path();
        s_script = script.string();
    }

    void TearDown() override { m_dir.reset(); }

    void writeProgram(const fs::path& script, const std::string& name, const std::string& types)
    {
        m_dir->write("data/applications/tvrn2-test-" + name + ".desktop",
            "[Desktop Entry]\nType=Application\nName=Test " + name + "\nExec=" + script.string() + " " + name
                + (name == "image" ? " %f" : " %u") + "\nMimeType=" + types + "\nNoDisplay=true\n");
    }

    static inline fs::path s_root;
    static inline std::string s_script;

private:
    std::unique_ptr<TempDir> m_dir;
};

[[maybe_unused]] auto* const installed = ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

} // namespace

const fs::path& TestDesktop::root()
{
    return DesktopEnvironment::s_root;
}

std::string TestDesktop::command(const std::string& program)
{
    return DesktopEnvironment::s_script + " " + program + (program == "image" ? " %f" : " %u");
}

fs::path TestDesktop::registryFile()
{
    return root() / "config" / "tvrn2" / "registry.reg";
}

void TestDesktop::writeRegistry(const std::string& body)
{
    fs::create_directories(registryFile().parent_path());
    std::FILE* out = std::fopen(registryFile().c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::string text = "Windows Registry Editor Version 5.00\r\n\r\n" + body;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
}

void TestDesktop::removeRegistry()
{
    std::error_code ignored;
    fs::remove(registryFile(), ignored);
}

void TestDesktop::forget(const std::string& program)
{
    std::error_code ignored;
    fs::remove(root() / (program + ".args"), ignored);
}

std::optional<std::string> TestDesktop::recorded(const std::string& program)
{
    auto file = root() / (program + ".args");
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(file))
            return TempDir::read(file);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return std::nullopt;
}

void useCommandLine(std::vector<const char*> switches)
{
    switches.insert(switches.begin(), "tvrn2");
    setCommandLine(static_cast<int>(switches.size()), switches.data());
}

} // namespace tvrn2::test
