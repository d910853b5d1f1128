#include "framework/IniManager.h"

#include "platform/Profile.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace tvrn2 {
namespace {

class IniManagerTest : public testing::Test {
protected:
    std::filesystem::path iniFile() const { return dir / "tvrn2" / "tvrn2.INI"; }
    void writeIni(const std::string& text) const { dir.write("tvrn2/tvrn2.INI", text); }
    std::string stored(std::string_view key) const
    {
        return getPrivateProfileString(IniManager::reservedSection, key, "<absent>", "tvrn2.INI");
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", dir.path().string() };
    IniManager ini;
};

TEST_F(IniManagerTest, FirstRunCreatesTheFileWithAnEmptySectorList)
{
    ini.Init("tvrn2.INI");
    ASSERT_NE(ini.sectors(), nullptr);
    EXPECT_TRUE(ini.sectors()->empty());
    EXPECT_FALSE(std::filesystem::exists(iniFile()));
    ini.OnClosing();
    ini.Kill();
    EXPECT_TRUE(std::filesystem::exists(iniFile()));
    EXPECT_EQ(stored("Sectors"), "0");
    EXPECT_EQ(ini.sectors(), nullptr);
}

struct LoadCase {
    const char* name;
    std::string file;
    std::vector<std::vector<std::string>> records;
};

TEST_F(IniManagerTest, LoadsTheSectorList)
{
    const std::string unknown = IniManager::unknownValue;
    const LoadCase cases[] = {
        { "fields restart at the beginning", "[__Dont_Touch_Me__]\nSectors=2\nSectors_1=a,b,c\nSectors_2=x\n",
            { { "a", "b", "c" }, { "x", "x", "x" } } },
        { "missing numbered entry", "[__dont_touch_me__]\nsectors = 3\nSECTORS_1=a,b,c\nSectors_2=d,e,f\n",
            { { "a", "b", "c" }, { "d", "e", "f" }, { unknown, unknown, unknown } } },
        { "two fields then a restart", "[__Dont_Touch_Me__]\nSectors=1\nSectors_1=a,b\n",
            { { "a", "b", "a" } } },
        { "empty fields", "[__Dont_Touch_Me__]\nSectors=1\nSectors_1=,b,\n", { { "", "b", "" } } },
        { "count not a number", "[__Dont_Touch_Me__]\nSectors=two\nSectors_1=a,b,c\n", {} },
        { "count with trailing letters", "[__Dont_Touch_Me__]\nSectors=1x\nSectors_1=a,b,c\n", {} },
        { "negative count", "[__Dont_Touch_Me__]\nSectors=-1\nSectors_1=a,b,c\n", {} },
        { "other section only", "[Other]\nSectors=1\nSectors_1=a,b,c\n", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeIni(c.file);
        IniManager manager;
        manager.Init("tvrn2.INI");
        std::vector<std::vector<std::string>> loaded;
        for (const auto& record : *manager.sectors())
            loaded.push_back({ record.FAMILY.raw(), record.ITEM.raw(), record.TYPE.raw() });
        EXPECT_EQ(loaded, c.records);
    }
}

TEST_F(IniManagerTest, KillWritesTheListBackAndLeavesOlderEntries)
{
    writeIni("; "
             "kept\n[__Dont_Touch_Me__]\nSectors=3\nSectors_1=a,b,c\nSectors_2=x\nSectors_4=old\n[App]"
             "\nColour=blue\n");
    ini.Init("tvrn2.INI");
    ASSERT_EQ(ini.sectors()->size(), 3U);
    ini.sectors()->erase(ini.sectors()->begin());
    ini.Kill();

    EXPECT_EQ(stored("Sectors"), "2");
    EXPECT_EQ(stored("Sectors_1"), "x,x,x");
    EXPECT_EQ(stored("Sectors_2"), "---Unknown---,---Unknown---,---Unknown---");
    // Records beyond the new count stay in the file, and so does the rest of it.
    EXPECT_EQ(stored("Sectors_3"), "<absent>");
    EXPECT_EQ(stored("Sectors_4"), "old");
    auto text = test::TempDir::read(iniFile());
    EXPECT_NE(text.find("; kept\n"), std::string::npos);
    EXPECT_EQ(getPrivateProfileString("App", "Colour", "", "tvrn2.INI"), "blue");
}

TEST_F(IniManagerTest, EntriesUseTheLimitsAndTheMainProfile)
{
    ini.Init("tvrn2.INI");
    const std::string longKey(80, 'k');
    ini.WriteEntry("Section   ", longKey, std::string(1500, 'v') + "   ");
    EXPECT_EQ(ini.ReadEntry("Section", longKey.substr(0, IniManager::keyLimit)), std::string(1023, 'v'));
    EXPECT_EQ(ini.ReadEntry("Section", longKey), std::string(1023, 'v'));
    EXPECT_EQ(ini.ReadEntry("Section", "absent"), "");
    EXPECT_EQ(ini.ReadEntryField("Section", "absent", 2), IniManager::unknownValue);

    ini.WriteProfile("Main", "Key", "in win.ini", "");
    EXPECT_EQ(ini.ReadProfile("Main", "Key", "", ""), "in win.ini");
    EXPECT_TRUE(std::filesystem::exists(dir / "tvrn2" / "win.ini"));
    EXPECT_EQ(ini.ReadProfile("Main", "Key", "default", "tvrn2.INI"), "default");
}

TEST_F(IniManagerTest, ACountWithoutItsEntriesLoadsPlaceholdersAndWritesThemBack)
{
    writeIni("[__Dont_Touch_Me__]\nSectors=10\n");
    ini.Init("tvrn2.INI");
    ASSERT_NE(ini.sectors(), nullptr);
    ASSERT_EQ(ini.sectors()->size(), 10U);
    EXPECT_EQ(ini.sectors()->back().TYPE.clipped(), IniManager::unknownValue);
    ini.Kill();
    EXPECT_EQ(stored("Sectors"), "10");
    EXPECT_EQ(stored("Sectors_10"), "---Unknown---,---Unknown---,---Unknown---");
    EXPECT_EQ(stored("Sectors_11"), "<absent>");
}

TEST_F(IniManagerTest, DamagedCountAndHugeValuesStayWithinTheCuts)
{
    // A count far beyond any list loads up to the fixed bound of records,
    // instead of placeholders until memory runs out, and all of them are
    // written back in one go.
    const std::string huge(70'000, 'h');
    writeIni(
        "[__Dont_Touch_Me__]\nSectors=2000000000\nSectors_1=" + huge + ",b,c\nSectors_2=x\n[App]\nKept=1\n");
    ini.Init("tvrn2.INI");
    ASSERT_NE(ini.sectors(), nullptr);
    const auto& list = *ini.sectors();
    ASSERT_EQ(list.size(), 65'535U);
    EXPECT_EQ(list[0].FAMILY.clipped(), std::string(99, 'h')); // the field: a C string of 100 bytes
    EXPECT_EQ(list[0].ITEM.clipped(), std::string(99, 'h')); // no comma within the first 999 characters
    EXPECT_EQ(list[1].TYPE.clipped(), "x");
    EXPECT_EQ(list[4].FAMILY.clipped(), IniManager::unknownValue);

    EXPECT_EQ(
        ini.ReadEntry(IniManager::reservedSection, "Sectors_1"), std::string(IniManager::valueLimit, 'h'));
    EXPECT_EQ(ini.ReadEntryField(IniManager::reservedSection, "Sectors_1", 3),
        std::string(IniManager::fieldValueLimit, 'h'));
    ini.WriteEntry("Big", "value", huge);
    EXPECT_EQ(
        getPrivateProfileString("Big", "value", "", "tvrn2.INI"), std::string(IniManager::valueLimit, 'h'));

    ini.Kill();
    EXPECT_EQ(stored("Sectors"), "65535");
    EXPECT_EQ(stored("Sectors_2"), "x,x,x");
    EXPECT_EQ(stored("Sectors_65535"), "---Unknown---,---Unknown---,---Unknown---");
    EXPECT_EQ(stored("Sectors_65536"), "<absent>");
    EXPECT_EQ(getPrivateProfileString("App", "Kept", "", "tvrn2.INI"), "1");
}

} // namespace
} // namespace tvrn2
