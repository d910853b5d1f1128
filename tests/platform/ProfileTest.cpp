#include "platform/Profile.h"

#include "platform/Files.h"
#include "platform/TextCase.h"
#include "tests/support/FaultySysCalls.h"
#include "tests/support/Iconv.h"
#include "tests/support/TestSupport.h"

#include <cerrno>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

struct ReadCase {
    const char* text;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileTextTest, FindsValues)
{
    const ReadCase cases[] = {
        { "[Sec]\nKey=Value\n", "sEC", "kEY", "Value" },
        { "  [ Sec ]  \n\t Key  =  spaced value \t\n", " Sec ", " Key ", "spaced value" },
        { "[A]\r\nk=crlf\r\n", "A", "k", "crlf" },
        { "[A]\nk=1\n[B]\nk=2", "B", "k", "2" },
        { "[A]\nk=\"quoted \"\n", "A", "k", "quoted " },
        { "[A]\nk='x\"\n", "A", "k", "'x\"" },
        { "[A]\nk=a=b,c\n", "A", "k", "a=b,c" },
        { "[A]\nk=\n", "A", "k", "" },
        { "[A]\n;k=comment\nk=real\n", "A", "k", "real" },
        { "[A]\nk\n", "A", "k", std::nullopt },
        { "k=outside\n[A]\n", "A", "k", std::nullopt },
        { "[A]\nk=1\n", "B", "k", std::nullopt },
        { "[A]\nk=1\n[B]\nj=2\n", "A", "j", std::nullopt },
        { "", "A", "k", std::nullopt },
    };
    for (const auto& c : cases)
        EXPECT_EQ(findProfileValue(c.text, c.section, c.key), c.expected) << c.text;
}

struct ChangeCase {
    const char* before;
    const char* section;
    std::optional<std::string_view> key;
    std::optional<std::string_view> value;
    const char* after;
};

