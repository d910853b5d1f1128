#include "browser_host/FeMaster.h"

#include "browser_host/FeProcess.h"
#include "platform/OsVersion.h"
#include "platform/WaitCursor.h"
#include "tests/browser_host/MasterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sys/utsname.h>

namespace tvrn2 {
namespace {

using test::CapturedDebugOutput;
using test::ScopedCommandLine;
using test::ScriptedMaster;

std::string line(std::string_view text)
{
    return std::string(text) + "\r\n";
}

// The running kernel's version text as the master must give it, worked out
// here from uname's own release text: the code "0000", then its first three
// numbers, each with zeros in front to four digits (a longer one keeps its
// first four). Empty when uname fails.
std::string kernelVersionText()
{
    utsname name {};
    if (::uname(&name) != 0)
        return {};
    unsigned long numbers[3] = { 0, 0, 0 };
    std::sscanf(name.release, "%lu.%lu.%lu", &numbers[0], &numbers[1], &numbers[2]);
    std::string text = "0000";
    for (unsigned long number : numbers) {
        char digits[32];
        std::snprintf(digits, sizeof digits, "%04lu", number);
        text += "." + std::string(digits).substr(0, 4);
    }
    return text;
}

TEST(FeBaseTrace, FormatsOrSuppressesLines)
{
    const std::string longMessage = std::string(1005, 'a') + std::string(495, 'b');
    struct Case {
        const char* name;
        std::uint8_t debugging;
        std::int32_t own;
        std::string message;
        std::int32_t number;
        std::uint8_t raw, force, useOwn;
        std::vector<std::string> expected;
    } cases[] = {
        { "silent at level 0", 0, 3, "hidden", 0, 0, 0, 1, {} },
        { "forced at level 0", 0, 3, "shown", 0, 0, 1, 1, { line("FE [3] : shown") } },
        { "own number", 1, 3, "FeMaster::Kill", 9, 0, 0, 1, { line("FE [3] : FeMaster::Kill") } },
        { "number given", 2, 3, "msg", 9, 0, 0, 0, { line("FE [9] : msg") } },
        { "number 0", 1, 3, "msg", 0, 0, 0, 0, { line("FE [?] : msg") } },
        { "unnumbered object", 1, 0, "msg", 5, 0, 0, 1, { line("FE [?] : msg") } },
        { "raw", 1, 3, "as is  ", 0, 1, 0, 1, { line("as is") } },
        { "trailing blanks", 1, 3, "text   ", 0, 0, 0, 1, { line("FE [3] : text") } },
        { "long message cut", 1, 1, longMessage, 0, 0, 0, 1,
            { line("FE [1] : " + longMessage.substr(0, 1010)) } },
        { "long message, four-digit number", 1, 1000, longMessage, 0, 0, 0, 1,
            { line("FE [1000] : " + longMessage.substr(0, 1010)) } },
        { "negative number", 1, 0, longMessage, -2147483647 - 1, 0, 0, 0,
            { line("FE [-2147483648] : " + longMessage.substr(0, 1010)) } },
    };
    for (const auto& c : cases) {
        FeBase object;
        object.DEBUGGING = c.debugging;
        object.CLASSINSTANCENUMBER = c.own;
        CapturedDebugOutput output;
        object.Trace(c.message, c.number, c.raw, c.force, c.useOwn);
        EXPECT_EQ(output.lines(), c.expected) << c.name;
    }
}

class FeMasterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(FeMaster::instanceCounter(), 0) << "an earlier test left objects alive";
    }
};

TEST_F(FeMasterTest, InitWithoutSwitchEmitsOnlyTheDebugLevelLine)
{
    ScopedCommandLine command({});
    FeMaster master;
    CapturedDebugOutput output;
    master.Init();
    // The level is reported before the object has its number.
    EXPECT_EQ(output.lines(), std::vector<std::string> { line("FE [?] : FeDebug : Debugging turned off") });
    EXPECT_EQ(master.CLASSINSTANCENUMBER, 1);
    master.Kill();
}

