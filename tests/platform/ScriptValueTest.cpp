#include "platform/webkit/DocumentBridge.h"
#include "platform/webkit/DownloadBar.h"
#include "platform/webkit/DownloadController.h"
#include "platform/webkit/JsValue.h"

#include <cmath>
#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(JsStringLiteralTest, EscapesEverythingThatCouldEndTheLiteral)
{
    struct Case {
        std::string text;
        std::string literal;
    };
    const Case cases[] = {
        { "", "\"\"" }, { "plain", "\"plain\"" }, { "say \"hi\"", "\"say \\\"hi\\\"\"" },
        { "back\\slash", "\"back\\\\slash\"" }, { "two\nlines\r\n", "\"two\\nlines\\r\\n\"" },
        { std::string("nul\0bell\x07", 9), "\"nul\\u0000bell\\u0007\"" },
        { "line\xe2\x80\xa8para\xe2\x80\xa9", "\"line\\u2028para\\u2029\"" },
        { "caf\xc3\xa9 \xe2\x82\xac", "\"caf\xc3\xa9 \xe2\x82\xac\"" }, // other UTF-8 passes as it is
    };
    for (const auto& c : cases)
        EXPECT_EQ(jsStringLiteral(c.text), c.literal) << c.text;
}

TEST(JsValueTest, ScriptFormOfEachKind)
{
    EXPECT_EQ(JsValue().toScript(), "undefined");
    EXPECT_EQ(JsValue::null().toScript(), "null");
    EXPECT_EQ(JsValue::boolean(true).toScript(), "true");
    EXPECT_EQ(JsValue::number(0.1).toScript(), "0.10000000000000001");
    EXPECT_EQ(JsValue::number(-3).toScript(), "-3");
    EXPECT_EQ(JsValue::number(std::nan("")).toScript(), "NaN");
    EXPECT_EQ(JsValue::number(-INFINITY).toScript(), "-Infinity");
    EXPECT_EQ(JsValue::string("a\"b").toScript(), "\"a\\\"b\"");
    EXPECT_EQ(JsValue::json("{\"a\":1}").toScript(), "JSON.parse(\"{\\\"a\\\":1}\")");
    EXPECT_EQ(JsValue::handle({ 42, 7 }).toScript(), "{\"$h\":[42,7]}");
}

TEST(DocumentBridgeDecodeTest, EveryAnswerOfThePageScript)
{
    struct Case {
        const char* reply;
        BridgeStatus status;
        JsValue value;
    };
    const Case cases[] = {
        { "u", BridgeStatus::Ok, JsValue() },
        { "n", BridgeStatus::Ok, JsValue::null() },
        { "b1", BridgeStatus::Ok, JsValue::boolean(true) },
        { "b0", BridgeStatus::Ok, JsValue::boolean(false) },
        { "d-2.5", BridgeStatus::Ok, JsValue::number(-2.5) },
        { "d1e+21", BridgeStatus::Ok, JsValue::number(1e21) },
        { "s", BridgeStatus::Ok, JsValue::string("") },
        { "shello: world", BridgeStatus::Ok, JsValue::string("hello: world") },
        { "h4503599627370496:12", BridgeStatus::Ok, JsValue::handle({ 4503599627370496, 12 }) },
        { "estale:gone", BridgeStatus::StaleHandle, JsValue() },
        { "ereleased:no", BridgeStatus::ReleasedHandle, JsValue() },
        { "enotcallable:x", BridgeStatus::NotCallable, JsValue() },
        { "escript:TypeError: x is null", BridgeStatus::ScriptError, JsValue() },
        { "", BridgeStatus::BadReply, JsValue() },
        { "dabc", BridgeStatus::BadReply, JsValue() },
        { "h12", BridgeStatus::BadReply, JsValue() },
        { "h1:x", BridgeStatus::BadReply, JsValue() },
        { "zzz", BridgeStatus::BadReply, JsValue() },
    };
    for (const auto& c : cases) {
        BridgeResult result = DocumentBridge::decode(c.reply);
        EXPECT_EQ(result.status, c.status) << c.reply;
        EXPECT_EQ(result.value, c.value) << c.reply;
    }
    EXPECT_EQ(DocumentBridge::decode("escript:TypeError: x is null").message, "TypeError: x is null");
    EXPECT_TRUE(std::isnan(DocumentBridge::decode("dNaN").value.toNumber()));
}

TEST(DownloadNameTest, ServerNamesCannotLeaveTheFolder)
{
    struct Case {
        const char* suggested;
        const char* name;
    };
    const Case cases[] = {
        { "WindowsXP-KB835935-SP2-ENU.exe", "WindowsXP-KB835935-SP2-ENU.exe" },
        { "../../etc/passwd", "passwd" },
        { "..\\..\\boot.ini", "boot.ini" },
        { "/abs/path/file.bin", "file.bin" },
        { ".bashrc", "bashrc" },
        { "..", "download" },
        { "", "download" },
        { "  spaced name.txt  ", "spaced name.txt" },
        { "tab\there\x01.txt", "tab_here_.txt" },
        { "dir/", "download" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(DownloadController::safeFileName(c.suggested), c.name) << c.suggested;
    // Long names leave room for the engine's ".wkdownload" while the file
    // is written, and keep their extension; a cut never splits a character.
    EXPECT_EQ(DownloadController::safeFileName(std::string(300, 'a')), std::string(244, 'a'));
    EXPECT_EQ(
        DownloadController::safeFileName(std::string(300, 'a') + ".exe"), std::string(240, 'a') + ".exe");
    EXPECT_EQ(DownloadController::safeFileName(std::string(150, 'a') + std::string(60, 'e') + "\xC3\xA9.exe"),
        std::string(150, 'a') + std::string(60, 'e') + "\xC3\xA9.exe")
        << "a name that fits stays whole";
    std::string accented = "a";
    for (int i = 0; i < 150; ++i)
        accented += "\xC3\xA9"; // "é", two bytes
    const std::string cut = DownloadController::safeFileName(accented + ".pdf");
    EXPECT_EQ(cut, accented.substr(0, 239) + ".pdf") << "the last whole character within 240 bytes of stem";
}

TEST(DownloadBarTextTest, ProgressShowsBytesTotalAndSpeed)
{
    EXPECT_EQ(DownloadBar::progressText({ "a.bin", 1500000, 3000000, 250000 }),
        "Saving \u201ca.bin\u201d: 1.5\u00a0MB of 3.0\u00a0MB (250.0\u00a0kB/s)");
    EXPECT_EQ(
        DownloadBar::progressText({ "a.bin", 999, std::nullopt, 0 }), "Saving \u201ca.bin\u201d: 999 bytes");
}

} // namespace
} // namespace tvrn2
