// Leak tracking of the program's own heap, seen from outside: a small
// program with deliberate leaks runs and its report is read.

#include <cstdio>
#include <filesystem>
#include <glib.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> linesOf(const char* text)
{
    std::vector<std::string> lines;
    std::istringstream in(text ? text : "");
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A pointer as the program prints it ("0x55d0..."), as the report writes it ("55d0...").
std::string reportHex(const std::string& printed)
{
    return printed.starts_with("0x") ? printed.substr(2) : printed;
}

TEST(FreeStore, TheProgramsOwnLeaksAreReportedWithWhereTheyCameFromAndNothingElse)
{
    const fs::path program = fs::canonical(TVRN2_LEAKY_PROGRAM);
    const char* argv[] = { program.c_str(), nullptr };
    gchar* out = nullptr;
    gchar* err = nullptr;
    gint status = -1;
    GError* error = nullptr;
    // The sanitizers would fail the run on the deliberate leaks.
    gchar** environment = g_environ_setenv(g_get_environ(), "ASAN_OPTIONS", "detect_leaks=0", TRUE);
    environment = g_environ_setenv(environment, "G_MESSAGES_DEBUG", "tvrn2", TRUE);
    ASSERT_TRUE(g_spawn_sync(nullptr, const_cast<gchar**>(argv), environment, G_SPAWN_DEFAULT, nullptr,
        nullptr, &out, &err, &status, &error))
        << (error ? error->message : "");
    g_strfreev(environment);
    auto printed = linesOf(out);
    auto report = linesOf(err);
    g_free(out);
    g_free(err);
    // A reported block the program frees after the report is not freed again at exit.
    EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "status " << status;

    ASSERT_EQ(printed.size(), 2u) << ::testing::PrintToString(printed);
    std::istringstream site(printed[0]);
    std::string word, file, block;
    int line = 0;
    site >> word >> file >> line >> block;
    ASSERT_EQ(word, "site");
    std::istringstream anonymous(printed[1]);
    std::string anonymousBlock;
    anonymous >> word >> anonymousBlock;
    ASSERT_EQ(word, "anonymous");

    // Each debug line as the log writes it: "(name:123): tvrn2-DEBUG: 12:34:56.789: text".
    const std::string path = program.string();
    const std::regex debugLine("(?:\\([^)]*\\): )?tvrn2-DEBUG: [0-9:.]+: (.*)");
    std::vector<std::string> tracking;
    for (std::smatch parts; const auto& text : report) {
        if (!std::regex_match(text, parts, debugLine))
            continue;
        std::string line = parts[1];
        if (line.find("Leak") != std::string::npos || line.find("leak checking") != std::string::npos)
            tracking.push_back(line);
    }
    // A report line is cut to 127 characters with its line end; standard
    // error shows it without the line end.
    auto reportLine = [&](const std::string& message) {
        std::string line = (path + " : " + message + "\r\n").substr(0, 127);
        while (line.ends_with('\n') || line.ends_with('\r'))
            line.pop_back();
        return line;
    };
    std::vector<std::string> expected { path + " : Torvane leak checking - Active" };
#if defined(__SANITIZE_ADDRESS__)
    expected.push_back(path
        + " : Leak checking does not cover the program's heap in this build: the sanitizers' allocator keeps "
          "it");
#else
    // In allocation order: the block under a named source position, then the
    // one without, by its address. The freed blocks and the library's are absent.
    expected.push_back(
        reportLine("Leak detected in file " + file + ", line " + std::to_string(line) + " of 24 bytes"));
    expected.push_back(reportLine("Leak detected of 40 bytes at " + reportHex(anonymousBlock)));
#endif
    expected.push_back(path + " : Torvane leak checking - Inactive");
    EXPECT_EQ(tracking, expected);
}

} // namespace
} // namespace tvrn2
