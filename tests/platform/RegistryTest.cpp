#include "platform/Registry.h"

#include "platform/TextCase.h"
#include "tests/support/FaultySysCalls.h"
#include "tests/support/Iconv.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace tvrn2 {
namespace {

using namespace std::string_literals;

const auto* bytes(std::string_view text)
{
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

class RegistryTest : public ::testing::Test {
protected:
    test::TempDir temp;
    test::ScopedEnv config { "XDG_CONFIG_HOME", temp.path().string() };
    test::ScopedEnv home { "HOME", (temp / "home").string() };
    std::filesystem::path file = temp / "tvrn2/registry.reg";

    HKEY create(HKEY root, std::string_view path, std::uint32_t access = KEY_ALL_ACCESS)
    {
        HKEY key = 0;
        EXPECT_EQ(regCreateKeyEx(root, path, REG_OPTION_NON_VOLATILE, access, &key, nullptr), ERROR_SUCCESS);
        return key;
    }

    // The whole value or the error code as text, read as the registry reader does.
    static std::string query(HKEY key, std::string_view name, std::uint32_t* type = nullptr)
    {
        std::uint32_t needed = 0;
        if (auto error = regQueryValueEx(key, name, type, nullptr, &needed))
            return "error " + std::to_string(error);
        std::string data(needed, '?');
        if (auto error
            = regQueryValueEx(key, name, type, reinterpret_cast<std::uint8_t*>(data.data()), &needed))
            return "error " + std::to_string(error);
        return data.substr(0, needed);
    }
};

TEST_F(RegistryTest, ValuesOfEveryTypeComeBackFromTheFile)
{
    std::uint32_t disposition = 0;
    HKEY key = 0;
    ASSERT_EQ(
        regCreateKeyEx(HKEY_CURRENT_USER, "Software\\tvrn2\\Test\\", 0, KEY_ALL_ACCESS, &key, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const std::pair<std::uint32_t, std::string> values[] = {
        { REG_SZ, "text \"with\" \\ and ü\0"s },
        { REG_EXPAND_SZ, "%HOME%/Downloads\0"s },
        { REG_BINARY, "\x00\x01\xfe\xff"s },
        { REG_DWORD, "\x2a\x00\x00\x00"s },
        { REG_DWORD_BIG_ENDIAN, "\x00\x00\x00\x2a"s },
        { REG_MULTI_SZ, "one\0two\0\0"s },
    };
    for (const auto& [type, data] : values)
        ASSERT_EQ(
            regSetValueEx(key, "type " + std::to_string(type), type, bytes(data), size(data)), ERROR_SUCCESS);
    ASSERT_EQ(regSetValueEx(key, "", REG_SZ, bytes("default\0"s), 8), ERROR_SUCCESS);
    ASSERT_TRUE(std::filesystem::exists(file));

    // Another program edits the file: the next call reads it afresh.
    std::string text = test::TempDir::read(file);
    text += "[HKEY_CURRENT_USER\\Software\\tvrn2\\Test]\n\"edited\"=\"by hand\"\n";
    temp.write("tvrn2/registry.reg", text);

    for (const auto& [type, data] : values) {
        std::uint32_t readType = 0;
        EXPECT_EQ(query(key, "TYPE " + std::to_string(type), &readType), data) << type;
        EXPECT_EQ(readType, type);
    }
    EXPECT_EQ(query(key, "Edited"), "by hand\0"s);
    EXPECT_EQ(query(key, ""), "default\0"s);
    EXPECT_EQ(regCloseKey(key), ERROR_SUCCESS);

    HKEY again = 0;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "SOFTWARE\\TVRN2\\test", 0, KEY_READ, &again, &disposition),
        ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
    EXPECT_EQ(query(again, "type 1"), "text \"with\" \\ and ü\0"s);
    regCloseKey(again);
}

TEST_F(RegistryTest, EditKeepingSizeAndTimeIsSeen)
{
    const std::string layout
        = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]\n\"v\"=\"%\"\n";
    for (char digit : std::string("1234")) {
        std::string text = layout;
        text.replace(text.find('%'), 1, 1, digit);
        temp.write("tvrn2/registry.reg", text); // in place: same inode, same size
        HKEY key = 0;
        ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\X", 0, KEY_READ, &key), ERROR_SUCCESS);
        EXPECT_EQ(query(key, "v"), std::string(1, digit) + '\0');
        regCloseKey(key);
    }
}

TEST_F(RegistryTest, BufferTooSmallGivesTheSizeNeeded)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Sizes");
    ASSERT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("12345\0"s), 6), ERROR_SUCCESS);
    ASSERT_EQ(regSetValueEx(key, "", REG_SZ, bytes("default\0"s), 8), ERROR_SUCCESS);

    std::uint8_t buffer[16] = {};
    std::uint32_t bufferSize = 5;
    EXPECT_EQ(regQueryValueEx(key, "v", nullptr, buffer, &bufferSize), ERROR_MORE_DATA);
    EXPECT_EQ(bufferSize, 6U);
    bufferSize = 6;
    EXPECT_EQ(regQueryValueEx(key, "v", nullptr, buffer, &bufferSize), ERROR_SUCCESS);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "12345");

    char name[8] = {};
    std::uint32_t nameSize = 1;
    bufferSize = 16;
    EXPECT_EQ(regEnumValue(key, 0, name, &nameSize, nullptr, buffer, &bufferSize), ERROR_MORE_DATA)
        << "no room for the name's NUL";
    nameSize = sizeof name;
    bufferSize = 2;
    EXPECT_EQ(regEnumValue(key, 0, name, &nameSize, nullptr, buffer, &bufferSize), ERROR_MORE_DATA);
    EXPECT_EQ(bufferSize, 6U);

    char text[8] = {};
    std::int32_t textSize = 4;
    EXPECT_EQ(regQueryValue(HKEY_CURRENT_USER, "Software\\Sizes", text, &textSize), ERROR_MORE_DATA);
    EXPECT_EQ(textSize, 8);
    textSize = sizeof text;
    EXPECT_EQ(regQueryValue(HKEY_CURRENT_USER, "Software\\Sizes\\", text, &textSize), ERROR_SUCCESS);
    EXPECT_STREQ(text, "default");
    regCloseKey(key);
}

