#include "browser_host/FeMaster.h"
#include "platform/Dialogs.h"
#include "platform/HeadlessEventLoop.h"
#include "platform/MessageBox.h"
#include "platform/WaitCursor.h"
#include "tests/browser_host/MasterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

namespace tvrn2 {
namespace {

namespace fs = std::filesystem;
using test::CapturedDebugOutput;
using test::ScopedBoxes;
using test::ScopedEnv;
using test::TempDir;

std::string blanks(std::size_t count)
{
    return std::string(count, ' ');
}

TEST(FeMasterColours, ColorToHexWritesRedGreenBlue)
{
    FeMaster master;
    struct Case {
        std::int32_t colour;
        const char* hex;
    } cases[] = {
        { 0x00FF8000, "0080FF" },
        { 255, "FF0000" },
        { 0x00123456, "563412" },
        { 1, "010000" },
        { 0x00FFFFFF, "FFFFFF" },
        { 0x01FF8000, "0080FF" },
        { 0, "000000" },
        { -1, "000000" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(master.ColorToHex(c.colour), c.hex) << c.colour;
}

TEST(FeMasterColours, PickColorAsksTheColourDialog)
{
    ScriptedDialogs scripted;
    ScopedDialogs installed { scripted };
    FeMaster master;
    master.DEBUGGING = 1;
    master.CLASSINSTANCENUMBER = 4;
    CapturedDebugOutput output;

    scripted.answerColour(0x00FF8000);
    EXPECT_EQ(master.PickColor(), "#0080FF");
    scripted.cancelColour();
    EXPECT_EQ(master.PickColor(), "");

    ASSERT_EQ(scripted.colourRequests().size(), 2u);
    EXPECT_EQ(scripted.colourRequests()[0].title, "Choose a Color");
    EXPECT_EQ(scripted.colourRequests()[0].initial, 0);
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> { "FE [4] : FeMaster::PickColor - returning #0080FF\r\n",
            "FE [4] : FeMaster::PickColor - returning\r\n" }));
}

TEST(FeMasterFiles, SaveStringToFileWritesBlankFilledRecords)
{
    TempDir dir;
    FeMaster master;
    const std::string full(4096, 'x');
    const std::string longer = std::string(5000, 'y');
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        { "", blanks(4096) },
        { "abc   ", "abc" + blanks(4093) },
        { full, full + blanks(4096) },
        { longer, longer + blanks(8192 - 5000) },
    };
    for (const auto& c : cases) {
        auto file = dir.write("out.txt", std::string(10000, '#')); // old contents go
        master.SaveStringToFile(file.string(), c.text);
        EXPECT_EQ(TempDir::read(file), c.expected) << c.text.size();
    }