TEST(ProfileTextTest, ChangesOnlyWhatIsWritten)
{
    const ChangeCase cases[] = {
        { "", "S", "k", "v", "[S]\nk=v\n" },
        { "; top\n[S]\r\nk=1\r\n\r\n[T]\r\nx=2\r\n", "s", "K", "9",
            "; top\n[S]\r\nk=9\r\n\r\n[T]\r\nx=2\r\n" },
        { "[S]\nk=1\n\n[T]\nx=2\n", "S", "n", " 5 ", "[S]\nk=1\nn=5\n\n[T]\nx=2\n" },
        { "[S]\r\nk=1", "T", "x", "2", "[S]\r\nk=1\r\n[T]\r\nx=2\r\n" },
        { "[S]\na=1", "S", "b", "2", "[S]\na=1\nb=2\n" },
        // A file whose last line ends in a lone CR keeps that line as it reads.
        { "[S]\r\na=1\r", "S", "b", "2", "[S]\r\na=1\r\nb=2\r\n" },
        { "[S]\r\n[\r", "", "", "", "[S]\r\n[\r\n=\r\n" },
        { "[S]\na=1\r", "T", "x", "2", "[S]\na=1\r\n[T]\nx=2\n" },
        { "[S]\n  KEY = old\n# keep\n", "S", "key", "new", "[S]\nKEY=new\n# keep\n" },
        { "[S]\na=1\nb=2\n", "S", "b", std::nullopt, "[S]\na=1\n" },
        { "[S]\na=1\n[T]\nb=2\n", "S", std::nullopt, std::nullopt, "[T]\nb=2\n" },
        { "[S]\na=1\n", "T", "b", std::nullopt, "[S]\na=1\n" },
        { "[S]\na=1\n", "S", "b", std::nullopt, "[S]\na=1\n" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(changeProfileText(c.before, c.section, c.key, c.value), c.after) << c.before;
}

TEST(ProfileTextTest, ManyKeysAtOnceReadAndChangeAsOneAtATime)
{
    const char* texts[] = { "", "; only a comment", "[S]\r\nk=1\r\n\r\n[T]\r\nx=2\r\n",
        "[s]\n  K = 'quoted'\nk=second\n\n[S]\nz=3\n", "[T]\nx=1\n[S]\na=1", "[S]\r\na=1\r",
        "[S]\nB=old\n# keep\n\n\n[U]\n", "[S]\n[S]\na=in the second\n" };
    const ProfileValues values { { "k", " new " }, { "added", "1" }, { "B", "b" }, { "ADDED", "again" },
        { "a", "" }, { "later", "2" } };
    for (const char* text : texts) {
        std::string oneByOne = text;
        for (const auto& [key, value] : values)
            oneByOne = changeProfileText(oneByOne, " S ", key, value);
        EXPECT_EQ(changeProfileKeys(text, " S ", values), oneByOne) << text;

        auto section = findProfileSection(oneByOne, "s");
        for (const char* key : { "k", "K", "added", "b", "a", "later", "z", "x", "missing" }) {
            auto found = section.find(toLowerAscii(key));
            std::optional<std::string> atOnce;
            if (found != section.end())
                atOnce = found->second;
            EXPECT_EQ(atOnce, findProfileValue(oneByOne, "s", key)) << oneByOne << " key " << key;
        }
    }
}

class ProfileFileTest : public ::testing::Test {
protected:
    test::TempDir temp;
    test::ScopedEnv config { "XDG_CONFIG_HOME", temp.path().string() };
    std::filesystem::path settings = temp / "tvrn2";
};

TEST_F(ProfileFileTest, MissingFileGivesDefaultAndFirstWriteCreatesFolderAndFile)
{
    EXPECT_EQ(getPrivateProfileString("S", "k", "fallback  ", "tvrn2.INI"), "fallback");
    EXPECT_FALSE(std::filesystem::exists(settings));

    ASSERT_TRUE(writePrivateProfileString("__Dont_Touch_Me__", "Sectors", "0", "tvrn2.INI"));
    EXPECT_EQ(test::TempDir::read(settings / "tvrn2.INI"), "[__Dont_Touch_Me__]\nSectors=0\n");
    EXPECT_EQ(getPrivateProfileString("__DONT_TOUCH_ME__", "sectors", "", "tvrn2.INI  "), "0");
}

TEST_F(ProfileFileTest, EmptyNameIsMainProfileAndPathsWithSlashStayAsGiven)
{
    ASSERT_TRUE(writeProfileString("windows", "load", "x"));
    EXPECT_EQ(test::TempDir::read(settings / "win.ini"), "[windows]\nload=x\n");
    EXPECT_EQ(getPrivateProfileString("windows", "load", "", ""), "x");

    auto explicitPath = (temp / "elsewhere.ini").string();
    ASSERT_TRUE(writePrivateProfileString("S", "k", "v", explicitPath));
    EXPECT_EQ(test::TempDir::read(explicitPath), "[S]\nk=v\n");
    EXPECT_FALSE(std::filesystem::exists(settings / "elsewhere.ini"));
    EXPECT_FALSE(writePrivateProfileString("S", "k", "v", (temp / "no/such/dir.ini").string()));
}

TEST_F(ProfileFileTest, RefusesWritesThatWouldBreakTheFile)
{
    const std::string original = "[S]\nk=1\n";
    temp.write("tvrn2/p.ini", original);
    struct {
        const char* section;
        const char* key;
        const char* value;
    } const refused[] = {
        { "S", "k", "two\nlines" },
        { "S", "k", "cr\rhere" },
        { "S]x", "k", "v" },
        { "S\n", "k", "v" },
        { "S", "a=b", "v" },
        { "S", "[T]", "v" },
        { "S", ";c", "v" },
    };
    for (const auto& r : refused)
        EXPECT_FALSE(writePrivateProfileString(r.section, r.key, r.value, "p.ini")) << r.section << r.key;
    EXPECT_EQ(test::TempDir::read(settings / "p.ini"), original);
}

TEST_F(ProfileFileTest, FailedWriteLeavesOldFileAndNoTemporaryFile)
{
    const std::string original = "[S]\nk=1\n; the rest of a longer file\n";
    temp.write("tvrn2/p.ini", original);
    for (auto fault : { test::FaultySysCalls::Fault::DiskFull, test::FaultySysCalls::Fault::RenameFails }) {
        test::FaultySysCalls faulty(fault);
        EXPECT_FALSE(writePrivateProfileString("S", "k", "2", "p.ini"));
        EXPECT_EQ(test::TempDir::read(settings / "p.ini"), original);
        auto entries = std::distance(std::filesystem::directory_iterator(settings), {});
        EXPECT_EQ(entries, 1) << "a temporary file was left behind";
    }
    EXPECT_TRUE(writePrivateProfileString("S", "k", "2", "p.ini"));
    EXPECT_EQ(getPrivateProfileString("S", "k", "", "p.ini"), "2");
}

TEST_F(ProfileFileTest, KilledWriterLeavesTheOldFileAndLaterWritesStillWork)
{
    const std::string original = "[S]\nk=1\n";
    temp.write("tvrn2/p.ini", original);
    EXPECT_EQ(test::killedBeforeRename([] { writePrivateProfileString("S", "k", "2", "p.ini"); }), 9);
    EXPECT_EQ(test::TempDir::read(settings / "p.ini"), original);
    EXPECT_EQ(getPrivateProfileString("S", "k", "", "p.ini"), "1");

    test::FaultySysCalls stale(test::FaultySysCalls::Fault::StaleTemporary);
    EXPECT_TRUE(writePrivateProfileString("S", "k", "3", "p.ini"));
    EXPECT_EQ(test::TempDir::read(settings / "p.ini"), "[S]\nk=3\n");
}

TEST_F(ProfileFileTest, SeventyThousandCharacterValueRoundTrips)
{
    const std::string value(70'000, 'v');
    temp.write("tvrn2/p.ini", "[A]\nbefore=1\n[B]\nafter=2\n");
    ASSERT_TRUE(writePrivateProfileString("A", "long", value, "p.ini"));
    EXPECT_EQ(getPrivateProfileString("A", "long", "", "p.ini"), value);
    EXPECT_EQ(getPrivateProfileString("A", "before", "", "p.ini"), "1");
    EXPECT_EQ(getPrivateProfileString("B", "after", "", "p.ini"), "2");
    ASSERT_TRUE(writePrivateProfileString("A", "long", "short", "p.ini"));
    EXPECT_EQ(test::TempDir::read(settings / "p.ini"), "[A]\nbefore=1\nlong=short\n[B]\nafter=2\n");
}

TEST_F(ProfileFileTest, FilesWithAByteOrderMarkKeepTheirEncoding)
{
    // The INI manager's sector list, as it is read at start and written at exit.
    const std::string before = "[__Dont_Touch_Me__]\r\nSectors=0\r\n[Other]\r\nName=Gr\xC3\xBC\xC3\x9F"
                               "e\r\n";
    const std::string after = "[__Dont_Touch_Me__]\r\nSectors=1\r\nSectors_1=a,b,c\r\n[Other]\r\n"
                              "Name=Gr\xC3\xBC\xC3\x9F"
                              "e\r\n";
    const std::pair<const char*, std::function<std::string(const std::string&)>> encodings[] = {
        { "UTF-8 with a byte order mark", [](const std::string& text) { return "\xEF\xBB\xBF" + text; } },
        { "UTF-16LE with a byte order mark",
            [](const std::string& text) { return "\xFF\xFE" + test::iconv(text, "UTF-8", "UTF-16LE"); } },
    };
    for (const auto& [what, encode] : encodings) {
        SCOPED_TRACE(what);
        temp.write("tvrn2/tvrn2.INI", encode(before));
        EXPECT_EQ(getPrivateProfileString("__Dont_Touch_Me__", "Sectors", "-", "tvrn2.INI"), "0");
        EXPECT_EQ(getPrivateProfileString("other", "name", "-", "tvrn2.INI"),
            "Gr\xC3\xBC\xC3\x9F"
            "e");
        ASSERT_TRUE(writePrivateProfileString("__Dont_Touch_Me__", "Sectors", "1", "tvrn2.INI"));
        ASSERT_TRUE(writePrivateProfileString("__Dont_Touch_Me__", "Sectors_1", "a,b,c", "tvrn2.INI"));
        EXPECT_EQ(test::TempDir::read(settings / "tvrn2.INI"), encode(after));
        EXPECT_EQ(getPrivateProfileString("__Dont_Touch_Me__", "Sectors_1", "-", "tvrn2.INI"), "a,b,c");
    }
}

TEST_F(ProfileFileTest, LinkedFileStaysALink)
{
    // A link to a link, the second one relative, into a folder of dotfiles.
    auto target = temp.write("dotfiles/ini/tvrn2.INI", "; mine\n[S]\nk=1\n");
    std::filesystem::create_symlink("ini/tvrn2.INI", temp / "dotfiles/current.INI");
    std::filesystem::create_directories(settings);
    std::filesystem::create_symlink(temp / "dotfiles/current.INI", settings / "tvrn2.INI");

    ASSERT_TRUE(writePrivateProfileString("S", "k", "2", "tvrn2.INI"));
    EXPECT_EQ(getPrivateProfileString("S", "k", "", "tvrn2.INI"), "2");
    EXPECT_TRUE(std::filesystem::is_symlink(settings / "tvrn2.INI"));
    EXPECT_TRUE(std::filesystem::is_symlink(temp / "dotfiles/current.INI"));
    EXPECT_EQ(test::TempDir::read(target), "; mine\n[S]\nk=2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(target.parent_path()), {}), 1);
}

TEST_F(ProfileFileTest, ReadOnlyFileIsNotWritten)
{
    const std::string original = "[S]\nk=1\n";
    auto file = temp.write("tvrn2/p.ini", original);
    std::filesystem::permissions(file, std::filesystem::perms(0444));
    test::CapturedDebugOutput debug;
    errno = 0;
    EXPECT_FALSE(writePrivateProfileString("S", "k", "2", "p.ini"));
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(test::TempDir::read(file), original);
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0444));
    ASSERT_EQ(debug.lines().size(), 1U);
    EXPECT_NE(debug.lines()[0].find("read-only"), std::string::npos) << debug.lines()[0];
}

} // namespace
} // namespace tvrn2
