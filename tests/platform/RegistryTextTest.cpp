#include "platform/RegistryText.h"

#include "platform/TextCase.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

using namespace std::string_literals;

std::string binaryRun(std::size_t size)
{
    std::string bytes;
    for (std::size_t i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>(i * 7));
    return bytes;
}

bool operator==(const RegistryValue& a, const RegistryValue& b)
{
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

TEST(RegistryTextTest, EveryTypeSurvivesTheFileFormat)
{
    RegistryDocument document { {
        { "HKEY_CURRENT_USER\\Software\\tvrn2 \"Test\"",
            {
                { "", REG_SZ, "default\0"s },
                { "plain", REG_SZ, "C:\\Path \"quoted\" line\nbreak\ttab Grüße\0"s },
                { "empty", REG_SZ, "\0"s },
                { "no terminator", REG_SZ, "abc"s },
                { "inner nul", REG_SZ, "a\0b\0"s },
                { "expand", REG_EXPAND_SZ, "%HOME%/x ü\0"s },
                // Bytes of another code page than UTF-8 (Latin-1 here) come back unchanged.
                { "latin-1 expand", REG_EXPAND_SZ, "%HOME%/caf\xE9\0"s },
                { "latin-1 after nul", REG_SZ, "a\0\xFF\xFE\xE2\x82\0"s },
                { "latin-1 multi", REG_MULTI_SZ, "M\xFCnchen\0\xED\xA0\x80\0\0"s },
                { "multi", REG_MULTI_SZ, "one\0zwei \xF0\x9F\x98\x80\0\0"s },
                { "binary", REG_BINARY, binaryRun(100) },
                { "no bytes", REG_BINARY, ""s },
                { "dword", REG_DWORD, "\x0a\x00\x00\x80"s },
                { "short dword", REG_DWORD, "\x01\x02"s },
                { "big", REG_DWORD_BIG_ENDIAN, "\x00\x00\x01\x02"s },
                { "none", REG_NONE, "\x05"s },
                { "qword", 11, "\x01\x02\x03\x04\x05\x06\x07\x08"s },
                { "name \\ with \"quotes\" \\n", REG_SZ, "v\0"s },
                { "two lines", REG_SZ, "a\r\nb\0"s },
            } },
        { "HKEY_CLASSES_ROOT", { { "", REG_SZ, "root\0"s } } },
        { "HKEY_USERS\\empty", {} },
    } };
    std::string text = formatRegistryText(document);
    std::vector<RegistryProblem> problems;
    RegistryDocument back = parseRegistryText(text, problems);
    EXPECT_TRUE(problems.empty()) << problems.front().line << ": " << problems.front().reason << "\n" << text;
    ASSERT_EQ(back.keys.size(), document.keys.size()) << text;
    for (std::size_t k = 0; k < document.keys.size(); ++k) {
        EXPECT_EQ(back.keys[k].path, document.keys[k].path);
        ASSERT_EQ(back.keys[k].values.size(), document.keys[k].values.size()) << text;
        for (std::size_t v = 0; v < document.keys[k].values.size(); ++v)
            EXPECT_TRUE(back.keys[k].values[v] == document.keys[k].values[v])
                << document.keys[k].values[v].name;
    }
    for (std::size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1)
        EXPECT_LE(end - at, 80U) << "long lines wrap: " << text.substr(at, end - at);
}

TEST(RegistryTextTest, WritesTheExportLayout)
{
    RegistryDocument document { { { "HKEY_CURRENT_USER\\Control Panel\\Desktop",
        {
            { "DragFullWindows", REG_SZ, "1\0"s },
            { "", REG_SZ, "d\\q\"x\0"s },
            { "n", REG_DWORD, "\x0a\x00\x00\x00"s },
            { "b", REG_BINARY, "\x01\xff"s },
            { "e", REG_EXPAND_SZ, "%A\0"s },
            { "m", REG_MULTI_SZ, "a\0b\0\0"s },
            { "be", REG_DWORD_BIG_ENDIAN, "\x00\x00\x00\x0a"s },
        } } } };
    EXPECT_EQ(formatRegistryText(document),
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
        "\"DragFullWindows\"=\"1\"\n"
        "@=\"d\\\\q\\\"x\"\n"
        "\"n\"=dword:0000000a\n"
        "\"b\"=hex:01,ff\n"
        "\"e\"=hex(2):25,00,41,00,00,00\n"
        "\"m\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"
        "\"be\"=hex(5):00,00,00,0a\n"
        "\n");
}

TEST(RegistryTextTest, ReadsHandWrittenFiles)
{
    std::string text = "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                       "; a comment\r\n"
                       "[hkey_current_user\\Software\\X\\]\r\n"
                       "  \"a\" = \"C:\\Users\\x\"\r\n"
                       "\"w\"=hex:01,02,\\\r\n"
                       "  03,04\r\n"
                       "\"d\"=DWORD:ff\r\n"
                       "[HKEY_CURRENT_USER\\software\\x]\r\n"
                       "\"A\"=\"replaced\"\r\n";
    std::vector<RegistryProblem> problems;
    RegistryDocument document = parseRegistryText(text, problems);
    EXPECT_TRUE(problems.empty());
    ASSERT_EQ(document.keys.size(), 1U);
    EXPECT_EQ(document.keys[0].path, "HKEY_CURRENT_USER\\Software\\X");
    ASSERT_EQ(document.keys[0].values.size(), 3U);
    EXPECT_EQ(document.keys[0].values[0].data, "replaced\0"s);
    EXPECT_EQ(document.keys[0].values[1].data, "\x01\x02\x03\x04"s);
    EXPECT_EQ(document.keys[0].values[2].data, "\xff\x00\x00\x00"s);
}

RegistryValue* valueOf(RegistryDocument& document, std::string_view key, std::string_view name)
{
    for (auto& k : document.keys) {
        if (k.path != key)
            continue;
        for (auto& v : k.values) {
            if (v.name == name)
                return &v;
        }
    }
    return nullptr;
}

// Changes as the store makes them: a value's data replaced, a value added to
// a key the file has, a key of its own added.
void changeSome(RegistryDocument& document)
{
    RegistryValue* drag = valueOf(document, "HKEY_CURRENT_USER\\Control Panel\\Desktop", "DragFullWindows");
    ASSERT_NE(drag, nullptr);
    drag->type = REG_SZ;
    drag->data = "0\0"s;
    drag->changed = true;
    for (auto& key : document.keys) {
        if (key.path == "HKEY_CURRENT_USER\\Control Panel\\Desktop")
            key.values.push_back({ "New", REG_SZ, "x\0"s });
    }
    document.keys.push_back({ "HKEY_CURRENT_USER\\Software\\Added", { { "v", REG_DWORD, "\x01\0\0\0"s } } });
}

TEST(RegistryTextTest, KeysAreFoundInAnyCaseAmongMany)
{
    // More keys than the index is first given room for, and a section that comes back at the end.
    const std::string many = "HKEY_CURRENT_USER\\Software\\Many\\Key";
    std::string text = "Windows Registry Editor Version 5.00\n";
    for (int i = 0; i < 5000; ++i)
        text += "[" + many + std::to_string(i) + "]\n\"v\"=\"" + std::to_string(i) + "\"\n";
    text += "[hkey_current_user\\SOFTWARE\\many\\KEY17]\n\"w\"=\"again\"\n";
    std::vector<RegistryProblem> problems;
    RegistryDocument document = parseRegistryText(text, problems);
    ASSERT_TRUE(problems.empty());
    ASSERT_EQ(document.keys.size(), 5000U);
    for (std::size_t i = 0; i < document.keys.size(); ++i) {
        RegistryKey* key = document.findKey(toUpperAscii(many + std::to_string(i)));
        ASSERT_EQ(key, &document.keys[i]) << i;
        EXPECT_EQ(key->path, many + std::to_string(i));
    }
    EXPECT_EQ(document.keys[17].values.size(), 2U);

    document.addKey("HKEY_CURRENT_USER\\Software\\Other\\Deep\\Deeper");
    EXPECT_EQ(document.findKey("hkey_current_user\\software\\other\\deep\\deeper"), &document.keys.back());
    const std::pair<const char*, bool> held[] = {
        { "HKEY_CURRENT_USER", true },
        { "hkey_current_user\\software\\many", true },
        { "HKEY_CURRENT_USER\\Software\\Many\\Key4999", true },
        { "HKEY_CURRENT_USER\\Software\\Many\\Key5000", false },
        { "HKEY_CURRENT_USER\\Software\\Ma", false },
        { "HKEY_CURRENT_USER\\Software\\Many\\Key1\\Sub", false },
        { "HKEY_CURRENT_USER\\Software\\OTHER\\deep", true },
        { "HKEY_CURRENT_USER\\Software\\Other\\Dee", false },
        { "HKEY_USERS", false },
    };
    for (const auto& [path, holds] : held)
        EXPECT_EQ(document.holdsKey(path), holds) << path;
    EXPECT_EQ(document.findKey("HKEY_CURRENT_USER\\Software\\Many"), nullptr)
        << "above keys, with no section";
    EXPECT_EQ(document.findKey("HKEY_CURRENT_USER\\Software\\Other\\Deep"), nullptr);
}

TEST(RegistryTextTest, RewriteKeepsEveryLineItDoesNotChange)
{
    const struct {
        const char* what;
        std::string before;
        std::string after;
    } cases[] = {
        { "byte order mark, CR LF, comments, a key spelled in lower case, hex(2) that is not UTF-16",
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; kept by hand\r\n"
            "[hkey_current_user\\Control Panel\\Desktop\\]\r\n"
            "\"DragFullWindows\"=\"1\"\r\n"
            "  \"Wallpaper\" = \"C:\\Pictures\\x.bmp\"\r\n"
            "\"Path\"=hex(2):00,d8,41,00,00,00\r\n"
            "\r\n"
            "; the other key\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"n\"=DWORD:A\r\n"
            "\r\n",
            "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
            "\r\n"
            "; kept by hand\r\n"
            "[hkey_current_user\\Control Panel\\Desktop\\]\r\n"
            "\"DragFullWindows\"=\"0\"\r\n"
            "  \"Wallpaper\" = \"C:\\Pictures\\x.bmp\"\r\n"
            "\"Path\"=hex(2):00,d8,41,00,00,00\r\n"
            "\"New\"=\"x\"\r\n"
            "\r\n"
            "; the other key\r\n"
            "[HKEY_CURRENT_USER\\Software\\Other]\r\n"
            "\"n\"=DWORD:A\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Added]\r\n"
            "\"v\"=dword:00000001\r\n"
            "\r\n" },
        { "the key twice, the value in both, a last line without its line break",
            "Windows Registry Editor Version 5.00\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
            "\"DragFullWindows\"=\"2\"\n"
            "[HKEY_CURRENT_USER\\Control Panel\\DESKTOP]\n"
            "\"dragfullwindows\"=hex:31,\\\n"
            "  00",
            "Windows Registry Editor Version 5.00\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
            "\"DragFullWindows\"=\"2\"\n"
            "[HKEY_CURRENT_USER\\Control Panel\\DESKTOP]\n"
            "\"DragFullWindows\"=\"0\"\n"
            "\"New\"=\"x\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Added]\n"
            "\"v\"=dword:00000001\n"
            "\n" },
        { "comments only, no header", "; nothing yet\n",
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "; nothing yet\n"
            "\n"
            "[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"
            "\"DragFullWindows\"=\"0\"\n"
            "\"New\"=\"x\"\n"
            "\n"
            "[HKEY_CURRENT_USER\\Software\\Added]\n"
            "\"v\"=dword:00000001\n"
            "\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<RegistryProblem> problems;
        RegistryDocument document = parseRegistryText(c.before, problems);
        EXPECT_TRUE(problems.empty());
        EXPECT_EQ(formatRegistryText(document), c.before) << "nothing changed, nothing moves";
        if (document.keys.empty())
            document.keys.push_back(
                { "HKEY_CURRENT_USER\\Control Panel\\Desktop", { { "DragFullWindows", REG_SZ, "1\0"s } } });
        changeSome(document);
        EXPECT_EQ(formatRegistryText(document), c.after);
    }
}

TEST(RegistryTextTest, TextsThatAreNotUtf16KeepTheirBytes)
{
    std::vector<RegistryProblem> problems;
    RegistryDocument document = parseRegistryText("Windows Registry Editor Version 5.00\n"
                                                  "[HKEY_CURRENT_USER\\K]\n"
                                                  "\"e\"=hex(2):00,d8,41,00,00,00\n"
                                                  "\"m\"=hex(7):00,dc,00,00,00,00\n",
        problems);
    ASSERT_TRUE(problems.empty());
    ASSERT_EQ(document.keys.size(), 1U);
    // Written anew, the values keep the very bytes they were read from.
    for (auto& value : document.keys[0].values)
        value.changed = true;
    EXPECT_EQ(formatRegistryText(document),
        "Windows Registry Editor Version 5.00\n"
        "[HKEY_CURRENT_USER\\K]\n"
        "\"e\"=hex(2):00,d8,41,00,00,00\n"
        "\"m\"=hex(7):00,dc,00,00,00,00\n");
}

TEST(RegistryTextTest, QuotedTextsEscapeOnlyBackslashAndQuote)
{
    const std::pair<std::string, std::string> read[] = {
        { R"("C:\Users\x")", "C:\\Users\\x" },
        { R"("a\\b")", "a\\b" },
        { R"("say \"hi\"")", "say \"hi\"" },
        { R"("line\nbreak\r")", "line\\nbreak\\r" },
        { R"("end\\")", "end\\" },
        { R"("\t\0")", "\\t\\0" },
    };
    for (const auto& [quotedText, text] : read) {
        std::vector<RegistryProblem> problems;
        RegistryDocument document = parseRegistryText(
            "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n\"v\"=" + quotedText + "\n",
            problems);
        ASSERT_TRUE(problems.empty()) << quotedText;
        ASSERT_EQ(document.keys.size(), 1U);
        ASSERT_EQ(document.keys[0].values.size(), 1U);
        EXPECT_EQ(document.keys[0].values[0].data, text + '\0') << quotedText;
    }
    const std::pair<std::string, std::string> written[] = {
        { "C:\\x \"y\"", R"("v"="C:\\x \"y\"")" },
        // A line break has no quoted form: the text goes as REG_SZ in hex.
        { "a\nb", R"("v"=hex(1):61,00,0a,00,62,00,00,00)" },
    };
    for (const auto& [text, line] : written) {
        RegistryDocument document { { { "HKEY_CURRENT_USER\\K", { { "v", REG_SZ, text + '\0' } } } } };
        EXPECT_EQ(formatRegistryText(document),
            "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n" + line + "\n\n");
    }
}

TEST(RegistryTextTest, ReportsWhatItDoesNotUnderstand)
{
    const char* damaged[] = {
        "[HKEY_NOWHERE\\K]",
        "[-HKEY_CURRENT_USER\\K]",
        "[HKEY_CURRENT_USER\\a\\\\b]",
        "[HKEY_CURRENT_USER\\K",
        "\"a\"=bogus",
        "\"a\"=",
        "\"a\"=dword:12345678a",
        "\"a\"=dword:xyz",
        "\"a\"=hex:1,2",
        "\"a\"=hex(2):41",
        "\"a\"=hex(zz):41",
        "\"a\"=\"unterminated",
        "\"a\"=\"one\" \"two\"",
        "\"a\"=-",
        "\"unterminated=\"x\"",
        "plain text",
    };
    for (const char* line : damaged) {
        std::string text = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\K]\n"
            + std::string(line) + "\n[HKEY_CURRENT_USER\\Fine]\n\"ok\"=\"1\"\n";
        std::vector<RegistryProblem> problems;
        RegistryDocument document = parseRegistryText(text, problems);
        ASSERT_FALSE(problems.empty()) << line;
        EXPECT_EQ(problems.front().line, 3U) << line;
        EXPECT_EQ(problems.size(), 1U) << line;
        EXPECT_EQ(document.keys.back().values.size(), 1U) << "the rest is still read: " << line;
    }
    std::vector<RegistryProblem> problems;
    parseRegistryText("REGEDIT4\n", problems);
    ASSERT_EQ(problems.size(), 1U);
    parseRegistryText("Windows Registry Editor Version 5.00\n\"outside\"=\"x\"\n", problems);
    EXPECT_EQ(problems.size(), 2U);
}