TEST_F(RegistryTest, EnumerationKeepsOrderAndEndsWithNoMoreItems)
{
    HKEY key = create(HKEY_LOCAL_MACHINE, "Software\\Order");
    for (std::string_view name : { "c", "a", "B" })
        ASSERT_EQ(regSetValueEx(key, name, REG_SZ, bytes("1\0"s), 2), ERROR_SUCCESS);
    ASSERT_EQ(regSetValueEx(key, "A", REG_DWORD, bytes("\x07\0\0\0"s), 4), ERROR_SUCCESS) << "replaces a";

    std::vector<std::string> names;
    std::uint32_t type = 0;
    for (std::uint32_t index = 0;; ++index) {
        char name[32];
        std::uint32_t nameSize = sizeof name;
        std::int32_t result = regEnumValue(key, index, name, &nameSize, &type, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(nameSize, std::strlen(name));
        names.emplace_back(name);
        ASSERT_LT(index, 10U);
    }
    EXPECT_EQ(names, (std::vector<std::string> { "c", "a", "B" }));
    EXPECT_EQ(query(key, "b"), "1\0"s);
    EXPECT_EQ(query(key, "A", &type), "\x07\0\0\0"s);
    EXPECT_EQ(type, REG_DWORD);
    regCloseKey(key);
}

TEST_F(RegistryTest, ErrorCodes)
{
    HKEY key = 0;
    EXPECT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Missing", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(regOpenKeyEx(0x1234, "", 0, KEY_READ, &key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "a\\\\b", 0, KEY_READ, &key), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(regCloseKey(0x1234), ERROR_INVALID_HANDLE);

    HKEY writable = create(HKEY_CURRENT_USER, "Software\\Errors");
    EXPECT_EQ(query(writable, "missing"), "error 2");
    ASSERT_EQ(regCloseKey(writable), ERROR_SUCCESS);
    EXPECT_EQ(query(writable, "missing"), "error 6") << "a closed handle";
    EXPECT_EQ(regSetValueEx(writable, "x", REG_SZ, bytes("1\0"s), 2), ERROR_INVALID_HANDLE);

    HKEY readOnly = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Errors\\", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(regSetValueEx(readOnly, "x", REG_SZ, bytes("1\0"s), 2), ERROR_ACCESS_DENIED);
    HKEY child = 0;
    EXPECT_EQ(regCreateKeyEx(readOnly, "Child", 0, KEY_ALL_ACCESS, &child, nullptr), ERROR_ACCESS_DENIED);
    HKEY noQuery = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Errors", 0, KEY_SET_VALUE, &noQuery), ERROR_SUCCESS);
    EXPECT_EQ(query(noQuery, "x"), "error 5");
    regCloseKey(readOnly);
    regCloseKey(noQuery);

    EXPECT_EQ(hiveFromName(" hkey_current_user "), HKEY_CURRENT_USER);
    EXPECT_EQ(hiveFromName("HKEY_USERS"), HKEY_USERS);
    EXPECT_EQ(hiveFromName("HKEY_NOWHERE"), 0U);
}

TEST_F(RegistryTest, DamagedFileIsReportedOnceAndNeverOverwritten)
{
    const std::string damaged = "Windows Registry Editor Version 5.00\n\n"
                                "[HKEY_CURRENT_USER\\Software\\Kept]\n"
                                "\"good\"=\"still read\"\n"
                                "\"bad\"=dword:nonsense\n";
    temp.write("tvrn2/registry.reg", damaged);
    test::CapturedDebugOutput debug;

    HKEY key = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Kept", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(query(key, "good"), "still read\0"s);
    EXPECT_EQ(regSetValueEx(key, "new", REG_SZ, bytes("x\0"s), 2), ERROR_BADDB);
    HKEY created = 0;
    EXPECT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "Software\\New", 0, KEY_ALL_ACCESS, &created, nullptr),
        ERROR_BADDB);
    EXPECT_EQ(test::TempDir::read(file), damaged);
    ASSERT_EQ(debug.lines().size(), 1U);
    EXPECT_NE(debug.lines()[0].find("line 5"), std::string::npos) << debug.lines()[0];

    // Once repaired, the store is written again.
    temp.write("tvrn2/registry.reg",
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Kept]\n");
    EXPECT_EQ(regSetValueEx(key, "new", REG_SZ, bytes("x\0"s), 2), ERROR_SUCCESS);
    EXPECT_EQ(query(key, "new"), "x\0"s);
    EXPECT_EQ(debug.lines().size(), 1U);
    regCloseKey(key);
}