TEST_F(FeMasterTest, DebugSwitchesTakePrecedenceInTheirOrder)
{
    struct Case {
        std::vector<const char*> switches;
        std::uint8_t preset;
        std::uint8_t level;
        const char* report;
    } cases[] = {
        { { "/fedebugmax", "/fedebugoff" }, 2, 0, "FeDebug : Debugging turned off" },
        { { "/fedebugmax", "/fedebugmin" }, 0, 1, "FeDebug : Debugging set to level 1 - \"minimum\"" },
        { { "/fedebugmax" }, 0, 2, "FeDebug : Debugging set to level 2 - \"maximum\"" },
        { { "/FeDebugMax" }, 0, 2, "FeDebug : Debugging set to level 2 - \"maximum\"" },
        { { "/other" }, 2, 2, "FeDebug : Debugging set to level 2 - \"maximum\"" },
        { {}, 7, 7, nullptr },
    };
    for (const auto& c : cases) {
        ScopedCommandLine command(c.switches);
        FeMaster master;
        master.DEBUGGING = c.preset;
        CapturedDebugOutput output;
        master.FeDebug();
        EXPECT_EQ(master.DEBUGGING, c.level) << (c.switches.empty() ? "" : c.switches.front());
        std::vector<std::string> expected;
        if (c.report)
            expected.push_back(line(std::string("FE [?] : ") + c.report));
        EXPECT_EQ(output.lines(), expected);
    }
}

TEST_F(FeMasterTest, InstanceNumbersWrapAfterAThousandAndRepeatAfterKill)
{
    ScopedCommandLine command({});
    CapturedDebugOutput quiet;
    std::vector<std::unique_ptr<FeMaster>> objects(1001);
    for (auto& object : objects) {
        object = std::make_unique<FeMaster>();
        object->Init();
    }
    EXPECT_EQ(objects[0]->CLASSINSTANCENUMBER, 1);
    EXPECT_EQ(objects[999]->CLASSINSTANCENUMBER, 1000);
    EXPECT_EQ(objects[1000]->CLASSINSTANCENUMBER, 1);

    for (auto& object : objects)
        object->Kill();
    EXPECT_EQ(FeMaster::instanceCounter(), 0);

    FeMaster first, second, third;
    first.Init();
    second.Init();
    second.Kill();
    third.Init();
    EXPECT_EQ(first.CLASSINSTANCENUMBER, 1);
    EXPECT_EQ(third.CLASSINSTANCENUMBER, 2);
    EXPECT_EQ(second.CLASSINSTANCENUMBER, 2) << "Kill keeps the number";
    first.Kill();
    third.Kill();
}

TEST_F(FeMasterTest, SecondInitIsRefusedAndKillCountsOnlyOnce)
{
    ScopedCommandLine command({});
    FeMaster master, other;
    master.DEBUGGING = 1;
    {
        CapturedDebugOutput quiet;
        master.Init();
    }
    CapturedDebugOutput output;
    master.Init();
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> { line("FE [1] : FeDebug : Debugging set to level 1 - \"minimum\""),
            line("FE [1] : FeMaster::Init - self.init already called for object 1, aborting method...") }));
    EXPECT_EQ(FeMaster::instanceCounter(), 1);

    // Neither a Kill without Init nor a repeated Kill may take another
    // object's place in the count.
    other.Kill();
    EXPECT_EQ(FeMaster::instanceCounter(), 1);
    master.Kill();
    master.Kill();
    EXPECT_EQ(FeMaster::instanceCounter(), 0);
}

TEST_F(FeMasterTest, LogFileFollowsTheTemporaryFolderSetting)
{
    ScopedCommandLine command({});
    CapturedDebugOutput quiet;
    const auto here = std::filesystem::current_path().string();
    const std::string longFolder = "/tmp/" + std::string(130, 'x') + "/";
    struct Case {
        std::uint8_t location;
        std::string tmpdir;
        std::string logFile;
        std::string tempDir;
        std::uint32_t length;
    } cases[] = {
        { 0, "/tmp/Mixed/", here + "/fe_log.txt", "", 0 },
        { 1, "/tmp/Mixed/Case", "/tmp/Mixed/Case/fe_log.txt", "/tmp/Mixed/Case/", 16 },
        { 1, longFolder, here + "/fe_log.txt", "", 0 },
        { 2, "/tmp/Mixed/", "preset", "", 0 },
    };
    for (const auto& c : cases) {
        test::ScopedEnv tmpdir("TMPDIR", c.tmpdir);
        FeMaster master;
        master.TEMPDIRLOCATION = c.location;
        master.LOGFILENAME = "preset";
        master.Init();
        EXPECT_EQ(master.LOGFILENAME.clipped(), c.logFile) << c.tmpdir;
        EXPECT_EQ(master.WINDOWSTEMPDIR.clipped(), c.tempDir) << c.tmpdir;
        EXPECT_EQ(master.TEMPULONG, c.length) << c.tmpdir;
        master.Kill();
    }
}

