#include "framework/RegistryReader.h"

#include "platform/MessageBox.h"
#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace tvrn2 {
namespace {

class RegistryReaderTest : public testing::Test {
protected:
    void SetUp() override { reader.Init(); }
    void TearDown() override { reader.Kill(); }

    void setValue(
        const std::string& keyPath, const std::string& name, std::uint32_t type, const std::string& data)
    {
        HKEY key = 0;
        ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, keyPath, 0, KEY_WRITE, &key, nullptr), ERROR_SUCCESS);
        ASSERT_EQ(regSetValueEx(key, name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                      static_cast<std::uint32_t>(data.size())),
            ERROR_SUCCESS);
        regCloseKey(key);
    }
    void setText(const std::string& keyPath, const std::string& name, const std::string& text)
    {
        setValue(keyPath, name, 1, text + std::string(1, '\0'));
    }

    test::TempDir dir;
    test::ScopedEnv config { "XDG_CONFIG_HOME", dir.path().string() };
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installedBoxes { boxes };
    RegistryReader reader;
};

TEST_F(RegistryReaderTest, FindsTheValueIgnoringCaseAndTrailingBlanks)
{
    setText("Software\\Tool", "Other", "not this");
    setText("Software\\Tool", "Download Directory", "/home/u/Downloads   ");
    setText("Software\\Tool", "Long", std::string(300, 'x'));

    const std::pair<std::string, std::string> cases[] = {
        { "download directory", "/home/u/Downloads" },
        { "DOWNLOAD DIRECTORY  ", "/home/u/Downloads" },
        { "Long", std::string(255, 'x') },
        { "Missing", "" },
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(reader.GetStringValue(HKEY_CURRENT_USER, "software\\tool\\", name), expected) << name;
    ASSERT_NE(reader.valueNames(), nullptr);
    EXPECT_EQ(*reader.valueNames(), (std::vector<std::string> { "Other", "Download Directory", "Long" }));
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(RegistryReaderTest, LargeValueDoesNotHideTheOnesAfterIt)
{
    setValue("Software\\Tool", "Blob", 3, std::string(10000, '\x7f'));
    setText("Software\\Tool", "Wanted", "found");
    EXPECT_EQ(reader.GetStringValue(HKEY_CURRENT_USER, "Software\\Tool", "Wanted"), "found");
}

TEST_F(RegistryReaderTest, MissingKeyIsSilentOnlyInQuietMode)
{
    reader.QUIETMODE = 1;
    EXPECT_EQ(reader.GetStringValue(HKEY_CURRENT_USER, "Software\\Nowhere", "Value"), "");
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(reader.LASTOP.clipped(), "opening");
    EXPECT_EQ(reader.LASTKEYNAME.clipped(), "Software\\Nowhere");
    EXPECT_EQ(reader.LASTERROR.clipped(), "2");

    reader.QUIETMODE = 0;
    EXPECT_EQ(reader.GetStringValue(HKEY_CURRENT_USER, "Software\\Nowhere", "Value"), "");
    ASSERT_EQ(boxes.shown().size(), 1U);
    EXPECT_EQ(boxes.shown()[0].caption, "Error");
    EXPECT_EQ(boxes.shown()[0].text, "Error opening Software\\Nowhere: 2");
}

} // namespace
} // namespace tvrn2