TEST_F(RegistryTest, FailedWriteLeavesTheOldFile)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Faults");
    ASSERT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("old\0"s), 4), ERROR_SUCCESS);
    const std::string before = test::TempDir::read(file);
    const std::pair<test::FaultySysCalls::Fault, std::int32_t> faults[] = {
        { test::FaultySysCalls::Fault::DiskFull, ERROR_DISK_FULL },
        { test::FaultySysCalls::Fault::RenameFails, ERROR_REGISTRY_IO_FAILED },
    };
    for (auto [fault, expected] : faults) {
        {
            test::FaultySysCalls faulty(fault);
            EXPECT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("new value\0"s), 10), expected);
        }
        EXPECT_EQ(test::TempDir::read(file), before);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
        EXPECT_EQ(query(key, "v"), "old\0"s) << "the store answers what the file holds";
    }
    regCloseKey(key);
}

TEST_F(RegistryTest, KilledWriterLeavesTheOldFileAndLaterWritesStillWork)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Faults");
    ASSERT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("old\0"s), 4), ERROR_SUCCESS);
    const std::string before = test::TempDir::read(file);

    EXPECT_EQ(
        test::killedBeforeRename([&] { regSetValueEx(key, "v", REG_SZ, bytes("new value\0"s), 10); }), 9);
    EXPECT_EQ(test::TempDir::read(file), before);
    EXPECT_EQ(query(key, "v"), "old\0"s);

    // The dead writer's temporary file stays; a temporary name that is
    // already taken (the next process got the same number) is passed over.
    {
        test::FaultySysCalls stale(test::FaultySysCalls::Fault::StaleTemporary);
        EXPECT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("after\0"s), 6), ERROR_SUCCESS);
    }
    EXPECT_EQ(query(key, "v"), "after\0"s);
    std::vector<std::string> leftovers;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        if (entry.path() != file)
            leftovers.push_back(test::TempDir::read(entry.path()));
    }
    ASSERT_EQ(leftovers.size(), 2U) << "the killed writer's file and the stale one";
    EXPECT_EQ(std::count(leftovers.begin(), leftovers.end(), "half"), 1);
    EXPECT_EQ(std::count_if(leftovers.begin(), leftovers.end(),
                  [](const std::string& text) { return text.find("\"new value\"") != std::string::npos; }),
        1);
    regCloseKey(key);
}