TEST_F(FeMasterTest, KillHangsUpOnlyWhenAskedAndOnline)
{
    using Actions = std::vector<std::pair<std::uint8_t, std::string>>;
    const std::string kill = "FE [1] : FeMaster::Kill";
    struct Case {
        std::uint8_t disconnect, online, dial;
        int queries;
        Actions actions;
        std::vector<std::string> lines;
    } cases[] = {
        { 0, 1, 1, 0, {}, { line(kill) } },
        { 1, 0, 1, 1, {},
            { line(kill), line(kill + " - !Checking online status..."),
                line(kill + " - Not connected via modem.") } },
        { 1, 1, 1, 1, { { 3, "" } },
            { line(kill), line(kill + " - !Checking online status..."),
                line(kill + " - Closing modem connection..."),
                line(kill + " - Closing modem connection... - RetVar = 43") } },
        { 1, 1, 2, 1, { { 4, "" } },
            { line(kill), line(kill + " - !Checking online status..."),
                line(kill + " - Closing modem connection..."),
                line(kill + " - Closing modem connection... - RetVar = 44") } },
        { 1, 1, 0, 1, { { 3, "" }, { 4, "" } },
            { line(kill), line(kill + " - !Checking online status..."),
                line(kill + " - Closing modem connection..."),
                line(kill + " - Closing modem connection... - RetVar = 44") } },
    };
    ScopedCommandLine command({});
    for (const auto& c : cases) {
        ScriptedMaster master;
        master.DEBUGGING = 1;
        master.AUTODISCONNECTDEFAULTINTERNETCONNECTION = c.disconnect;
        master.AUTODIALDEFAULTINTERNETCONNECTION = c.dial;
        master.online = c.online;
        {
            CapturedDebugOutput quiet;
            master.Init();
        }
        CapturedDebugOutput output;
        master.Kill();
        EXPECT_EQ(master.onlineQueries, c.queries);
        EXPECT_EQ(master.actions, c.actions);
        EXPECT_EQ(output.lines(), c.lines);
    }
}

TEST_F(FeMasterTest, OcxVersionAnswersPerObjectTypeUnderTheWaitCursor)
{
    const ScriptedMaster::Key reader4 { "HKEY_LOCAL_MACHINE",
        "Software\\Adobe\\Acrobat Reader\\4.0\\AdobeViewer", "EULA" };
    const ScriptedMaster::Key reader5 { "HKEY_LOCAL_MACHINE",
        "Software\\Adobe\\Acrobat Reader\\5.0\\AdobeViewer", "EULA" };
    const ScriptedMaster::Key viewer { "HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Internet Explorer",
        "Version" };
    struct Case {
        const char* type;
        std::map<ScriptedMaster::Key, std::string> registry;
        std::string result;
        std::uint8_t pdf4, pdf5;
    } cases[] = {
        { "pdf", { { reader4, "1" } }, "Acrobat 4", 1, 0 },
        { "pdf", { { reader4, "1" }, { reader5, "1" } }, "Acrobat 5", 1, 1 },
        { "pdf", { { reader4, "0" }, { reader5, "x" } }, "Acrobat 5", 0, 1 },
        { "pdf", {}, "Not found", 0, 0 },
        { "flash", {}, "Not found", 0, 0 },
        { "html1", { { viewer, "6.0.2900" } }, "6.0.2900", 0, 0 },
        { "html1", {}, "Not found", 0, 0 },
        { "media", {}, "Unsupported Object Type", 9, 9 },
    };
    for (const auto& c : cases) {
        ScriptedMaster master;
        master.registry = c.registry;
        master.PDF4SUPPORTED = master.PDF5SUPPORTED = 9;
        master.OBJECTTYPE = c.type;
        EXPECT_EQ(master.OcxVersion(), c.result) << c.type;
        EXPECT_EQ(master.PDFVERSION.clipped(), c.result) << c.type;
        EXPECT_EQ(master.PDF4SUPPORTED, c.pdf4) << c.type;
        EXPECT_EQ(master.PDF5SUPPORTED, c.pdf5) << c.type;
    }

    class CursorWatchingMaster : public FeMaster {
    public:
        std::string GetRegistryValue(std::string_view, std::string_view, std::string_view) override
        {
            cursorShown = WaitCursor::shown();
            return "1";
        }
        bool cursorShown { false };
    } watched;
    watched.OBJECTTYPE = "pdf";
    EXPECT_EQ(watched.OcxVersion(), "Acrobat 5");
    EXPECT_TRUE(watched.cursorShown);
    EXPECT_FALSE(WaitCursor::shown());
}

