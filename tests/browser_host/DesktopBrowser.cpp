#include "tests/browser_host/DesktopBrowser.h"

#include "tests/support/MainLoopWait.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <filesystem>
#include <glib.h>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace tvrn2::test {
namespace {

namespace fs = std::filesystem;

class DesktopEnvironment final : public ::testing::Environment {
public:
    void SetUp() override
    {
        m_dir = std::make_unique<TempDir>();
        // One line per address, appended whole: launches may overlap.
        auto script = m_dir->write("bin/browser.sh",
            "#!/bin/sh\n"
            "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$(dirname \"$0\")/../opened\"; done\n");
        fs::permissions(script, fs::perms::owner_all);
        m_dir->write("data/applications/tvrn2-test-browser.desktop",
            "[Desktop Entry]\nType=Application\nName=Test browser\nExec=" + script.string()
                + " %u\nMimeType=x-scheme-handler/http;x-scheme-handler/https;\nNoDisplay=true\n");
        m_dir->write("config/mimeapps.list",
            "[Default Applications]\nx-scheme-handler/http=tvrn2-test-browser.desktop\n"
            "x-scheme-handler/https=tvrn2-test-browser.desktop\n");
        ScopedEnv data("XDG_DATA_HOME", (m_dir->path() / "data").string());
        ScopedEnv config("XDG_CONFIG_HOME", (m_dir->path() / "config").string());
        g_get_user_data_dir();
        g_get_user_config_dir();
        s_log = m_dir->path() / "opened";
    }

    void TearDown() override { m_dir.reset(); }

    static inline fs::path s_log;

private:
    std::unique_ptr<TempDir> m_dir;
};

[[maybe_unused]] auto* const installed = ::testing::AddGlobalTestEnvironment(new DesktopEnvironment);

} // namespace

std::vector<std::string> DesktopBrowser::opened()
{
    std::vector<std::string> lines;
    std::error_code missing;
    if (!fs::exists(DesktopEnvironment::s_log, missing))
        return lines;
    std::istringstream text(TempDir::read(DesktopEnvironment::s_log));
    for (std::string line; std::getline(text, line);)
        lines.push_back(line);
    return lines;
}

bool DesktopBrowser::waitFor(const std::string& uri)
{
    return runUntil([&] {
        auto lines = opened();
        return std::ranges::find(lines, uri) != lines.end();
    });
}

void DesktopBrowser::forget()
{
    std::error_code missing;
    fs::remove(DesktopEnvironment::s_log, missing);
}

} // namespace tvrn2::test