TEST(RegistryTextTest, Utf16Conversions)
{
    const std::pair<std::string, std::string> valid[] = {
        { "abc", "a\0b\0c\0"s },
        { "\xC3\xBC", "\xFC\x00"s },
        { "\xE2\x82\xAC", "\xAC\x20"s },
        { "\xF0\x9F\x98\x80", "\x3D\xD8\x00\xDE"s },
        { "a\0b"s, "a\0\0\0b\0"s },
    };
    for (const auto& [utf8, utf16] : valid) {
        EXPECT_EQ(utf8ToUtf16le(utf8), utf16);
        EXPECT_EQ(utf16leToUtf8(utf16), utf8);
    }
    // A byte that is not part of UTF-8 travels as the lone surrogate U+DC00 + byte, and comes back.
    const std::pair<std::string, std::string> escaped[] = {
        { "\xFF", "\xFF\xDC" }, { "\xC0\x80", "\xC0\xDC\x80\xDC" }, // overlong
        { "\xED\xB2\x80", "\xED\xDC\xB2\xDC\x80\xDC" }, // the form of U+DC80, which stands for a byte
        // A high surrogate's form before what becomes a low surrogate would pair with it.
        { "\xED\xA0\x80\xFF", "\xED\xDC\xA0\xDC\x80\xDC\xFF\xDC" },
        // So would each one of a run of them that ends before such a thing.
        { "\xED\xAB\xAB\xED\xAB\xAB\xAB", "\xED\xDC\xAB\xDC\xAB\xDC\xED\xDC\xAB\xDC\xAB\xDC\xAB\xDC" },
        { "\xE2\x82", "\xE2\xDC\x82\xDC" }, // cut short
        { "\xE9t\xE9", "\xE9\xDCt\x00\xE9\xDC"s }, // Latin-1
    };
    for (const auto& [bytes, utf16] : escaped) {
        EXPECT_EQ(utf8ToUtf16le(bytes), utf16);
        EXPECT_EQ(utf16leToUtf8(utf16), bytes);
    }
    // Other lone surrogates of a file written elsewhere take their own three-byte form, and come back.
    const std::pair<std::string, std::string> lone[] = {
        { "\xED\xA0\x80x", "\x00\xD8x\x00"s }, // high
        { "\xED\xB1\xBF", "\x7F\xDC"s }, // low, below the byte range
        { "\xED\xAF\xBF\xED\xA0\x80", "\xFF\xDB\x00\xD8"s }, // two highs
    };
    for (const auto& [utf8, utf16] : lone) {
        EXPECT_EQ(utf16leToUtf8(utf16), utf8);
        EXPECT_EQ(utf8ToUtf16le(utf8), utf16);
    }
}

TEST(RegistryTextTest, HiveNames)
{
    EXPECT_EQ(canonicalHiveName("hkey_current_user"), "HKEY_CURRENT_USER");
    EXPECT_EQ(canonicalHiveName("HKEY_Classes_Root"), "HKEY_CLASSES_ROOT");
    EXPECT_EQ(canonicalHiveName("HKCU"), "");
}

} // namespace
} // namespace tvrn2
