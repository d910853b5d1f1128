#include "platform/Files.h"

#include "tests/support/TestSupport.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

TEST(FileErrorTest, ErrnoMapsToTheVocabulary)
{
    const std::pair<int, int> cases[] = {
        { ENOENT, 2 },
        { ENOTDIR, 3 },
        { EMFILE, 4 },
        { ENFILE, 4 },
        { EACCES, 5 },
        { EPERM, 5 },
        { EROFS, 5 },
        { EIO, 90 },
        { ENOSPC, 90 },
        { EISDIR, 90 },
    };
    for (auto [error, code] : cases) {
        FileError mapped = fileErrorFromErrno(error);
        EXPECT_EQ(mapped.code, code) << error;
        EXPECT_EQ(mapped.text, fileErrorText(code));
        EXPECT_EQ(mapped.systemCode, error);
        EXPECT_FALSE(mapped.systemText.empty());
    }
    EXPECT_EQ(fileErrorText(2), "File Not Found");
    EXPECT_EQ(fileErrorText(3), "Path Not Found");
    EXPECT_EQ(fileErrorText(4), "Too Many Open Files");
    EXPECT_EQ(fileErrorText(5), "Access Denied");
    EXPECT_EQ(fileErrorText(90), "File System Error");
    EXPECT_EQ(fileErrorFromErrno(EIO).systemText, "Input/output error");
    EXPECT_FALSE(fileErrorFromErrno(0));
}

// Runs the body as an unprivileged user when the tests run as root, so
// that folder permissions are enforced; returns the file error code.
int errorCodeUnprivileged(const std::function<int()>& body)
{
    if (::geteuid() != 0)
        return body();
    pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(255);
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileErrorTest, RealFailuresGiveTheirCodes)
{
    test::TempDir temp;
    EXPECT_EQ(fileSize((temp / "missing.bin").string()).error.code, 2);
    EXPECT_EQ(fileSize((temp / "no-folder/missing.bin").string()).error.code, 3);
    EXPECT_EQ(deleteFile((temp / "missing.bin").string()).code, 2);
    auto plain = temp.write("plain", "x");
    EXPECT_EQ(appendToFile((plain / "below").string(), "x").code, 3);

    std::filesystem::permissions(temp.path(), std::filesystem::perms::all);
    auto locked = temp / "read-only";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(locked,
        std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec
            | std::filesystem::perms::group_read | std::filesystem::perms::group_exec
            | std::filesystem::perms::others_read | std::filesystem::perms::others_exec);
    std::string target = (locked / "new.txt").string();
    EXPECT_EQ(errorCodeUnprivileged([&] { return createFile(target, "x").code; }), 5);
}

TEST(FilesTest, ExistsSizeAppendCreateDelete)
{
    test::TempDir temp;
    std::string log = (temp / "KWXError.Log").string();
    EXPECT_FALSE(fileExists(log));
    EXPECT_FALSE(fileExists(temp.path().string())) << "a folder is not a file";
    ASSERT_FALSE(appendToFile(log, "one\n"));
    ASSERT_FALSE(appendToFile(log, "two\n"));
    EXPECT_TRUE(fileExists(log));
    EXPECT_EQ(fileSize(log).bytes, 8);
    ASSERT_FALSE(createFile(log, "fresh\n"));
    EXPECT_EQ(test::TempDir::read(log), "fresh\n");
    ASSERT_FALSE(deleteFile(log));
    EXPECT_FALSE(fileExists(log));
}

TEST(FilesTest, FileHoldsComparesEveryByteOfTheFile)
{
    test::TempDir temp;
    std::string path = (temp / "f").string();
    const std::string large(200000, 'x'); // more than one piece is read
    const struct {
        std::string file;
        std::string bytes;
        bool same;
    } cases[] = {
        { "", "", true },
        { "abc", "abc", true },
        { "abc", "abd", false },
        { "abc", "ab", false },
        { "ab", "abc", false },
        { large, large, true },
        { large + "y", large + "z", false },
        { large, large + "x", false },
        { large + "x", large, false },
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(createFile(path, c.file));
        EXPECT_EQ(fileHolds(path, c.bytes), c.same) << c.file.size() << " bytes against " << c.bytes.size();
    }
    EXPECT_FALSE(fileHolds((temp / "missing").string(), ""));
}

} // namespace
} // namespace tvrn2