TEST_F(FeMasterTest, OcxVersionForRestoresTheObjectType)
{
    FeMaster master;
    master.OBJECTTYPE = "html3";
    EXPECT_EQ(master.OcxVersionFor("xyz"), "Unsupported Object Type");
    EXPECT_EQ(master.OBJECTTYPE.clipped(), "html3");
    EXPECT_EQ(master.OcxVersionFor("windows"), kernelVersionText());
    EXPECT_EQ(master.OBJECTTYPE.clipped(), "html3");
}

TEST(FeMasterVersion, CodesAndDigitsOfTheVersionText)
{
    struct Case {
        OsVersion version;
        const char* productType;
        const char* expected;
    } cases[] = {
        { { 0, 3, 10, 0 }, "", "  31.0003.0010.0000" },
        { { 1, 4, 0, 950 }, "", "  95.0004.0000.0950" },
        { { 1, 4, 10, 1998 }, "", "  98.0004.0010.1998" },
        { { 1, 4, 90, 3000 }, "", "  ME.0004.0090.3000" },
        { { 1, 4, 20, 0 }, "", "    .0004.0020.0000" },
        { { 2, 4, 0, 1381 }, "winnt", " NTW.0004.0000.1381" },
        { { 2, 4, 0, 1381 }, "LanmanNT", " NTS.0004.0000.1381" },
        { { 2, 5, 1, 2600 }, " WinNT ", "W2KP.0005.0001.2600" },
        { { 2, 5, 0, 2195 }, "ServerNT", "W2KS.0005.0000.2195" },
        { { 2, 5, 0, 2195 }, "", "W2KS.0005.0000.2195" },
        { { 2, 6, 0, 6000 }, "WINNT", "    .0006.0000.6000" },
        { { OsVersion::linuxPlatformId, 6, 1, 123456 }, "", "0000.0006.0001.1234" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(FeMaster::osVersionText(c.version, c.productType), c.expected) << c.expected;
}

TEST(FeMasterVersion, RunningSystemAnswersAsOtherWithoutReadingTheRegistry)
{
    ScriptedMaster master;
    const std::string expected = kernelVersionText();
    ASSERT_FALSE(expected.empty()) << "uname failed";
    EXPECT_EQ(master.GetOSVersion(), expected);
    EXPECT_TRUE(master.registryReads.empty());

    EXPECT_EQ(master.GetVersion(1), "62");
    EXPECT_EQ(master.GetVersion(2), "3.32 Beta");
    EXPECT_EQ(master.GetVersion(0), "3.32");
    EXPECT_EQ(master.GetVersion(200), "3.32");
}

TEST_F(FeMasterTest, ProcessStartAndEndWriteTheirBannersAndReleaseQuietly)
{
    const std::string stars = " LIB  ****  http://www.okelby-associates.example  ****  ";
    CapturedDebugOutput output;
    ObjectQ().push_back({});
    DunQ().push_back({ "left over", 7 });
    feProcessStart();
    EXPECT_TRUE(ObjectQ().empty());
    EXPECT_TRUE(DunQ().empty());
    EXPECT_EQ(output.lines(),
        (std::vector<std::string> { line("FE [0] : FE Browser Host" + stars + "hello"),
            line("FE [0] : feInit: Version=3.32 Beta; DLL=62") }));

    output.clear();
    feProcessEnd();
    feDispose::Kill();
    EXPECT_EQ(
        output.lines(), std::vector<std::string> { line("FE [0] : FE Browser Host" + stars + "goodbye") });
    EXPECT_EQ(FeMaster::instanceCounter(), 0);
}

} // namespace
} // namespace tvrn2