TEST_F(RegistryTest, MegabyteValuesGoThroughTheFileWhole)
{
    HKEY key = create(HKEY_CURRENT_USER, "Software\\Large");
    std::string binary(1 << 20, '\0');
    for (std::size_t n = 0; n < binary.size(); ++n)
        binary[n] = static_cast<char>((n * 131 + n / 7) & 0xFF);
    std::string text(1 << 20, 'x');
    text += '\0';
    ASSERT_EQ(regSetValueEx(key, "blob", REG_BINARY, bytes(binary), binary.size()), ERROR_SUCCESS);
    ASSERT_EQ(regSetValueEx(key, "text", REG_SZ, bytes(text), text.size()), ERROR_SUCCESS);
    regCloseKey(key);

    // The file rewritten in place makes the store read it again from scratch.
    temp.write("tvrn2/registry.reg", test::TempDir::read(file));
    key = create(HKEY_CURRENT_USER, "Software\\Large", KEY_READ);
    std::uint32_t type = 0;
    EXPECT_EQ(query(key, "blob", &type), binary);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(query(key, "text", &type), text);
    EXPECT_EQ(type, REG_SZ);

    // A buffer one byte short is refused with the size needed, and untouched beyond it.
    std::string small(text.size() - 1, '?');
    std::uint32_t size = static_cast<std::uint32_t>(small.size());
    EXPECT_EQ(regQueryValueEx(key, "text", nullptr, reinterpret_cast<std::uint8_t*>(small.data()), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, text.size());
    regCloseKey(key);
}

TEST_F(RegistryTest, DownloadDirectoryIsAnsweredLiveUntilStored)
{
    // What the registry reader does: open the key, walk its values.
    auto readDownloadDirectory = [] {
        HKEY key = 0;
        if (regOpenKeyEx(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\", 0, KEY_READ, &key))
            return std::string("not opened");
        std::string found = "not found";
        char name[256];
        std::uint8_t data[4096];
        for (std::uint32_t index = 0;; ++index) {
            std::uint32_t nameSize = sizeof name;
            std::uint32_t dataSize = sizeof data;
            if (regEnumValue(key, index, name, &nameSize, nullptr, data, &dataSize) != ERROR_SUCCESS)
                break;
            if (toUpperAscii(name) == "DOWNLOAD DIRECTORY")
                found.assign(reinterpret_cast<char*>(data), dataSize);
        }
        regCloseKey(key);
        return found;
    };
    EXPECT_EQ(readDownloadDirectory(), (temp / "home/Downloads").string() + '\0');

    temp.write("user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"" + (temp / "Fetched").string() + "\"\n");
    EXPECT_EQ(readDownloadDirectory(), (temp / "Fetched").string() + '\0');

    HKEY key = create(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer");
    ASSERT_EQ(regSetValueEx(key, "download directory", REG_SZ, bytes("/stored\0"s), 8), ERROR_SUCCESS);
    regCloseKey(key);
    EXPECT_EQ(readDownloadDirectory(), "/stored\0"s);
}

// As the registry editor exports: UTF-16LE with a byte order mark, CR LF.
TEST_F(RegistryTest, StoreInUtf16IsReadAndWrittenBackInUtf16)
{
    const std::string before = "Windows Registry Editor Version 5.00\r\n"
                               "\r\n"
                               "; exported by hand\r\n"
                               "[hkey_current_user\\Control Panel\\Desktop]\r\n"
                               "\"DragFullWindows\"=\"1\"\r\n"
                               "\"Gr\xC3\xBC\xC3\x9F"
                               "e\"=\"\xE2\x82\xAC \\\"x\\\"\"\r\n"
                               "\"Path\"=hex(2):00,d8,41,00,00,00\r\n"
                               "\r\n";
    const std::string after = "Windows Registry Editor Version 5.00\r\n"
                              "\r\n"
                              "; exported by hand\r\n"
                              "[hkey_current_user\\Control Panel\\Desktop]\r\n"
                              "\"DragFullWindows\"=\"0\"\r\n"
                              "\"Gr\xC3\xBC\xC3\x9F"
                              "e\"=\"\xE2\x82\xAC \\\"x\\\"\"\r\n"
                              "\"Path\"=hex(2):00,d8,41,00,00,00\r\n"
                              "\"Added\"=\"neu\"\r\n"
                              "\r\n";
    const std::string utf16 = test::iconv(before, "UTF-8", "UTF-16LE");
    ASSERT_FALSE(utf16.empty());
    temp.write("tvrn2/registry.reg", "\xFF\xFE" + utf16);
    test::CapturedDebugOutput debug;

    HKEY key = 0;
    ASSERT_EQ(
        regOpenKeyEx(HKEY_CURRENT_USER, "control panel\\desktop", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(query(key,
                  "GR\xC3\xBC\xC3\x9F"
                  "E"),
        "\xE2\x82\xAC \"x\"\0"s);
    EXPECT_EQ(query(key, "dragfullwindows"), "1\0"s);
    ASSERT_EQ(regSetValueEx(key, "DragFullWindows", REG_SZ, bytes("0\0"s), 2), ERROR_SUCCESS);
    ASSERT_EQ(regSetValueEx(key, "Added", REG_SZ, bytes("neu\0"s), 4), ERROR_SUCCESS);
    regCloseKey(key);
    EXPECT_TRUE(debug.lines().empty()) << debug.lines()[0];

    const std::string written = test::TempDir::read(file);
    ASSERT_TRUE(written.starts_with("\xFF\xFE"));
    EXPECT_EQ(test::iconv(written.substr(2), "UTF-16LE", "UTF-8"), after);
    EXPECT_EQ(written, "\xFF\xFE" + test::iconv(after, "UTF-8", "UTF-16LE"));
}

TEST_F(RegistryTest, RewriteKeepsCommentsLineEndingsAndSpelling)
{
    const std::string before = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                               "; hand-made\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Tavrin]\r\n"
                               "\"a\"=\"C:\\Users\\x\"\r\n"
                               "\"b\"=dword:0000000B\r\n"
                               "\r\n";
    temp.write("tvrn2/registry.reg", before);
    HKEY key = create(HKEY_CURRENT_USER, "Software\\tavrin\\");
    EXPECT_EQ(query(key, "a"), "C:\\Users\\x\0"s);
    ASSERT_EQ(regSetValueEx(key, "B", REG_DWORD, bytes("\x0c\0\0\0"s), 4), ERROR_SUCCESS);
    regCloseKey(key);
    EXPECT_EQ(test::TempDir::read(file),
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "; hand-made\r\n"
        "[HKEY_CURRENT_USER\\SOFTWARE\\Tavrin]\r\n"
        "\"a\"=\"C:\\Users\\x\"\r\n"
        "\"b\"=dword:0000000c\r\n"
        "\r\n");
}

TEST_F(RegistryTest, StoreReachedThroughALinkStaysALink)
{
    const std::string before
        = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"1\"\n";
    auto target = temp.write("dotfiles/tvrn2/registry.reg", before);
    std::filesystem::create_directories(file.parent_path());
    std::filesystem::create_symlink("../dotfiles/tvrn2/registry.reg", file);

    HKEY key = create(HKEY_CURRENT_USER, "K");
    ASSERT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("2\0"s), 2), ERROR_SUCCESS);
    EXPECT_EQ(query(key, "v"), "2\0"s);
    regCloseKey(key);
    EXPECT_TRUE(std::filesystem::is_symlink(file));
    EXPECT_EQ(std::filesystem::read_symlink(file), "../dotfiles/tvrn2/registry.reg");
    EXPECT_EQ(test::TempDir::read(target),
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"2\"\n");
    for (const auto& folder : { file.parent_path(), target.parent_path() })
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1) << "left in " << folder;
}

TEST_F(RegistryTest, ReadOnlyStoreIsReportedAndLeftAsItIs)
{
    const std::string before
        = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n\"v\"=\"1\"\n";
    temp.write("tvrn2/registry.reg", before);
    std::filesystem::permissions(file, std::filesystem::perms(0444));
    test::CapturedDebugOutput debug;

    HKEY key = 0;
    ASSERT_EQ(regOpenKeyEx(HKEY_CURRENT_USER, "K", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    EXPECT_EQ(regSetValueEx(key, "v", REG_SZ, bytes("2\0"s), 2), ERROR_ACCESS_DENIED);
    HKEY created = 0;
    EXPECT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, "K\\Sub", 0, KEY_ALL_ACCESS, &created, nullptr),
        ERROR_ACCESS_DENIED);
    EXPECT_EQ(query(key, "v"), "1\0"s);
    regCloseKey(key);
    EXPECT_EQ(test::TempDir::read(file), before);
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0444));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(file.parent_path()), {}), 1);
    ASSERT_FALSE(debug.lines().empty());
    EXPECT_NE(debug.lines()[0].find("read-only"), std::string::npos) << debug.lines()[0];
}

} // namespace
} // namespace tvrn2