    auto file = dir / "new.txt";
    master.SaveCStringToFile(file.string(), "line\r\n  ");
    EXPECT_EQ(TempDir::read(file), "line\r\n  " + blanks(4096 - 8));
}

TEST(FeMasterFiles, SaveStringToFileReportsFailuresAndLeavesAHeldFileAlone)
{
    TempDir dir;
    FeMaster master;
    ScopedBoxes scoped;

    master.SaveStringToFile((dir / "missing" / "out.txt").string(), "text");
    ASSERT_EQ(scoped.boxes.shown().size(), 2u) << "create and open fail; nothing else is tried";
    for (const auto& box : scoped.boxes.shown())
        EXPECT_EQ(box.text, "Error: Path Not Found");
    EXPECT_FALSE(fs::exists(dir / "missing"));

    scoped.boxes.clear();
    auto held = dir.write("held.txt", "someone else's");
    int holder = ::open(held.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    master.SaveCStringToFile(held.string(), "mine");
    ::close(holder);
    ASSERT_EQ(scoped.boxes.shown().size(), 1u);
    EXPECT_EQ(scoped.boxes.shown()[0].text, "Error: Access Denied");
    EXPECT_EQ(TempDir::read(held), "someone else's");
}

TEST(FeMasterFiles, SaveMimeMessageWritesTheTwoPartMessage)
{
    TempDir dir;
    FeMaster master;
    auto file = dir / "message.eml";
    master.SaveMimeMessage(file.string(), "reply@example.org  ", "me@example.org", "you@example.org",
        "Plain words.", "<p>Marked up.</p>");

    const std::string expected = "Reply-To: reply@example.org\r\n"
                                 "From: me@example.org\r\n"
                                 "To: you@example.org\r\n"
                                 "Date: Fri, 13 Sep 2002 15:16:45 +0200\r\n"
                                 "MIME-Version: 1.0\r\n"
                                 "Content-Type: multipart/alternative; "
                                 "boundary=\"----=_NextPart_000_012C_01C25B38.92DDC9A0\"\r\n"
                                 "X-Priority: 3\r\n"
                                 "X-MSMail-Priority: Normal\r\n"
                                 "X-Mailer: Microsoft Outlook Express 5.50.4807.1700\r\n"
                                 "X-MimeOLE: Produced By Microsoft MimeOLE V5.50.4807.1700\r\n"
                                 "Subject: test\r\n"
                                 "\r\n"
                                 "This is a multi-part message in MIME format.\r\n"
                                 "\r\n"
                                 "------=_NextPart_000_012C_01C25B38.92DDC9A0\r\n"
                                 "Content-Type: text/plain;\r\n"
                                 "        charset=\"Windows-1252\"\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n"
                                 "\r\n"
                                 "Plain words.\r\n"
                                 "\r\n"
                                 "------=_NextPart_000_012C_01C25B38.92DDC9A0\r\n"
                                 "Content-Type: text/html;\r\n"
                                 "        charset=\"Windows-1252\"\r\n"
                                 "Content-Transfer-Encoding: quoted-printable\r\n"
                                 "\r\n"
                                 "\r\n"
                                 "<p>Marked up.</p>\r\n"
                                 "\r\n"
                                 "------=_NextPart_000_012C_01C25B38.92DDC9A0--\r\n";
    EXPECT_EQ(TempDir::read(file), expected + blanks(4096 - expected.size()));

    // Long addresses cost nothing further down the message.
    const std::string many(1500, 'a');
    master.SaveMimeMessage(file.string(), many, many, many, "body", "html");
    auto written = TempDir::read(file);
    EXPECT_NE(written.find("Subject: test\r\n\r\nThis is a multi-part message"), std::string::npos);
    EXPECT_NE(written.find("------=_NextPart_000_012C_01C25B38.92DDC9A0--\r\n"), std::string::npos);
}

TEST(FeMasterPaths, NormalisePathMakesLocalNamesFileAddresses)
{
    const auto here = fs::current_path().string();
    struct Case {
        const char* type;
        std::string path;
        std::string expected;
    } cases[] = {
        { "html3", "!page.htm", "!page.htm" },
        { "html3", "", "" },
        { "html3", "page.htm", "file://" + here + "/page.htm" },
        { "html1", "sub/page.htm", "file://" + here + "/sub/page.htm" },
        { "html2", "page.htm", here + "/page.htm" },
        { "html3", "/srv/web/page.htm", "file:///srv/web/page.htm" },
        { "html3", "C:\\web\\page.htm", "file:///C:\\web\\page.htm" },
        { "html3", "file:///srv/web/page.htm", "file:///srv/web/page.htm" },
        { "html3", "http://example.org/", "http://example.org/" },
        { "html3", "www.example.org", "www.example.org" },
        { "html3", "ftp.example.org", "ftp.example.org" },
        { "media", "/srv/clip.avi", "/srv/clip.avi" },
    };
    for (const auto& c : cases) {
        FeMaster master;
        master.OBJECTTYPE = c.type;
        master.CURRENTPATH = c.path;
        master.NormalisePath();
        EXPECT_EQ(master.CURRENTPATH.clipped(), c.expected) << c.type << " " << c.path;
    }
}

TEST(FeMasterPaths, FileUrlFolderGivesTheFolderOfAFileAddress)
{
    FeMaster master;
    struct Case {
        const char* address;
        const char* folder;
    } cases[] = {
        { "http://example.org/page.htm", "" },
        { "file:///home/u/web/page.htm", "/home/u/web" },
        { "file:///home/u/my%20web/page.htm?x=1#top", "/home/u/my web" },
        { "file://localhost/home/u/page.htm", "/home/u" },
        { "file:///page.htm", "/" },
        { "file:///C:/web/page.htm", "C:\\web" },
        { "file://C:\\web\\sub\\page.htm", "C:\\web\\sub" },
        { "file:///C:page.htm", "" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(master.FileUrlFolder(c.address), c.folder) << c.address;
}

TEST(FeMasterPaths, SetOverrideOcxKeepsOnlyKnownTypes)
{
    FeMaster master;
    for (auto [type, expected] : { std::pair { "html2", "html2" }, { "html3  ", "html3" }, { "html1", "" },
             { "HTML2", "" }, { "", "" } }) {
        master.OVERRIDEOCX = "previous";
        master.SetOverrideOcx(type);
        EXPECT_EQ(master.OVERRIDEOCX.clipped(), expected) << type;
    }
}

class DeleteTempFilesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (auto name : { "a.tmp", "b.tmp", "keep.txt", "sub/c.tmp" })
            dir.write(name, "x");
        master.TEMPDIRLOCATION = 1;
    }
    bool exists(const char* name) const { return fs::exists(dir / name); }
    std::string folder() const { return dir.path().string() + "/"; }

    TempDir dir;
    ScopedEnv tmpdir { "TMPDIR", dir.path().string() };
    FeMaster master;
    ScopedBoxes scoped;
};

TEST_F(DeleteTempFilesTest, CancelAtTheFirstQuestionDeletesNothing)
{
    scoped.boxes.answer(3);
    master.DeleteTempFiles("*.tmp", 1);
    ASSERT_EQ(scoped.boxes.shown().size(), 1u);
    const auto& box = scoped.boxes.shown()[0];
    EXPECT_EQ(box.text, "Delete " + folder() + "a.tmp ?");
    EXPECT_EQ(box.caption, "Confirm");
    EXPECT_EQ(box.customButtons, "&Yes|&No|&Cancel");
    EXPECT_TRUE(exists("a.tmp"));
    EXPECT_TRUE(exists("b.tmp"));
}

TEST_F(DeleteTempFilesTest, AnswersDecideFileByFile)
{
    scoped.boxes.answer(2);
    scoped.boxes.answer(1);
    master.DeleteTempFiles("*.tmp", 1);
    EXPECT_EQ(scoped.boxes.shown().size(), 2u);
    EXPECT_TRUE(exists("a.tmp"));
    EXPECT_FALSE(exists("b.tmp"));
    EXPECT_TRUE(exists("keep.txt"));
    EXPECT_TRUE(exists("sub/c.tmp"));
}

TEST_F(DeleteTempFilesTest, WithoutConfirmationDeletesEveryMatchSilently)
{
    // Folders whose names match are listed too, but a folder is never deleted,
    // not even an empty one.
    fs::create_directories(dir / "cache.tmp");
    fs::create_directories(dir / "sub" / "inner.tmp");
    master.DeleteTempFiles("*.tmp", 0);
    master.DeleteTempFiles("sub/*.tmp", 0);
    EXPECT_TRUE(scoped.boxes.shown().empty());
    EXPECT_FALSE(exists("a.tmp"));
    EXPECT_FALSE(exists("b.tmp"));
    EXPECT_FALSE(exists("sub/c.tmp"));
    EXPECT_TRUE(exists("keep.txt"));
    EXPECT_TRUE(exists("cache.tmp")) << "folders match but are never removed";
    EXPECT_TRUE(exists("sub/inner.tmp")) << "folders match but are never removed";
}

TEST_F(DeleteTempFilesTest, NothingToDeleteOrNoFolder)
{
    master.DeleteTempFiles("*.none", 1);
    ASSERT_EQ(scoped.boxes.shown().size(), 1u);
    EXPECT_EQ(scoped.boxes.shown()[0].text, "No files need to be deleted.");
    EXPECT_EQ(scoped.boxes.shown()[0].caption, "FE Browser Host");

    scoped.boxes.clear();
    master.TEMPDIRLOCATION = 2;
    master.DeleteTempFiles("*", 0);
    EXPECT_TRUE(scoped.boxes.shown().empty());
    EXPECT_TRUE(exists("a.tmp"));
}

TEST(FeMasterWait, WaitsOnTheLoopUnderTheWaitCursor)
{
    HeadlessEventLoop loop;
    ScopedEventLoop installed(loop);
    bool cursorDuringWait = false;
    loop.startTimer(std::chrono::milliseconds(1500), [&] { cursorDuringWait = WaitCursor::shown(); });

    FeMaster master;
    master.Wait(3);
    EXPECT_GE(loop.now(), std::chrono::milliseconds(3000));
    EXPECT_LT(loop.now(), std::chrono::milliseconds(4000));
    EXPECT_TRUE(cursorDuringWait);
    EXPECT_FALSE(WaitCursor::shown());
}

} // namespace
} // namespace tvrn2
