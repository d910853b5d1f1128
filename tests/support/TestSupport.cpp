#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tvrn2::test {

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tvrn2-test-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = pattern;
}

TempDir::~TempDir()
{
    std::error_code ignored;
    std::filesystem::permissions(
        m_path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempDir::write(const std::string& name, const std::string& contents) const
{
    auto file = m_path / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << contents;
    return file;
}

std::string TempDir::read(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value)
    : m_name(std::move(name))
{
    if (const char* old = std::getenv(m_name.c_str()))
        m_previous = old;
    if (value)
        setenv(m_name.c_str(), value->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

ScopedEnv::~ScopedEnv()
{
    if (m_previous)
        setenv(m_name.c_str(), m_previous->c_str(), 1);
    else
        unsetenv(m_name.c_str());
}

CapturedDebugOutput::CapturedDebugOutput()
    : m_previous(setDebugSink(this))
{ }

CapturedDebugOutput::~CapturedDebugOutput()
{
    setDebugSink(m_previous);
}

void debugOutputToStandardError()
{
    struct StandardError final : DebugSink {
        void write(std::string_view text) override
        {
            std::fwrite(text.data(), 1, text.size(), stderr);
            if (!text.ends_with('\n'))
                std::fputc('\n', stderr);
        }
    };
    // Never destroyed: the report comes after the static objects are gone.
    static auto* sink = new StandardError;
    setDebugSink(sink);
}

} // namespace tvrn2::test
