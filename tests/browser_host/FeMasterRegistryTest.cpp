#include "browser_host/FeMaster.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "platform/SystemInfo.h"
#include "tests/browser_host/MasterTestSupport.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

using test::CapturedDebugOutput;
using test::TempDir;

// A registry store of its own in a temporary settings folder, and
// scripted message boxes.
class FeMasterRegistryTest : public ::testing::Test {
protected:
    void store(std::string_view key, std::string_view name, std::uint32_t type, std::string_view bytes)
    {
        HKEY handle = 0;
        std::uint32_t disposition = 0;
        ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, key, 0, KEY_WRITE, &handle, &disposition), ERROR_SUCCESS);
        ASSERT_EQ(regSetValueEx(handle, name, type, reinterpret_cast<const std::uint8_t*>(bytes.data()),
                      static_cast<std::uint32_t>(bytes.size())),
            ERROR_SUCCESS);
        regCloseKey(handle);
    }

    bool keyExists(std::string_view key)
    {
        HKEY handle = 0;
        if (regOpenKeyEx(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS)
            return false;
        regCloseKey(handle);
        return true;
    }

    TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", dir.path().string() };
    test::ScopedBoxes scoped;
    ScriptedMessageBoxes& boxes = scoped.boxes;
    FeMaster master;
};

TEST_F(FeMasterRegistryTest, ValuesReadAsTextByTheirType)
{
    const std::string key = "Software\\Tvrn2 Test";
    const std::string longText(300, 'L');
    struct Case {
        const char* name;
        std::uint32_t type;
        std::string bytes;
        std::string expected;
    } cases[] = {
        { "Text", REG_SZ, std::string("hello  \0", 8), "hello" },
        { "Expandable", REG_EXPAND_SZ, std::string("%HOME%/x\0", 9), "%HOME%/x" },
        { "Several", REG_MULTI_SZ, std::string("a\0b\0\0", 5), std::string("a\0b\0", 4) },
        { "Binary", REG_BINARY, "AB", "AB" },
        { "Dword", REG_DWORD, std::string("\x2C\x01\0\0", 4), "44" },
        { "BigEndian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\x01\x2C", 4), "0" },
        { "Qword", 11, std::string(8, '\1'), "" },
        { "Long", REG_SZ, longText + '\0', longText.substr(0, 255) },
    };
    for (const auto& c : cases)
        store(key, c.name, c.type, c.bytes);
    for (const auto& c : cases)
        EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", key, c.name), c.expected) << c.name;

    EXPECT_EQ(master.GetRegistryValue("  hkey_current_user ", "software\\tvrn2 test\\", "dword"), "44");
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", key, "Missing"), "");
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", "Software\\Nowhere", "Text"), "");
}

TEST_F(FeMasterRegistryTest, AHiveOutsideTheTableReadsBlankAndWritesNothingWithoutAsking)
{
    store("Software\\Tvrn2 Test", "Text", REG_SZ, std::string("x\0", 2));
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_CONFIG", "Software\\Tvrn2 Test", "Text"), "");
    EXPECT_EQ(master.GetRegistryValue("CURRENT_USER", "Software\\Tvrn2 Test", "Text"), "");
    EXPECT_EQ(master.SetRegistryValue("HKEY_NOWHERE", "Software\\Tvrn2 Test", "Text", "y"), 1);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(FeMasterRegistryTest, SetWritesTextIntoAnExistingKey)
{
    store("Software\\Tvrn2 Test", "Other", REG_SZ, std::string("kept\0", 5));
    EXPECT_EQ(master.SetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 Test", "Name", "value   "), 0);
    EXPECT_TRUE(boxes.shown().empty());

    HKEY handle = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Tvrn2 Test", 0, KEY_READ, &handle), ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint8_t data[32] {};
    std::uint32_t size = sizeof data;
    ASSERT_EQ(regQueryValueEx(handle, "Name", &type, data, &size), ERROR_SUCCESS);
    regCloseKey(handle);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(data), size), std::string("value\0", 6));
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 Test", "Other"), "kept");
}

TEST_F(FeMasterRegistryTest, AMissingKeyIsCreatedOnlyWhenTheUserSaysYes)
{
    const std::string question
        = "A key in your windows registry does not exist and needs to be created.  Create key now?";

    boxes.answer(Button::No);
    EXPECT_EQ(master.SetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 New", "Name", "value"), 1);
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].text, question);
    EXPECT_EQ(boxes.shown()[0].caption, "FE Browser Host");
    EXPECT_EQ(boxes.shown()[0].buttons, Button::Yes | Button::No);
    EXPECT_FALSE(keyExists("Software\\Tvrn2 New"));
    EXPECT_FALSE(std::filesystem::exists(registryStorePath()));

    boxes.clear();
    boxes.answer(Button::Yes);
    master.DEBUGGING = 1;
    master.CLASSINSTANCENUMBER = 2;
    CapturedDebugOutput output;
    EXPECT_EQ(master.SetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 New", "Name", "value"), 0);
    EXPECT_EQ(output.lines(),
        std::vector<std::string> {
            "FE [2] : Creating registry key: HKEY_CURRENT_USER\\Software\\Tvrn2 New\\Name\r\n" });
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 New", "Name"), "value");
}

TEST_F(FeMasterRegistryTest, AStoreThatCannotBeWrittenGivesCodeThree)
{
    store("Software\\Tvrn2 Test", "Text", REG_SZ, std::string("old\0", 4));
    auto path = registryStorePath();
    auto damaged = TempDir::read(path) + "this line is not registry text\r\n";
    {
        std::FILE* out = std::fopen(path.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        std::fwrite(damaged.data(), 1, damaged.size(), out);
        std::fclose(out);
    }
    CapturedDebugOutput quiet;
    EXPECT_EQ(master.SetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 Test", "Text", "new"), 3);
    EXPECT_EQ(TempDir::read(path), damaged);
    EXPECT_EQ(master.GetRegistryValue("HKEY_CURRENT_USER", "Software\\Tvrn2 Test", "Text"), "old");
}

TEST_F(FeMasterRegistryTest, PageSetupNamesTheOrientation)
{
    const std::string key = "Software\\Microsoft\\Internet Explorer\\PageSetup";
    store(key, "header", REG_SZ, std::string("&w&bPage &p of &P\0", 18));
    for (auto [stored, expected] :
        { std::pair { "1", "portrait" }, { "2", "landscape" }, { "3", "3" }, { "", "" } }) {
        store(key, "orientation", REG_SZ, std::string(stored) + '\0');
        master.GetIEPageSetup();
        EXPECT_EQ(master.IEPRINTERORIENTATION.clipped(), expected) << stored;
        EXPECT_EQ(master.IEPRINTERHEADER.clipped(), "&w&bPage &p of &P");
        EXPECT_EQ(master.IEPRINTERFOOTER.clipped(), "");
    }
}

} // namespace
} // namespace tvrn2
